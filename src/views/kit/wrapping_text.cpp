#include "views/kit/wrapping_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace nimbrel {

namespace {

constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

}  // namespace

WrappingText::WrappingText(const QString& text, const QFont& font,
                           std::function<QColor(const QWidget*)> color, QWidget* parent)
    : QWidget(parent), text_(text), font_(font), color_(std::move(color)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setAccessibleName(text_);
}

void WrappingText::setText(const QString& text) {
    if (text_ == text) return;
    text_ = text;
    setAccessibleName(text_);
    updateGeometry();
    update();
}

QRectF WrappingText::bounds(double width) const {
    return QFontMetricsF(font_).boundingRect(QRectF(0, 0, std::max(1.0, width), 1e6), kFlags, text_);
}

int WrappingText::heightForWidth(int width) const {
    return int(std::ceil(bounds(width).height()));
}

QSize WrappingText::sizeHint() const {
    const QRectF oneLine = bounds(1e6);
    return QSize(int(std::ceil(oneLine.width())), int(std::ceil(oneLine.height())));
}

QSize WrappingText::minimumSizeHint() const {
    return QSize(0, int(std::ceil(QFontMetricsF(font_).height())));
}

void WrappingText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font_);
    p.setPen(color_ ? color_(this) : palette().color(QPalette::WindowText));
    p.drawText(QRectF(rect()), kFlags, text_);
}

}  // namespace nimbrel
