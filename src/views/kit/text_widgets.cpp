#include "views/kit/text_widgets.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>

#include "theme/fonts.h"
#include "theme/symbols.h"
#include "views/kit/symbol_glyph.h"

namespace nimbrel {

NoteLabel::NoteLabel(const QString& symbol, const QString& text, const QFont& font, ColorFn color,
                     QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* icon = new SymbolGlyph(symbol, Fonts::size(font) * 0.95, color, FontWeight::regular, this);
    // The symbol sits on the first line of the text.
    icon->setFixedHeight(QFontMetrics(font).height());
    label_ = PlainLabel::wrapping(text, font, color, this);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(label_, 1);
}

QString NoteLabel::text() const {
    return label_->text();
}

}  // namespace nimbrel
