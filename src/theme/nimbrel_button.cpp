#include "theme/nimbrel_button.h"

#include <QFontMetricsF>
#include <QPainter>

#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/tight_label.h"

namespace nimbrel {

namespace {
const QColor& glowColor() {
    static const QColor c = fixedColor(OKLCH::of(0.82, 0.11, 195));
    return c;
}
}  // namespace

NimbrelButton::Metrics NimbrelButton::metrics(Size size) {
    switch (size) {
        case Size::small:
            return {26, 11, 11.5, FontWeight::semibold, FontDesign::standard};
        case Size::regular:
            return {32, 15, 13, FontWeight::semibold, FontDesign::standard};
        case Size::large:
            return {42, 22, 15, FontWeight::bold, FontDesign::rounded};
    }
    return {32, 15, 13, FontWeight::semibold, FontDesign::standard};
}

NimbrelButton::NimbrelButton(const QString& title, Kind kind, Size size, QWidget* parent)
    : PressButton(parent), kind_(kind), size_(size) {
    setText(title);
    setPressedScale(0.97);
    setDisabledOpacity(0.4);
    setHoverNeedsEnabled(true);
    setHitShape(HitShape::capsule);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void NimbrelButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    updateGeometry();
    update();
}

void NimbrelButton::setForeground(const QColor& color) {
    foreground_ = color;
    update();
}

QFont NimbrelButton::titleFont() const {
    const Metrics m = metrics(size_);
    return Fonts::font(titleSize_.value_or(m.fontSize), m.weight, m.design);
}

void NimbrelButton::setTitleSize(double points) {
    titleSize_ = points;
    updateGeometry();
    update();
}

QColor NimbrelButton::foreground() const {
    if (foreground_.isValid()) return foreground_;
    switch (kind_) {
        case Kind::primary:
            return Palette::onAccent();
        case Kind::danger:
            return Palette::ember().resolve(this);
        default:
            return Palette::ink().resolve(this);
    }
}

double NimbrelButton::glowOpacity() const {
    return 0.25 + 0.2 * hoverAmount();
}
double NimbrelButton::glowRadius() const {
    return 6 + 4 * hoverAmount();
}

QSize NimbrelButton::sizeHint() const {
    const Metrics m = metrics(size_);
    const double w = TightLabel::width(symbol_, text(), titleFont(), m.fontSize);
    // One pixel of slack: eliding compares widths that were rounded differently.
    return QSize(int(std::ceil(w)) + 1 + 2 * m.padding, m.height);
}

QSize NimbrelButton::minimumSizeHint() const {
    return QSize(metrics(size_).height, metrics(size_).height);
}

QMargins NimbrelButton::decorationMargins() const {
    if (kind_ != Kind::primary) return QMargins(kRingOutset, kRingOutset, kRingOutset, kRingOutset);
    const int reach = int(std::ceil(Shapes::reach(10)));
    return QMargins(reach, reach - 3, reach, reach + 3);
}

void NimbrelButton::paintDecoration(QPainter& p) {
    const QRectF frame = QRectF(rect());
    p.setOpacity(isEnabled() ? 1.0 : disabledOpacity());
    const double s = currentScale();
    if (s != 1.0) {
        p.translate(frame.center());
        p.scale(s, s);
        p.translate(-frame.center());
    }
    if (kind_ == Kind::primary)
        Shapes::shadow(p, Shapes::capsule(frame), withOpacity(glowColor(), glowOpacity()), glowRadius(),
                       QPointF(0, 3));
}

void NimbrelButton::paintFocusRing(QPainter& p) {
    const QRectF frame = QRectF(rect());
    const double s = currentScale();
    if (s != 1.0) {
        p.translate(frame.center());
        p.scale(s, s);
        p.translate(-frame.center());
    }
    const QColor ring =
        kind_ == Kind::primary ? Palette::accent().resolve(this) : Palette::ink2().resolve(this);
    const QRectF outer = frame.adjusted(-kRingOutset, -kRingOutset, kRingOutset, kRingOutset);
    p.setPen(QPen(ring, kRingWidth));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::capsule(Shapes::inset(outer, kRingWidth / 2)));
}

void NimbrelButton::paintContent(QPainter& p) {
    const QRectF r = QRectF(rect());
    const QPainterPath cap = Shapes::capsule(r);
    const double h = hoverAmount();
    switch (kind_) {
        case Kind::primary: {
            p.fillPath(cap, Palette::nimbrel());
            QLinearGradient hi(0, 0, 0, 1);
            hi.setCoordinateMode(QGradient::ObjectMode);
            hi.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.35f));
            hi.setColorAt(0.5, QColor::fromRgbF(1, 1, 1, 0));
            hi.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0));
            p.fillPath(Shapes::capsule(Shapes::inset(r, 1)), hi);
            p.fillPath(cap, QColor::fromRgbF(1, 1, 1, float(0.12 * h)));
            break;
        }
        case Kind::secondary:
            p.fillPath(cap, mixColor(Palette::surface().resolve(this), Palette::raised().resolve(this), h));
            p.setPen(QPen(Palette::line().resolve(this), 1));
            p.drawPath(Shapes::capsule(Shapes::inset(r, 0.5)));
            break;
        case Kind::ghost:
            p.fillPath(cap, withOpacity(Palette::raised().resolve(this), h));
            break;
        case Kind::danger:
            p.fillPath(cap, Palette::emberSubtle().resolve(this));
            p.fillPath(cap, withOpacity(Palette::ember().resolve(this), 0.1 * h));
            break;
    }

    const Metrics m = metrics(size_);
    TightLabel::paint(p, r.adjusted(m.padding, 0, -m.padding, 0), symbol_, text(), titleFont(), m.fontSize,
                      foreground(), m.weight);
}

}  // namespace nimbrel
