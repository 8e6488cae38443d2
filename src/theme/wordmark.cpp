#include "theme/wordmark.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "theme/fonts.h"
#include "theme/logo.h"
#include "theme/palette.h"

namespace nimbrel {

namespace {
// The product name as drawn is not translated; only its accessible name is.
const QString kName = QStringLiteral("nimbrel");
}  // namespace

Wordmark::Wordmark(QWidget* parent) : QWidget(parent) {
    setAccessibleName(tr("Nimbrel"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QFont Wordmark::nameFont() {
    QFont f = Fonts::font(23, FontWeight::black, FontDesign::rounded);
    f.setLetterSpacing(QFont::AbsoluteSpacing, -0.6);
    return f;
}

QSizeF Wordmark::rowSize() const {
    const QFontMetricsF fm(nameFont());
    return QSizeF(kLogoSize + kSpacing + fm.horizontalAdvance(kName), std::max(1.1 * kLogoSize, fm.height()));
}

QMargins Wordmark::bleed() const {
    // The logo is centred in the row; its puff rises above the logo's frame.
    const double logoTop = (rowSize().height() - 1.1 * kLogoSize) / 2;
    const int above = NimbrelLogo::bleedFor(kLogoSize).top();
    const int below = NimbrelLogo::bleedFor(kLogoSize).bottom();
    return QMargins(0, std::max(0, int(std::ceil(above - logoTop))), 0,
                    std::max(0, int(std::ceil(below - logoTop))));
}

QRectF Wordmark::layoutRect() const {
    return QRectF(QPointF(0, bleed().top()), rowSize());
}

QSize Wordmark::sizeHint() const {
    const QSizeF s = rowSize();
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height()))).grownBy(bleed());
}

void Wordmark::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF row = layoutRect();
    NimbrelLogo::paint(p, QPointF(row.left(), row.center().y() - 0.55 * kLogoSize), kLogoSize);
    const QFont font = nameFont();
    const QFontMetricsF fm(font);
    p.setFont(font);
    p.setPen(Palette::ink().resolve(this));
    const double baseline = row.center().y() - fm.height() / 2 + fm.ascent();
    p.drawText(QPointF(row.left() + kLogoSize + kSpacing, baseline), kName);
}

}  // namespace nimbrel
