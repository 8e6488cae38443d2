#include "model/quit_guard.h"

#include "model/app_state.h"
#include "util/fmt.h"
#include "util/plural.h"

namespace nimbrel {

QuitGuard::QuitGuard(AppState& state, std::function<void()> quit, std::function<void()> showWindow,
                     QObject* parent)
    : QObject(parent), state_(state), quit_(std::move(quit)), showWindow_(std::move(showWindow)) {
    connect(&state_, &AppState::isDeletingChanged, this, [this] {
        // The completion clears the flag before it reports: look once it has run to its end.
        if (waiting_ && !state_.isDeleting())
            QMetaObject::invokeMethod(this, &QuitGuard::removalEnded, Qt::QueuedConnection);
    });
    connect(&state_, &AppState::confirmChanged, this, &QuitGuard::confirmChanged);
    // Nothing is left to remove: the hold plays to no one who waits for the quit.
    connect(&state_, &AppState::removalHoldStarted, this, [this] {
        if (waiting_) state_.endRemovalHold();
    });
}

void QuitGuard::requestQuit() {
    if (!state_.isDeleting()) {
        end(true);
        return;
    }
    showWindow_();
    if (waiting_) return;
    setWaiting(true);
    if (state_.isHoldingRemoval()) {
        state_.endRemovalHold();
        return;
    }
    const int quit = ++quits_;
    state_.clock().after(kPatience, this, [this, quit] {
        if (quit == quits_ && waiting_ && !stopping_ && state_.removalItemsLeft() > 0) ask();
    });
}

void QuitGuard::ask() {
    ConfirmRequest request;
    const auto items = static_cast<int64_t>(state_.removalItemsLeft());
    request.title = tr("Still nimbrelising");
    request.message = Plural::choose(items,
                                     tr("Nimbrel is still removing %1 item. Quit now and it stops after "
                                        "the current file; what's left stays where it is."),
                                     tr("Nimbrel is still removing %1 items. Quit now and it stops after "
                                        "the current file; what's left stays where it is."))
                          .arg(Fmt::count(items));
    request.actionTitle = tr("Quit Now");
    request.perform = [this] { stopAndQuit(); };
    asked_ = request.id;
    showWindow_();
    state_.setConfirm(std::move(request));
}

void QuitGuard::confirmChanged() {
    if (!asked_ || (state_.confirm() && state_.confirm()->id == *asked_)) return;
    asked_.reset();
    // The card went. Quit Now runs right after it is cleared; anything else calls the quit off.
    const int quit = quits_;
    QMetaObject::invokeMethod(
        this,
        [this, quit] {
            if (quit == quits_ && !stopping_) setWaiting(false);
        },
        Qt::QueuedConnection);
}

void QuitGuard::stopAndQuit() {
    if (!waiting_ || stopping_) return;
    stopping_ = true;
    state_.stopRemoval();
    const int quit = quits_;
    state_.clock().after(kStopLimit, this, [this, quit] {
        if (quit == quits_ && waiting_) end(true);
    });
}

void QuitGuard::removalEnded() {
    if (!waiting_ || state_.isDeleting()) return;
    if (asked_) {
        asked_.reset();
        state_.setConfirm(std::nullopt);
    }
    // Told to quit: what stayed is not shown, the application ends as asked.
    const bool stayed = state_.deletionFailures() && !state_.deletionFailures()->empty();
    end(stopping_ || !stayed);
}

void QuitGuard::end(bool quit) {
    ++quits_;
    stopping_ = false;
    if (quit)
        quit_();
    else
        showWindow_();
    setWaiting(false);
}

void QuitGuard::setWaiting(bool waiting) {
    if (waiting == waiting_) return;
    waiting_ = waiting;
    emit isWaitingChanged();
}

}  // namespace nimbrel
