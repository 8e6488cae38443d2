// The guard's judgement of where a path really leads on disk.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/safety_guard.h"

namespace nimbrel {
namespace {

struct TempFolder {
    std::string path;
    TempFolder() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/nimbrel-guard-XXXXXX";
        if (mkdtemp(pattern.data())) path = std::filesystem::canonical(pattern).string();
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

TEST(SafetyGuardOnDisk, LinkedFoldersAreJudgedWhereTheyLead) {
    TempFolder t;
    ASSERT_FALSE(t.path.empty());
    std::filesystem::create_directory_symlink("/etc", t.path + "/etc-link");
    std::filesystem::create_directories(t.path + "/plain");
    std::ofstream(t.path + "/plain/file") << "x";
    std::filesystem::create_directory_symlink(t.path + "/plain", t.path + "/plain-link");

    struct Case {
        std::string path;
        bool guarded;
        std::string onDisk;
    };
    const std::vector<Case> cases = {
        // Below a link to a guarded folder: the guarded folder's own files.
        {t.path + "/etc-link/passwd", true, "/etc/passwd"},
        {t.path + "/etc-link/../etc-link/hosts", true, "/etc/hosts"},
        // The link itself is removed as a link, never followed.
        {t.path + "/etc-link", false, t.path + "/etc-link"},
        {t.path + "/plain-link/file", false, t.path + "/plain/file"},
        {t.path + "/plain/file", false, t.path + "/plain/file"},
        // A folder that does not exist leaves only the spelling's judgement.
        {t.path + "/missing/passwd", false, t.path + "/missing/passwd"},
        {"/etc/passwd", true, "/etc/passwd"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SafetyGuard::isProtectedOnDisk(c.path), c.guarded) << c.path;
        EXPECT_EQ(SafetyGuard::onDiskPath(c.path), c.onDisk) << c.path;
    }
    EXPECT_FALSE(SafetyGuard::isProtected(t.path + "/etc-link/passwd"));
    EXPECT_EQ(SafetyGuard::reasonOnDisk(t.path + "/etc-link/passwd"), SafetyGuard::reason("/etc/passwd"));
}

}  // namespace
}  // namespace nimbrel
