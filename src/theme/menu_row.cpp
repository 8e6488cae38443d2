#include "theme/menu_row.h"

#include <QFontMetricsF>
#include <QPainter>

#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"
#include "theme/typo.h"

namespace nimbrel {

namespace {
QFont titleFont() {
    return Fonts::font(13, FontWeight::medium);
}
}  // namespace

MenuRow::MenuRow(const QString& title, const QString& symbol, const QString& detail, QWidget* parent)
    : PressButton(parent), symbol_(symbol), detail_(detail) {
    setText(title);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MenuRow::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    updateGeometry();
    update();
}

MenuRow::Layout MenuRow::layout() const {
    const QFontMetricsF tm(titleFont());
    const QFontMetricsF dm(Typo::caption());
    Layout l;
    l.titleX = kPadding + (symbol_.isEmpty() ? 0 : kSymbolFrame + kSpacing);
    const double room = width() - l.titleX - kPadding;
    const double titleW = tm.horizontalAdvance(text());
    if (detail_.isEmpty()) {
        l.title = tm.elidedText(text(), Qt::ElideRight, room);
        l.detailWidth = 0;
        return l;
    }
    // The detail stays on one line and gives way first, but is shortened rather than dropped: it keeps
    // up to two fifths of the row. The gap between the two never drops below 12.
    const double detailW = dm.horizontalAdvance(detail_);
    const double detailRoom = std::max(std::max(0.0, room - titleW - kMinGap),
                                       std::min(detailW, 0.4 * std::max(0.0, room - kMinGap)));
    l.detail = dm.elidedText(detail_, Qt::ElideRight, detailRoom);
    l.detailWidth = dm.horizontalAdvance(l.detail);
    l.title = tm.elidedText(text(), Qt::ElideRight,
                            std::max(0.0, room - l.detailWidth - (l.detail.isEmpty() ? 0 : kMinGap)));
    return l;
}

double MenuRow::titleX() const {
    return layout().titleX;
}
QString MenuRow::shownTitle() const {
    return layout().title;
}
QString MenuRow::shownDetail() const {
    return layout().detail;
}

QSize MenuRow::sizeHint() const {
    double w = 2 * kPadding + QFontMetricsF(titleFont()).horizontalAdvance(text());
    if (!symbol_.isEmpty()) w += kSymbolFrame + kSpacing;
    if (!detail_.isEmpty()) w += kMinGap + QFontMetricsF(Typo::caption()).horizontalAdvance(detail_);
    return QSize(int(std::ceil(w)), kHeight);
}

QSize MenuRow::minimumSizeHint() const {
    return QSize(2 * kPadding + kSymbolFrame, kHeight);
}

void MenuRow::paintContent(QPainter& p) {
    const QRectF r = QRectF(rect());
    const double h = hoverAmount();
    if (h > 0) p.fillPath(Shapes::rounded(r, 10), withOpacity(Palette::nimbrelSubtle().resolve(this), h));
    const Layout l = layout();
    if (!symbol_.isEmpty()) {
        const QColor c = mixColor(Palette::ink2().resolve(this), Palette::accent().resolve(this), h);
        Symbols::draw(p, QRectF(kPadding, 0, kSymbolFrame, r.height()), symbol_.toStdString(), c, 12,
                      FontWeight::semibold);
    }
    p.setFont(titleFont());
    p.setPen(Palette::ink().resolve(this));
    p.drawText(QRectF(l.titleX, 0, r.width() - l.titleX, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
               l.title);
    if (!l.detail.isEmpty()) {
        p.setFont(Typo::caption());
        p.setPen(Palette::ink3().resolve(this));
        p.drawText(QRectF(0, 0, r.width() - kPadding, r.height()), Qt::AlignRight | Qt::AlignVCenter,
                   l.detail);
    }
    if (showsFocusRing()) {
        p.setPen(QPen(Palette::ink2().resolve(this), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::rounded(Shapes::inset(r, 0.75), 9.25));
    }
}

}  // namespace nimbrel
