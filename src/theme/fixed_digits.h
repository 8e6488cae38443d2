#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace nimbrel {

// Text whose digits each take the same width (the font's mean digit advance), so a count that changes
// while it is shown ("48,213" becoming "48,219") never shifts what stands beside it. Qt 6.4 cannot
// switch a font's tabular figures on, so each digit is drawn centred in a cell of its own; the other
// characters keep their own advance. Every size and count Nimbrel shows is drawn through here, whether
// by a label (FigureLabel, ElidedLabel), a rolling figure (RollingText) or a painter.
struct FixedDigits {
    // The width of one digit cell.
    static double cell(const QFont& font);
    // The width `text` takes drawn this way.
    static double advance(const QFont& font, const QString& text);
    // Draws `text` with its baseline starting at `origin`.
    static void draw(QPainter& p, QPointF origin, const QString& text);
    // Draws `text` in `rect`, aligned by `alignment` (left, right or centre; top, bottom or centre).
    static void draw(QPainter& p, const QRectF& rect, Qt::Alignment alignment, const QString& text);
    // Characters each centred in a place of their own (left edge and width from `origin`, on its
    // baseline): the pieces of a figure whose characters move one by one.
    struct Placed {
        QChar c;
        double left;
        double width;
    };
    static void drawInPlaces(QPainter& p, QPointF origin, const std::vector<Placed>& chars);
    // `text` cut with "…" (in the middle, at the end or at the start) until it fits `width` as drawn
    // this way.
    static QString elided(const QFont& font, const QString& text, double width,
                          Qt::TextElideMode mode = Qt::ElideMiddle);

    // True while text is being drawn this way, so a recording paint device can tell digits set in
    // cells from digits drawn inside a whole run of text.
    static bool isDrawing();
};

}  // namespace nimbrel
