#include "views/shell/free_space_chip.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "theme/fixed_digits.h"
#include "theme/fonts.h"
#include "theme/palette.h"
#include "util/fmt.h"
#include "views/kit/plain_text.h"
#include "views/shell/volume_usage.h"

namespace nimbrel {

namespace {

constexpr double kPaddingX = 10;
constexpr double kSpacing = 7;
constexpr double kGaugeWidth = 6;
constexpr double kGaugeHeight = 16;

QFont chipFont() {
    return Fonts::font(12, FontWeight::semibold, FontDesign::rounded);
}

}  // namespace

FreeSpaceChip::FreeSpaceChip(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&scale_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    connect(&state_, &AppState::volumesChanged, this, &FreeSpaceChip::followVolumes);
    followVolumes();
}

void FreeSpaceChip::setCompact(bool compact) {
    if (compact_ == compact) return;
    compact_ = compact;
    updateGeometry();
    update();
}

void FreeSpaceChip::followVolumes() {
    setVisible(state_.rootVolume().has_value());
    updateGeometry();
    update();
}

QString FreeSpaceChip::text() const {
    const std::optional<VolumeInfo> volume = state_.rootVolume();
    if (!volume) return {};
    const QString available = Fmt::bytes(volume->available);
    return compact_ ? available : tr("%1 free").arg(available);
}

QString FreeSpaceChip::helpText() const {
    const std::optional<VolumeInfo> volume = state_.rootVolume();
    if (!volume) return {};
    return tr("%1: %2 free of %3 · %4 full")
        .arg(QString::fromStdString(volume->name), Fmt::bytes(volume->available), Fmt::bytes(volume->total),
             Fmt::percent(usedFraction()));
}

double FreeSpaceChip::usedFraction() const {
    const std::optional<VolumeInfo> volume = state_.rootVolume();
    return volume ? nimbrel::usedFraction(*volume) : 0.0;
}

bool FreeSpaceChip::isAlarming() const {
    const std::optional<VolumeInfo> volume = state_.rootVolume();
    return volume && volume->total > 0 && usedFraction() > kMagmaAbove;
}

QSize FreeSpaceChip::sizeHint() const {
    if (!state_.rootVolume()) return QSize(0, 0);
    const double textWidth = FixedDigits::advance(chipFont(), text());
    return QSize(static_cast<int>(std::ceil(2 * kPaddingX + kGaugeWidth + kSpacing + textWidth)), kHeight);
}

void FreeSpaceChip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    setPressed(true);
}

void FreeSpaceChip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    const bool wasPressed = pressed_;
    setPressed(false);
    if (wasPressed && rect().contains(event->position().toPoint())) state_.setSection(SidebarItem::overview);
}

void FreeSpaceChip::setPressed(bool pressed) {
    pressed_ = pressed;
    scale_.animateTo(pressed ? 0.98 : 1.0, Motion::press());
}

bool FreeSpaceChip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), PlainText::toolTip(helpText()), this);
        return true;
    }
    return QWidget::event(event);
}

void FreeSpaceChip::paintEvent(QPaintEvent*) {
    if (!state_.rootVolume()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    if (const double s = scale_.value(); s != 1.0) {
        p.translate(bounds.center());
        p.scale(s, s);
        p.translate(-bounds.center());
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::well().resolve(this));
    p.drawRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);

    const QRectF gauge(kPaddingX, (bounds.height() - kGaugeHeight) / 2, kGaugeWidth, kGaugeHeight);
    p.drawRoundedRect(gauge, kGaugeWidth / 2, kGaugeWidth / 2);
    const double fill = usedFraction() * kGaugeHeight;
    if (fill > 0) {
        const QRectF level(gauge.x(), gauge.bottom() - fill, kGaugeWidth, fill);
        const double r = std::min(kGaugeWidth, fill) / 2;
        if (isAlarming()) {
            p.setBrush(Palette::magma());
        } else {
            QLinearGradient flat = Palette::nimbrelFlat();
            p.setBrush(flat);
        }
        p.drawRoundedRect(level, r, r);
    }

    p.setFont(chipFont());
    p.setPen(Palette::ink2().resolve(this));
    const QRectF textRect(gauge.right() + kSpacing, 0,
                          bounds.width() - gauge.right() - kSpacing - kPaddingX + 1, bounds.height());
    FixedDigits::draw(p, textRect, Qt::AlignLeft, text());
}

}  // namespace nimbrel
