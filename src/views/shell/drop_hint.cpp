#include "views/shell/drop_hint.h"

#include <QPainter>
#include <QPainterPath>

#include "theme/fonts.h"
#include "theme/logo.h"
#include "theme/palette.h"

namespace nimbrel {

namespace {

constexpr double kLogoSize = 40;
constexpr double kSpacing = 8;
constexpr double kDashOn = 10;
constexpr double kDashOff = 7;

QFont hintFont() {
    return Fonts::font(20, FontWeight::heavy, FontDesign::rounded);
}

}  // namespace

DropHint::DropHint(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAcceptDrops(false);
}

void DropHint::setOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

void DropHint::paintEvent(QPaintEvent*) {
    if (opacity_ <= 0) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity_);
    const QRectF frame = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::nimbrelSubtle().resolve(this));
    p.drawRoundedRect(frame, kRadius, kRadius);

    // Stroked inside the shape; Qt's dash lengths are in units of the pen width.
    QPen pen(Palette::accent().resolve(this), kStroke);
    pen.setDashPattern({kDashOn / kStroke, kDashOff / kStroke});
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const double half = kStroke / 2;
    p.drawRoundedRect(frame.adjusted(half, half, -half, -half), kRadius - half, kRadius - half);

    // The logo and the text, centred as one column.
    const double logoHeight = kLogoSize * 1.1;
    const double textHeight = QFontMetricsF(hintFont()).height();
    const double top = (height() - (logoHeight + kSpacing + textHeight)) / 2;
    NimbrelLogo::paint(p, QPointF((width() - kLogoSize) / 2, top), kLogoSize);
    p.setFont(hintFont());
    p.setPen(Palette::ink().resolve(this));
    const QRectF text(0, top + logoHeight + kSpacing, width(), textHeight);
    p.drawText(text, Qt::AlignHCenter | Qt::AlignTop, tr("Drop to scan"));
}

}  // namespace nimbrel
