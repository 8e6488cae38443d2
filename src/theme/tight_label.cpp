#include "theme/tight_label.h"

#include <QFontMetricsF>
#include <QPainter>

#include "theme/fixed_digits.h"
#include "theme/symbols.h"

namespace nimbrel {

namespace {
double symbolSide(const QString& symbol, double fontSize) {
    return symbol.isEmpty() ? 0 : Symbols::side(fontSize * TightLabel::kSymbolScale);
}
}  // namespace

QString TightLabel::firstLine(const QString& title) {
    const qsizetype br = title.indexOf(QLatin1Char('\n'));
    return br < 0 ? title : title.left(br) + QChar(0x2026);
}

double TightLabel::width(const QString& symbol, const QString& title, const QFont& font, double fontSize) {
    const double gap = symbol.isEmpty() || title.isEmpty() ? 0 : kGap;
    return symbolSide(symbol, fontSize) + gap + FixedDigits::advance(font, firstLine(title));
}

double TightLabel::paint(QPainter& p, const QRectF& r, const QString& symbol, const QString& title,
                         const QFont& font, double fontSize, const QBrush& brush, FontWeight symbolWeight,
                         Qt::Alignment alignment) {
    const double side = symbolSide(symbol, fontSize);
    const double gap = symbol.isEmpty() || title.isEmpty() ? 0 : kGap;
    const double room = std::max(0.0, r.width() - side - gap);
    const QString shown = FixedDigits::elided(font, firstLine(title), room, Qt::ElideRight);
    const double total = side + gap + FixedDigits::advance(font, shown);
    double x = r.left();
    if (alignment & Qt::AlignHCenter)
        x = r.center().x() - total / 2;
    else if (alignment & Qt::AlignRight)
        x = r.right() - total;
    if (!symbol.isEmpty()) {
        Symbols::draw(p, QRectF(x, r.top(), side, r.height()), symbol.toStdString(), brush,
                      fontSize * kSymbolScale, symbolWeight);
        x += side + gap;
    }
    p.save();
    p.setFont(font);
    p.setPen(QPen(brush, 1));
    FixedDigits::draw(p, QRectF(x, r.top(), room + 1, r.height()), Qt::AlignLeft | Qt::AlignVCenter, shown);
    p.restore();
    return total;
}

}  // namespace nimbrel
