#include "theme/figure_label.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

#include "theme/rolling_text.h"

namespace nimbrel {

FigureLabel::FigureLabel(const QFont& font, const AdaptiveColor& color, bool rolls, QWidget* parent)
    : QWidget(parent), font_(font), color_(color), rolls_(rolls), rolling_(new RollingText(this)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString FigureLabel::text() const {
    return rolling_->text();
}

void FigureLabel::setText(const QString& text, bool animate) {
    if (text == rolling_->text()) return;
    const int before = sizeHint().width();
    rolling_->setText(text, rolls_ && animate);
    setAccessibleName(text);
    if (sizeHint().width() != before) updateGeometry();
    update();
}

void FigureLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

QSize FigureLabel::sizeHint() const {
    const QFontMetricsF fm(font_);
    return QSize(int(std::ceil(rolling_->advance(font_))) + 1, int(std::ceil(fm.height())));
}

void FigureLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF fm(font_);
    const double w = rolling_->advance(font_);
    double x = 0;
    if (alignment_ & Qt::AlignRight)
        x = width() - w - 1;
    else if (alignment_ & Qt::AlignHCenter)
        x = (width() - w) / 2;
    const double base = (height() - fm.height()) / 2 + fm.ascent();
    rolling_->paint(p, QPointF(x, base), font_, color_.resolve(this));
}

}  // namespace nimbrel
