#include "views/kit/plain_label.h"

#include <QEvent>

namespace nimbrel {

PlainLabel::PlainLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent)
    : QLabel(parent), color_(std::move(color)) {
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(font);
    applyColor();
}

void PlainLabel::setColor(ColorFn color) {
    color_ = std::move(color);
    applyColor();
}

void PlainLabel::showEvent(QShowEvent* event) {
    applyColor();
    QLabel::showEvent(event);
}

void PlainLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ParentChange) applyColor();
    QLabel::changeEvent(event);
}

void PlainLabel::applyColor() {
    if (!color_) return;
    const QColor c = color_(this);
    QPalette pal = palette();
    if (pal.color(QPalette::WindowText) == c && pal.color(QPalette::Text) == c) return;
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::Text, c);
    setPalette(pal);
}

}  // namespace nimbrel
