#include "views/kit/sheet_card.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "theme/palette.h"
#include "theme/shapes.h"

namespace nimbrel {

SheetCard::SheetCard(QWidget* parent) : QWidget(parent) {
    rows_ = new QVBoxLayout(this);
    rows_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    rows_->setSpacing(kSpacing);
    rows_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFixedWidth(kWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    // Return and Escape reach the card once the host gives it the focus.
    setFocusPolicy(Qt::StrongFocus);
}

void SheetCard::addRow(QWidget* row) {
    rows_->addWidget(row);
}

void SheetCard::addRow(QLayout* row) {
    rows_->addLayout(row);
}

QPainterPath SheetCard::shape(const QRectF& r) {
    return Shapes::rounded(r, kRadius);
}

void SheetCard::paintEvent(QPaintEvent*) {
    paintPanel(this);
}

void SheetCard::paintPanel(QWidget* card) {
    QPainter p(card);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(card->rect());
    p.fillPath(shape(r), Palette::panel().resolve(card));
    // The hairline sits inside the edge.
    QPen pen(Palette::line().resolve(card), 1);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::rounded(Shapes::inset(r, 0.5), kRadius - 0.5));
}

void SheetCard::fit(QWidget* card) {
    QWidget* host = card->parentWidget();
    if (!host || !card->isVisible()) return;
    constexpr int kMargin = 16;
    const QSize hint = card->sizeHint();
    const int height = std::max(0, std::min(hint.height(), host->height() - 2 * kMargin));
    const QRect r((host->width() - hint.width()) / 2, (host->height() - height) / 2, hint.width(), height);
    if (card->geometry() != r) card->setGeometry(r);
}

QSize SheetCard::columnSizeHint(const QLayout* column, int width) {
    return QSize(width, column->hasHeightForWidth() ? column->totalHeightForWidth(width)
                                                    : column->sizeHint().height());
}

void SheetCard::refitOnLayoutRequest(QWidget* card, const QEvent* event) {
    if (event->type() == QEvent::LayoutRequest) QTimer::singleShot(0, card, [card] { fit(card); });
}

}  // namespace nimbrel
