#pragma once

#include <QAbstractAnimation>
#include <QObject>
#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "theme/motion.h"

namespace nimbrel {

// The eased looks of items a view paints itself (a tile's hover, its selection, its circle, its
// buttons, its evaporation), kept by the item's key and run on one animation that ticks only while
// any of them moves, so hundreds of tiles cost one timer and the test clock drives them all.
//
// A painter asks for each look as it paints: the first time a key is seen its look takes the target
// at once (an item coming into view does not animate); a later change of target eases from wherever
// the look is now. Keys the painter no longer paints are forgotten at the end of the frame.
class LookAnimations : public QObject {
    Q_OBJECT
  public:
    enum Channel { hover, selected, circle, check, press, vanish, fade, moveX, moveY, kChannels };

    explicit LookAnimations(QObject* parent = nullptr);
    ~LookAnimations() override;

    // The look `channel` of `key` shows now, heading for `target` along `motion`.
    double follow(const std::string& key, Channel channel, double target, const MotionSpec& motion);
    // Sets the look to `from` and eases it to `to` (a move starts from where the item was).
    void start(const std::string& key, Channel channel, double from, double to, const MotionSpec& motion);
    void start(const std::string& key, Channel channel, double from, double to, const Spring& spring);
    // The look as it stands, without changing where it heads; `fallback` for an unknown key.
    double value(const std::string& key, Channel channel, double fallback) const;
    // The frame is painted: keys not followed since the last call are dropped.
    void endFrame();
    bool isMoving() const;

    // The time the looks ease against, in milliseconds (the animation driver's).
    qint64 now() const;

  signals:
    // Some look moved: the owner repaints.
    void moved();

  private:
    struct Track {
        double from = 0;
        double to = 0;
        qint64 start = 0;
        int ms = 0;
        QEasingCurve curve;
        std::optional<Spring> spring;
        bool known = false;
        double at(qint64 now) const;
    };
    struct Look {
        std::array<Track, kChannels> tracks;
    };
    class Ticker;
    void begin(Track& track, double from, double to, int ms);

    std::unordered_map<std::string, Look> looks_;
    std::unordered_set<std::string> seen_;
    Ticker* ticker_;
    qint64 until_ = 0;  // the moment the last started motion ends
};

}  // namespace nimbrel
