#include "views/shell/area_switcher.h"

#include <QFontMetricsF>
#include <QPainter>

#include "theme/fonts.h"
#include "theme/motion.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"
#include "views/kit/navigation.h"
#include "views/kit/shortcuts.h"

namespace nimbrel {

namespace {

constexpr double kSymbolSize = 11;
constexpr double kTitleSize = 12.5;
constexpr double kLabelSpacing = 6;

QFont titleFont() {
    return Fonts::font(kTitleSize, FontWeight::semibold);
}

double horizontalInset(bool compact) {
    return compact ? 11 : 14;
}

size_t indexOf(Area area) {
    return static_cast<size_t>(Navigation::position(area) - 1);
}

}  // namespace

AreaPill::AreaPill(Area area, AreaSwitcher* switcher)
    : PressButton(switcher), area_(area), switcher_(switcher) {
    setAccessibleName(title(area));
    setToolTip(switcher->helpText(area));
    // The current area reads as checked to assistive technology; a click never unchecks it (the
    // switcher decides what is current).
    setCheckable(true);
}

QSize AreaPill::sizeHint() const {
    return QSize(static_cast<int>(switcher_->pillWidth(area_)), AreaSwitcher::kPillHeight);
}

void AreaPill::paintContent(QPainter& p) {
    const bool current = switcher_->currentArea() == area_;
    const QColor colour = (current ? Palette::canvas() : Palette::ink2()).resolve(this);
    const double inset = horizontalInset(switcher_->isCompact());
    const double side = Symbols::side(kSymbolSize);
    const QRectF symbolRect(inset, (height() - side) / 2, side, side);
    Symbols::draw(p, symbolRect, Navigation::symbol(area_), colour, kSymbolSize, FontWeight::bold);
    if (switcher_->isCompact()) return;
    p.setFont(titleFont());
    p.setPen(colour);
    const QRectF textRect(symbolRect.right() + kLabelSpacing, 0,
                          width() - inset - symbolRect.right() - kLabelSpacing + 1, height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title(area_));
}

void AreaPill::paintEvent(QPaintEvent* event) {
    PressButton::paintEvent(event);
    // The pills fill the switcher's well: the keyboard focus is drawn inside the pill, in the accent
    // colour, which shows on the thumb and on the well alike.
    if (!showsFocusRing()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Palette::accent().resolve(this), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::capsule(Shapes::inset(QRectF(rect()), 1)));
}

AreaSwitcher::AreaSwitcher(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), current_(Navigation::currentArea(state)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    for (Area area : kAllAreas) {
        auto* pill = new AreaPill(area, this);
        connect(pill, &AreaPill::clicked, this, [this, area] { Navigation::selectArea(state_, area); });
        pills_[indexOf(area)] = pill;
    }
    for (AreaPill* p : pills_)
        p->setChecked(p->area() == current_);
    connect(&state_, &AppState::sectionChanged, this, &AreaSwitcher::followState);
    connect(&thumbX_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    connect(&thumbWidth_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    placePills();
    moveThumb(false);
}

AreaPill* AreaSwitcher::pill(Area area) const {
    return pills_[indexOf(area)];
}

void AreaSwitcher::setCompact(bool compact) {
    if (compact_ == compact) return;
    compact_ = compact;
    updateGeometry();
    placePills();
    moveThumb(false);
    update();
}

double AreaSwitcher::pillWidth(Area area) const {
    double label = Symbols::side(kSymbolSize);
    if (!compact_) label += kLabelSpacing + QFontMetricsF(titleFont()).horizontalAdvance(title(area));
    return std::ceil(label + 2 * horizontalInset(compact_));
}

QRectF AreaSwitcher::pillRect(Area area) const {
    double x = kInset;
    for (Area a : kAllAreas) {
        const double w = pillWidth(a);
        if (a == area) return QRectF(x, kInset, w, kPillHeight);
        x += w + kSpacing;
    }
    return {};
}

QRectF AreaSwitcher::thumbRect() const {
    return QRectF(thumbX_.value(), kInset, thumbWidth_.value(), kPillHeight);
}

QString AreaSwitcher::helpText(Area area) const {
    return tr("%1 (%2)").arg(title(area), Shortcuts::text(Shortcuts::area(Navigation::position(area))));
}

QSize AreaSwitcher::sizeHint() const {
    const QRectF last = pillRect(kAllAreas.back());
    return QSize(static_cast<int>(std::ceil(last.right() + kInset)), kPillHeight + 2 * kInset);
}

void AreaSwitcher::placePills() {
    for (Area area : kAllAreas)
        pill(area)->setGeometry(pillRect(area).toRect());
}

void AreaSwitcher::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placePills();
}

void AreaSwitcher::followState() {
    const Area area = Navigation::currentArea(state_);
    if (area == current_) return;
    current_ = area;
    moveThumb(true);
    for (AreaPill* p : pills_) {
        p->setChecked(p->area() == current_);
        p->update();
    }
    update();
}

void AreaSwitcher::moveThumb(bool animated) {
    const QRectF target = pillRect(current_);
    if (animated) {
        thumbX_.animateTo(target.x(), Motion::indicator(), true);
        thumbWidth_.animateTo(target.width(), Motion::indicator(), true);
    } else {
        thumbX_.setImmediate(target.x());
        thumbWidth_.setImmediate(target.width());
    }
}

void AreaSwitcher::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    // The well capsule with its hairline drawn inside the edge.
    const QRectF bounds(rect());
    const double radius = bounds.height() / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::well().resolve(this));
    p.drawRoundedRect(bounds, radius, radius);
    p.setPen(QPen(Palette::line().resolve(this), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);

    // The thumb behind the current pill; the pills draw their labels over it.
    const QRectF thumb = thumbRect();
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::ink().resolve(this));
    p.drawRoundedRect(thumb, thumb.height() / 2, thumb.height() / 2);
}

}  // namespace nimbrel
