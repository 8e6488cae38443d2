#include "theme/fixed_digits.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <algorithm>

namespace nimbrel {

namespace {

thread_local int drawing = 0;

// Marks the text drawn while it lives as drawn in cells.
struct Drawing {
    Drawing() { ++drawing; }
    ~Drawing() { --drawing; }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;
};

// Runs of digits and runs of other text, so the other text keeps its kerning.
template <typename F>
void forRuns(const QString& text, F&& each) {
    qsizetype start = 0;
    while (start < text.size()) {
        const bool digits = text[start].isDigit();
        qsizetype end = start;
        while (end < text.size() && text[end].isDigit() == digits)
            ++end;
        each(QStringView(text).mid(start, end - start), digits);
        start = end;
    }
}

}  // namespace

bool FixedDigits::isDrawing() {
    return drawing > 0;
}

namespace {

double meanDigitAdvance(const QFont& font) {
    // The mean advance, not the widest: the faces' "1" is far narrower than the rest (Quicksand's by
    // almost half), and cells as wide as the "0" set every figure apart as if letter-spaced. A wider
    // digit reaches a fraction of a point into its side bearings, which are wider than that.
    const QFontMetricsF fm(font);
    double sum = 0;
    for (char16_t d = u'0'; d <= u'9'; ++d)
        sum += fm.horizontalAdvance(QChar(d));
    return sum / 10;
}

// The cell of each font, measured once: painters ask for it with every figure they draw (a grid of
// tiles, each frame).
double cellOf(const QFont& font) {
    thread_local QHash<QFont, double> cells;
    if (const auto it = cells.constFind(font); it != cells.constEnd()) return *it;
    if (cells.size() > 64) cells.clear();
    return cells[font] = meanDigitAdvance(font);
}

}  // namespace

double FixedDigits::cell(const QFont& font) {
    return cellOf(font);
}

double FixedDigits::advance(const QFont& font, const QString& text) {
    const QFontMetricsF fm(font);
    const double digit = cell(font);
    double width = 0;
    forRuns(text, [&](QStringView run, bool digits) {
        width += digits ? digit * double(run.size()) : fm.horizontalAdvance(run.toString());
    });
    return width;
}

void FixedDigits::draw(QPainter& p, QPointF origin, const QString& text) {
    const Drawing mark;
    const QFontMetricsF fm(p.font());
    const double digit = cell(p.font());
    double x = origin.x();
    forRuns(text, [&](QStringView run, bool digits) {
        if (!digits) {
            const QString part = run.toString();
            p.drawText(QPointF(x, origin.y()), part);
            x += fm.horizontalAdvance(part);
            return;
        }
        for (QChar c : run) {
            p.drawText(QPointF(x + (digit - fm.horizontalAdvance(c)) / 2, origin.y()), QString(c));
            x += digit;
        }
    });
}

void FixedDigits::draw(QPainter& p, const QRectF& rect, Qt::Alignment alignment, const QString& text) {
    const QFontMetricsF fm(p.font());
    const double width = advance(p.font(), text);
    double x = rect.left();
    if (alignment & Qt::AlignRight)
        x = rect.right() - width;
    else if (alignment & Qt::AlignHCenter)
        x = rect.center().x() - width / 2;
    double baseline = rect.center().y() + (fm.ascent() - fm.descent()) / 2;
    if (alignment & Qt::AlignTop)
        baseline = rect.top() + fm.ascent();
    else if (alignment & Qt::AlignBottom)
        baseline = rect.bottom() - fm.descent();
    draw(p, QPointF(x, baseline), text);
}

void FixedDigits::drawInPlaces(QPainter& p, QPointF origin, const std::vector<Placed>& chars) {
    const Drawing mark;
    const QFontMetricsF fm(p.font());
    for (const Placed& c : chars)
        p.drawText(QPointF(origin.x() + c.left + (c.width - fm.horizontalAdvance(c.c)) / 2, origin.y()),
                   QString(c.c));
}

QString FixedDigits::elided(const QFont& font, const QString& text, double width, Qt::TextElideMode mode) {
    if (mode == Qt::ElideNone || advance(font, text) <= width) return text;
    const QString ellipsis(QChar(0x2026));
    // Drop characters where the mode says (from the middle: keeping the head and the tail as even as
    // possible) until the rest fits.
    qsizetype keep = text.size() - 1;
    while (keep > 0) {
        const qsizetype head = mode == Qt::ElideRight ? keep : mode == Qt::ElideLeft ? 0 : (keep + 1) / 2;
        const QString candidate = text.left(head) + ellipsis + text.right(keep - head);
        if (advance(font, candidate) <= width) return candidate;
        --keep;
    }
    return advance(font, ellipsis) <= width ? ellipsis : QString();
}

}  // namespace nimbrel
