#pragma once

#include <QPixmap>
#include <QWidget>

#include "theme/animated_value.h"
#include "theme/motion.h"

namespace nimbrel {

// A picture of what a widget showed a moment ago, fading out over its new look and then deleting
// itself: how the shell cross-fades a swapped view without a graphics effect on a live widget tree.
class SnapshotFade : public QWidget {
    Q_OBJECT
  public:
    SnapshotFade(const QPixmap& picture, const MotionSpec& motion, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap picture_;
    AnimatedValue opacity_;
};

}  // namespace nimbrel
