#include "theme/scroll_bars.h"

#include <QAbstractScrollArea>
#include <QScrollBar>

#include "theme/palette.h"

namespace nimbrel {

void styleScrollBars(QAbstractScrollArea* area) {
    const QColor handle = withOpacity(Palette::ink3().resolve(area), 0.55);
    const QString rgba = QStringLiteral("rgba(%1,%2,%3,%4)")
                             .arg(handle.red())
                             .arg(handle.green())
                             .arg(handle.blue())
                             .arg(handle.alpha());
    const QString sheet =
        QStringLiteral(
            "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px 2px 2px 2px; }"
            "QScrollBar:horizontal { background: transparent; height: 10px; margin: 2px; }"
            "QScrollBar::handle { background: %1; border-radius: 3px; }"
            "QScrollBar::handle:vertical { min-height: 24px; }"
            "QScrollBar::handle:horizontal { min-width: 24px; }"
            "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
            "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
            .arg(rgba);
    for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()})
        if (bar->styleSheet() != sheet) bar->setStyleSheet(sheet);
}

}  // namespace nimbrel
