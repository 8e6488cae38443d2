#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/post_back.h"

namespace nimbrel {

// The two shared worker pools and the way results come back to the main thread. Two pools of their
// own are not here: the evaporation's frames (theme) and the settings writer (Prefs).
namespace Background {

// Scans, hashing, removal and listings the user waits for.
QThreadPool& userInitiated();
// Volume listings, icons and junk measuring.
QThreadPool& utility();

// True while a worker of either pool, or of Qt's global pool, is still running. The evaporation's
// frame pool does not count: its workers only draw, never wait on a disk, and nothing waits for them
// at the end; the settings writer is waited for before (Prefs::flush).
bool busy();

// Ends the process at once with `code` when a worker is still running after the event loop is over
// (one stuck on a share whose server stopped answering); returns otherwise, for the usual teardown.
// That teardown waits for Qt's global pool and tears down what a waking worker would still touch,
// so a stuck worker would hold the process for as long as its server is away. Save what must be
// kept (the settings) first.
void endNowIfBusy(int code);

// Runs `fn` on the main thread, unless `context` is gone by then (see postBack).
template <typename Fn>
void post(QPointer<QObject> context, Fn fn) {
    postBack(std::move(context), std::move(fn));
}

// Runs `work` on `pool`, then `done(result)` on the main thread while `context` lives.
template <typename Work, typename Done>
void run(QThreadPool& pool, QObject* context, Work work, Done done) {
    QPointer<QObject> guard(context);
    pool.start([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = std::make_shared<std::invoke_result_t<Work&>>(work());
        postBack(guard, [result, done = std::move(done)]() mutable { done(std::move(*result)); });
    });
}

// Lets go of `value` on a utility worker: a container of a hundred thousand paths takes longer to free
// than the main thread may be kept from its events.
template <typename T>
void dispose(T&& value) {
    auto* held = new std::decay_t<T>(std::forward<T>(value));
    utility().start([held] { delete held; });
}

// A progress callback for a worker that hands its reports to `deliver` on the main thread while
// `context` lives, keeping only the latest: reports that come faster than the main thread takes them
// collapse into one, so a busy main thread is never flooded.
template <typename Report, typename Deliver>
std::function<void(const Report&)> latestOnly(QObject* context, Deliver deliver) {
    struct Mailbox {
        std::mutex mutex;
        std::optional<Report> latest;
    };
    auto mailbox = std::make_shared<Mailbox>();
    auto shared = std::make_shared<Deliver>(std::move(deliver));
    QPointer<QObject> guard(context);
    return [guard, mailbox, shared](const Report& report) {
        {
            std::lock_guard lock(mailbox->mutex);
            const bool waiting = mailbox->latest.has_value();
            mailbox->latest = report;
            if (waiting) return;
        }
        postBack(guard, [mailbox, shared] {
            std::optional<Report> latest;
            {
                std::lock_guard lock(mailbox->mutex);
                latest.swap(mailbox->latest);
            }
            if (latest) (*shared)(std::move(*latest));
        });
    };
}

}  // namespace Background

}  // namespace nimbrel
