#pragma once

#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/host_layout.h"

namespace nimbrel {

// The minimum-size steps the Files area offers, in bytes (decimal units).
enum class SizeThreshold : int64_t {
    any = 0,
    mb10 = 10'000'000,
    mb100 = 100'000'000,
    mb500 = 500'000'000,
    gb1 = 1'000'000'000,
    gb5 = 5'000'000'000,
};

inline constexpr std::array<SizeThreshold, 6> kAllSizeThresholds = {
    SizeThreshold::any,   SizeThreshold::mb10, SizeThreshold::mb100,
    SizeThreshold::mb500, SizeThreshold::gb1,  SizeThreshold::gb5};

// The case for exactly one of the six raw values; nothing for any other value.
std::optional<SizeThreshold> sizeThresholdFromRaw(int64_t rawValue);

// Display formatters shared by the shell and the screens. Numbers follow the user's locale; the
// "C" locale (no preference set) formats as English.
struct Fmt {
    // A size in the file byte-count style with decimal units, clamped at 0: "Zero KB", "1 byte",
    // "999 bytes", "1 KB", "1.2 MB", "131.67 GB".
    static QString bytes(int64_t bytes);
    // A count with the locale's grouping: "1,234,567".
    static QString count(int64_t n);
    // A scan's duration: "0.4s" below one second, else minutes and seconds ("62m 5s", "2m", "5s").
    static QString duration(double seconds);
    // A fraction as a percentage, with one decimal only strictly between 0 and 0.1 ("5.0%", "25%").
    static QString percent(double fraction);

    // The name a scan target is shown under: the root volume's name for "/", "Home" for the home
    // folder, else the last component as the file manager shows it. Compared exactly: callers pass
    // normalised paths.
    static QString displayName(const std::string& path);
    static QString displayName(const std::string& path, const HostLayout& layout);

    // The locale the formatters use, for callers that format numbers inline.
    static QLocale locale();
};

}  // namespace nimbrel
