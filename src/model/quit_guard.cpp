#include "model/quit_guard.h"

#include "model/app_state.h"

namespace nimbrel {

QuitGuard::QuitGuard(AppState& state, std::function<void()> quit, std::function<void()> showReport,
                     QObject* parent)
    : QObject(parent), state_(state), quit_(std::move(quit)), showReport_(std::move(showReport)) {
    connect(&state_, &AppState::isDeletingChanged, this, [this] {
        // The completion clears the flag before it reports: look once it has run to its end.
        if (waiting_ && !state_.isDeleting())
            QMetaObject::invokeMethod(this, &QuitGuard::removalEnded, Qt::QueuedConnection);
    });
}

void QuitGuard::requestQuit() {
    if (!state_.isDeleting()) {
        waiting_ = false;
        quit_();
        return;
    }
    waiting_ = true;
}

void QuitGuard::removalEnded() {
    if (!waiting_ || state_.isDeleting()) return;
    waiting_ = false;
    if (state_.deletionFailures() && !state_.deletionFailures()->empty())
        showReport_();
    else
        quit_();
}

}  // namespace nimbrel
