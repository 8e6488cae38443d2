// Extra copies of twins on the real removal road: the search, "Select extras", the review's removal
// to the Trash or for good, and what the disk does in between.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/path_rules.h"
#include "model/app_state_test_support.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "platform/file_operations.h"
#include "support/private_prefs.h"
#include "support/temp_tree.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using testing::settle;
constexpr auto onDisk = test::exists;
namespace fs = std::filesystem;

void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void setModified(const std::string& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

time_t modifiedOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : 0;
}

const std::string kContents(200 * 1024, 't');

// What the disk does to the set {a (newest, kept), b, c} after the search.
enum class When { afterSelect, whileReviewing, betweenItems };
struct Change {
    const char* what;
    std::function<void(const std::string& root)> apply;
    When when;
    std::vector<const char*> stays;  // of a, b, c; the rest is gone
    bool everyExtraFails;            // b and c stay with a failure, none credited
};

// Runs the first item's removal, then `between`, then the rest.
class BetweenItems : public RemovalFileOps {
  public:
    BetweenItems(std::function<void()> between) : between_(std::move(between)) {}
    std::optional<RemovalError> remove(const std::string& path, bool permanently) override {
        auto error = real_.remove(path, permanently);
        if (between_) std::exchange(between_, nullptr)();
        return error;
    }
    std::optional<RemovalError> removeReviewed(const std::string& path, bool permanently,
                                               const ReviewedEntry& reviewed) override {
        auto error = real_.removeReviewed(path, permanently, reviewed);
        if (between_) std::exchange(between_, nullptr)();
        return error;
    }
    bool hasOtherLinks(const std::string& path) override { return real_.hasOtherLinks(path); }
    bool countsFreedBytes(bool permanently) const override { return real_.countsFreedBytes(permanently); }
    std::optional<Counted> takeCounted() override { return real_.takeCounted(); }
    bool isFolder(const std::string& path) override { return real_.isFolder(path); }
    Listing list(const std::string& folder) override { return real_.list(folder); }
    int64_t allocatedSize(const std::string& path) override { return real_.allocatedSize(path); }

  private:
    FileOperations real_;
    std::function<void()> between_;
};

class TwinRemovalTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        // Into a Trash of the test's own, on the file system of the files.
        const char* data = std::getenv("XDG_DATA_HOME");
        if (!permanently() && (!data || std::string(data).rfind(fs::temp_directory_path().string(), 0) != 0))
            GTEST_SKIP() << "no Trash of the tests' own";
        struct stat home {
        }, tmp{};
        if (!permanently() &&
            !(stat(std::getenv("HOME"), &home) == 0 && stat(fs::temp_directory_path().c_str(), &tmp) == 0 &&
              home.st_dev == tmp.st_dev))
            GTEST_SKIP() << "the temporary folder is not on the home file system";
    }
    bool permanently() const { return GetParam(); }

    // A state with the real scanner and file operations, a scan of `root` and a finished search.
    std::unique_ptr<AppState> searched(const std::string& root, std::function<void()> between = {}) {
        AppStateServices services = AppStateServices::standard();
        services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
        services.mountTops.emplace();
        services.listVolumes = [] { return std::vector<VolumeInfo>{}; };
        services.scanOptions = [] {
            ScanOptions options;
            options.minTrackedSize = 0;
            return options;
        };
        services.clock = &clock_;
        if (between)
            services.fileOps = [between] {
                return std::shared_ptr<RemovalFileOps>(std::make_shared<BetweenItems>(between));
            };
        auto state = std::make_unique<AppState>(std::move(services));
        state->scan(root);
        settle();
        EXPECT_TRUE(state->result());
        state->duplicates().run(std::shared_ptr<const ScanResult>(state->result()), 1);
        EXPECT_TRUE(waitOn(&state->duplicates(), &DuplicatesModel::hasRunChanged,
                           [&] { return state->duplicates().hasRun(); }));
        return state;
    }
    static DuplicatesModel::Around around(AppState& state) {
        return {[&](const std::string& p) { return state.queue().includes(p); },
                [&](const std::string& p) {
                    return PathRules::isAtOrInsideAny(p, state.vanishingPaths()) ||
                           PathRules::isAtOrInsideAny(p, state.nimbrelisingIDs());
                }};
    }
    static void selectExtras(AppState& state) {
        for (const DuplicateGroup& g : state.duplicates().groups())
            state.queue().add(state.duplicates().extras(g.id, around(state)));
    }
    static std::unordered_set<std::string> queued(AppState& state) { return testing::queuedIds(state); }
    void finish(AppState& state) {
        settle();
        for (int step = 0; step < 6 && state.isDeleting(); ++step) {
            clock_.advance(10s);
            settle();
        }
        ASSERT_FALSE(state.isDeleting());
    }
    std::string makeSet(const std::string& name) {
        const std::string root = dir_.filePath(QString::fromStdString(name)).toStdString();
        fs::create_directories(root);
        for (const char* copy : {"a.bin", "b.bin", "c.bin"})
            write(root + "/" + copy, kContents);
        setModified(root + "/a.bin", 3'000'000);  // the newest: the copy that stays
        setModified(root + "/b.bin", 2'000'000);
        setModified(root + "/c.bin", 1'000'000);
        return root;
    }

    ManualClock clock_;
    PrivatePrefs prefs_;
    QTemporaryDir dir_;
};

INSTANTIATE_TEST_SUITE_P(BothModes, TwinRemovalTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ForGood" : "ToTrash"; });

TEST_P(TwinRemovalTest, AnExtraGoesOnlyWhileACopyThatStaysStillMatchesIt) {
    const auto rewriteKeepingTime = [](const std::string& path) {
        const time_t was = modifiedOf(path);
        std::string other = kContents;
        other[1000] = 'X';
        {
            std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
            f.seekp(0);
            f << other;
        }
        setModified(path, was);
    };
    const Change changes[] = {
        {"nothing", [](const std::string&) {}, When::afterSelect, {"a.bin"}, false},
        {"b rewritten in place, its time put back",
         [&](const std::string& r) { rewriteKeepingTime(r + "/b.bin"); },
         When::afterSelect,
         {"a.bin", "b.bin"},
         false},
        {"b edited bigger and newer",
         [](const std::string& r) { std::ofstream(r + "/b.bin", std::ios::app) << "more"; },
         When::whileReviewing,
         {"a.bin", "b.bin"},
         false},
        {"the kept copy deleted",
         [](const std::string& r) { fs::remove(r + "/a.bin"); },
         When::afterSelect,
         {"b.bin", "c.bin"},
         true},
        {"the kept copy overwritten, its time put back",
         [&](const std::string& r) { rewriteKeepingTime(r + "/a.bin"); },
         When::whileReviewing,
         {"a.bin", "b.bin", "c.bin"},
         true},
        {"the kept copy truncated",
         [](const std::string& r) { fs::resize_file(r + "/a.bin", 10); },
         When::afterSelect,
         {"a.bin", "b.bin", "c.bin"},
         true},
        {"the kept copy replaced by a link to b",
         [](const std::string& r) {
             fs::remove(r + "/a.bin");
             fs::create_symlink(r + "/b.bin", r + "/a.bin");
         },
         When::afterSelect,
         {"a.bin", "b.bin", "c.bin"},
         true},
        {"the kept copy replaced by a folder",
         [](const std::string& r) {
             fs::remove(r + "/a.bin");
             fs::create_directory(r + "/a.bin");
         },
         When::whileReviewing,
         {"a.bin", "b.bin", "c.bin"},
         true},
        {"the kept copy deleted between the removal's items",
         [](const std::string& r) { fs::remove(r + "/a.bin"); },
         When::betweenItems,
         {"c.bin"},
         false},
        // Same bytes under new times or a new inode: still a copy that stays.
        {"the kept copy hard-linked elsewhere",
         [](const std::string& r) { fs::create_hard_link(r + "/a.bin", r + "/a-link"); },
         When::afterSelect,
         {"a.bin"},
         false},
        {"the kept copy replaced by an identical file",
         [](const std::string& r) {
             fs::remove(r + "/a.bin");
             write(r + "/a.bin", kContents);
         },
         When::whileReviewing,
         {"a.bin"},
         false},
    };
    int n = 0;
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        const std::string root = makeSet("set" + std::to_string(n++) + (permanently() ? "-rm" : "-trash"));
        std::function<void()> between;
        if (c.when == When::betweenItems) between = [&c, root] { c.apply(root); };
        auto state = searched(root, between);
        ASSERT_EQ(state->duplicates().groups().size(), 1u);
        selectExtras(*state);
        ASSERT_EQ(queued(*state), (std::unordered_set<std::string>{root + "/b.bin", root + "/c.bin"}));
        if (c.when == When::afterSelect) c.apply(root);
        state->nimbrelise();
        if (c.when == When::whileReviewing) c.apply(root);
        const int64_t freedBefore = state->sessionFreed();
        state->nimbrelise(queued(*state), permanently());
        finish(*state);
        for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
            const bool stays = std::find_if(c.stays.begin(), c.stays.end(), [&](const char* s) {
                                   return std::string(s) == name;
                               }) != c.stays.end();
            EXPECT_EQ(onDisk(root + "/" + name), stays) << name;
        }
        const auto failures = state->deletionFailures().value_or(std::vector<DeletionFailure>{});
        for (const char* name : {"b.bin", "c.bin"}) {
            const bool failed = std::any_of(failures.begin(), failures.end(), [&](const DeletionFailure& f) {
                return f.path == root + "/" + name;
            });
            const bool stays = onDisk(root + "/" + name);
            EXPECT_EQ(failed, stays) << name << " stays exactly when it failed";
            for (const DeletionFailure& f : failures)
                EXPECT_TRUE(f.path != root + "/" + name || f.reason == DeletionFailure::Reason::notTwin)
                    << name;
        }
        if (c.everyExtraFails) {
            EXPECT_EQ(state->sessionFreed(), freedBefore) << "nothing credited";
            EXPECT_EQ(failures.size(), 2u);
        }
    }
}

// The kept copy's folder swapped for a link to the extra's after the search: the kept path names the
// extra itself now, which is no copy of itself, so the extra stays.
TEST_P(TwinRemovalTest, TheExtraUnderTheKeptCopysNameIsNoCopy) {
    const std::string root = dir_.filePath(permanently() ? "renamed-rm" : "renamed-trash").toStdString();
    for (const char* folder : {"/keep", "/extra"}) {
        fs::create_directories(root + folder);
        write(root + folder + "/same.bin", kContents);
    }
    setModified(root + "/extra/same.bin", 1'000'000);
    auto state = searched(root);
    selectExtras(*state);
    ASSERT_EQ(queued(*state), std::unordered_set<std::string>{root + "/extra/same.bin"});
    fs::remove_all(root + "/keep");
    fs::create_directory_symlink(root + "/extra", root + "/keep");
    state->nimbrelise(queued(*state), permanently());
    finish(*state);
    EXPECT_TRUE(onDisk(root + "/extra/same.bin"));
    const auto failures = state->deletionFailures().value_or(std::vector<DeletionFailure>{});
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].reason, DeletionFailure::Reason::notTwin);
}

// An extra changed after the search (its permissions) stays, as the failure says, until the twins
// are looked for again: a search that finds its set again gives it the set and itself as read now.
TEST_P(TwinRemovalTest, LookingForTwinsAgainClearsWhatChangedSinceTheLastSearch) {
    const std::string root = makeSet(permanently() ? "again-rm" : "again-trash");
    auto state = searched(root);
    selectExtras(*state);
    ASSERT_EQ(chmod((root + "/b.bin").c_str(), 0600), 0);
    state->nimbrelise(queued(*state), permanently());
    finish(*state);
    EXPECT_TRUE(onDisk(root + "/b.bin"));
    EXPECT_EQ(queued(*state), std::unordered_set<std::string>{root + "/b.bin"});
    state->duplicates().run(std::shared_ptr<const ScanResult>(state->result()), 1);
    settle();
    ASSERT_EQ(state->duplicates().groups().size(), 1u);
    state->nimbrelise(queued(*state), permanently());
    finish(*state);
    EXPECT_FALSE(onDisk(root + "/b.bin"));
    EXPECT_TRUE(onDisk(root + "/a.bin"));
}

// Every copy chosen, with the review's warning acknowledged: the set goes whole, as asked.
TEST_P(TwinRemovalTest, EveryCopyChosenGoesWhole) {
    const std::string root = makeSet(permanently() ? "whole-rm" : "whole-trash");
    auto state = searched(root);
    selectExtras(*state);
    state->queue().add(
        testing::cleanItem(root + "/a.bin", 0, CleanItem::Kind::file, CleanItem::Source::space, "a.bin"));
    state->nimbrelise(queued(*state), permanently());
    finish(*state);
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        EXPECT_FALSE(onDisk(root + "/" + name)) << name;
}

}  // namespace
}  // namespace nimbrel
