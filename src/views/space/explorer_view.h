#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTimer>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "theme/animated_value.h"
#include "theme/effect_library.h"
#include "theme/look_animations.h"
#include "views/kit/gap_close.h"
#include "views/space/space_view_model.h"
#include "views/space/tile_painter.h"

namespace nimbrel {

class EmptyState;
class ExplorerController;
class FlatSteamer;
class NimbrelLoader;
class SteamJet;

// Where the explorer's scrolled content lies, by arithmetic: tiles of the icon grid or rows of the
// list, then the empty state, the paging footer and the small-files row. Content coordinates: the
// top of the scrolled content is 0.
struct ExplorerGeometry {
    static constexpr double kSide = 24;       // content padding left and right
    static constexpr double kTop = 4;         // content padding at the top
    static constexpr double kBottom = 124.8;  // room for the resting steamer
    // List rows end this far from the right edge: left of the resting steamer (its 115.2 frame,
    // 16 from the edge, and a gap), which would otherwise stand on the sizes of the rows below.
    static constexpr double kSteamerLane = 115.2 + 16 + 4;
    static constexpr double kGap = 12;  // between the content's parts
    static constexpr double kMinColumn = 112, kMaxColumn = 150, kGridSpacing = 8;
    static constexpr double kRowSpacing = 2;
    static constexpr double kEmptyHeight = 260, kFooterHeight = 20, kSmallRowHeight = 44;

    ExplorerLayout layout = ExplorerLayout::icons;
    double width = 0;
    int count = 0;
    int columns = 1;
    double column = kMinColumn;
    double gridLeft = kSide;

    static ExplorerGeometry make(ExplorerLayout layout, double viewportWidth, int count);
    QRectF tileRect(int index) const;
    double tilesHeight() const;  // 0 when there are no tiles
    int firstIn(double top) const;
    int lastIn(double bottom) const;
    std::optional<int> indexAt(QPointF at) const;
};

// The scrolled tiles of the Space area: lays out and paints only the visible tiles, pages on
// scrolling and carries the steamer and its jet above the scroll. Its input goes to an
// ExplorerController (hit tests, clicks, the Space key, menus, tooltips).
class ExplorerView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit ExplorerView(SpaceViewModel& model, QWidget* parent = nullptr);

    SpaceViewModel& model() const { return vm_; }
    ExplorerGeometry geometryNow();
    double scrollTop() const;
    // A tile's frame in the explorer's coordinates (what the steam-clean sequence aims at).
    std::optional<QRectF> frameOf(const std::string& id);
    std::optional<QRectF> frameAt(int index);
    // Where the parts of a shown tile lie, in content coordinates, as they are painted now.
    TileGeometry tileGeometry(int index, const ExplorerEntry& entry);
    QRectF smallFilesRowRect();  // in content coordinates; empty when not shown
    QString footerText();        // empty when every tile is shown
    EmptyState* emptyState() const { return empty_; }
    FlatSteamer* steamer() const { return steamer_; }
    // Whether the keyboard brought the focus here (Tab): the view then shows a focus ring.
    bool showsFocusRing() const { return keyboardFocus_ && hasFocus(); }
    // Where a tile is drawn now, in content coordinates: its place, or on its way there while the
    // list closes over the tiles a removal took.
    QRectF shownRect(const ExplorerGeometry& g, int index);
    // The tiles' own motions: selection, the circle, the list's tick box, a vanished tile coming
    // back, the Reduce Motion fade, and the spring the list moves on while a scan sorts it.
    static inline const MotionSpec kSelectMotion = Motion::snappy(0.18);
    static inline const MotionSpec kCircleMotion = Motion::snappy(0.15);
    static inline const MotionSpec kCheckMotion = Motion::snappy(0.16);
    static inline const MotionSpec kComeBack = Motion::snappy(0.2);
    static inline const MotionSpec kReducedFade = Motion::snappy(0.25);
    static constexpr Spring kScanSpring{0.5, 0.88};
    LookAnimations& looks() { return looks_; }
    GapClose& closing() { return close_; }
    bool isClosing() const { return !closeFrom_.empty() || closeTail_.has_value(); }

  signals:
    void previewRequested(const std::string& path);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    void refresh();
    // Notes where the tiles on screen are drawn, just before a removal prunes the list.
    void noteBeforeRemoval();
    void startClose();
    QPointF closeOffset(int index, const std::string& id) const;
    double closeSlack() const;
    void noteArrivals();
    void relayoutChildren();
    void checkPaging();
    void placeSteamer();
    // Follows the steamer's state: where it stands, its jet, and how much water it holds.
    void followSteamer();
    bool applyArrival(QPainter& p, const std::string& id, const QRectF& r, ExplorerLayout layout);
    double footerTop(const ExplorerGeometry& g);
    void paintCard(QPainter& p);
    void paintContent(QPainter& p);
    void paintTile(QPainter& p, const ExplorerTile& t, const QRectF& r, ExplorerLayout layout, bool waiting,
                   std::int64_t heaviest, const CleanQueue& queue);
    void paintFooter(QPainter& p, const ExplorerGeometry& g, double top);
    static constexpr double kFade = 28;

    SpaceViewModel& vm_;
    ExplorerController* controller_ = nullptr;
    TilePainter painter_;
    EmptyState* empty_ = nullptr;
    NimbrelLoader* footerLoader_;
    NimbrelLoader* smallLoader_;
    FlatSteamer* steamer_;
    SteamJet* jet_;
    AnimatedValue steamerX_{0}, steamerY_{0}, water_{0.12};
    bool steamerPlaced_ = false;
    bool resizing_ = false;
    bool keyboardFocus_ = false;
    // A vanishing tile: its picture as it was when it started to go, and the effect's frame buffer.
    struct Vanish {
        QImage still;
        EvaporateFrames frame;
    };
    // The eased looks of the tiles drawn (hover, selection, circle, tick, evaporation, moves).
    LookAnimations looks_;
    // Where each tile drawn last was placed and drawn, and what it showed, so that one that moves
    // or leaves while a scan sorts the list is followed.
    struct Shown {
        QPointF place;
        QPointF at;
        ExplorerTile tile;
        bool leaving = false;
    };
    std::unordered_map<std::string, Shown> shown_;
    void paintLeaving(QPainter& p, const ExplorerGeometry& g, std::unordered_map<std::string, Shown>& shown,
                      bool follow, bool waiting, std::int64_t heaviest, const CleanQueue& queue);
    QString shownFolder_;
    QHash<QString, Vanish> vanishing_;
    // Tiles that joined the list while a scan runs grow in; a fresh folder or mode starts without.
    QHash<QString, qint64> appeared_;
    QSet<QString> known_;
    QString knownKey_;
    QElapsedTimer clock_;
    QTimer vanishTick_;
    QString emptyKey_;
    QImage fadeLayer_;

    // The tiles on screen before a removal was applied: ids in list order and where each was drawn.
    struct BeforeRemoval {
        QString folderKey;
        std::int64_t revision = 0;
        double top = 0;
        int first = 0;  // list index of the first noted tile
        std::vector<std::pair<std::string, QRectF>> tiles;
    };
    std::optional<BeforeRemoval> before_;
    // While closing: each kept tile's start, as an offset from its place, shrinking to nothing.
    std::unordered_map<std::string, QPointF> closeFrom_;
    // Tiles that came into the list below the kept ones start as if they followed the removed ones.
    struct Tail {
        int after = 0;    // new list index of the last kept tile
        int skipped = 0;  // tiles that left before them
        double shift = 0;
    };
    std::optional<Tail> closeTail_;
    GapClose close_;
};

}  // namespace nimbrel
