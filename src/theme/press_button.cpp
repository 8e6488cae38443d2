#include "theme/press_button.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QResizeEvent>

#include "theme/palette.h"
#include "theme/shapes.h"

namespace nimbrel {

namespace {

// A see-through layer the size of a control's ring, a sibling just above the control.
class FocusRingLayer : public QWidget {
  public:
    FocusRingLayer(PressButton* owner) : QWidget(owner->parentWidget()), owner_(owner) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!owner_) return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPoint at = owner_->mapTo(parentWidget(), QPoint(0, 0)) - pos();
        p.translate(at);
        owner_->paintFocusRing(p);
    }

  private:
    QPointer<PressButton> owner_;
};

}  // namespace

PressButton::PressButton(QWidget* parent) : QAbstractButton(parent) {
    // Focus from the keyboard only: a click must not leave a focus ring behind.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::ArrowCursor);
    connect(&hover_, &AnimatedValue::changed, this, [this] {
        update();
        DecorationHost::refresh(this);
    });
    connect(&scale_, &AnimatedValue::changed, this, [this] {
        update();
        if (ringLayer_ && ringLayer_->isVisible()) ringLayer_->update();
    });
    connect(this, &QAbstractButton::pressed, this,
            [this] { scale_.animateTo(pressedScale_, Motion::press()); });
    connect(this, &QAbstractButton::released, this, [this] { scale_.animateTo(1.0, Motion::press()); });
}

void PressButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (!isEnabled()) p.setOpacity(disabledOpacity_);
    const double s = scale_.value();
    if (s != 1.0) {
        const QPointF c = QRectF(rect()).center();
        p.translate(c);
        p.scale(s, s);
        p.translate(-c);
    }
    paintContent(p);
}

void PressButton::setHovering(bool on) {
    if (on && hoverNeedsEnabled_ && !isEnabled()) on = false;
    if (on == hovering_) return;
    hovering_ = on;
    hover_.animateTo(on ? 1.0 : 0.0, Motion::hover());
    hoverChanged(on);
    update();
}

QMargins PressButton::decorationMargins() const {
    return QMargins(ringOutset_, ringOutset_, ringOutset_, ringOutset_);
}

void PressButton::paintFocusRing(QPainter& p) {
    if (ringOutset_ <= 0) return;
    const double half = 1.0;  // the 2-point line lies inside the ring's outer edge
    const QRectF outer = QRectF(rect()).adjusted(-ringOutset_, -ringOutset_, ringOutset_, ringOutset_);
    p.setPen(QPen(Palette::ink2().resolve(this), 2 * half));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::capsule(Shapes::inset(outer, half)));
}

bool PressButton::hitButton(const QPoint& pos) const {
    const QRectF r = QRectF(rect());
    switch (hitShape_) {
        case HitShape::capsule:
            return Shapes::capsule(r).contains(pos);
        case HitShape::circle: {
            const QPointF d = QPointF(pos) - r.center();
            const double radius = std::min(r.width(), r.height()) / 2;
            return d.x() * d.x() + d.y() * d.y() <= radius * radius;
        }
        case HitShape::rect:
            break;
    }
    return rect().contains(pos);
}

void PressButton::setFocusPreview(bool on) {
    focusPreview_ = on;
    update();
    DecorationHost::refresh(this);
    followFocusRing();
}

void PressButton::followFocusRing() {
    const int outset = focusRingOutset();
    const bool show = outset > 0 && showsFocusRing() && isVisible() && parentWidget();
    if (!show) {
        if (ringLayer_) ringLayer_->hide();
        return;
    }
    if (!ringLayer_ || ringLayer_->parentWidget() != parentWidget()) {
        delete ringLayer_.data();
        ringLayer_ = new FocusRingLayer(this);
    }
    ringLayer_->setGeometry(geometry().adjusted(-outset, -outset, outset, outset));
    ringLayer_->show();
    ringLayer_->raise();
    ringLayer_->update();
}

void PressButton::keyPressEvent(QKeyEvent* e) {
    if (returnPresses_ && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!e->isAutoRepeat() && isEnabled()) click();
        e->accept();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

bool PressButton::event(QEvent* e) {
    if (e->type() == QEvent::ParentChange) followFocusRing();
    return QAbstractButton::event(e);
}

void PressButton::enterEvent(QEnterEvent* e) {
    setHovering(true);
    QAbstractButton::enterEvent(e);
}

void PressButton::leaveEvent(QEvent* e) {
    setHovering(false);
    QAbstractButton::leaveEvent(e);
}

void PressButton::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange) {
        if (!isEnabled() && hoverNeedsEnabled_) setHovering(false);
        DecorationHost::refresh(this);
        followFocusRing();
    }
    QAbstractButton::changeEvent(e);
}

void PressButton::focusInEvent(QFocusEvent* e) {
    QAbstractButton::focusInEvent(e);
    DecorationHost::refresh(this);
    followFocusRing();
    update();
}

void PressButton::focusOutEvent(QFocusEvent* e) {
    QAbstractButton::focusOutEvent(e);
    DecorationHost::refresh(this);
    followFocusRing();
    update();
}

void PressButton::moveEvent(QMoveEvent* e) {
    QAbstractButton::moveEvent(e);
    DecorationHost::refresh(this, QRect(e->oldPos(), size()));
    if (ringLayer_ && ringLayer_->isVisible()) followFocusRing();
}

void PressButton::resizeEvent(QResizeEvent* e) {
    QAbstractButton::resizeEvent(e);
    DecorationHost::refresh(this, QRect(pos(), e->oldSize()));
    if (ringLayer_ && ringLayer_->isVisible()) followFocusRing();
}

void PressButton::showEvent(QShowEvent* e) {
    DecorationHost::attach(this);
    QAbstractButton::showEvent(e);
    DecorationHost::refresh(this);
    followFocusRing();
}

void PressButton::hideEvent(QHideEvent* e) {
    QAbstractButton::hideEvent(e);
    DecorationHost::refresh(this);
    followFocusRing();
}

}  // namespace nimbrel
