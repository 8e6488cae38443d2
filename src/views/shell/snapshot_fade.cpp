#include "views/shell/snapshot_fade.h"

#include <QPainter>

namespace nimbrel {

SnapshotFade::SnapshotFade(const QPixmap& picture, const MotionSpec& motion, QWidget* parent)
    : QWidget(parent), picture_(picture), opacity_(1) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&opacity_, &AnimatedValue::changed, this, [this](double v) {
        if (v <= 0) {
            deleteLater();
        } else {
            update();
        }
    });
    opacity_.animateTo(0, motion);
    if (!opacity_.isRunning()) deleteLater();
}

void SnapshotFade::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setOpacity(opacity_.value());
    p.drawPixmap(0, 0, picture_);
}

}  // namespace nimbrel
