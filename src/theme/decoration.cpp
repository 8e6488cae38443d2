#include "theme/decoration.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QWidget>

namespace nimbrel {

namespace {

const QString kHostName = QStringLiteral("nimbrel-decorations");

QRect decoratedLocalRect(QWidget* child) {
    auto* deco = dynamic_cast<OutsideDecoration*>(child);
    return deco ? child->rect().marginsAdded(deco->decorationMargins()) : child->rect();
}

QAbstractScrollArea* viewportOwner(QWidget* w) {
    auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget());
    return area && area->viewport() == w ? area : nullptr;
}

// A scroll area's viewport clips its content anyway: decorations never climb past it.
bool isClipBoundary(QWidget* w) {
    return w->isWindow() || viewportOwner(w);
}

// The host paints itself through its own event(); an item view paints its viewport from the view
// instead, so such a viewport cannot host (a plain scroll area's viewport paints nothing and can).
bool canHost(QWidget* w) {
    QAbstractScrollArea* area = viewportOwner(w);
    return !area || qobject_cast<QScrollArea*>(area);
}

}  // namespace

DecorationHost::DecorationHost(QWidget* host) : QObject(host) {
    setObjectName(kHostName);
    host->installEventFilter(this);
}

QWidget* DecorationHost::hostFor(QWidget* child) {
    const QRect local = decoratedLocalRect(child);
    QWidget* w = child->parentWidget();
    while (w) {
        const QRect inW = local.translated(child->mapTo(w, QPoint(0, 0)));
        if (w->rect().contains(inW) || isClipBoundary(w) || !w->parentWidget())
            return canHost(w) ? w : nullptr;
        w = w->parentWidget();
    }
    return nullptr;
}

void DecorationHost::attach(QWidget* child) {
    if (!dynamic_cast<OutsideDecoration*>(child)) return;
    for (QWidget* w = child->parentWidget(); w && canHost(w); w = w->parentWidget()) {
        auto* host = w->findChild<DecorationHost*>(kHostName, Qt::FindDirectChildrenOnly);
        if (!host) host = new DecorationHost(w);
        if (!host->children_.contains(child)) host->children_.append(child);
        if (isClipBoundary(w)) break;
    }
}

void DecorationHost::refresh(QWidget* child) {
    refresh(child, child->geometry());
}

void DecorationHost::refresh(QWidget* child, const QRect& oldGeometry) {
    QWidget* parent = child->parentWidget();
    QWidget* host = parent ? hostFor(child) : nullptr;
    if (!host) return;
    const QRect local = decoratedLocalRect(child);
    const QPoint parentInHost = parent->mapTo(host, QPoint(0, 0));
    host->update(local.translated(oldGeometry.topLeft() + parentInHost));
    host->update(local.translated(child->mapTo(host, QPoint(0, 0))));
}

bool DecorationHost::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint) return false;
    auto* host = static_cast<QWidget*>(watched);
    children_.removeAll(nullptr);
    QVector<QWidget*> mine;
    for (const QPointer<QWidget>& child : children_)
        if (child->isVisible() && hostFor(child) == host) mine.append(child);
    if (mine.isEmpty()) return false;
    // Let the host paint itself first, then lay the decorations over it; the children follow.
    static_cast<QObject*>(host)->event(event);  // QObject::event is public and virtual
    const QRegion region = static_cast<QPaintEvent*>(event)->region();
    QPainter p(host);
    p.setClipRegion(region);
    p.setRenderHint(QPainter::Antialiasing);
    for (QWidget* child : mine) {
        const QPoint at = child->mapTo(host, QPoint(0, 0));
        if (!region.intersects(decoratedLocalRect(child).translated(at))) continue;
        p.save();
        p.translate(at);
        dynamic_cast<OutsideDecoration*>(child)->paintDecoration(p);
        p.restore();
    }
    return true;
}

}  // namespace nimbrel
