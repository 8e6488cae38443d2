#pragma once

#include <QString>
#include <cstdint>

namespace nimbrel {

// The top bar's breakpoints, measured on the bar's own width.
struct TopBarLayout {
    static constexpr int kHeight = 52;
    static constexpr int kCompactBelow = 880;
    static constexpr int kFullIdle = 1000;
    static constexpr int kFullScanning = 1240;

    bool compact = false;  // logo instead of the wordmark, symbol-only area pills
    bool full = false;     // the long reading text and "<bytes> free" on the chip

    static TopBarLayout compute(int width, bool scanning);

    bool operator==(const TopBarLayout&) const = default;
};

// A file count in compact notation followed by " files" ("12K files"; "1 file"). The suffix stays
// English as it always has; the number follows the locale's decimal separator.
QString shortFileCount(int64_t count);

}  // namespace nimbrel
