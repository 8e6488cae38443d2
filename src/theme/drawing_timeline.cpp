#include "theme/drawing_timeline.h"

#include <QEvent>
#include <algorithm>
#include <vector>

#include "theme/motion.h"

namespace nimbrel {

namespace {
// Timelines live on the main thread only, so a plain list is enough.
std::vector<DrawingTimeline*>& liveTimelines() {
    static std::vector<DrawingTimeline*> list;
    return list;
}
}  // namespace

DrawingTimeline::DrawingTimeline(QWidget* owner, int minimumIntervalMs, std::function<bool()> pausedWhen)
    : QObject(owner), owner_(owner), pausedWhen_(std::move(pausedWhen)), t_(MotionClock::now()) {
    timer_.setInterval(minimumIntervalMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &DrawingTimeline::tick);
    // Nobody announces a change of the platform's Reduce Motion setting, so a visible but paused
    // timeline looks again now and then.
    watch_.setInterval(kWatchIntervalMs);
    connect(&watch_, &QTimer::timeout, this, &DrawingTimeline::refresh);
    owner->installEventFilter(this);
    liveTimelines().push_back(this);
}

DrawingTimeline::~DrawingTimeline() {
    std::erase(liveTimelines(), this);
}

void DrawingTimeline::refresh() {
    const bool visible = owner_ && owner_->isVisible();
    const bool paused = pausedWhen_ && pausedWhen_();
    const bool run = visible && !paused;
    if (run && !timer_.isActive()) {
        t_ = MotionClock::now();
        timer_.start();
        owner_->update();
    } else if (!run && timer_.isActive()) {
        timer_.stop();
    }
    if (visible && paused) {
        if (!watch_.isActive()) watch_.start();
    } else {
        watch_.stop();
    }
}

void DrawingTimeline::refreshAll() {
    for (DrawingTimeline* timeline : liveTimelines())
        timeline->refresh();
}

bool DrawingTimeline::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        if (event->type() == QEvent::Show) {
            // The first frame after appearing shows the present, even when paused.
            t_ = MotionClock::now();
            refresh();
        } else if (event->type() == QEvent::Hide) {
            timer_.stop();
            watch_.stop();
        }
    }
    return QObject::eventFilter(watched, event);
}

void DrawingTimeline::tick() {
    // The pause condition may have changed without anyone telling us (Reduce Motion switched on).
    if (pausedWhen_ && pausedWhen_()) {
        refresh();
        return;
    }
    t_ = MotionClock::now();
    if (owner_) owner_->update();
    emit frame();
}

}  // namespace nimbrel
