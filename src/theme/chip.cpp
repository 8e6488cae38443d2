#include "theme/chip.h"

#include <QFontMetricsF>
#include <QPainter>

#include "theme/fonts.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"

namespace nimbrel {

// Chip

Chip::Chip(const QString& title, std::optional<QColor> dot, bool on, QWidget* parent)
    : PressButton(parent), dot_(dot), on_(on), onAmount_(on ? 1 : 0) {
    setText(title);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setHitShape(HitShape::capsule);
    setCapsuleRing(3);
    setAccessibleDescription(on ? tr("On") : tr("Off"));
    setCheckable(true);  // an "on" chip reads as checked
    setChecked(on);
    connect(&onAmount_, &AnimatedValue::changed, this, [this] { update(); });
}

void Chip::setOn(bool on) {
    if (on_ == on) return;
    on_ = on;
    // The chip's own timing: the snappy curve over 0.15 s, whatever Reduce Motion says.
    onAmount_.animateTo(on ? 1 : 0, Motion::snappy(0.15));
    setAccessibleDescription(on ? tr("On") : tr("Off"));
    setChecked(on);
    updateGeometry();
    update();
}

QFont Chip::titleFont() const {
    return titleFont(on_);
}

QFont Chip::titleFont(bool on) {
    return Fonts::font(11.5, on ? FontWeight::semibold : FontWeight::medium);
}

QColor Chip::tint() const {
    return dot_ ? *dot_ : Palette::accent().resolve(this);
}

QColor Chip::currentFill() const {
    const QColor off =
        mixColor(Palette::surface().resolve(this), Palette::raised().resolve(this), hoverAmount());
    return mixColor(off, withOpacity(tint(), 0.18), onAmount_.value());
}

QColor Chip::currentStroke() const {
    return mixColor(Palette::line().resolve(this), withOpacity(tint(), 0.6), onAmount_.value());
}

QColor Chip::textColor() const {
    return mixColor(Palette::ink2().resolve(this), Palette::ink().resolve(this), onAmount_.value());
}

QSize Chip::sizeHint() const {
    double w = QFontMetricsF(titleFont()).horizontalAdvance(text());
    if (dot_) w += kDot + kSpacing;
    return QSize(int(std::ceil(w)) + 2 * kPadding, kHeight);
}

void Chip::paintContent(QPainter& p) {
    const QRectF r = QRectF(rect());
    p.fillPath(Shapes::capsule(r), currentFill());
    p.setPen(QPen(currentStroke(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::capsule(Shapes::inset(r, 0.5)));
    double x = kPadding;
    if (dot_) {
        p.setPen(Qt::NoPen);
        p.setBrush(*dot_);
        p.drawEllipse(QRectF(x, r.center().y() - kDot / 2.0, kDot, kDot));
        x += kDot + kSpacing;
    }
    // The weight eases with the colour: the two weights cross-fade (the fonts come in fixed weights).
    const double room = r.width() - x - kPadding;
    const double on = onAmount_.value();
    const QColor color = textColor();
    for (const bool bold : {false, true}) {
        const double share = bold ? on : 1 - on;
        if (share <= 0) continue;
        const QFont font = titleFont(bold);
        p.setFont(font);
        p.setPen(withOpacity(color, share));
        p.drawText(QRectF(x, 0, room + 1, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(font).elidedText(text(), Qt::ElideRight, room));
    }
}

// NimbrelCheck

NimbrelCheck::NimbrelCheck(bool on, QWidget* parent) : PressButton(parent), on_(on), tick_(on ? 1 : 0) {
    setCheckable(true);
    setReturnPresses(false);
    setChecked(on);
    setDisabledOpacity(0.35);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&tick_, &AnimatedValue::changed, this, [this] { update(); });
    connect(this, &QAbstractButton::clicked, this, [this] { emit toggleRequested(!on_); });
}

void NimbrelCheck::setOn(bool on) {
    if (on_ == on) return;
    on_ = on;
    setChecked(on);
    // The hover timing, keyed on the value; the tick box animates under Reduce Motion too.
    tick_.animateTo(on ? 1 : 0, Motion::hover());
}

void NimbrelCheck::paintContent(QPainter& p) {
    const double t = tick_.value();
    const QRectF box((width() - kBox) / 2.0, (height() - kBox) / 2.0, kBox, kBox);
    const QPainterPath shape = Shapes::rounded(box, 6);
    p.fillPath(shape, Palette::well().resolve(this));
    if (t > 0) {
        p.save();
        p.setOpacity(p.opacity() * t);
        p.fillPath(shape, Palette::nimbrel());
        p.restore();
    }
    if (t < 1) {
        p.setPen(QPen(withOpacity(Palette::lineStrong().resolve(this), 1 - t), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::rounded(Shapes::inset(box, 0.5), 5.5));
    }
    if (t > 0) {
        p.save();
        p.setOpacity(p.opacity() * t);
        const double s = 0.4 + 0.6 * t;
        p.translate(box.center());
        p.scale(s, s);
        p.translate(-box.center());
        Symbols::draw(p, box, "checkmark", Palette::onAccent(), 9.5, FontWeight::heavy);
        p.restore();
    }
    if (showsFocusRing()) {
        p.setPen(QPen(Palette::ink2().resolve(this), 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::rounded(box.adjusted(-3, -3, 3, 3), 8));
    }
}

// NimbrelSwitch

NimbrelSwitch::NimbrelSwitch(bool on, QWidget* parent) : PressButton(parent), on_(on), knob_(on ? 1 : 0) {
    setCheckable(true);
    setReturnPresses(false);
    setChecked(on);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setHitShape(HitShape::capsule);
    setCapsuleRing(3);
    connect(&knob_, &AnimatedValue::changed, this, [this] { update(); });
    connect(this, &QAbstractButton::clicked, this, [this] { emit toggleRequested(!on_); });
}

void NimbrelSwitch::setOn(bool on) {
    if (on_ == on) return;
    on_ = on;
    setChecked(on);
    // The indicator curve at 0.2 s; under Reduce Motion the knob jumps.
    knob_.animateTo(on ? 1 : 0, timingCurve(0.77, 0, 0.175, 1, 0.2), true);
}

QRectF NimbrelSwitch::knobRect() const {
    const double d = kHeight - 2 * kKnobInset;
    const double x0 = kKnobInset;
    const double x1 = kWidth - kKnobInset - d;
    const QPointF origin((width() - kWidth) / 2.0, (height() - kHeight) / 2.0);
    return QRectF(origin.x() + x0 + (x1 - x0) * knob_.value(), origin.y() + kKnobInset, d, d);
}

void NimbrelSwitch::paintContent(QPainter& p) {
    const double t = knob_.value();
    const QRectF track((width() - kWidth) / 2.0, (height() - kHeight) / 2.0, kWidth, kHeight);
    const QPainterPath cap = Shapes::capsule(track);
    p.fillPath(cap, Palette::well().resolve(this));
    if (t > 0) {
        p.save();
        p.setOpacity(p.opacity() * t);
        p.fillPath(cap, Palette::nimbrel());
        p.restore();
    }
    if (t < 1) {
        p.setPen(QPen(withOpacity(Palette::lineStrong().resolve(this), 1 - t), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::capsule(Shapes::inset(track, 0.5)));
    }
    const QRectF knob = knobRect();
    QPainterPath circle;
    circle.addEllipse(knob);
    Shapes::shadow(p, circle, QColor::fromRgbF(0, 0, 0, 0.25f), 1.5, QPointF(0, 1));
    p.fillPath(circle, Qt::white);
}

}  // namespace nimbrel
