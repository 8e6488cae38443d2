#include "views/shell/top_bar_layout.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace nimbrel {
namespace {

TEST(TopBarLayout, Breakpoints) {
    struct Case {
        int width;
        bool scanning;
        bool compact;
        bool full;
    };
    const Case cases[] = {
        {860, false, true, false},  {879, false, true, false},  {880, false, false, false},
        {999, false, false, false}, {1000, false, false, true}, {1000, true, false, false},
        {1239, true, false, false}, {1240, true, false, true},  {1240, false, false, true},
    };
    for (const Case& c : cases) {
        const TopBarLayout layout = TopBarLayout::compute(c.width, c.scanning);
        EXPECT_EQ(layout.compact, c.compact) << c.width << (c.scanning ? " scanning" : " idle");
        EXPECT_EQ(layout.full, c.full) << c.width << (c.scanning ? " scanning" : " idle");
    }
}

TEST(TopBarLayout, ShortFileCount) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    struct Case {
        int64_t count;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 files"},           {1, "1 file"},          {3, "3 files"},       {999, "999 files"},
        {1000, "1K files"},       {1234, "1.2K files"},   {9960, "10K files"},  {12400, "12K files"},
        {123456, "123K files"},   {999499, "999K files"}, {999600, "1M files"}, {1500000, "1.5M files"},
        {2000000000, "2B files"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shortFileCount(c.count).toStdString(), c.text) << c.count;

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(shortFileCount(1234).toStdString(), "1,2K files");
    QLocale::setDefault(previous);
}

}  // namespace
}  // namespace nimbrel
