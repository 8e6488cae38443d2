#pragma once

#include <QPoint>
#include <Qt>
#include <chrono>
#include <optional>

namespace nimbrel {

// What the explorer needs to know of the input event that triggered an action. Keyboard shortcuts,
// menus and accessibility actions pass ClickInfo::none().
struct ClickInfo {
    bool leftButtonPressOrRelease = false;
    int clickCount = 0;  // 1 for a single click, 2 for the second press and release of a double click
    Qt::KeyboardModifiers modifiers;

    static ClickInfo none() { return {}; }
    static ClickInfo left(int count, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        return {true, count, mods};
    }
};

namespace Click {
// The second or a later press or release of a multiple left click: the explorer never acts on it.
inline bool isRepeat(const ClickInfo& click) {
    return click.leftButtonPressOrRelease && click.clickCount > 1;
}
}  // namespace Click

// Counts multiple clicks the way the platform does: a press within the double-click interval and
// the drag distance of the previous press continues the count; its release carries the same count.
class ClickCounter {
  public:
    using Clock = std::chrono::steady_clock;
    // Call on every left press; returns the count of this press.
    int press(QPoint at, Clock::time_point now, int intervalMs, int distance);
    int current() const { return count_; }

  private:
    std::optional<Clock::time_point> last_;
    QPoint lastAt_;
    int count_ = 0;
};

}  // namespace nimbrel
