#include "theme/fixed_digits.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QRawFont>
#include <algorithm>
#include <memory>
#include <optional>

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

// What a font needs to draw figures fast: painters draw hundreds of them a frame (a grid of tiles),
// so each text is laid out once into a run of positioned glyphs and drawn in one call afterwards.
struct Face {
    explicit Face(const QFont& font) : cell(meanDigitAdvance(font)) {
        // Glyphs are placed by hand, so only a face drawn without extra spacing can take this way.
        if (font.letterSpacing() == 0 && font.wordSpacing() == 0) raw = QRawFont::fromFont(font);
    }
    double cell;
    QRawFont raw;
    QHash<QString, std::optional<QGlyphRun>> runs;  // by text; none where the face has no way
};

Face& faceOf(const QFont& font) {
    thread_local QHash<QFont, std::shared_ptr<Face>> faces;
    auto it = faces.find(font);
    if (it == faces.end()) {
        if (faces.size() > 64) faces.clear();
        it = faces.insert(font, std::make_shared<Face>(font));
    }
    return **it;
}

// Text the raw face can set glyph by glyph: one glyph per character, no script that needs shaping.
bool plainScript(QStringView text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (c.isSurrogate() || (u >= 0x0590 && !(u >= 0x2000 && u <= 0x22FF))) return false;
    }
    return true;
}

// The glyphs of `text` with digits centred in cells and other runs at their kerned advances, from
// the baseline's start; none when the face lacks a glyph.
std::optional<QGlyphRun> layOut(const Face& face, const QString& text) {
    if (!face.raw.isValid() || !plainScript(text)) return std::nullopt;
    const QList<quint32> glyphs = face.raw.glyphIndexesForString(text);
    if (glyphs.size() != text.size() || glyphs.contains(0u)) return std::nullopt;
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    double x = 0;
    forRuns(text, [&](QStringView run, bool digits) {
        const qsizetype from = run.data() - text.constData();
        const QList<quint32> part = glyphs.mid(from, run.size());
        const QList<QPointF> advances = face.raw.advancesForGlyphIndexes(
            part, digits ? QRawFont::SeparateAdvances : QRawFont::KernedAdvances);
        for (qsizetype i = 0; i < part.size(); ++i) {
            const double w = advances[i].x();
            positions.push_back(QPointF(digits ? x + (face.cell - w) / 2 : x, 0));
            x += digits ? face.cell : w;
        }
    });
    QGlyphRun run;
    run.setRawFont(face.raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    return run;
}

}  // namespace

double FixedDigits::cell(const QFont& font) {
    return faceOf(font).cell;
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
    Face& face = faceOf(p.font());
    auto it = face.runs.constFind(text);
    if (it == face.runs.constEnd()) {
        if (face.runs.size() > 4096) face.runs.clear();
        it = face.runs.insert(text, layOut(face, text));
    }
    if (*it) {
        p.drawGlyphRun(origin, **it);
        return;
    }
    const QFontMetricsF fm(p.font());
    double x = origin.x();
    forRuns(text, [&](QStringView run, bool digits) {
        if (!digits) {
            const QString part = run.toString();
            p.drawText(QPointF(x, origin.y()), part);
            x += fm.horizontalAdvance(part);
            return;
        }
        for (QChar c : run) {
            const double w = fm.horizontalAdvance(c);
            p.drawText(QPointF(x + (face.cell - w) / 2, origin.y()), QString(c));
            x += face.cell;
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
    if (chars.empty()) return;
    const Drawing mark;
    const Face& face = faceOf(p.font());
    if (face.raw.isValid()) {
        QString text;
        for (const Placed& c : chars)
            text += c.c;
        const QList<quint32> glyphs =
            plainScript(text) ? face.raw.glyphIndexesForString(text) : QList<quint32>();
        if (glyphs.size() == text.size() && !glyphs.contains(0u)) {
            const QList<QPointF> advances = face.raw.advancesForGlyphIndexes(glyphs);
            QList<QPointF> positions;
            positions.reserve(glyphs.size());
            for (qsizetype i = 0; i < glyphs.size(); ++i) {
                const Placed& c = chars[static_cast<size_t>(i)];
                positions.push_back(QPointF(c.left + (c.width - advances[i].x()) / 2, 0));
            }
            QGlyphRun run;
            run.setRawFont(face.raw);
            run.setGlyphIndexes(glyphs);
            run.setPositions(positions);
            p.drawGlyphRun(origin, run);
            return;
        }
    }
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
