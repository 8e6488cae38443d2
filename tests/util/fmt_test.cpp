#include "util/fmt.h"

#include <gtest/gtest.h>

#include <limits>

namespace nimbrel {

namespace {

// Runs the body under a default locale and restores the previous one.
class LocaleScope {
  public:
    explicit LocaleScope(const QLocale& locale) : saved_(QLocale()) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

  private:
    QLocale saved_;
};

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

}  // namespace

TEST(Fmt, BytesAndCountsInEnglishAndTheCLocale) {
    const std::pair<int64_t, const char*> cases[] = {
        {-5, "Zero KB"},
        {0, "Zero KB"},
        {1, "1 byte"},
        {2, "2 bytes"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {1500, "2 KB"},
        {999'499, "999 KB"},
        {999'500, "1 MB"},
        {999'999, "1 MB"},
        {1'000'000, "1 MB"},
        {1'234'567, "1.2 MB"},
        {1'250'000, "1.3 MB"},
        {10'000'000, "10 MB"},
        {999'949'999, "999.9 MB"},
        {999'950'000, "1 GB"},
        {1'500'000'000, "1.5 GB"},
        {1'234'000'000, "1.23 GB"},
        {1'005'000'000, "1.01 GB"},
        {131'670'000'000, "131.67 GB"},
        {2'000'000'000'000, "2 TB"},
        {std::numeric_limits<int64_t>::max(), "9.22 EB"},
    };
    for (const QLocale& locale : {kEnglish, QLocale::c()}) {
        LocaleScope scope(locale);
        for (const auto& [n, text] : cases)
            EXPECT_EQ(Fmt::bytes(n).toStdString(), text) << n << " in " << locale.name().toStdString();
        EXPECT_EQ(Fmt::count(0).toStdString(), "0");
        EXPECT_EQ(Fmt::count(999).toStdString(), "999");
        EXPECT_EQ(Fmt::count(1'234'567).toStdString(), "1,234,567");
    }
}

TEST(Fmt, NumbersFollowTheLocalesSeparators) {
    LocaleScope scope(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Fmt::bytes(1'234'567).toStdString(), "1,2 MB");
    EXPECT_EQ(Fmt::bytes(131'670'000'000).toStdString(), "131,67 GB");
    EXPECT_EQ(Fmt::count(1'234'567).toStdString(), "1.234.567");
    EXPECT_EQ(Fmt::duration(0.45).toStdString(), "0,4s");
}

TEST(Fmt, Duration) {
    // Below one second: whole milliseconds, then tenths rounded half to even (150 ms and 250 ms are
    // ties; 0.9999 s is 999 ms and keeps the below-one-second form).
    const std::pair<double, const char*> cases[] = {
        {0, "0.0s"},     {-3, "0.0s"},     {0.049, "0.0s"}, {0.15, "0.2s"}, {0.25, "0.2s"},
        {0.251, "0.3s"}, {0.9999, "1.0s"}, {1.0, "1s"},     {1.4, "1s"},    {1.5, "2s"},
        {59.4, "59s"},   {59.5, "1m"},     {120, "2m"},     {125, "2m 5s"}, {3725, "62m 5s"},
    };
    for (const QLocale& locale : {kEnglish, QLocale::c()}) {
        LocaleScope scope(locale);
        for (const auto& [s, text] : cases)
            EXPECT_EQ(Fmt::duration(s).toStdString(), text) << s;
    }
}

// The locale's own percent format: where the sign stands and the space before it (a no-break one
// in German and French), ties rounded to even.
TEST(Fmt, Percent) {
    const std::pair<double, const char*> english[] = {
        {0, "0%"},   {0.05, "5.0%"}, {0.0999, "10.0%"}, {0.001, "0.1%"}, {0.1, "10%"},   {0.25, "25%"},
        {1, "100%"}, {-0.1, "-10%"}, {-0.05, "-5%"},    {0.125, "12%"},  {0.135, "14%"}, {0.00125, "0.1%"},
    };
    for (const QLocale& locale : {kEnglish, QLocale::c()}) {
        LocaleScope scope(locale);
        for (const auto& [f, text] : english)
            EXPECT_EQ(Fmt::percent(f).toStdString(), text) << f;
    }
    struct Case {
        QLocale locale;
        double fraction;
        const char* text;
    } others[] = {
        {QLocale(QLocale::German, QLocale::Germany), 0.05, "5,0\u00A0%"},
        {QLocale(QLocale::German, QLocale::Germany), 0.125, "12\u00A0%"},
        {QLocale(QLocale::French, QLocale::France), 0.05, "5,0\u00A0%"},
        {QLocale(QLocale::French, QLocale::France), 1, "100\u00A0%"},
        {QLocale(QLocale::Turkish, QLocale::Turkey), 0.25, "%25"},
        {QLocale(QLocale::Italian, QLocale::Italy), 0.05, "5,0%"},
    };
    for (const Case& c : others) {
        LocaleScope scope(c.locale);
        EXPECT_EQ(Fmt::percent(c.fraction).toStdString(), c.text) << c.locale.name().toStdString();
    }
}

TEST(Fmt, SizeThresholdRawValues) {
    for (SizeThreshold t : kAllSizeThresholds)
        EXPECT_EQ(sizeThresholdFromRaw(static_cast<int64_t>(t)), t);
    EXPECT_EQ(sizeThresholdFromRaw(1), std::nullopt);
    EXPECT_EQ(sizeThresholdFromRaw(-1), std::nullopt);
    EXPECT_EQ(static_cast<int64_t>(kAllSizeThresholds.back()), 5'000'000'000);
}

TEST(Fmt, DisplayName) {
    const HostLayout mac = HostLayout::macOS("/Users/u");
    const HostLayout lin = HostLayout::linux("/home/u");
    EXPECT_EQ(Fmt::displayName("/", mac).toStdString(), "Macintosh HD");
    EXPECT_EQ(Fmt::displayName("/", lin).toStdString(), lin.rootVolumeName);
    EXPECT_EQ(Fmt::displayName("/Users/u", mac).toStdString(), "Home");
    EXPECT_EQ(Fmt::displayName("/home/u", lin).toStdString(), "Home");
    // The home folder written with a trailing "/" is not the home folder.
    EXPECT_EQ(Fmt::displayName("/home/u/", lin).toStdString(), "u");
    EXPECT_EQ(Fmt::displayName("/home/u/Projects/app.tar.gz", lin).toStdString(), "app.tar.gz");
    EXPECT_EQ(Fmt::displayName("/Volumes/Backup", mac).toStdString(), "Backup");
    EXPECT_EQ(Fmt::displayName(HostLayout::current().home).toStdString(), "Home");
}

}  // namespace nimbrel
