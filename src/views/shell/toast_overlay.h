#pragma once

#include <QUuid>
#include <QWidget>
#include <chrono>
#include <optional>

#include "model/app_state.h"
#include "theme/animated_value.h"

namespace nimbrel {

class NimbrelLoader;

// The removal pill and the current toast at the bottom centre of the window, above the modal layer.
// It never takes a click. A toast clears itself 4 seconds after it is shown, unless another toast
// (another id) has taken its place by then.
class ToastOverlay : public QWidget {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kToastLifetime{4000};
    static constexpr int kPillHeight = 38;
    static constexpr int kPillPadding = 16;
    static constexpr int kPillSpacing = 8;  // between pills, and between a pill's symbol and text
    static constexpr int kBottomPadding = 24;
    static constexpr int kBottomPaddingOverSelection = 96;
    static constexpr int kLoaderSize = 14;

    explicit ToastOverlay(AppState& state, QWidget* parent = nullptr);

    // The pills as laid out now, in the overlay's coordinates (empty when not shown).
    QRect removalPillRect() const;
    QRect toastPillRect() const;
    // Its message as drawn now: one line, or where it does not fit the window, several, broken
    // between words and never cut.
    QStringList toastLines() const;

    static QFont pillFont();
    // `text` broken between words into lines no wider than `width` as drawn in `font`; a word wider
    // than a line is broken where it must. A " · " never starts a line.
    static QStringList wrapped(const QFont& font, const QString& text, double width);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void followToast();
    void followDeleting();
    void followQueue();
    void expire(const QUuid& id);
    QRectF pillRect(double width, double bottom, double pillHeight = kPillHeight) const;
    double removalWidth() const;
    double toastWidth() const;
    double toastHeight() const;
    // The widest the toast's text may be in this window.
    double toastTextRoom() const;
    double removalBottom() const;
    void placeLoader();
    // The pills with their shadows, as drawn now.
    QRect pillsArea() const;
    // Repaints where the pills were and where they are: the overlay covers the whole window, and a
    // repaint of all of it for every step of a pill would repaint the window beneath too.
    void repaintPills();

    AppState& state_;
    NimbrelLoader* loader_;
    AnimatedValue removal_{0};
    AnimatedValue toastShown_{0};
    AnimatedValue padding_{kBottomPadding};
    std::optional<Toast> shownToast_;
    QUuid timedID_;     // the toast whose 4 seconds are running
    QRect pillsShown_;  // pillsArea() when last repainted
};

}  // namespace nimbrel
