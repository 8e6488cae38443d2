#include "theme/fixed_digits.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace nimbrel {

double FixedDigits::cell(const QFont& font) {
    // The mean advance, not the widest: the faces' "1" is far narrower than the rest (Quicksand's by
    // almost half), and cells as wide as the "0" set every figure apart as if letter-spaced. A wider
    // digit reaches a fraction of a point into its side bearings, which are wider than that.
    const QFontMetricsF fm(font);
    double sum = 0;
    for (char16_t d = u'0'; d <= u'9'; ++d)
        sum += fm.horizontalAdvance(QChar(d));
    return sum / 10;
}

namespace {

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
    const QFontMetricsF fm(p.font());
    const double digit = cell(p.font());
    double x = origin.x();
    forRuns(text, [&](QStringView run, bool digits) {
        if (!digits) {
            p.drawText(QPointF(x, origin.y()), run.toString());
            x += fm.horizontalAdvance(run.toString());
            return;
        }
        for (QChar c : run) {
            const double w = fm.horizontalAdvance(c);
            p.drawText(QPointF(x + (digit - w) / 2, origin.y()), QString(c));
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
    const double baseline = rect.center().y() + (fm.ascent() - fm.descent()) / 2;
    draw(p, QPointF(x, baseline), text);
}

QString FixedDigits::elided(const QFont& font, const QString& text, double width) {
    if (advance(font, text) <= width) return text;
    const QString ellipsis(QChar(0x2026));
    // Drop characters from the middle, keeping the head and the tail as even as possible.
    qsizetype keep = text.size() - 1;
    while (keep > 0) {
        const qsizetype head = (keep + 1) / 2, tail = keep / 2;
        const QString candidate = text.left(head) + ellipsis + text.right(tail);
        if (advance(font, candidate) <= width) return candidate;
        --keep;
    }
    return advance(font, ellipsis) <= width ? ellipsis : QString();
}

}  // namespace nimbrel
