#include "theme/look_animations.h"

#include <algorithm>
#include <cmath>

#include "theme/animated_value.h"

namespace nimbrel {

// Runs without end while any look moves; its time, carried across stops, is the looks' clock.
class LookAnimations::Ticker : public QAbstractAnimation {
  public:
    explicit Ticker(LookAnimations* owner) : QAbstractAnimation(owner), owner_(owner) {}
    int duration() const override { return -1; }
    qint64 now() const { return base_ + (state() == Running ? currentTime() : 0); }
    void pause() {
        base_ = now();
        stop();
    }

  protected:
    void updateCurrentTime(int) override {
        if (state() != Running) return;
        emit owner_->moved();
        if (now() >= owner_->until_) pause();
    }

  private:
    LookAnimations* owner_;
    qint64 base_ = 0;
};

double LookAnimations::Track::at(qint64 now) const {
    if (ms <= 0 || now >= start + ms) return to;
    const double t = std::clamp(double(now - start) / ms, 0.0, 1.0);
    const double shaped = spring ? spring->value(double(now - start) / 1000.0) : curve.valueForProgress(t);
    return from + (to - from) * shaped;
}

LookAnimations::LookAnimations(QObject* parent) : QObject(parent), ticker_(new Ticker(this)) {}

LookAnimations::~LookAnimations() = default;

qint64 LookAnimations::now() const {
    return ticker_->now();
}

bool LookAnimations::isMoving() const {
    return ticker_->state() == QAbstractAnimation::Running;
}

double LookAnimations::follow(const std::string& key, Channel channel, double target,
                              const MotionSpec& motion) {
    seen_.insert(key);
    Track& track = looks_[key].tracks[size_t(channel)];
    const qint64 t = now();
    if (!track.known || AnimatedValue::allInstant() || motion.ms <= 0) {
        if (!track.known || track.to != target || track.ms > 0)
            track = Track{target, target, t, 0, {}, std::nullopt, true};
        return target;
    }
    if (target != track.to) {
        track.curve = motion.curve;
        track.spring.reset();
        begin(track, track.at(t), target, motion.ms);
    }
    return track.at(t);
}

void LookAnimations::begin(Track& track, double from, double to, int ms) {
    const qint64 t = now();
    track.known = true;
    track.from = from;
    track.to = to;
    track.start = t;
    track.ms = AnimatedValue::allInstant() ? 0 : ms;
    if (track.ms <= 0) return;
    until_ = std::max(until_, t + track.ms);
    if (!isMoving()) ticker_->start();
}

void LookAnimations::start(const std::string& key, Channel channel, double from, double to,
                           const MotionSpec& motion) {
    seen_.insert(key);
    Track& track = looks_[key].tracks[size_t(channel)];
    track.curve = motion.curve;
    track.spring.reset();
    begin(track, from, to, motion.ms);
}

void LookAnimations::start(const std::string& key, Channel channel, double from, double to,
                           const Spring& spring) {
    seen_.insert(key);
    Track& track = looks_[key].tracks[size_t(channel)];
    track.spring = spring;
    begin(track, from, to, int(std::lround(spring.settlingTime() * 1000)));
}

double LookAnimations::value(const std::string& key, Channel channel, double fallback) const {
    auto it = looks_.find(key);
    if (it == looks_.end() || !it->second.tracks[size_t(channel)].known) return fallback;
    return it->second.tracks[size_t(channel)].at(now());
}

void LookAnimations::endFrame() {
    for (auto it = looks_.begin(); it != looks_.end();)
        it = seen_.count(it->first) ? std::next(it) : looks_.erase(it);
    seen_.clear();
}

}  // namespace nimbrel
