#include "views/kit/scroll_watch.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <memory>

namespace nimbrel {

QAbstractScrollArea* watchEnclosingScroll(QWidget* widget, std::function<void()> refresh) {
    for (QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(w);
        if (!area) continue;
        auto queued = std::make_shared<bool>(false);
        auto later = [widget, queued, refresh = std::move(refresh)] {
            if (*queued) return;
            *queued = true;
            QTimer::singleShot(0, widget, [queued, refresh] {
                *queued = false;
                refresh();
            });
        };
        QObject::connect(area->verticalScrollBar(), &QScrollBar::valueChanged, widget, later);
        QObject::connect(area->verticalScrollBar(), &QScrollBar::rangeChanged, widget, later);
        return area;
    }
    return nullptr;
}

QRect visiblePart(const QWidget* widget, const QAbstractScrollArea* scroll) {
    if (!scroll) return widget->rect();
    const QWidget* viewport = scroll->viewport();
    return QRect(widget->mapFrom(viewport, QPoint(0, 0)), viewport->size());
}

}  // namespace nimbrel
