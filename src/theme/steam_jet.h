#pragma once

#include <QPointF>
#include <QWidget>

namespace nimbrel {

class AnimatedValue;
class DrawingTimeline;

// The steam the steamer blows: puffs travelling from the nozzle to a target, and a small cloud
// billowing up at the target. A transparent overlay over the explorer's tiles; it fades in when
// switched on, fades out when switched off and draws nothing while idle.
class SteamJet : public QWidget {
    Q_OBJECT
  public:
    explicit SteamJet(QWidget* parent = nullptr);

    static constexpr int kFadeInMs = 150;
    static constexpr int kFadeOutMs = 500;

    QPointF from() const { return from_; }
    QPointF to() const { return to_; }
    void setFrom(QPointF from);
    void setTo(QPointF to);
    void aim(QPointF from, QPointF to);
    bool isActive() const { return active_; }
    void setActive(bool active);

    // 0 (off) to 1 (full): scales every puff's opacity.
    double strength() const;

    const DrawingTimeline& timeline() const { return *timeline_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void followActive();

    QPointF from_;
    QPointF to_;
    bool active_ = false;
    bool shownOnce_ = false;
    AnimatedValue* strength_;
    DrawingTimeline* timeline_;
};

}  // namespace nimbrel
