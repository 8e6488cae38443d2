#include "engine/file_category.h"

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

TEST(FileCategory, ClassifiesLowerCasedExtensionsExactly) {
    const std::pair<const char*, FileCategory> cases[] = {
        {"mp4", FileCategory::video},
        {"MP4", FileCategory::other},
        {"key", FileCategory::document},
        {"pages", FileCategory::document},
        {"numbers", FileCategory::document},
        {"app", FileCategory::application},
        {"xpc", FileCategory::other},
        {"qlgenerator", FileCategory::other},
        {"", FileCategory::other},
        {"fcpbundle", FileCategory::video},
        {"imovielibrary", FileCategory::video},
        {"logicx", FileCategory::audio},
        {"band", FileCategory::audio},
        {"photoslibrary", FileCategory::image},
        {"xcarchive", FileCategory::developer},
        {"dsym", FileCategory::developer},
        {"7z", FileCategory::archive},
        {"qcow2", FileCategory::diskImage},
        {"h", FileCategory::code},
        {"a", FileCategory::developer},
        {"ipsw", FileCategory::developer},
        {"tex", FileCategory::document},
        {"deb", FileCategory::application},
        {"appimage", FileCategory::application},
        {"flatpakref", FileCategory::application},
    };
    for (const auto& [ext, category] : cases)
        EXPECT_EQ(FileCategory::classify(ext), category) << ext;
}

TEST(FileCategory, RawValuesTitlesAndOrder) {
    const auto& all = FileCategory::allCases();
    ASSERT_EQ(all.size(), 10u);
    EXPECT_EQ(all.front(), FileCategory::video);
    EXPECT_EQ(all.back(), FileCategory::other);
    for (FileCategory c : all)
        EXPECT_EQ(FileCategory::fromRawValue(c.rawValue()), c) << c.rawValue();
    EXPECT_STREQ(FileCategory(FileCategory::diskImage).rawValue(), "diskImage");
    EXPECT_EQ(FileCategory(FileCategory::application).title(), "Apps & Installers");
    EXPECT_EQ(FileCategory(FileCategory::image).title(), "Images");
    EXPECT_FALSE(FileCategory::fromRawValue("Video"));
    EXPECT_FALSE(FileCategory::fromRawValue(""));
}

TEST(FileCategory, PackageExtensions) {
    const auto& packages = FileCategory::packageExtensions();
    EXPECT_EQ(packages.size(), 31u);
    for (const char* ext : {"app", "photoslibrary", "xcodeproj", "pkg", "rtfd", "key"})
        EXPECT_TRUE(packages.count(ext)) << ext;
    EXPECT_FALSE(packages.count("zip"));
    EXPECT_FALSE(packages.count("APP"));
}

}  // namespace
}  // namespace nimbrel
