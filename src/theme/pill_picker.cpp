#include "theme/pill_picker.h"

#include <QFontMetricsF>
#include <QPainter>

#include "theme/fixed_digits.h"
#include "theme/fonts.h"
#include "theme/palette.h"
#include "theme/shapes.h"

namespace nimbrel {

PillOptionButton::PillOptionButton(const PillOption& option, PillPicker* picker)
    : PressButton(picker), option_(option), picker_(picker) {
    setText(option.label);
    setHitShape(HitShape::capsule);
    // The chosen option reads as checked; a click asks the picker, which decides.
    setCheckable(true);
    setChecked(isSelected());
}

bool PillOptionButton::isSelected() const {
    return picker_->selection() == option_.value;
}

QFont PillOptionButton::labelFont() const {
    return Fonts::font(11.5, isSelected() ? FontWeight::semibold : FontWeight::medium);
}

QSize PillOptionButton::sizeHint() const {
    const double w = FixedDigits::advance(labelFont(), option_.label);
    return QSize(int(std::ceil(w)) + 2 * PillPicker::kOptionPadding, PillPicker::kOptionHeight);
}

void PillOptionButton::paintContent(QPainter& p) {
    // The label's weight and colour follow the sliding thumb: how much of it lies under the thumb
    // decides the mix, so they ease with it instead of switching at once.
    const double s = picker_->thumbCover(geometry());
    const QColor plain = Palette::ink2().resolve(this), chosen = Palette::ink().resolve(this);
    const QColor ink = QColor::fromRgbF(float(plain.redF() + (chosen.redF() - plain.redF()) * s),
                                        float(plain.greenF() + (chosen.greenF() - plain.greenF()) * s),
                                        float(plain.blueF() + (chosen.blueF() - plain.blueF()) * s),
                                        float(plain.alphaF() + (chosen.alphaF() - plain.alphaF()) * s));
    p.setPen(ink);
    const double opacity = p.opacity();
    for (const auto& [weight, share] :
         {std::pair{FontWeight::medium, 1 - s}, std::pair{FontWeight::semibold, s}}) {
        if (share <= 0.001) continue;
        p.setOpacity(opacity * share);
        p.setFont(Fonts::font(11.5, weight));
        FixedDigits::draw(p, QRectF(rect()), Qt::AlignCenter, option_.label);
    }
    p.setOpacity(opacity);
    if (showsFocusRing()) {
        p.setPen(QPen(Palette::ink2().resolve(this), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::capsule(Shapes::inset(QRectF(rect()), 0.75)));
    }
}

PillPicker::PillPicker(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    const auto moved = [this] {
        update();
        for (auto* b : buttons_)
            b->update();
    };
    connect(&thumbX_, &AnimatedValue::changed, this, moved);
    connect(&thumbW_, &AnimatedValue::changed, this, moved);
}

double PillPicker::thumbCover(const QRect& option) const {
    if (!hasThumb_ || option.width() <= 0) return 0;
    const QRectF thumb = thumbRect();
    const double overlap = std::min(thumb.right(), double(option.x() + option.width())) -
                           std::max(thumb.left(), double(option.x()));
    return std::clamp(overlap / option.width(), 0.0, 1.0);
}

PillPicker::PillPicker(const QList<PillOption>& options, const QVariant& selection, QWidget* parent)
    : PillPicker(parent) {
    selection_ = selection;
    setOptions(options);
}

void PillPicker::setOptions(const QList<PillOption>& options) {
    qDeleteAll(buttons_);
    buttons_.clear();
    options_ = options;
    for (const PillOption& o : options_) {
        auto* b = new PillOptionButton(o, this);
        connect(b, &QAbstractButton::clicked, this,
                [this, value = o.value] { emit selectionRequested(value); });
        b->show();
        buttons_.append(b);
    }
    hasThumb_ = false;
    relayout(false);
    updateGeometry();
}

void PillPicker::setSelection(const QVariant& value) {
    if (value == selection_) return;
    selection_ = value;
    relayout(true);
    updateGeometry();
    for (auto* b : buttons_) {
        b->setChecked(b->isSelected());
        b->update();
    }
}

int PillPicker::selectedIndex() const {
    for (int i = 0; i < options_.size(); ++i)
        if (options_[i].value == selection_) return i;
    return -1;
}

QSize PillPicker::sizeHint() const {
    int w = 2 * kTrackPadding;
    for (int i = 0; i < buttons_.size(); ++i)
        w += buttons_[i]->sizeHint().width() + (i ? kSpacing : 0);
    return QSize(w, buttons_.isEmpty() ? 2 * kTrackPadding : kOptionHeight + 2 * kTrackPadding);
}

QRectF PillPicker::thumbRect() const {
    if (!hasThumb_) return {};
    return QRectF(thumbX_.value(), kTrackPadding, thumbW_.value(), kOptionHeight);
}

void PillPicker::relayout(bool animateThumb) {
    int x = kTrackPadding;
    for (auto* b : buttons_) {
        const QSize s = b->sizeHint();
        b->setGeometry(x, kTrackPadding, s.width(), s.height());
        x += s.width() + kSpacing;
    }
    const int index = selectedIndex();
    if (index < 0) {
        hasThumb_ = false;
    } else {
        const QRect target = buttons_[index]->geometry();
        if (animateThumb && hasThumb_) {
            // The indicator motion, skipped under Reduce Motion: the thumb then jumps.
            thumbX_.animateTo(target.x(), Motion::indicator(), true);
            thumbW_.animateTo(target.width(), Motion::indicator(), true);
        } else {
            // A thumb that was not shown appears in place without sliding from anywhere.
            thumbX_.setImmediate(target.x());
            thumbW_.setImmediate(target.width());
        }
        hasThumb_ = true;
    }
    update();
}

void PillPicker::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    relayout(false);
}

void PillPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QSize s = sizeHint();
    p.fillPath(Shapes::capsule(QRectF(0, 0, s.width(), s.height())), Palette::well().resolve(this));
    if (!hasThumb_) return;
    const QPainterPath thumb = Shapes::capsule(thumbRect());
    Shapes::shadow(p, thumb, QColor::fromRgbF(0, 0, 0, 0.12f), 2, QPointF(0, 1));
    p.fillPath(thumb, Palette::surface().resolve(this));
}

}  // namespace nimbrel
