#include "views/kit/symbol_glyph.h"

#include <QPainter>
#include <cmath>

#include "theme/symbols.h"

namespace nimbrel {

SymbolGlyph::SymbolGlyph(const QString& symbol, double size, BrushFn brush, FontWeight weight,
                         QWidget* parent)
    : QWidget(parent), symbol_(symbol), size_(size), brush_(std::move(brush)), weight_(weight) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SymbolGlyph::sizeHint() const {
    const int side = int(std::ceil(Symbols::side(size_)));
    return QSize(side, side);
}

void SymbolGlyph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Symbols::draw(p, QRectF(rect()), symbol_.toStdString(), brush_(this), size_, weight_);
}

}  // namespace nimbrel
