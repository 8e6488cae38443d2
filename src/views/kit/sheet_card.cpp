#include "views/kit/sheet_card.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

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

int SheetCard::cardHeight() const {
    return hasHeightForWidth() ? heightForWidth(kWidth) : sizeHint().height();
}

QPainterPath SheetCard::shape(const QRectF& r) {
    return Shapes::rounded(r, kRadius);
}

void SheetCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    p.fillPath(shape(r), Palette::panel().resolve(this));
    // The hairline sits inside the edge.
    QPen pen(Palette::line().resolve(this), 1);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::rounded(Shapes::inset(r, 0.5), kRadius - 0.5));
}

}  // namespace nimbrel
