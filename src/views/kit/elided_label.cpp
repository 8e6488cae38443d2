#include "views/kit/elided_label.h"

#include <QFontMetrics>
#include <QPainter>
#include <cmath>

#include "theme/fixed_digits.h"

namespace nimbrel {

ElidedLabel::ElidedLabel(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

ElidedLabel* ElidedLabel::line(const QString& text, const QFont& font,
                               std::function<QColor(const QWidget*)> color, QWidget* parent,
                               Qt::TextElideMode mode) {
    auto* label = new ElidedLabel(parent);
    label->setFont(font);
    label->setColor(std::move(color));
    label->setElideMode(mode);
    label->setText(text);
    return label;
}

void ElidedLabel::setText(const QString& text) {
    if (text_ == text) return;
    text_ = text;
    textWidth_ = -1;
    shownWidth_ = -1;
    updateGeometry();
    update();
}

void ElidedLabel::setFont(const QFont& font) {
    font_ = font;
    textWidth_ = -1;
    shownWidth_ = -1;
    updateGeometry();
    update();
}

void ElidedLabel::setColor(std::function<QColor(const QWidget*)> color) {
    color_ = std::move(color);
    update();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode) {
    mode_ = mode;
    shownWidth_ = -1;
    update();
}

void ElidedLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

void ElidedLabel::setFixedDigits(bool fixed) {
    fixedDigits_ = fixed;
    textWidth_ = -1;
    shownWidth_ = -1;
    updateGeometry();
    update();
}

QString ElidedLabel::shownText() const {
    const int width = contentsRect().width();
    if (width == shownWidth_) return shown_;
    // A line break in a name would otherwise start a second line.
    QString line = text_;
    line.replace(QLatin1Char('\n'), QChar(0x2424)).replace(QLatin1Char('\r'), QChar(0x240D));
    shown_ = fixedDigits_ ? FixedDigits::elided(font_, line, width, mode_)
                          : QFontMetrics(font_).elidedText(line, mode_, width);
    shownWidth_ = width;
    return shown_;
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics fm(font_);
    if (textWidth_ < 0)
        textWidth_ =
            fixedDigits_ ? int(std::ceil(FixedDigits::advance(font_, text_))) : fm.horizontalAdvance(text_);
    int w = textWidth_ + 1;
    const QMargins m = contentsMargins();
    return QSize(w + m.left() + m.right(), fm.height() + m.top() + m.bottom());
}

QSize ElidedLabel::minimumSizeHint() const {
    return QSize(0, QFontMetrics(font_).height());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font_);
    p.setPen(color_ ? color_(this) : palette().color(QPalette::WindowText));
    if (fixedDigits_)
        FixedDigits::draw(p, QRectF(contentsRect()), alignment_, shownText());
    else
        p.drawText(contentsRect(), static_cast<int>(alignment_) | Qt::TextSingleLine, shownText());
}

}  // namespace nimbrel
