#include "views/files/shelf_parts.h"

#include "model/clock.h"

namespace nimbrel {

QDateTime ShelfParts::dateOf(const Clock& clock) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock.date().time_since_epoch()).count());
}

}  // namespace nimbrel
