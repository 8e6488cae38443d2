#include "views/files/sheet_fit.h"

#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "theme/palette.h"
#include "theme/shapes.h"

namespace nimbrel {

void fitCard(QWidget* card) {
    QWidget* host = card->parentWidget();
    if (!host || !card->isVisible()) return;
    constexpr int kMargin = 16;
    const QSize hint = card->sizeHint();
    const int height = std::max(0, std::min(hint.height(), host->height() - 2 * kMargin));
    const QRect r((host->width() - hint.width()) / 2, (host->height() - height) / 2, hint.width(), height);
    if (card->geometry() != r) card->setGeometry(r);
}

QSize cardSizeHint(const QLayout* column, int width) {
    return QSize(width, column->hasHeightForWidth() ? column->totalHeightForWidth(width)
                                                    : column->sizeHint().height());
}

void refitOnLayoutRequest(QWidget* card, const QEvent* event) {
    if (event->type() == QEvent::LayoutRequest) QTimer::singleShot(0, card, [card] { fitCard(card); });
}

void paintCardPanel(QWidget* card) {
    QPainter p(card);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = Shapes::rounded(QRectF(card->rect()).adjusted(0.5, 0.5, -0.5, -0.5), 34);
    p.fillPath(shape, Palette::panel().resolve(card));
    p.setPen(QPen(Palette::line().resolve(card), 1));
    p.drawPath(shape);
}

}  // namespace nimbrel
