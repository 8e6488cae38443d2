#include "views/kit/plain_label.h"

#include <QEvent>

#include "theme/appearance.h"

namespace nimbrel {

ColorFn shownColor(const AdaptiveColor& color) {
    return [&color](const QWidget* w) { return color.resolve(w); };
}

ColorFn fixedColor(QColor color) {
    return [color](const QWidget*) { return color; };
}

PlainLabel::PlainLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent)
    : QLabel(parent), color_(std::move(color)) {
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(font);
    applyColor();
}

PlainLabel::PlainLabel(const QString& text, const QFont& font, const AdaptiveColor& color, QWidget* parent)
    : PlainLabel(text, font, shownColor(color), parent) {}

PlainLabel* PlainLabel::wrapping(const QString& text, const QFont& font, ColorFn color, QWidget* parent) {
    auto* label = new PlainLabel(text, font, std::move(color), parent);
    label->wrapLines();
    return label;
}

void PlainLabel::setColor(ColorFn color) {
    color_ = std::move(color);
    applyColor();
}

void PlainLabel::wrapLines() {
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

void PlainLabel::showEvent(QShowEvent* event) {
    applyColor();
    QLabel::showEvent(event);
}

void PlainLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::StyleChange) applyColor();
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
