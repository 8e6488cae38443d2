#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

namespace nimbrel {

// Text whose digits each take the same width (the font's mean digit advance), so a count that changes
// while it is shown ("48,213" becoming "48,219") never shifts what stands beside it. Qt 6.4 cannot
// switch a font's tabular figures on, so each digit is drawn centred in a cell of its own; the other
// characters keep their own advance.
struct FixedDigits {
    // The width of one digit cell.
    static double cell(const QFont& font);
    // The width `text` takes drawn this way.
    static double advance(const QFont& font, const QString& text);
    // Draws `text` with its baseline starting at `origin`.
    static void draw(QPainter& p, QPointF origin, const QString& text);
    // Draws `text` in `rect`, aligned by `alignment` (left, right or centre; vertically centred).
    static void draw(QPainter& p, const QRectF& rect, Qt::Alignment alignment, const QString& text);
    // `text` cut in its middle with "…" until it fits `width` as drawn this way.
    static QString elided(const QFont& font, const QString& text, double width);
};

}  // namespace nimbrel
