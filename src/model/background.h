#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <memory>
#include <type_traits>
#include <utility>

namespace nimbrel {

// The two worker pools and the way results come back to the main thread.
namespace Background {

// Scans, hashing, removal and listings the user waits for.
QThreadPool& userInitiated();
// Volume listings, icons and junk measuring.
QThreadPool& utility();

// Runs `fn` on the main thread, unless `context` is gone by then. Callable from any thread: the
// post goes through the application object, and `context` is only looked at on the main thread.
template <typename Fn>
void post(QPointer<QObject> context, Fn fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [context = std::move(context), fn = std::move(fn)]() mutable {
            if (context) fn();
        },
        Qt::QueuedConnection);
}

// Runs `work` on `pool`, then `done(result)` on the main thread while `context` lives.
template <typename Work, typename Done>
void run(QThreadPool& pool, QObject* context, Work work, Done done) {
    QPointer<QObject> guard(context);
    pool.start([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = std::make_shared<std::invoke_result_t<Work&>>(work());
        post(guard, [result, done = std::move(done)]() mutable { done(std::move(*result)); });
    });
}

}  // namespace Background

}  // namespace nimbrel
