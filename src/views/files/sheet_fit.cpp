#include "views/files/sheet_fit.h"

#include <QWidget>
#include <algorithm>

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

}  // namespace nimbrel
