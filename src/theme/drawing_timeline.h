#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace nimbrel {

// Redraws an animated drawing at a capped frame rate, but only while the drawing is visible and
// its owner does not ask for a pause. A paused timeline keeps the time of its last frame, so the
// drawing holds still where it was instead of jumping.
class DrawingTimeline : public QObject {
    Q_OBJECT
  public:
    // `pausedWhen` is asked whenever the timeline re-checks itself; it may be empty (never paused).
    DrawingTimeline(QWidget* owner, int minimumIntervalMs, std::function<bool()> pausedWhen = {});
    ~DrawingTimeline() override;

    // Seconds since 2001-01-01 of the frame to draw.
    double t() const { return t_; }
    bool isTicking() const { return timer_.isActive(); }
    // A visible timeline that is paused re-asks its pause condition this often.
    static constexpr int kWatchIntervalMs = 1000;
    int interval() const { return timer_.interval(); }

    // Re-asks the pause condition; owners call it when what it depends on changes.
    void refresh();
    // Re-checks every live timeline, for a change of the platform's Reduce Motion setting.
    static void refreshAll();

  signals:
    // A new frame is due; the owner has been asked to repaint. Drawings that paint beyond their
    // owner listen to it.
    void frame();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void tick();

    QPointer<QWidget> owner_;
    QTimer timer_;
    QTimer watch_;
    std::function<bool()> pausedWhen_;
    double t_;
};

}  // namespace nimbrel
