#include "util/fmt.h"

#include <unicode/uloc.h>
#include <unicode/unum.h>

#include <QCoreApplication>
#include <QFile>
#include <cmath>
#include <string_view>

#include "engine/path_rules.h"

namespace nimbrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("Fmt", text);
}

constexpr int64_t pow10(int n) {
    int64_t v = 1;
    while (n-- > 0)
        v *= 10;
    return v;
}

// `value` / `divisor`, rounded half away from zero (both positive).
int64_t roundedDivide(int64_t value, int64_t divisor) {
    const int64_t q = value / divisor, r = value % divisor;
    return r >= divisor - r ? q + 1 : q;
}

// `scaled` holds the number times 10^decimals; trailing fractional zeros are dropped.
QString decimalText(const QLocale& loc, int64_t scaled, int decimals) {
    while (decimals > 0 && scaled % 10 == 0) {
        scaled /= 10;
        --decimals;
    }
    return loc.toString(static_cast<double>(scaled) / static_cast<double>(pow10(decimals)), 'f', decimals);
}

QString number(const QLocale& loc, int64_t n) {
    return loc.toString(static_cast<qlonglong>(n));
}

}  // namespace

std::optional<SizeThreshold> sizeThresholdFromRaw(int64_t rawValue) {
    for (SizeThreshold t : kAllSizeThresholds)
        if (static_cast<int64_t>(t) == rawValue) return t;
    return std::nullopt;
}

QLocale Fmt::locale() {
    QLocale loc;
    if (loc.language() == QLocale::C) return QLocale(QLocale::English, QLocale::UnitedStates);
    return loc;
}

QString Fmt::bytes(int64_t bytes) {
    if (bytes <= 0) return tr("Zero KB");
    if (bytes == 1) return tr("1 byte");
    const QLocale loc = locale();
    if (bytes < 1000) return tr("%1 bytes").arg(number(loc, bytes));

    // KB shows no decimals, MB one, GB and above two. A value that rounds up to 1,000 of its unit
    // moves to the next unit (999,999 bytes is "1 MB", not "1,000 KB").
    static const char* const units[] = {"%1 KB", "%1 MB", "%1 GB", "%1 TB", "%1 PB", "%1 EB"};
    constexpr int kLastUnit = 5;
    int64_t unitSize = 1000;
    for (int unit = 0;; ++unit, unitSize *= 1000) {
        const int decimals = unit == 0 ? 0 : unit == 1 ? 1 : 2;
        const int64_t scaled = roundedDivide(bytes, unitSize / pow10(decimals));
        if (scaled < 1000 * pow10(decimals) || unit == kLastUnit)
            return tr(units[unit]).arg(decimalText(loc, scaled, decimals));
    }
}

QString Fmt::count(int64_t n) {
    return number(locale(), n);
}

QString Fmt::duration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    const QLocale loc = locale();
    if (seconds < 1) {
        // Whole milliseconds, then tenths of a second rounded half to even.
        const auto ms = static_cast<int64_t>(seconds * 1000);
        int64_t tenths = ms / 100;
        const int64_t rest = ms % 100;
        if (rest > 50 || (rest == 50 && tenths % 2 == 1)) ++tenths;
        return tr("%1s").arg(loc.toString(static_cast<double>(tenths) / 10.0, 'f', 1));
    }
    const auto total = static_cast<int64_t>(std::round(seconds));
    const int64_t minutes = total / 60, secs = total % 60;
    if (minutes == 0) return tr("%1s").arg(number(loc, secs));
    if (secs == 0) return tr("%1m").arg(number(loc, minutes));
    return tr("%1m %2s").arg(number(loc, minutes), number(loc, secs));
}

QString Fmt::percent(double fraction) {
    if (!std::isfinite(fraction)) fraction = 0;
    const QLocale loc = locale();
    const int decimals = fraction > 0 && fraction < 0.1 ? 1 : 0;
    // QLocale has no percent format: the locale's own comes from ICU, the locale data Qt is built on.
    // It places the sign ("5,0 %" with a no-break space in German and French, "%5" in Turkish) and
    // rounds the decimal value half to even (0.125 is "12%").
    UErrorCode status = U_ZERO_ERROR;
    char id[ULOC_FULLNAME_CAPACITY] = {};
    uloc_forLanguageTag(loc.bcp47Name().toLatin1().constData(), id, sizeof id, nullptr, &status);
    UNumberFormat* format = unum_open(UNUM_PERCENT, nullptr, 0, id, nullptr, &status);
    UChar text[64];
    int32_t length = 0;
    if (U_SUCCESS(status)) {
        unum_setAttribute(format, UNUM_MIN_FRACTION_DIGITS, decimals);
        unum_setAttribute(format, UNUM_MAX_FRACTION_DIGITS, decimals);
        length = unum_formatDouble(format, fraction, text, 64, nullptr, &status);
    }
    unum_close(format);
    if (U_FAILURE(status) || length <= 0 || length > 64)
        return loc.toString(fraction * 100, 'f', decimals) + loc.percent();
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

QString Fmt::displayName(const std::string& path) {
    return displayName(path, HostLayout::judging());
}

QString Fmt::displayName(const std::string& path, const HostLayout& layout) {
    if (path == "/") return QString::fromStdString(layout.rootVolumeName);
    if (path == layout.home) return tr("Home");
    // The last component as the file manager shows it; a trailing "/" is not part of the name.
    const std::string_view name = PathRules::lastComponent(path);
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

}  // namespace nimbrel
