#pragma once

#include <QObject>
#include <functional>

namespace nimbrel {

class AppState;

// Quitting while a removal runs: the process stays until the removal has ended (the windows may
// be gone by then), so nothing is left half-removed; then it quits, or, when something stayed
// behind, shows the report instead of ending without a word. Main thread only.
class QuitGuard : public QObject {
    Q_OBJECT

  public:
    QuitGuard(AppState& state, std::function<void()> quit, std::function<void()> showReport,
              QObject* parent = nullptr);

    // Quits now, or as soon as the running removal has ended.
    void requestQuit();
    // A quit waits for the running removal.
    bool isWaiting() const { return waiting_; }

  private:
    void removalEnded();

    AppState& state_;
    std::function<void()> quit_;
    std::function<void()> showReport_;
    bool waiting_ = false;
};

}  // namespace nimbrel
