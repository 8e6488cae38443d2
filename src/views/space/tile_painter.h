#pragma once

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRectF>

#include "platform/icon_cache.h"
#include "views/space/entry_rules.h"
#include "views/space/explorer_model.h"
#include "views/space/tile_geometry.h"

class QWidget;

namespace nimbrel {

class Badge;
class NimbrelCheck;
class RiskBadge;
class MoltenBar;
class NimbrelLoader;
class RollingFigures;

// Paints explorer tiles and rows (entries and placeholders) with their marks, and says where each
// clickable part of a tile lies. The explorer grid owns one and paints only the visible tiles.
// Theme controls that a painted row shows (tick box, weight bar, badges) are hidden children of the
// host rendered in place, so they look exactly like the controls elsewhere.
class TilePainter {
  public:
    static constexpr double kTileHeight = TileGeometry::kTileHeight;
    static constexpr double kRowHeight = TileGeometry::kRowHeight;
    static constexpr double kIconRow = TileGeometry::kIconRow;

    explicit TilePainter(QWidget* host);

    struct EntryLook {
        bool hovering = false;
        bool included = false;
        bool inherited = false;
        bool hasOpen = false;
        double weight = 0;
        // How far each eased part of the look has come, 0 to 1: the hover fill (also the circle's
        // ring and the row's chevron), the selected fill and mark, the circle, the tick box, the
        // row's path buttons. A look painted at rest has them all at its flags.
        double hover = 0;
        double selected = 0;
        double circle = 0;
        double check = 0;
        double buttons = 0;
        EntryLook& settle() {
            hover = buttons = hovering ? 1 : 0;
            selected = circle = check = included ? 1 : 0;
            return *this;
        }
    };
    void paintEntry(QPainter& p, const QRectF& r, const ExplorerEntry& entry,
                    ExplorerTile::Condition condition, ExplorerLayout layout, const EntryLook& look);
    void paintPlaceholder(QPainter& p, const QRectF& r, PlaceholderKind kind,
                          ExplorerTile::Condition condition, int seed, bool waiting, ExplorerLayout layout);
    // The icon drawn clean, stained (grime) or swollen with a honey glow (heavy).
    void paintConditionedIcon(QPainter& p, const QRectF& square, const FileIcon& icon,
                              ExplorerTile::Condition condition, int seed);

    // What a tile shows where, for its geometry: the control, the risk mark, the hovered row's buttons.
    static TileGeometry::Shows shows(const ExplorerEntry& entry, bool hovering);

    // A tile's name in up to two lines, broken between its words (after a space, hyphen or underscore,
    // else at a dot; inside a word only when the word alone is too wide); what does not fit is cut in
    // the middle of the second.
    static QStringList nameLines(const QString& text, const QFont& font, double width);

    // The size a tile or row shows (negative taken as 0).
    static QString sizeText(const ExplorerEntry& e);
    // The sizes drawn, which roll their digits when a size changes while it is shown.
    RollingFigures& sizes() { return *sizes_; }

    // The stained look's pieces, for tests: glow radius and scale by icon size.
    static double glowRadius(double size) { return size >= 48 ? 14 : 6; }
    static double swellScale(double size) { return size >= 48 ? 1.2 : 1.08; }

  private:
    QImage conditionedImage(const FileIcon& icon, const std::string& key, ExplorerTile::Condition condition,
                            int seed, double size);
    void paintBackground(QPainter& p, const TileGeometry& g, const EntryLook& look);
    void paintTileMarks(QPainter& p, const TileGeometry& g, const ExplorerEntry& e, const EntryLook& look);
    void paintTileText(QPainter& p, const TileGeometry& g, const ExplorerEntry& e,
                       ExplorerTile::Condition condition);
    void paintRowControl(QPainter& p, const TileGeometry& g, const ExplorerEntry& e, const EntryLook& look);
    void paintRowTrailing(QPainter& p, const TileGeometry& g, const ExplorerEntry& e,
                          ExplorerTile::Condition condition, const EntryLook& look);
    void paintRowText(QPainter& p, const TileGeometry& g, const ExplorerEntry& e,
                      ExplorerTile::Condition condition);
    // The list row's first badge: the shared risk badge, else grime; none for a plain entry.
    QWidget* badgeFor(const ExplorerEntry& e, ExplorerTile::Condition condition);
    void paintSelectCircle(QPainter& p, const QRectF& padded, double on, double hovering);
    void paintLock(QPainter& p, const QRectF& box);
    void paintRiskMark(QPainter& p, const QRectF& box, const Risk& risk);
    void paintCheck(QPainter& p, const QRectF& padded, bool on, double tick, bool disabled);
    void paintBar(QPainter& p, const QRectF& r, double fraction, std::optional<QColor> tint);
    void renderWidget(QPainter& p, QWidget* w, QPointF at);

    QWidget* host_;
    RollingFigures* sizes_;
    NimbrelCheck* check_;
    MoltenBar* bar_;
    NimbrelLoader* smallLoader_;  // the icon tile's size line while measuring
    NimbrelLoader* rowLoader_;    // the list row's size column while measuring
    Badge* grime_;
    Badge* heavy_;
    QHash<QString, RiskBadge*> riskBadges_;
    QHash<QString, QImage> icons_;
};

}  // namespace nimbrel
