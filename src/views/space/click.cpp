#include "views/space/click.h"

namespace nimbrel {

int ClickCounter::press(QPoint at, Clock::time_point now, int intervalMs, int distance) {
    const bool continues = last_ && now - *last_ <= std::chrono::milliseconds(intervalMs) &&
                           (at - lastAt_).manhattanLength() <= distance;
    count_ = continues ? count_ + 1 : 1;
    last_ = now;
    lastAt_ = at;
    return count_;
}

}  // namespace nimbrel
