#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "model/app_state.h"
#include "theme/animated_value.h"
#include "theme/decoration.h"

class QMimeData;
class QShortcut;

namespace nimbrel {

class NimbrelButton;
class NimbrelLoader;
class RollingText;

// The bar over the bottom of the window while anything is selected: the selection's total, how many
// items each area added, "Clear" and the way into the review. Items dragged from Nimbrel's own rows
// may be dropped on it.
class SelectionBar : public QWidget, public OutsideDecoration {
    Q_OBJECT
  public:
    static constexpr int kWidth = 540;
    static constexpr int kHeight = 64;

    explicit SelectionBar(AppState& state, QWidget* parent = nullptr);

    // "8.4 GB" and "Space 2 · Files 1": the sum of every queued size, and the count per area.
    static QString totalText(const std::vector<CleanItem>& items);
    static QString sourceLine(const std::vector<CleanQueue::SourceTotal>& totals);
    // The items a drag carries; nothing unless it is Nimbrel's own drag of valid items.
    static std::optional<std::vector<CleanItem>> droppedItems(const QMimeData* data, bool fromThisProcess);
    static QMimeData* mimeData(const CleanItem& item);

    NimbrelButton* clearButton() const { return clear_; }
    NimbrelButton* reviewButton() const { return review_; }
    // Turns while the review is being prepared; the line under the total then says so.
    NimbrelLoader* preparingLoader() const { return preparing_; }
    const QString& line() const { return sources_; }
    // Adds dropped items as one change; false only for an empty drop.
    bool drop(std::vector<CleanItem> items);

    QSize sizeHint() const override { return {kWidth, kHeight}; }
    // The bar and its shadow fade as the bar moves in and out (the host drives it).
    void setOpacity(double opacity);
    double opacity() const { return opacity_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  public:
    // The bar's shadow: black at 40 %, blur 24, 12 down, painted by the widget beneath it.
    static constexpr double kShadowBlur = 24;
    static constexpr double kShadowDrop = 12;
    static constexpr double kShadowOpacity = 0.4;
    QMargins decorationMargins() const override;
    void paintDecoration(QPainter& p) override;

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void refresh();
    void setTargeted(bool on);

    AppState& state_;
    bool targeted_ = false;
    RollingText* total_;
    bool showingTotal_ = false;      // the total shown is a selection's, not yet left behind
    AnimatedValue targetAmount_{0};  // the drop border, eased in and out
    QString sources_;
    double opacity_ = 1;
    NimbrelButton* clear_;
    NimbrelButton* review_;
    NimbrelLoader* preparing_;
    QShortcut* stopPreparing_;
};

}  // namespace nimbrel
