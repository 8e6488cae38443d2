#pragma once

#include <QObject>
#include <QUuid>
#include <chrono>
#include <functional>
#include <optional>

#include "model/toast.h"

namespace nimbrel {

class AppState;

// Quitting while a removal runs: the window stays, with the removal's pill, until the removal has
// ended, so nothing is left half-removed and nothing seems gone while it works; then it quits, or,
// when something stayed behind, shows the report instead of ending without a word. A removal that
// goes on for more than a few seconds is named in a card that offers to stop it and quit: it stops
// at its next item, and what went is counted before the application ends. Main thread only.
class QuitGuard : public QObject {
    Q_OBJECT

  public:
    // How long a quit waits for the removal before the card asks.
    static constexpr std::chrono::seconds kPatience{3};
    // How long a removal told to stop may take to reach its next item: longer, and its disk has
    // stopped answering, so the application ends without it.
    static constexpr std::chrono::seconds kStopLimit{3};

    // `showWindow` brings the main window forward, where the pill, the card and the report show.
    QuitGuard(AppState& state, std::function<void()> quit, std::function<void()> showWindow,
              QObject* parent = nullptr);

    // Quits now, or as soon as the running removal has ended.
    void requestQuit();
    // A quit waits for the running removal.
    bool isWaiting() const { return waiting_; }

  signals:
    void isWaitingChanged();

  private:
    void removalEnded();
    void ask();
    void confirmChanged();
    void stopAndQuit();
    void end(bool quit);
    void setWaiting(bool waiting);

    AppState& state_;
    std::function<void()> quit_;
    std::function<void()> showWindow_;
    bool waiting_ = false;
    bool stopping_ = false;
    std::optional<QUuid> asked_;  // the card, while it is up
    int quits_ = 0;               // one per quit asked for: a called-off quit's timers do nothing
};

}  // namespace nimbrel
