#pragma once

#include <QString>
#include <cstdint>

namespace nimbrel {

// Every text with a count goes through here, so "1 item" and "0 folders" read right everywhere.
// Both forms are whole translatable texts (the caller's tr()), so a translation can word each freely;
// the caller fills in the placeholders afterwards.
struct Plural {
    // `one` when n is exactly 1, else `many` (English uses the plural for 0).
    static const QString& choose(int64_t n, const QString& one, const QString& many) {
        return n == 1 ? one : many;
    }
};

}  // namespace nimbrel
