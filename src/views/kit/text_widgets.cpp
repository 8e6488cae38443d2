#include "views/kit/text_widgets.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>

#include "theme/symbols.h"
#include "views/kit/symbol_glyph.h"

namespace nimbrel {

WrapLabel::WrapLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent)
    : QLabel(parent), color_(std::move(color)) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setFont(font);
    setText(text);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    applyColor();
}

void WrapLabel::setColor(ColorFn color) {
    color_ = std::move(color);
    applyColor();
}

void WrapLabel::showEvent(QShowEvent* event) {
    applyColor();
    QLabel::showEvent(event);
}

void WrapLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::StyleChange) applyColor();
}

void WrapLabel::applyColor() {
    if (!color_) return;
    QPalette pal = palette();
    const QColor c = color_(this);
    if (pal.color(QPalette::WindowText) == c) return;
    pal.setColor(QPalette::WindowText, c);
    setPalette(pal);
}

NoteLabel::NoteLabel(const QString& symbol, const QString& text, const QFont& font, ColorFn color,
                     QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* icon =
        new SymbolGlyph(symbol, QFontInfo(font).pixelSize() * 0.95, color, FontWeight::regular, this);
    // The symbol sits on the first line of the text.
    icon->setFixedHeight(QFontMetrics(font).height());
    label_ = new WrapLabel(text, font, color, this);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(label_, 1);
}

QString NoteLabel::text() const {
    return label_->text();
}

}  // namespace nimbrel
