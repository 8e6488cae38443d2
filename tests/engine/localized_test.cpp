#include "engine/localized.h"

#include <gtest/gtest.h>

namespace nimbrel {

TEST(Localized, FallsBackToEnglishAndUsesTheInstalledTranslator) {
    setTranslator(nullptr);
    EXPECT_EQ(localized("Home"), "Home");
    setTranslator([](const char* s) { return std::string("[") + s + "]"; });
    EXPECT_EQ(localized("Home"), "[Home]");
    setTranslator(nullptr);
}

}  // namespace nimbrel
