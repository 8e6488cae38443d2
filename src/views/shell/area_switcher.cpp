#include "views/shell/area_switcher.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include "theme/fonts.h"
#include "theme/motion.h"
#include "theme/palette.h"
#include "theme/symbols.h"
#include "views/shell/navigation.h"
#include "views/shell/shortcuts.h"

namespace nimbrel {

namespace {

constexpr double kSymbolSize = 11;
constexpr double kTitleSize = 12.5;
constexpr double kLabelSpacing = 6;
constexpr double kPressedScale = 0.98;

QFont titleFont() {
    return Fonts::font(kTitleSize, FontWeight::semibold);
}

}  // namespace

AreaSwitcher::AreaSwitcher(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), current_(Navigation::currentArea(state)) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    connect(&state_, &AppState::sectionChanged, this, &AreaSwitcher::followState);
    connect(&thumbX_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    connect(&thumbWidth_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    moveThumb(false);
}

void AreaSwitcher::setCompact(bool compact) {
    if (compact_ == compact) return;
    compact_ = compact;
    updateGeometry();
    moveThumb(false);
    update();
}

double AreaSwitcher::pillWidth(Area area) const {
    const double inset = compact_ ? 11 : 14;
    double label = Symbols::side(kSymbolSize);
    if (!compact_) label += kLabelSpacing + QFontMetricsF(titleFont()).horizontalAdvance(title(area));
    return std::ceil(label + 2 * inset);
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

void AreaSwitcher::followState() {
    const Area area = Navigation::currentArea(state_);
    if (area == current_) return;
    current_ = area;
    moveThumb(true);
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

std::optional<Area> AreaSwitcher::areaAt(const QPointF& pos) const {
    for (Area a : kAllAreas) {
        if (pillRect(a).contains(pos)) return a;
    }
    return std::nullopt;
}

void AreaSwitcher::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressed_ = areaAt(event->position());
    update();
}

void AreaSwitcher::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    const std::optional<Area> pressed = pressed_;
    pressed_.reset();
    update();
    if (pressed && areaAt(event->position()) == pressed) Navigation::selectArea(state_, *pressed);
}

bool AreaSwitcher::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const std::optional<Area> area = areaAt(help->pos())) {
            QToolTip::showText(help->globalPos(), helpText(*area), this, pillRect(*area).toRect());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void AreaSwitcher::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // The well capsule with its inner hairline.
    const QRectF bounds = QRectF(rect()).adjusted(0, 0, 0, 0);
    const double radius = bounds.height() / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::well().resolve(this));
    p.drawRoundedRect(bounds, radius, radius);
    p.setPen(QPen(Palette::line().resolve(this), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);

    // The thumb behind the current pill.
    const QRectF thumb = thumbRect();
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::ink().resolve(this));
    p.drawRoundedRect(thumb, thumb.height() / 2, thumb.height() / 2);

    const QColor canvas = Palette::canvas().resolve(this);
    const QColor ink2 = Palette::ink2().resolve(this);
    const QFont font = titleFont();
    const QFontMetricsF fm(font);
    for (Area area : kAllAreas) {
        const QRectF pill = pillRect(area);
        p.save();
        if (pressed_ == area) {
            p.translate(pill.center());
            p.scale(kPressedScale, kPressedScale);
            p.translate(-pill.center());
        }
        const QColor colour = area == current_ ? canvas : ink2;
        const double inset = compact_ ? 11 : 14;
        const double side = Symbols::side(kSymbolSize);
        const QRectF symbolRect(pill.x() + inset, pill.center().y() - side / 2, side, side);
        Symbols::draw(p, symbolRect, Navigation::symbol(area), colour, kSymbolSize, FontWeight::bold);
        if (!compact_) {
            p.setFont(font);
            p.setPen(colour);
            const QRectF textRect(symbolRect.right() + kLabelSpacing, pill.y(),
                                  pill.right() - inset - symbolRect.right() - kLabelSpacing + 1,
                                  pill.height());
            p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title(area));
        }
        p.restore();
    }
}

}  // namespace nimbrel
