#include "views/shell/top_bar_layout.h"

#include <QLocale>
#include <cmath>

namespace nimbrel {

TopBarLayout TopBarLayout::compute(int width, bool scanning) {
    TopBarLayout layout;
    layout.compact = width < kCompactBelow;
    layout.full = width >= (scanning ? kFullScanning : kFullIdle);
    return layout;
}

namespace {

// Compact-name notation: two significant digits below ten units ("1.2K"), whole units above
// ("12K", "123K"), the unit raised when rounding reaches a thousand of it.
QString compactNumber(int64_t count) {
    const QLocale locale;
    if (count < 0) return QStringLiteral("-") + compactNumber(-count);
    if (count < 1000) return locale.toString(static_cast<qlonglong>(count));
    static constexpr const char* kUnits[] = {"K", "M", "B", "T"};
    double value = static_cast<double>(count);
    int unit = -1;
    while (unit < 3 && value >= 999.5) {
        value /= 1000.0;
        ++unit;
    }
    const bool oneDecimal = value < 9.95;
    double rounded = oneDecimal ? std::round(value * 10.0) / 10.0 : std::round(value);
    if (rounded >= 1000.0 && unit < 3) {
        rounded /= 1000.0;
        ++unit;
    }
    const bool whole = rounded == std::floor(rounded);
    const QString number = locale.toString(rounded, 'f', whole ? 0 : 1).remove(locale.groupSeparator());
    return number + QLatin1String(kUnits[unit]);
}

}  // namespace

QString shortFileCount(int64_t count) {
    return compactNumber(count) + (count == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
}

}  // namespace nimbrel
