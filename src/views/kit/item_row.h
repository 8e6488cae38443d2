#pragma once

#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "model/app_state.h"
#include "theme/animated_value.h"

class QHBoxLayout;
class QLayout;

namespace nimbrel {

class ElidedLabel;
class EvaporateTrigger;
class MoltenBar;
class NimbrelButton;
class NimbrelCheck;

// The selection rules of one row, worked out without a window.
struct ItemRowRules {
    // Queued itself or, unless junk, inside a queued folder or build product.
    static bool loaded(const CleanQueue& queue, const CleanItem& item);
    static bool throughFolder(const CleanQueue& queue, const CleanItem& item);
    static bool vanishing(const AppState& state, const CleanItem& item);
    // Rebuilt on its own and judged safe: the sparkles and the full bar colour.
    static bool safe(const CleanItem& item);
    // A value in [0, 1) that varies the evaporation from row to row.
    static double seed(const std::string& id);
    static QString helpText(const CleanQueue& queue, const CleanItem& item, bool disabled);
};

// The row's hover buttons. They fade in with the hover fill; until fully shown they are drawn as a
// picture and take no click, so a click on their spot ticks the row as everywhere else.
class HoverActions : public QWidget {
    Q_OBJECT
  public:
    explicit HoverActions(QWidget* parent = nullptr);
    // `gapBefore` points after the buttons added so far (none before the first).
    void addButton(QWidget* button, int gapBefore = 0);
    bool hasButtons() const { return !buttons_.empty(); }
    // 0 (gone) to 1 (shown and clickable).
    void setAmount(double amount);
    double amount() const { return amount_; }
    bool isLive() const { return live_; }
    const std::vector<QWidget*>& buttons() const { return buttons_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<QWidget*> buttons_;
    double amount_ = 0;
    bool live_ = false;
    QPixmap picture_;
};

// A compact capsule of an item: icon, name and size. The drag image of a row.
class ItemChip : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 28;
    explicit ItemChip(CleanItem item, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString sizeText() const;

    CleanItem item_;
};

// The one selectable row of an item on the Files shelves and the Deep Clean screen. A click selects
// or deselects at once; on an item selected through its folder it leaves just that item out after
// the double-click interval; a second click within the interval undoes the first and opens or
// previews. Shows the tick, icon, name, risk or caller badge, a second line, hover actions, an
// optional disclosure button and the size with its weight bar.
class ItemRow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 50;

    struct Options {
        std::optional<QString> subtitle;
        double weight = 0;
        std::optional<QString> badge;
        bool disabled = false;
        std::function<void()> onOpen;
        std::function<void()> preview;
        std::optional<QString> symbol;
        std::optional<bool> expanded;
        std::function<void()> onDisclose;
    };

    ItemRow(AppState& state, CleanItem item, Options options, QWidget* parent = nullptr);

    const CleanItem& item() const { return item_; }
    const Options& options() const { return options_; }
    bool isLoaded() const;
    bool isHovering() const { return hovering_; }
    bool hasPendingLeaveOut() const { return pendingLeaveOut_ != nullptr; }
    NimbrelCheck* check() const { return check_; }
    HoverActions* hoverActions() const { return hoverActions_; }
    QString subtitleText() const;
    QStringList menuEntries() const;
    // The double-click interval in milliseconds (the system's unless a test sets one).
    void setDoubleClickInterval(int ms) { interval_ = ms; }
    // One single click on the row, as a mouse release inside it delivers it.
    void click();
    // A kept row whose list lost its heaviest entry measures against the new one.
    void setWeight(double weight);
    double weight() const { return options_.weight; }
    // The disclosure's state changes in place: the row keeps its hover and click history.
    void setExpanded(bool expanded);
    NimbrelButton* disclosure() const { return disclose_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

  private:
    // The parts of the row, left to right.
    QWidget* makeIcon(bool safe);
    QLayout* makeTexts(bool safe);
    void addActions(QHBoxLayout* row);
    QLayout* makeWeight(bool safe);
    void followLooks();
    void refresh();
    void setHovering(bool on);
    void startDrag();

    AppState& state_;
    CleanItem item_;
    Options options_;
    bool hovering_ = false;
    bool hasLastClick_ = false;
    QElapsedTimer lastClick_;
    int interval_;
    QPointer<QTimer> pendingLeaveOut_;
    // 0 to 1: the selected look (background, accent mark) and the hover fill, eased.
    AnimatedValue loadedAmount_{0};
    AnimatedValue hoverAmount_{0};
    QPoint pressPos_;
    bool pressed_ = false;

    NimbrelCheck* check_;
    HoverActions* hoverActions_;
    MoltenBar* weightBar_ = nullptr;
    NimbrelButton* disclose_ = nullptr;
    EvaporateTrigger* evaporate_ = nullptr;
};

}  // namespace nimbrel
