#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <utility>

namespace nimbrel {

// Runs `fn` on the main thread, unless `context` is gone by then. Callable from any thread: the post
// goes through the application object, and `context` is only looked at on the main thread (looking
// at it in the worker could race with its destruction).
template <typename Fn>
void postBack(QPointer<QObject> context, Fn fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [context = std::move(context), fn = std::move(fn)]() mutable {
            if (context) fn();
        },
        Qt::QueuedConnection);
}

}  // namespace nimbrel
