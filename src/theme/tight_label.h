#pragma once

#include <QBrush>
#include <QFont>
#include <QRectF>
#include <QString>

#include "theme/fonts.h"

class QPainter;

namespace nimbrel {

// A symbol and a title side by side, vertically centred, 6 points apart: the label layout of the text
// buttons, also used on its own (a symbol beside a size, a note with its icon). A size or count in the
// title keeps its digits in cells of one width (FixedDigits).
struct TightLabel {
    static constexpr double kGap = 6;
    // The symbol is drawn at this share of the title's size (the small image scale).
    static constexpr double kSymbolScale = 0.9;

    // One line at most: a title with a line break keeps its first line and shows that it was cut.
    static QString firstLine(const QString& title);
    static double width(const QString& symbol, const QString& title, const QFont& font, double fontSize);
    // Draws the label in `r` with `alignment` (left, centre or right; always centred vertically). The
    // title is cut with an ellipsis when it does not fit. Returns the width drawn.
    static double paint(QPainter& p, const QRectF& r, const QString& symbol, const QString& title,
                        const QFont& font, double fontSize, const QBrush& brush, FontWeight symbolWeight,
                        Qt::Alignment alignment = Qt::AlignHCenter);
};

}  // namespace nimbrel
