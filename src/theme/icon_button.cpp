#include "theme/icon_button.h"

#include <QPainter>

#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"

namespace nimbrel {

IconButton::IconButton(const QString& symbol, int side, bool filled, QWidget* parent)
    : PressButton(parent), symbol_(symbol), side_(side), filled_(filled) {
    setPressedScale(0.94);
    setDisabledOpacity(0.35);
    setHoverNeedsEnabled(true);
    setHitShape(HitShape::circle);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void IconButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    update();
}

void IconButton::setHelp(const QString& help) {
    setToolTip(help);
    setAccessibleName(help);
}

QSize IconButton::sizeHint() const {
    return QSize(side_ + 2 * kPadding, side_ + 2 * kPadding);
}

void IconButton::paintContent(QPainter& p) {
    const QPointF c = QRectF(rect()).center();
    const QRectF frame(c.x() - side_ / 2.0, c.y() - side_ / 2.0, side_, side_);
    const double h = hoverAmount();
    const double fill = filled_ ? 1.0 : h;
    if (fill > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(withOpacity(Palette::raised().resolve(this), fill));
        p.drawEllipse(frame);
    }
    const QColor ink2 = Palette::ink2().resolve(this);
    const QColor ink = Palette::ink().resolve(this);
    const QColor fg = mixColor(ink2, ink, h);
    Symbols::draw(p, frame, symbol_.toStdString(), fg, symbolSize(), FontWeight::semibold);
    if (showsFocusRing()) {
        const QRectF ring = frame.adjusted(-kRingOutset, -kRingOutset, kRingOutset, kRingOutset);
        p.setPen(QPen(ink2, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(Shapes::inset(ring, 1));
    }
}

}  // namespace nimbrel
