#include "views/deepclean/safe_header.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "theme/fonts.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"

namespace nimbrel {

SafeHeader::SafeHeader(QWidget* parent)
    : QWidget(parent), figure_(QStringLiteral("\u2026")), rolling_(new RollingText(this)) {
    rolling_->setText(figure_, false);
    button_ = new NimbrelButton(tr("Select everything safe"), NimbrelButton::Kind::secondary,
                                NimbrelButton::Size::regular, this);
    button_->setSymbol(QStringLiteral("checklist.checked"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(figure_ + QLatin1Char(' ') + caption());
}

QFont SafeHeader::figureFont() {
    QFont f = Fonts::font(kFigureSize, FontWeight::black, FontDesign::rounded);
    f.setLetterSpacing(QFont::AbsoluteSpacing, kFigureTracking);
    return f;
}

QFont SafeHeader::captionFont() {
    return Fonts::font(kCaptionSize, FontWeight::bold, FontDesign::rounded);
}

QString SafeHeader::caption() const {
    return tr("is safe to nimbrelise");
}

void SafeHeader::setFigure(const QString& figure) {
    if (figure_ == figure) return;
    figure_ = figure;
    // The size rolls its digits from the old figure to the new one.
    rolling_->setText(figure_);
    setAccessibleName(figure_ + QLatin1Char(' ') + caption());
    updateGeometry();
    update();
}

double SafeHeader::baseline() const {
    return QFontMetricsF(figureFont()).ascent();
}

QSize SafeHeader::sizeHint() const {
    const QFontMetricsF figure(figureFont());
    const QFontMetricsF text(captionFont());
    const double width = rolling_->advance(figureFont()) + kSpacing + text.horizontalAdvance(caption()) +
                         kSpacing + button_->sizeHint().width();
    const double height = std::max(figure.height(), double(button_->sizeHint().height()));
    return QSize(int(std::ceil(width)), int(std::ceil(height)));
}

QSize SafeHeader::minimumSizeHint() const {
    return QSize(0, sizeHint().height());
}

void SafeHeader::resizeEvent(QResizeEvent*) {
    // The button sits on the texts' baseline line: its centre level with the caption's x-height.
    const QSize size = button_->sizeHint();
    const double centre = baseline() - QFontMetricsF(captionFont()).xHeight();
    const int y =
        std::clamp(int(std::lround(centre - size.height() / 2.0)), 0, std::max(0, height() - size.height()));
    button_->setGeometry(width() - size.width(), y, size.width(), size.height());
}

void SafeHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double base = baseline();
    const double limit = button_->geometry().left() - kSpacing;

    rolling_->paint(p, QPointF(0, base), figureFont(), Palette::nimbrel());

    const double x = rolling_->advance(figureFont()) + kSpacing;
    if (x < limit) {
        const QFontMetricsF text(captionFont());
        p.setFont(captionFont());
        p.setPen(Palette::ink2().resolve(this));
        p.drawText(QPointF(x, base), text.elidedText(caption(), Qt::ElideRight, limit - x));
    }
}

}  // namespace nimbrel
