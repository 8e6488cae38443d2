// The removal road end to end, as the application drives it: a real scan of a temporary tree,
// entries ticked through the state, the review's removal to the Trash or for good with the real
// file operations, and the completion delivered on the event loop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "engine/demo.h"
#include "engine/safety_guard.h"
#include "model/app_state_test_support.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "model/removal.h"
#include "platform/trash_emptier.h"
#include "support/private_prefs.h"
#include "support/temp_tree.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using Reason = DeletionFailure::Reason;
using test::allocated;
using test::writeFile;
using testing::settle;
constexpr auto onDisk = test::exists;

// Everything this program trashes lands below one temporary folder: GLib and the host layout read
// XDG_DATA_HOME once, at first use, so it is set before main() runs. A child this program starts
// again (a death test, which ends without exit handlers) uses its parent's folder and leaves it to
// the parent to remove.
const std::string& base() {
    // Never destroyed: the exit handler that removes it runs after static destructors.
    static const std::string* folder = [] {
        if (const char* parents = std::getenv("NIMBREL_ROAD_BASE")) return new std::string(parents);
        std::string pattern = std::filesystem::temp_directory_path().string() + "/nimbrel-road-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        chmod(pattern.c_str(), 0755);  // the unprivileged case walks through it
        std::filesystem::create_directories(pattern + "/share");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(base(), ignored);
        });
        setenv("NIMBREL_ROAD_BASE", pattern.c_str(), 1);
        return new std::string(pattern);
    }();
    return *folder;
}
const bool kDataHomeSet = setenv("XDG_DATA_HOME", (base() + "/share").c_str(), 1) == 0;
// The home too, so its junk locations (~/.cache) can be arranged here.
const bool kHomeSet = std::filesystem::create_directories(base() + "/home") &&
                      setenv("HOME", (base() + "/home").c_str(), 1) == 0;

std::string trashFiles() {
    return base() + "/share/Trash/files";
}

// What the entries below a folder take on disk, links included and folders themselves not: what
// removing it gives back.
int64_t allocatedInside(const std::string& folder) {
    int64_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_symlink() || !entry.is_directory()) total += allocated(entry.path().string());
    return total;
}

// The names in the Trash's files folder.
std::vector<std::string> trashed() {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(trashFiles(), ignored))
        names.push_back(entry.path().filename().string());
    return names;
}

// A state with the real scanner and the real file operations; only the clock, the volumes and the
// demo switch are the test's.
struct Road {
    ManualClock clock;
    bool demo = false;
    std::unique_ptr<AppState> state;
    std::string root;

    explicit Road(const std::string& name) : root(base() + "/" + name) {
        std::filesystem::remove_all(root);  // a repeated run starts from an empty tree again
        std::filesystem::create_directories(root);
        chmod(root.c_str(), 0777);
        AppStateServices services = AppStateServices::standard();
        services.listVolumes = [] { return std::vector<VolumeInfo>{}; };
        services.scanOptions = [] {
            ScanOptions options;
            options.minTrackedSize = 0;  // every file listed, so each can be ticked
            return options;
        };
        services.clock = &clock;
        services.isDemo = [this] { return demo; };
        // The real emptier on this program's Trash only; the volumes' Trash folders are the machine's.
        services.emptyTrash = [] {
            CommandResult outcome{0, "", 0};
            for (const std::string& stayed :
                 TrashEmptier::emptyFolder(base() + "/share/Trash", &*outcome.freedBytes)) {
                outcome.status = 1;
                outcome.output += stayed + "\n";
            }
            return outcome;
        };
        state = std::make_unique<AppState>(std::move(services));
    }
    ~Road() {
        settle();
        clock.advance(60s);
        settle();
    }

    std::string path(const std::string& relative) const { return root + "/" + relative; }

    void scan() {
        state->scan(root);
        settle();
        ASSERT_FALSE(state->isScanning());
        ASSERT_TRUE(state->result());
    }

    // The entry as the views build it from the scan: a folder of the tree or a listed file.
    std::optional<CleanItem> item(const std::string& relative) const {
        const std::string p = path(relative);
        CleanItem item;
        item.source = CleanItem::Source::space;
        item.id = p;
        item.symbolPath = p;
        if (auto node = state->result()->node(p)) {
            item.name = node->name;
            item.size = node->size;
            item.kind = CleanItem::Kind::folder;
            item.identity = EntryIdentity::folder(*node);
            return item;
        }
        for (const FileItem& file : state->result()->files)
            if (file.path == p) {
                item.name = file.name;
                item.size = file.size;
                item.kind = CleanItem::Kind::file;
                item.identity = EntryIdentity::scanned(file);
                return item;
            }
        // The scan lists no links and enters no other volume; such a path still arrives as a
        // dropped entry or a junk target.
        struct stat st {};
        if (lstat(p.c_str(), &st) == 0) {
            item.name = std::filesystem::path(p).filename().string();
            item.size = int64_t(st.st_blocks) * 512;
            item.kind = S_ISDIR(st.st_mode) ? CleanItem::Kind::folder : CleanItem::Kind::file;
            return item;
        }
        return std::nullopt;
    }
    void tick(const std::string& relative) {
        auto entry = item(relative);
        ASSERT_TRUE(entry) << relative << " is not in the scan";
        state->toggleSelection(*entry);
    }
    std::unordered_set<std::string> queued() const { return testing::queuedIds(*state); }
    // Review the whole selection and remove it; returns once the completion has run.
    void removeAll(bool permanently) {
        state->nimbrelise();
        ASSERT_TRUE(state->isReviewing());
        state->nimbrelise(queued(), permanently);
        finish();
    }
    void finish() {
        settle();
        // The worker has ended; the hold on the screen passes with the clock.
        for (int step = 0; step < 6 && state->isDeleting(); ++step) {
            clock.advance(10s);
            settle();
        }
        ASSERT_FALSE(state->isDeleting());
    }
    bool inTree(const std::string& relative) const {
        const std::string p = path(relative);
        if (state->result()->node(p)) return true;
        for (const FileItem& file : state->result()->files)
            if (file.path == p) return true;
        return false;
    }
    std::vector<DeletionFailure> failures() const {
        return state->deletionFailures().value_or(std::vector<DeletionFailure>{});
    }
};

class RemovalRoadTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(kDataHomeSet);
        ASSERT_TRUE(kHomeSet);
        // GIO trashes into the home Trash only for files on the home folder's file system.
        struct stat home {
        }, tmp{};
        sameDevice_ = stat(HostLayout::current().home.c_str(), &home) == 0 &&
                      stat(base().c_str(), &tmp) == 0 && home.st_dev == tmp.st_dev;
        if (!permanently() && !sameDevice_)
            GTEST_SKIP() << "the temporary folder is not on the home file system";
    }
    bool permanently() const { return GetParam(); }
    std::string name(const std::string& what) const { return what + (permanently() ? "-rm" : "-trash"); }

  private:
    PrivatePrefs prefs_;
    bool sameDevice_ = false;
};

INSTANTIATE_TEST_SUITE_P(BothModes, RemovalRoadTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ForGood" : "ToTrash"; });

TEST_P(RemovalRoadTest, LinksGoAsLinksAndTheirTargetsStay) {
    // Outside the scanned tree: a folder the links point at, with its contents. Its name is too long
    // for a link to it to fit inside the inode: each link has a block of its own to give back.
    const std::string outside = base() + "/" + name("outside") + std::string(80, 'o');
    writeFile(outside + "/keep/precious.txt", 5000);
    writeFile(outside + "/precious-file.txt", 5000);

    Road road(name("links"));
    std::filesystem::create_directory_symlink(outside + "/keep", road.path("folder-link"));
    std::filesystem::create_symlink(outside + "/precious-file.txt", road.path("file-link"));
    writeFile(road.path("holder/own.bin"), 8192);
    std::filesystem::create_directory_symlink(outside + "/keep", road.path("holder/inner-link"));
    std::filesystem::create_symlink(outside, road.path("holder/parent-link"));
    road.scan();

    ASSERT_FALSE(road.state->result()->node(road.path("folder-link"))) << "a link is never a folder";
    ASSERT_FALSE(road.inTree("folder-link"));
    road.tick("folder-link");
    road.tick("file-link");
    road.tick("holder");
    ASSERT_EQ(road.queued().size(), 3u);
    // Each link gives back its own block, the ticked ones and those inside the folder alike.
    const int64_t expected = allocated(road.path("folder-link")) + allocated(road.path("file-link")) +
                             allocatedInside(road.path("holder"));
    road.removeAll(permanently());

    EXPECT_TRUE(road.failures().empty());
    for (const char* gone : {"folder-link", "file-link", "holder"})
        EXPECT_FALSE(onDisk(road.path(gone))) << gone;
    EXPECT_TRUE(onDisk(outside + "/keep/precious.txt"));
    EXPECT_TRUE(onDisk(outside + "/precious-file.txt"));
    EXPECT_EQ(allocated(outside + "/keep/precious.txt"), allocated(outside + "/precious-file.txt"));
    EXPECT_EQ(road.state->sessionFreed(), expected);
    EXPECT_TRUE(road.queued().empty());
    EXPECT_FALSE(road.inTree("holder"));
    EXPECT_FALSE(road.inTree("file-link"));
    if (!permanently()) {
        // The Trash holds the links themselves, still pointing outside.
        const std::vector<std::string> names = trashed();
        EXPECT_NE(std::find(names.begin(), names.end(), "folder-link"), names.end());
        EXPECT_TRUE(std::filesystem::is_symlink(trashFiles() + "/folder-link"));
    }
}

TEST_P(RemovalRoadTest, GuardedFolderStaysAndTheRestGoes) {
    // The Trash folder is guarded wherever XDG_DATA_HOME puts it; scan the data home itself.
    Road road(name("guard"));
    const std::string guarded = HostLayout::current().trashFolder;
    ASSERT_EQ(guarded, base() + "/share/Trash");
    std::filesystem::create_directories(guarded + "/files");
    writeFile(road.path("loose.bin"), 12000);
    std::filesystem::create_directory_symlink(guarded, road.path("trash-link"));

    // Scan the data home: the Trash is an ordinary-looking folder of the tree.
    Road share(name("guard-share"));
    share.root = base() + "/share";
    writeFile(share.path(name("spare.bin")), 4096);
    share.scan();
    share.tick("Trash");
    share.tick(name("spare.bin"));
    const int64_t spare = allocated(share.path(name("spare.bin")));
    share.state->nimbrelise();
    share.state->nimbrelise(share.queued(), /*permanently=*/true);
    share.finish();

    ASSERT_EQ(share.failures().size(), 1u);
    EXPECT_EQ(share.failures()[0].path, guarded);
    EXPECT_EQ(share.failures()[0].reason, Reason::safetyGuard);
    EXPECT_EQ(share.failures()[0].detail, SafetyGuard::reason(guarded));
    EXPECT_TRUE(onDisk(guarded + "/files"));
    EXPECT_FALSE(onDisk(share.path(name("spare.bin"))));
    EXPECT_EQ(share.state->sessionFreed(), spare);
    EXPECT_TRUE(share.inTree("Trash"));
    EXPECT_TRUE(share.queued().empty()) << "a refused entry leaves the selection";

    // A link to the guarded folder is only a link: it goes, the folder stays.
    road.scan();
    road.tick("trash-link");
    road.tick("loose.bin");
    road.removeAll(permanently());
    EXPECT_TRUE(road.failures().empty());
    EXPECT_FALSE(onDisk(road.path("trash-link")));
    EXPECT_FALSE(onDisk(road.path("loose.bin")));
    EXPECT_TRUE(onDisk(guarded + "/files"));
}

// A Trash-named folder deeper than the ticked folder's children: the folder holding it stays
// whole, and so do the folders above it; for good the rest goes, to the Trash nothing moves (the
// ticked folder goes as one or not at all). Emptying the Trash still takes such a folder.
TEST_P(RemovalRoadTest, AFolderHoldingATrashStaysWholeWithTheFoldersAboveIt) {
    std::filesystem::create_directories(trashFiles());
    for (const char* trash : {".Trash-4242", ".trash-0", ".TRASH", ".Trash"}) {
        SCOPED_TRACE(trash);
        Road road(name("holds-trash"));
        const std::string held = std::string("projects/x/") + trash + "/files/kept.txt";
        writeFile(road.path(held), 3000);
        writeFile(road.path("projects/x/src/main.c"), 3000);
        writeFile(road.path("projects/y/other.bin"), 3000);
        writeFile(road.path("projects/loose.bin"), 3000);
        road.scan();
        const auto trashedBefore = std::distance(std::filesystem::directory_iterator(trashFiles()),
                                                 std::filesystem::directory_iterator());
        road.tick("projects");
        road.removeAll(permanently());

        EXPECT_TRUE(onDisk(road.path(held)));
        EXPECT_TRUE(onDisk(road.path("projects/x/src/main.c"))) << "the holding folder stays whole";
        EXPECT_EQ(onDisk(road.path("projects/y/other.bin")), !permanently());
        EXPECT_EQ(onDisk(road.path("projects/loose.bin")), !permanently());
        ASSERT_EQ(road.failures().size(), 1u);
        EXPECT_EQ(road.failures()[0].path, road.path("projects"));
        EXPECT_NE(road.failures()[0].detail.find("holds a Trash folder"), std::string::npos)
            << road.failures()[0].detail;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(trashFiles()),
                                std::filesystem::directory_iterator()),
                  trashedBefore);
    }
    {
        // Only a folder is a Trash: a file or a link by that name goes like any other entry.
        Road road(name("trash-names"));
        writeFile(road.path("projects/x/.Trash"), 3000);
        std::filesystem::create_directories(road.path("elsewhere"));
        std::filesystem::create_directories(road.path("projects/y"));
        std::filesystem::create_directory_symlink(road.path("elsewhere"),
                                                  road.path("projects/y/.Trash-4242"));
        road.scan();
        road.tick("projects");
        road.removeAll(permanently());
        EXPECT_TRUE(road.failures().empty());
        EXPECT_FALSE(onDisk(road.path("projects")));
        EXPECT_TRUE(onDisk(road.path("elsewhere")));
    }
    const std::string trashed = trashFiles() + "/" + name("held") + "/.Trash-4242/files/kept.txt";
    writeFile(trashed, 3000);
    Road road(name("empty"));
    road.state->emptyTrash();
    road.finish();
    EXPECT_FALSE(onDisk(trashed));
}

TEST_P(RemovalRoadTest, GuardSeesThroughALinkedScanRoot) {
    // A scan started at a link to the data home reaches the guarded Trash under the link's name.
    const std::string guarded = HostLayout::current().trashFolder;
    std::filesystem::create_directories(guarded + "/files");
    writeFile(guarded + "/files/" + name("keep.bin"), 4096);
    Road road(name("linked-root"));
    std::filesystem::remove(road.root);
    std::filesystem::create_directory_symlink(base() + "/share", road.root);
    road.scan();
    road.tick("Trash");
    road.removeAll(permanently());
    EXPECT_TRUE(onDisk(guarded + "/files/" + name("keep.bin")));
    ASSERT_EQ(road.failures().size(), 1u);
    EXPECT_EQ(road.failures()[0].reason, Reason::safetyGuard);
}

TEST_P(RemovalRoadTest, UnreachableTrashIsAFailureNotAVanishedFile) {
    if (permanently()) GTEST_SKIP() << "only the Trash can be out of reach";
    // The data home turns into a dangling link (a dotfile manager's link whose target went):
    // the Trash cannot be made and its error reads "no such file", yet the file is still here.
    Road road(name("no-trash"));
    writeFile(road.path("still-here.bin"), 5000);
    road.scan();
    road.tick("still-here.bin");
    const std::string share = base() + "/share";
    std::filesystem::rename(share, base() + "/share-away");
    std::filesystem::create_directory_symlink(base() + "/nowhere", share);
    road.removeAll(false);
    std::filesystem::remove(share);
    std::filesystem::rename(base() + "/share-away", share);

    EXPECT_TRUE(onDisk(road.path("still-here.bin")));
    ASSERT_EQ(road.failures().size(), 1u);
    EXPECT_EQ(road.failures()[0].path, road.path("still-here.bin"));
    EXPECT_EQ(road.state->sessionFreed(), 0);
    EXPECT_FALSE(road.state->toast());
    EXPECT_TRUE(road.inTree("still-here.bin"));
    EXPECT_EQ(road.queued(), (std::unordered_set<std::string>{road.path("still-here.bin")}));
}

// What went to the Trash shows in its figure at once, so emptying it later credits what it holds,
// not the size it had before the removal.
TEST_P(RemovalRoadTest, TheTrashFigureFollowsWhatWentIntoIt) {
    if (permanently()) GTEST_SKIP() << "nothing reaches the Trash";
    Road road(name("trash-figure"));
    writeFile(road.path("big.bin"), 300000);
    road.scan();
    road.tick("big.bin");
    QSignalSpy measured(&road.state->cleanup(), &CleanupModel::trashChanged);
    road.removeAll(false);
    ASSERT_FALSE(onDisk(road.path("big.bin")));
    ASSERT_TRUE(measured.count() > 0 || measured.wait(10000));
    ASSERT_TRUE(road.state->cleanup().trash());
    EXPECT_GE(road.state->cleanup().trash()->usage.size, 300000);
}

TEST_P(RemovalRoadTest, OnlyTheReviewedEntriesGo) {
    Road road(name("reviewed"));
    writeFile(road.path("chosen.bin"), 5000);
    writeFile(road.path("left-out.bin"), 5000);
    writeFile(road.path("never-ticked.bin"), 5000);
    road.scan();
    road.tick("chosen.bin");
    road.tick("left-out.bin");
    road.state->nimbrelise();
    // The review unticked one entry; an id the selection never held is ignored.
    road.state->nimbrelise({road.path("chosen.bin"), road.path("never-ticked.bin")}, permanently());
    road.finish();
    EXPECT_FALSE(onDisk(road.path("chosen.bin")));
    EXPECT_TRUE(onDisk(road.path("left-out.bin")));
    EXPECT_TRUE(onDisk(road.path("never-ticked.bin")));
    EXPECT_EQ(road.queued(), (std::unordered_set<std::string>{road.path("left-out.bin")}));
}

// Drops to an unprivileged user for the whole process (all threads) and back. A settings save
// runs under one user from start to end: one that changed user halfway would leave its scratch
// folder behind.
struct Unprivileged {
    bool ok = false;
    Unprivileged() {
        Prefs::flush();
        ok = setresgid(65534, 65534, 0) == 0 && setresuid(65534, 65534, 0) == 0;
    }
    ~Unprivileged() {
        Prefs::flush();
        [[maybe_unused]] int restoredUser = setresuid(0, 0, 0);
        [[maybe_unused]] int restoredGroup = setresgid(0, 0, 0);
    }
};

// What the scan saw is what goes. An entry changed since (another file renamed over it, rewritten
// in place with its old modification time put back, a folder moved into its place, swapped for a
// link, a folder or a file, given another name) stays whole, with a failure that says it changed,
// and is credited nothing. A folder is judged as a folder: what changed inside it goes with it.
// Changed after the tick and after the review opened; removed as root, and as an unprivileged user
// for whom what took the entries' places is another user's (which it could otherwise remove).
TEST_P(RemovalRoadTest, EntriesChangedSinceTheScanStay) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const std::string outside = base() + "/" + name("changed-target");
    writeFile(outside + "/precious.txt", 5000);
    struct Change {
        std::string entry;
        std::function<void(Road&)> apply;
    };
    const auto replaceBy = [](Road& road, const std::string& entry, auto make) {
        const std::string aside = road.path(entry + ".new");
        make(aside);
        ASSERT_EQ(::rename(aside.c_str(), road.path(entry).c_str()), 0) << entry;
    };
    const std::vector<Change> changes = {
        {"renamed-over.bin",
         [&](Road& r) {
             replaceBy(r, "renamed-over.bin", [](const std::string& p) { writeFile(p, 300000); });
         }},
        {"rewritten.bin",
         [](Road& r) {
             const std::string p = r.path("rewritten.bin");
             struct stat before {};
             ASSERT_EQ(lstat(p.c_str(), &before), 0);
             std::fstream(p, std::ios::in | std::ios::out | std::ios::binary) << std::string(5000, 'y');
             const timespec times[2] = {before.st_atim, before.st_mtim};
             ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
         }},
        {"build",
         [](Road& r) {
             std::filesystem::rename(r.path("build"), r.path("build-moved-away"));
             writeFile(r.path("photos/holiday.jpg"), 40000);
             std::filesystem::rename(r.path("photos"), r.path("build"));
         }},
        {"cache",
         [&](Road& r) {
             std::filesystem::remove_all(r.path("cache"));
             std::filesystem::create_directory_symlink(outside, r.path("cache"));
         }},
        {"doc.txt",
         [&](Road& r) {
             std::filesystem::remove(r.path("doc.txt"));
             std::filesystem::create_symlink(outside + "/precious.txt", r.path("doc.txt"));
         }},
        {"report.txt",
         [](Road& r) {
             std::filesystem::remove(r.path("report.txt"));
             writeFile(r.path("report.txt/precious/a.bin"), 30000);
         }},
        {"old",
         [](Road& r) {
             std::filesystem::remove_all(r.path("old"));
             writeFile(r.path("old"), 3000);
         }},
        {"linked.bin",
         [](Road& r) { std::filesystem::create_hard_link(r.path("linked.bin"), r.path("second-name.bin")); }},
    };
    for (const bool asNobody : {false, true})
        for (const bool afterReview : {false, true}) {
            SCOPED_TRACE(std::string(asNobody ? "unprivileged" : "root") +
                         (afterReview ? ", changed with the review open" : ", changed after the tick"));
            Road road(name(std::string("changed-") + (asNobody ? "n" : "r") + (afterReview ? "v" : "t")));
            for (const char* file :
                 {"renamed-over.bin", "rewritten.bin", "doc.txt", "report.txt", "linked.bin"})
                writeFile(road.path(file), 5000);
            for (const char* folder : {"build/out.o", "cache/blob.bin", "old/inner.bin", "grows/a.bin"})
                writeFile(road.path(folder), 9000);
            if (asNobody) {
                for (const auto& entry : std::filesystem::recursive_directory_iterator(road.root))
                    ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
            }
            road.scan();
            for (const Change& change : changes)
                road.tick(change.entry);
            road.tick("grows");
            // Later than the scan's reading by more than the clock's step: a change gets a new time.
            std::this_thread::sleep_for(20ms);
            const auto change = [&] {
                for (const Change& c : changes)
                    c.apply(road);
                writeFile(road.path("grows/arrived-later.bin"), 7000);  // goes with its folder
            };
            if (!afterReview) change();
            road.state->nimbrelise();
            ASSERT_TRUE(road.state->isReviewing());
            if (afterReview) change();
            const int64_t grows = allocatedInside(road.path("grows"));
            if (asNobody && !permanently())
                for (const std::string& folder : {trashFiles(), base() + "/share/Trash/info"}) {
                    std::filesystem::create_directories(folder);
                    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
                    ASSERT_EQ(chown(std::filesystem::path(folder).parent_path().c_str(), 65534, 65534), 0);
                }
            {
                std::optional<Unprivileged> nobody;
                if (asNobody) {
                    nobody.emplace();
                    ASSERT_TRUE(nobody->ok);
                }
                road.state->nimbrelise(road.queued(), permanently());
                road.finish();
            }
            EXPECT_FALSE(onDisk(road.path("grows")));
            std::unordered_map<std::string, DeletionFailure> failed;
            for (const DeletionFailure& failure : road.failures())
                failed.emplace(failure.path, failure);
            for (const Change& c : changes) {
                const std::string p = road.path(c.entry);
                EXPECT_TRUE(onDisk(p)) << c.entry;
                ASSERT_TRUE(failed.count(p)) << c.entry;
                EXPECT_EQ(failed[p].reason, Reason::changedSinceScan) << failed[p].detail;
                EXPECT_NE(failed[p].detail.find("changed since the scan"), std::string::npos)
                    << failed[p].detail;
                EXPECT_FALSE(road.state->lastRemoval.count(p)) << c.entry;
                EXPECT_TRUE(road.queued().count(p)) << c.entry << " stays ticked";
            }
            EXPECT_EQ(failed.size(), changes.size());
            EXPECT_TRUE(onDisk(road.path("build/holiday.jpg")));
            EXPECT_TRUE(onDisk(road.path("report.txt/precious/a.bin")));
            EXPECT_TRUE(onDisk(outside + "/precious.txt"));
            EXPECT_EQ(road.state->sessionFreed(), grows);
            const std::vector<std::string> inTrash = trashed();
            for (const Change& c : changes)
                EXPECT_EQ(std::count(inTrash.begin(), inTrash.end(), c.entry), 0)
                    << c.entry << " is in the Trash";
        }
}

// A file whose permissions changed after the scan (only its change time moves, as with a rewrite
// whose time was put back) stays as changed since the scan. A new scan gives every ticked entry it
// saw what it saw, so the next removal takes it; one it did not see, or saw as another kind of entry
// (a file now a folder the scan lists as a file), keeps what the old scan saw, and still stays.
TEST_P(RemovalRoadTest, ScanningAgainClearsWhatChangedSinceTheLastScan) {
    Road road(name("rescanned"));
    for (const char* file : {"part/remoded.bin", "part/grown.bin", "elsewhere.bin", "part/notes.pages"})
        writeFile(road.path(file), 5000);
    road.scan();
    for (const char* file : {"part/remoded.bin", "part/grown.bin", "elsewhere.bin", "part/notes.pages"})
        road.tick(file);
    std::this_thread::sleep_for(20ms);
    for (const char* file : {"part/remoded.bin", "elsewhere.bin"})
        ASSERT_EQ(chmod(road.path(file).c_str(), 0600), 0);
    std::ofstream(road.path("part/grown.bin"), std::ios::app) << std::string(9000, 'y');
    std::filesystem::remove(road.path("part/notes.pages"));
    writeFile(road.path("part/notes.pages/Data/precious.bin"), 5000);
    // The failure's detail, when it stayed as changed since the scan.
    const auto changedDetail = [&](const std::string& file) -> std::optional<std::string> {
        for (const DeletionFailure& failure : road.failures())
            if (failure.path == road.path(file) && failure.reason == Reason::changedSinceScan)
                return failure.detail;
        return std::nullopt;
    };

    road.removeAll(permanently());
    for (const char* file : {"part/remoded.bin", "part/grown.bin", "elsewhere.bin", "part/notes.pages"}) {
        EXPECT_TRUE(onDisk(road.path(file))) << file;
        EXPECT_TRUE(changedDetail(file)) << file;
    }
    EXPECT_NE(changedDetail("part/remoded.bin").value_or("").find("permissions"), std::string::npos);
    EXPECT_EQ(road.queued().size(), 4u);

    road.state->scan(road.path("part"));
    settle();
    road.removeAll(permanently());
    EXPECT_FALSE(onDisk(road.path("part/remoded.bin")));
    EXPECT_FALSE(onDisk(road.path("part/grown.bin")));
    for (const char* file : {"elsewhere.bin", "part/notes.pages/Data/precious.bin"})
        EXPECT_TRUE(onDisk(road.path(file))) << file;
    EXPECT_TRUE(changedDetail("elsewhere.bin"));
    EXPECT_TRUE(changedDetail("part/notes.pages"));
    EXPECT_EQ(road.failures().size(), 2u);
    EXPECT_EQ(road.queued(),
              (std::unordered_set<std::string>{road.path("elsewhere.bin"), road.path("part/notes.pages")}));
}

// A ticked junk location removes the targets the review listed when it opened, with what each was:
// an installer downloaded while the review is open stays, one replaced meanwhile stays as changed,
// and the review's figure for the location is what its listed targets weigh and what is credited.
// Deep Clean is measured again when a scan finishes, so it shows the disk the scan read.
TEST_P(RemovalRoadTest, AJunkLocationRemovesWhatTheReviewListed) {
    const std::string downloads = HostLayout::current().home + "/Downloads";
    const std::string cache = HostLayout::current().home + "/.cache";
    for (const bool replaceOne : {false, true}) {
        SCOPED_TRACE(replaceOne ? "one installer replaced with the review open" : "nothing else changes");
        std::filesystem::remove_all(downloads);
        std::filesystem::remove_all(cache);
        writeFile(downloads + "/tool.deb", 32768);
        writeFile(downloads + "/app.AppImage", 20000);
        writeFile(downloads + "/notes.txt", 5000);
        writeFile(cache + "/thumbs/a.png", 12000);
        Road road(name(std::string("installers") + (replaceOne ? "-replaced" : "")));
        road.state->cleanup().measure();
        settle();
        writeFile(cache + "/thumbs/b.png", 50000);
        road.scan();
        settle();
        EXPECT_EQ(road.state->cleanup().measurements().at("caches").size, DiskScanner::usage(cache).size);

        // Measured long ago: a size of 1.
        road.state->toggleSelection(testing::cleanItem("junk:installers", 1, CleanItem::Kind::junk,
                                                       CleanItem::Source::deepClean,
                                                       "Installers in Downloads"));
        road.state->nimbrelise();
        settle();
        const int64_t tool = allocated(downloads + "/tool.deb"), app = allocated(downloads + "/app.AppImage");
        ASSERT_EQ(road.state->queue().items().front().size, tool + app) << "the review shows what it listed";
        writeFile(downloads + "/later.deb", 86016);
        if (replaceOne) {
            writeFile(downloads + "/new.AppImage", 20000);
            std::filesystem::rename(downloads + "/new.AppImage", downloads + "/app.AppImage");
        }
        road.state->nimbrelise(road.queued(), permanently());
        road.finish();
        EXPECT_FALSE(onDisk(downloads + "/tool.deb"));
        EXPECT_TRUE(onDisk(downloads + "/later.deb"));
        EXPECT_TRUE(onDisk(downloads + "/notes.txt"));
        EXPECT_EQ(onDisk(downloads + "/app.AppImage"), replaceOne);
        EXPECT_EQ(road.state->sessionFreed(), replaceOne ? tool : tool + app);
        ASSERT_EQ(road.failures().size(), replaceOne ? 1u : 0u);
        if (replaceOne) {
            EXPECT_EQ(road.failures()[0].reason, Reason::changedSinceScan);
        }
    }
    std::filesystem::remove_all(downloads);
    std::filesystem::remove_all(cache);
}

// A junk location behind a link (~/.cache kept on another disk) goes through the link only while
// it leads where it did when the review opened: swapped for a link to another folder meanwhile,
// nothing of that folder goes.
TEST_P(RemovalRoadTest, JunkFolderRelinkedDuringTheReviewIsLeftAlone) {
    const std::string cache = HostLayout::current().home + "/.cache";
    ASSERT_EQ(cache, base() + "/home/.cache");
    const std::string real = base() + "/" + name("cache-disk"), other = base() + "/" + name("projects");
    std::filesystem::remove_all(real);
    std::filesystem::remove_all(other);
    std::filesystem::remove(cache);
    writeFile(real + "/pip/wheel.bin", 9000);
    writeFile(other + "/thesis/draft.txt", 9000);
    std::filesystem::create_directory_symlink(real, cache);

    Road road(name("relinked-junk"));
    road.state->toggleSelection(testing::cleanItem("junk:caches", 9000, CleanItem::Kind::junk,
                                                   CleanItem::Source::deepClean, "App Caches"));
    road.state->nimbrelise();
    ASSERT_TRUE(road.state->isReviewing());
    std::filesystem::remove(cache);
    std::filesystem::create_directory_symlink(other, cache);
    road.state->nimbrelise(road.queued(), permanently());
    road.finish();

    EXPECT_TRUE(onDisk(other + "/thesis/draft.txt"));
    EXPECT_TRUE(onDisk(real + "/pip/wheel.bin"));
    EXPECT_EQ(road.state->sessionFreed(), 0);
    for (const DeletionFailure& failure : road.failures())
        EXPECT_NE(failure.detail.find("no longer leads"), std::string::npos) << failure.detail;
    std::filesystem::remove(cache);
}

// Twins whose kept copy lies in a junk location: ticking the location takes that copy as surely as
// ticking it by hand, whichever comes first and however it arrives (a tick, a drop). Ticked first,
// it keeps "Select extras" from choosing the other copy; ticked after, the extra counts on no copy
// staying, so the acknowledged selection goes whole. Behind a linked ~/.cache, which no path of the
// twin search names, the kept copy is gone before the extra is judged, and the extra stays.
TEST_P(RemovalRoadTest, AKeptTwinInsideATickedJunkLocationIsNeverCountedOnToStay) {
    const std::string home = HostLayout::current().home;
    const std::string extra = home + "/ISOs/ubuntu.iso";
    const auto clear = [&] {
        for (const char* folder : {"/Downloads", "/.cache", "/ISOs", "/disk"})
            std::filesystem::remove_all(home + folder);
    };
    struct Case {
        const char* what;
        const char* location;
        const char* kept;  // below the home folder
        bool locationFirst;
        bool dropped;
        bool linkedCache;
        bool extraStays;
    };
    const Case cases[] = {
        {"extras, then Installers", "installers", "/Downloads/ubuntu.iso", false, false, false, false},
        {"Installers, then extras", "installers", "/Downloads/ubuntu.iso", true, false, false, true},
        {"extras, then App Caches dropped", "caches", "/.cache/app/ubuntu.iso", false, true, false, false},
        {"App Caches dropped, then extras", "caches", "/.cache/app/ubuntu.iso", true, true, false, true},
        {"extras, then App Caches behind a link", "caches", "/disk/cache/app/ubuntu.iso", false, false, true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clear();
        const std::string kept = home + c.kept;
        writeFile(kept, 70000, 'u');
        writeFile(extra, 70000, 'u');
        const struct timespec older[2] = {{1'000'000, 0}, {1'000'000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, extra.c_str(), older, 0), 0);
        if (c.linkedCache) std::filesystem::create_directory_symlink(home + "/disk/cache", home + "/.cache");

        Road road(name("kept-in-junk"));
        road.state->scan(home);
        settle();
        ASSERT_TRUE(road.state->result());
        road.state->duplicates().run(std::shared_ptr<const ScanResult>(road.state->result()), 1);
        ASSERT_TRUE(waitOn(&road.state->duplicates(), &DuplicatesModel::hasRunChanged,
                           [&] { return road.state->duplicates().hasRun(); }));
        ASSERT_EQ(road.state->duplicates().groups().size(), 1u);
        const auto tickLocation = [&] {
            CleanItem location =
                testing::cleanItem(std::string("junk:") + c.location, 1, CleanItem::Kind::junk,
                                   CleanItem::Source::deepClean, c.location);
            if (c.dropped)
                road.state->queue().addAside(std::vector<CleanItem>{location});
            else
                road.state->toggleSelection(location);
        };
        const auto selectExtras = [&] {
            road.state->selectTwinExtras([](const std::vector<DuplicateGroup>& groups) {
                return std::vector<const DuplicateGroup*>{&groups.front()};
            });
        };
        if (c.locationFirst) tickLocation();
        settle();
        selectExtras();
        settle();
        if (!c.locationFirst) tickLocation();
        settle();
        EXPECT_EQ(road.queued().count(extra), c.locationFirst ? 0u : 1u) << "extras chosen";

        road.removeAll(permanently());
        EXPECT_FALSE(onDisk(kept));
        EXPECT_EQ(onDisk(extra), c.extraStays);
        const std::vector<DeletionFailure> failures = road.failures();
        EXPECT_EQ(failures.size(), c.extraStays && !c.locationFirst ? 1u : 0u);
        if (failures.size() == 1) {
            EXPECT_EQ(failures[0].path, extra);
            EXPECT_EQ(failures[0].reason, Reason::notTwin);
        }
    }
    clear();
}

// The scan root itself replaced by a link after the scan: nothing in the folder the link leads to
// goes, though its entries bear the scanned names.
TEST_P(RemovalRoadTest, ScanRootSwappedForALinkAfterTheScanIsRefused) {
    const std::string outside = base() + "/" + name("root-swap-target");
    writeFile(outside + "/cache/precious.txt", 5000);
    Road road(name("root-swap"));
    writeFile(road.path("cache/blob.bin"), 20000);
    road.scan();
    road.tick("cache");
    std::filesystem::rename(road.root, road.root + "-away");
    std::filesystem::create_directory_symlink(outside, road.root);
    road.removeAll(permanently());
    EXPECT_TRUE(onDisk(outside + "/cache/precious.txt"));
    EXPECT_TRUE(onDisk(road.root + "-away/cache/blob.bin"));
    ASSERT_EQ(road.failures().size(), 1u);
    EXPECT_EQ(road.failures()[0].path, road.path("cache"));
    std::filesystem::remove(road.root);
    std::filesystem::rename(road.root + "-away", road.root);
}

TEST_P(RemovalRoadTest, EmptyingTheTrashRemovesTrashedLinksNotTheirTargets) {
    if (permanently()) GTEST_SKIP() << "only a trashed link is left in the Trash";
    const std::string outside = base() + "/" + name("emptied-target");
    writeFile(outside + "/precious.txt", 5000);
    Road road(name("emptied"));
    std::filesystem::create_directory_symlink(outside, road.path("to-outside"));
    writeFile(road.path("holder/blob.bin"), 9000);
    std::filesystem::create_directory_symlink(outside, road.path("holder/inner-link"));
    road.scan();
    road.tick("to-outside");
    road.tick("holder");
    road.removeAll(false);
    ASSERT_TRUE(road.failures().empty());
    ASSERT_FALSE(trashed().empty());

    road.state->emptyTrash();
    settle();
    EXPECT_FALSE(road.state->errorMessage()) << road.state->errorMessage()->toStdString();
    EXPECT_TRUE(trashed().empty());
    EXPECT_TRUE(onDisk(outside + "/precious.txt"));
}

TEST_P(RemovalRoadTest, MountedVolumesInsideTheSelectionStay) {
    Road road(name("mounts"));
    std::filesystem::create_directories(road.path("vol"));
    std::filesystem::create_directories(road.path("holder/inner-vol"));
    if (mount("tmpfs", road.path("vol").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount here: " << std::strerror(errno);
    if (mount("tmpfs", road.path("holder/inner-vol").c_str(), "tmpfs", 0, "size=1m") != 0) {
        umount2(road.path("vol").c_str(), MNT_DETACH);
        GTEST_SKIP() << "cannot mount here: " << std::strerror(errno);
    }
    writeFile(road.path("vol/on-volume.txt"), 3000);
    writeFile(road.path("holder/inner-vol/on-volume.txt"), 3000);
    writeFile(road.path("holder/own.bin"), 3000);
    road.scan();
    road.tick("vol");
    road.tick("holder");
    road.removeAll(permanently());
    const bool volumeKept = onDisk(road.path("vol/on-volume.txt"));
    const bool innerKept = onDisk(road.path("holder/inner-vol/on-volume.txt")) ||
                           !trashed().empty();  // a folder holding a mount may move to the Trash whole
    umount2(road.path("vol").c_str(), MNT_DETACH);
    umount2(road.path("holder/inner-vol").c_str(), MNT_DETACH);
    for (const std::string& entry : trashed())
        umount2((trashFiles() + "/" + entry + "/inner-vol").c_str(), MNT_DETACH);
    EXPECT_TRUE(volumeKept);
    EXPECT_TRUE(innerKept);
    std::unordered_set<std::string> failed;
    for (const DeletionFailure& failure : road.failures())
        failed.insert(failure.path);
    EXPECT_TRUE(failed.count(road.path("vol")));
    EXPECT_FALSE(road.state->lastRemoval.count(road.path("vol")));
}

// A file system mounted over a folder after the scan (a bind of another folder that holds the same
// names): what the review showed is not there, and what is there was never reviewed.
TEST_P(RemovalRoadTest, WhatAMountMadeSinceTheScanShowsIsLeftAlone) {
    Road road(name("mounted-since"));
    writeFile(road.path("inner/report.bin"), 5000);
    writeFile(base() + "/" + name("unreviewed") + "/report.bin", 5000);
    // A mount seen by the scan and gone since frees its id, which the kernel gives to the next mount:
    // the mount made below must not pass for the one the scan saw.
    std::filesystem::create_directories(base() + "/" + name("seen-then-gone"));
    const std::string seen = base() + "/" + name("seen-then-gone");
    if (mount(seen.c_str(), seen.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    road.scan();
    road.tick("inner/report.bin");
    umount2(seen.c_str(), MNT_DETACH);
    if (mount((base() + "/" + name("unreviewed")).c_str(), road.path("inner").c_str(), nullptr, MS_BIND,
              nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    road.removeAll(permanently());
    umount2(road.path("inner").c_str(), MNT_DETACH);
    EXPECT_TRUE(onDisk(base() + "/" + name("unreviewed") + "/report.bin"));
    EXPECT_TRUE(onDisk(road.path("inner/report.bin")));
    ASSERT_EQ(road.failures().size(), 1u);
    EXPECT_NE(road.failures()[0].detail.find("mounted on its way"), std::string::npos)
        << road.failures()[0].detail;
    EXPECT_EQ(road.state->sessionFreed(), 0);
    EXPECT_TRUE(road.inTree("inner/report.bin"));
}

// A hard-linked file gives its bytes back with its last name only, to the Trash as for good: a name
// whose other name stays outside frees nothing; both names ticked, as two files or inside two
// ticked folders, free the file once, whichever goes first.
TEST_P(RemovalRoadTest, AHardLinkedFileFreesItsBytesWithItsLastName) {
    struct Case {
        const char* label;
        std::vector<std::string> ticks;
        bool otherNameOutside;
    };
    const std::vector<Case> cases = {
        {"other name outside", {"a/shared.bin", "a/own.bin"}, true},
        {"both names ticked", {"a/shared.bin", "b/twin.bin", "a/own.bin"}, false},
        {"both names in ticked folders", {"a", "b"}, false},
        {"the second name first", {"b/twin.bin", "a/shared.bin", "a/own.bin"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string outside = base() + "/" + name(std::string("other-name-") + c.label);
        Road road(name(std::string("hardlink-") + c.label));
        writeFile(road.path("a/shared.bin"), 40000);
        std::filesystem::create_directories(road.path("b"));
        std::filesystem::create_hard_link(road.path("a/shared.bin"),
                                          c.otherNameOutside ? outside : road.path("b/twin.bin"));
        writeFile(road.path("a/own.bin"), 8000);
        if (c.otherNameOutside) writeFile(road.path("b/other.bin"), 100);
        road.scan();
        for (const std::string& tick : c.ticks)
            road.tick(tick);
        const int64_t file = allocated(road.path("a/shared.bin")), own = allocated(road.path("a/own.bin"));
        road.removeAll(permanently());
        for (const DeletionFailure& failure : road.failures())
            ADD_FAILURE() << failure.path << ": " << failure.detail;
        EXPECT_FALSE(onDisk(road.path("a/shared.bin")));
        EXPECT_EQ(onDisk(outside), c.otherNameOutside);
        EXPECT_EQ(road.state->sessionFreed(), own + (c.otherNameOutside ? 0 : file));
        EXPECT_FALSE(road.inTree("a/shared.bin"));
        std::filesystem::remove(outside);
    }
}

TEST_P(RemovalRoadTest, FreedTotalToastAndPruningMatchTheDisk) {
    Road road(name("totals"));
    writeFile(road.path("a/copy1.bin"), 6000, 'q');
    writeFile(road.path("b/copy2.bin"), 6000, 'q');
    writeFile(road.path("c/copy3.bin"), 6000, 'q');
    writeFile(road.path("big/one.bin"), 40000);
    writeFile(road.path("big/nested/two.bin"), 20000);
    writeFile(road.path("vanishing.bin"), 9000);
    writeFile(road.path("stays.bin"), 3000);
    road.scan();

    const auto& listed = road.state->result()->files;
    road.state->duplicates().run(std::vector<FileItem>(listed.begin(), listed.end()), 0);
    ASSERT_TRUE(waitOn(
        &road.state->duplicates(), &DuplicatesModel::isRunningChanged,
        [&] { return !road.state->duplicates().isRunning(); }, 20000));
    ASSERT_EQ(road.state->duplicates().groups().size(), 1u);
    ASSERT_EQ(road.state->duplicates().groups()[0].files.size(), 3u);

    road.tick("a/copy1.bin");
    road.tick("big");
    road.tick("vanishing.bin");
    const int64_t rootBefore = road.state->result()->root->size;
    const int64_t scanned =
        road.item("a/copy1.bin")->size + road.item("big")->size + road.item("vanishing.bin")->size;
    const int64_t reallyFreed = allocated(road.path("a/copy1.bin")) + road.item("big")->size;
    // Gone before the removal reaches it: counted as removed, with nothing freed.
    std::filesystem::remove(road.path("vanishing.bin"));
    road.removeAll(permanently());

    EXPECT_TRUE(road.failures().empty());
    EXPECT_EQ(road.state->sessionFreed(), reallyFreed);
    ASSERT_TRUE(road.state->toast());
    EXPECT_EQ(road.state->toast()->message, removalToastText(reallyFreed, 3, permanently()));
    EXPECT_EQ(road.state->lastRemoval.at(road.path("vanishing.bin")), 0);
    EXPECT_FALSE(onDisk(road.path("big")));
    EXPECT_FALSE(onDisk(road.path("a/copy1.bin")));
    EXPECT_TRUE(onDisk(road.path("stays.bin")));

    EXPECT_TRUE(road.queued().empty());
    for (const char* gone : {"a/copy1.bin", "big", "big/one.bin", "big/nested", "vanishing.bin"})
        EXPECT_FALSE(road.inTree(gone)) << gone;
    for (const char* kept : {"a", "b/copy2.bin", "c/copy3.bin", "stays.bin"})
        EXPECT_TRUE(road.inTree(kept)) << kept;
    EXPECT_EQ(road.state->result()->root->size, rootBefore - scanned);
    ASSERT_EQ(road.state->duplicates().groups().size(), 1u);
    std::vector<std::string> twins;
    for (const FileItem& f : road.state->duplicates().groups()[0].files)
        twins.push_back(f.path);
    std::sort(twins.begin(), twins.end());
    EXPECT_EQ(twins, (std::vector<std::string>{road.path("b/copy2.bin"), road.path("c/copy3.bin")}));
}

// An immutable file inside a ticked folder stays, with the folders that hold it; the rest goes and
// is counted, the tree keeps what is left, and the folder stays ticked at what it still weighs.
TEST_P(RemovalRoadTest, APartlyRemovedFolderKeepsItsTickAtWhatIsLeft) {
    if (!permanently()) GTEST_SKIP() << "a folder goes to the Trash whole, immutable files and all";
    Road road(name("partly"));
    writeFile(road.path("mixed/pinned/kept.bin"), 7000);
    writeFile(road.path("mixed/a.bin"), 30000);
    writeFile(road.path("mixed/pinned/b.bin"), 20000);
    writeFile(road.path("mixed/sub/c.bin"), 10000);
    auto setImmutable = [&](bool on) { return test::setImmutable(road.path("mixed/pinned/kept.bin"), on); };
    if (!setImmutable(true)) GTEST_SKIP() << "cannot mark a file immutable here";
    road.scan();
    road.tick("mixed");
    const int64_t kept = allocated(road.path("mixed/pinned/kept.bin"));
    const int64_t went = allocated(road.path("mixed/a.bin")) + allocated(road.path("mixed/pinned/b.bin")) +
                         allocated(road.path("mixed/sub/c.bin"));
    road.removeAll(true);
    setImmutable(false);

    ASSERT_EQ(road.failures().size(), 1u);
    EXPECT_EQ(road.failures()[0].path, road.path("mixed"));
    EXPECT_EQ(road.failures()[0].reason, Reason::protectedByMacOS);
    EXPECT_TRUE(onDisk(road.path("mixed/pinned/kept.bin")));
    for (const char* gone : {"mixed/a.bin", "mixed/pinned/b.bin", "mixed/sub"}) {
        EXPECT_FALSE(onDisk(road.path(gone))) << gone;
        EXPECT_FALSE(road.inTree(gone)) << gone;
    }
    EXPECT_EQ(road.state->sessionFreed(), went);
    ASSERT_TRUE(road.item("mixed"));
    EXPECT_EQ(road.item("mixed")->size, kept);
    ASSERT_EQ(road.state->queue().items().size(), 1u);
    EXPECT_EQ(road.state->queue().items()[0].size, kept);
}

TEST_P(RemovalRoadTest, OddByteNamesGoByTheirExactBytes) {
    Road road(name("bytes"));
    const std::string odd = std::string("caf\xE9-\xFF\xFE.bin");            // Latin-1, not UTF-8
    const std::string lookalike = std::string("caf\xC3\xA9-\xFF\xFE.bin");  // what a text trip would make
    writeFile(road.path(odd), 7000);
    writeFile(road.path(lookalike), 7000);
    road.scan();
    road.tick(odd);
    const int64_t size = allocated(road.path(odd));
    road.removeAll(permanently());
    EXPECT_TRUE(road.failures().empty());
    EXPECT_FALSE(onDisk(road.path(odd)));
    EXPECT_TRUE(onDisk(road.path(lookalike)));
    EXPECT_EQ(road.state->sessionFreed(), size);
    EXPECT_FALSE(road.inTree(odd));
    EXPECT_TRUE(road.inTree(lookalike));
}

TEST_P(RemovalRoadTest, DemoTouchesNothingAndShowsOnlyTheSample) {
    Road road(name("demo"));
    writeFile(road.path("sample/file.bin"), 5000);
    std::filesystem::create_symlink(road.path("sample"), road.path("link"));
    // A real cache in the home: the sample's caches must neither show nor name it.
    const std::string realCache = HostLayout::current().home + "/.cache/" + name("tool");
    writeFile(realCache + "/blob.bin", 90000);
    road.scan();
    road.tick("sample");
    road.tick("link");
    const std::vector<std::string> trashBefore = trashed();
    road.demo = true;
    Demo::setOnForTesting(true);
    struct DemoOff {
        ~DemoOff() { Demo::setOnForTesting(false); }
    } demoOff;
    road.state->onLaunch();  // the sample replaces the scan; the ticks stay
    std::vector<std::string> listing;
    for (const JunkEntry& entry : Demo::cacheContents())
        listing.push_back(entry.path);
    const std::string sampleCaches = std::string(Demo::home) + "/Library/Caches";

    std::unordered_map<std::string, int64_t> ticked;  // junk entry -> its sample figure
    for (const char* id : {"caches", "logs", "installers"}) {
        const int64_t figure = Demo::measurements().at(id).size;
        ticked["junk:" + std::string(id)] = figure;
        road.state->toggleSelection(testing::cleanItem(
            "junk:" + std::string(id), figure, CleanItem::Kind::junk, CleanItem::Source::deepClean, id));
    }
    road.state->nimbrelise();
    settle();
    int64_t estimated = 0;
    for (const CleanItem& item : road.state->queue().items()) {
        estimated += item.size;
        if (ticked.count(item.id)) {
            EXPECT_EQ(item.size, ticked[item.id]) << item.id;
        }
    }
    std::vector<std::string> reviewed;
    for (const JunkEntry& entry : road.state->reviewTargets["junk:caches"])
        reviewed.push_back(entry.path);
    EXPECT_EQ(reviewed, listing);
    road.state->nimbrelise(road.queued(), permanently());
    road.finish();

    ASSERT_TRUE(road.state->toast());
    EXPECT_EQ(road.state->toast()->message, demoRemovalToastText(estimated));
    // The last removal names the ticked entries and the sample: its cache listing, its logs folder
    // and the installers its Downloads folder holds. Nothing of the home's real cache.
    std::unordered_set<std::string> expected = {road.path("sample"), road.path("link"),
                                                std::string(Demo::home) + "/Library/Logs"};
    expected.insert(listing.begin(), listing.end());
    for (const char* installer : {"Xcode_16.xip", "ubuntu-24.04-desktop.iso", "Figma.dmg", "Blender-4.2.dmg",
                                  "Unity Hub Installer.dmg"})
        expected.insert(std::string(Demo::home) + "/Downloads/" + installer);
    std::unordered_set<std::string> named;
    for (const auto& [path, bytes] : road.state->lastRemoval)
        named.insert(path);
    EXPECT_EQ(named, expected);
    EXPECT_EQ(road.state->cleanup().measurements(), Demo::measurements()) << "nothing was measured";
    EXPECT_TRUE(road.state->result()->node(std::string(Demo::home) + "/Downloads"));

    // The sample's cache folder ticked as a folder gives up what the sample lists inside it.
    auto caches = road.state->result()->node(sampleCaches);
    ASSERT_TRUE(caches);
    road.state->toggleSelection(testing::cleanItem(sampleCaches, caches->size));
    road.removeAll(permanently());
    named.clear();
    for (const auto& [path, bytes] : road.state->lastRemoval)
        named.insert(path);
    EXPECT_EQ(named, std::unordered_set<std::string>(listing.begin(), listing.end()));

    EXPECT_TRUE(onDisk(road.path("sample/file.bin")));
    EXPECT_TRUE(onDisk(road.path("link")));
    EXPECT_TRUE(onDisk(realCache + "/blob.bin"));
    EXPECT_EQ(trashed(), trashBefore);
    EXPECT_EQ(road.state->sessionFreed(), 0);
    EXPECT_TRUE(road.failures().empty());
}

TEST_P(RemovalRoadTest, RefusedRemovalIsReportedAndNeverCounted) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    Road road(name("denied"));
    // Root's folder, readable by all: nobody may take anything out of it.
    writeFile(road.path("locked/inner.bin"), 8000);
    writeFile(road.path("locked/inside.bin"), 8000);
    chmod(road.path("locked").c_str(), 0755);
    // A file nobody may remove, next to one nobody owns and may remove.
    writeFile(road.path("free.bin"), 6000);
    ASSERT_EQ(chown(road.path("free.bin").c_str(), 65534, 65534), 0);
    road.scan();
    road.tick("locked");
    road.tick("locked/inner.bin");  // ticking inside a ticked folder deselects inside it
    road.tick("free.bin");
    const int64_t freeSize = allocated(road.path("free.bin"));
    road.state->setToast(std::nullopt);  // the deselection's note
    {
        Unprivileged nobody;
        ASSERT_TRUE(nobody.ok);
        road.state->nimbrelise();
        road.state->nimbrelise(road.queued(), permanently());
        road.finish();
    }
    // Whatever stayed is reported and never counted; whatever left is counted. (To the Trash, the
    // unprivileged user may not reach root's Trash at all, and then nothing leaves.)
    EXPECT_TRUE(onDisk(road.path("locked/inside.bin")));
    const bool freeLeft = !onDisk(road.path("free.bin"));
    if (permanently()) {
        EXPECT_TRUE(freeLeft);
    }
    std::unordered_set<std::string> failed;
    for (const DeletionFailure& failure : road.failures()) {
        failed.insert(failure.path);
        if (permanently()) {
            EXPECT_EQ(failure.reason, Reason::noPermission) << failure.detail;
        }
    }
    EXPECT_TRUE(failed.count(road.path("locked/inside.bin")));
    EXPECT_EQ(failed.count(road.path("free.bin")), freeLeft ? 0u : 1u);
    EXPECT_EQ(road.state->sessionFreed(), freeLeft ? freeSize : 0);
    if (freeLeft) {
        ASSERT_TRUE(road.state->toast());
        EXPECT_EQ(road.state->toast()->message, removalToastText(freeSize, 1, permanently()));
    } else {
        EXPECT_FALSE(road.state->toast()) << road.state->toast()->message.toStdString();
    }
    EXPECT_TRUE(road.inTree("locked/inside.bin"));
    EXPECT_EQ(road.inTree("free.bin"), !freeLeft);
    EXPECT_TRUE(road.queued().count(road.path("locked/inside.bin")));
    EXPECT_EQ(road.queued().count(road.path("free.bin")), freeLeft ? 0u : 1u);
}

TEST_P(RemovalRoadTest, EmptyingAFolderThatCannotGoLeavesLinkTargetsAlone) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    if (!permanently()) GTEST_SKIP() << "the unprivileged user cannot reach root's Trash";
    const std::string outside = base() + "/" + name("cleared-target");
    writeFile(outside + "/precious.txt", 5000);
    Road road(name("clear-inside"));
    // Root's folder holds a cache the unprivileged user owns: the cache cannot go, its contents can.
    writeFile(road.path("app/cache/blob.bin"), 12000);
    std::filesystem::create_directory_symlink(outside, road.path("app/cache/link"));
    chmod(road.path("app").c_str(), 0755);
    for (const char* owned : {"app/cache", "app/cache/blob.bin"})
        ASSERT_EQ(chown(road.path(owned).c_str(), 65534, 65534), 0);
    ASSERT_EQ(lchown(road.path("app/cache/link").c_str(), 65534, 65534), 0);
    road.scan();
    CleanItem cache = *road.item("app/cache");
    cache.source = CleanItem::Source::deepClean;  // a cleaning entry may be emptied instead
    road.state->toggleSelection(cache);
    const int64_t blob = allocated(road.path("app/cache/blob.bin"));
    const int64_t link = allocated(road.path("app/cache/link"));
    {
        Unprivileged nobody;
        ASSERT_TRUE(nobody.ok);
        road.state->nimbrelise();
        road.state->nimbrelise(road.queued(), true);
        road.finish();
    }
    EXPECT_TRUE(onDisk(road.path("app/cache")));
    EXPECT_FALSE(onDisk(road.path("app/cache/blob.bin")));
    EXPECT_FALSE(onDisk(road.path("app/cache/link")));
    EXPECT_TRUE(onDisk(outside + "/precious.txt"));
    EXPECT_TRUE(road.failures().empty());
    EXPECT_EQ(road.state->sessionFreed(), blob + link);
    EXPECT_TRUE(road.inTree("app/cache"));
    EXPECT_FALSE(road.inTree("app/cache/blob.bin"));
}

// Every name of a guarded place, handed to the real removal road as a ticked entry, leaves it on
// disk; the plain entries beside them go, and only they. The guarded place here is the Trash (the
// data home is this test's): its folder, what it holds, and the folder holding it, reached plainly,
// through a link, through ".." after a link, and through a bind mount when running as root.
TEST_P(RemovalRoadTest, EveryNameOfAGuardedPlaceStaysAndOnlyPlainEntriesGo) {
    const std::string share = base() + "/share", guarded = HostLayout::current().trashFolder;
    const std::string old = guarded + "/files/" + name("old.bin");
    writeFile(old, 4096);
    Road road(name("spellings"));
    std::filesystem::create_directory_symlink(share, road.path("share-link"));
    std::filesystem::create_directory_symlink(guarded + "/files", road.path("files-link"));
    std::vector<std::string> names = {share, road.path("share-link")};
    std::optional<test::Bind> bind;
    if (geteuid() == 0) {
        bind.emplace(share);
        ASSERT_TRUE(bind->mounted) << std::strerror(errno);
        names.push_back(bind->at);
    }
    std::vector<std::string> plainFree;
    for (int i = 0; i < 6; ++i) {
        plainFree.push_back(road.path("free/f" + std::to_string(i) + ".bin"));
        writeFile(plainFree.back(), 3000);
    }
    road.scan();

    std::mt19937 random(GetParam() ? 14u : 41u);
    auto respell = [&](const std::string& plain) {
        std::string out;
        for (const auto& part : std::filesystem::path(plain.substr(1))) {
            out += random() % 3 ? "/" : "//";
            if (random() % 3 == 0) out += random() % 2 ? "./" : "files-link/../";
            out += part.string();
        }
        return out + (random() % 2 ? "/" : "");
    };
    auto entry = [&](const std::string& id, CleanItem::Kind kind) {
        CleanItem item;
        item.id = id;
        item.name = std::filesystem::path(id).filename().string();
        item.size = 4096;
        item.kind = kind;
        item.source = CleanItem::Source::space;
        road.state->queue().add(item);
    };
    // One round per depth, since a queued folder takes in what lies below it.
    const std::pair<const char*, CleanItem::Kind> depths[] = {
        {"/Trash/files/", CleanItem::Kind::file},
        {"/Trash/files", CleanItem::Kind::folder},
        {"/Trash", CleanItem::Kind::folder},
        {"", CleanItem::Kind::folder},
    };
    std::unordered_set<std::string> removed;
    for (const auto& [suffix, kind] : depths) {
        road.state->queue().setItems({});
        for (const std::string& base : names) {
            // The link itself is only a link: removing it is right, and tested elsewhere.
            if (std::string(suffix).empty() && base == road.path("share-link")) continue;
            std::string id = base + suffix;
            if (kind == CleanItem::Kind::file) id += name("old.bin");
            entry(id, kind);
            for (int i = 0; i < 3; ++i)
                entry(respell(id), kind);
        }
        if (kind == CleanItem::Kind::file) {
            // After a link, ".." climbs from where the link leads: on paper the free folder, on disk
            // the Trash.
            entry(road.path("files-link/../files/" + name("old.bin")), kind);
            for (const std::string& path : plainFree) {
                entry(respell(path), kind);
                entry(path, kind);
            }
        }
        road.removeAll(permanently());
        EXPECT_TRUE(onDisk(old)) << "a guarded place went in the round of \"" << suffix << "\"";
        for (const DeletionFailure& failure : road.failures())
            EXPECT_EQ(failure.reason, Reason::safetyGuard) << failure.path;
        for (const auto& [path, bytes] : road.state->lastRemoval)
            removed.insert(path);
    }
    EXPECT_TRUE(onDisk(guarded + "/files"));
    for (const std::string& path : plainFree)
        EXPECT_FALSE(onDisk(path)) << path;
    EXPECT_EQ(removed, std::unordered_set<std::string>(plainFree.begin(), plainFree.end()));
}

}  // namespace
}  // namespace nimbrel

namespace nimbrel {
namespace {

// The Trash reached under another name (a scan root that is a link to the data home, a bind mount
// of it) is still the Trash: nothing in it is listed for the shelves, the twins or Deep Clean,
// while its space still counts.
TEST(TrashUnderAnotherName, IsNeverOfferedButStillCounted) {
    ASSERT_TRUE(kDataHomeSet);
    const std::string trash = HostLayout::current().trashFolder;
    const std::string stem = "other-name-" + std::to_string(getpid());
    writeFile(trash + "/files/" + stem + "/package.json", 100);
    writeFile(trash + "/files/" + stem + "/node_modules/left-pad/index.js", 9000);
    writeFile(trash + "/files/" + stem + ".iso", 60000, 't');
    writeFile(base() + "/share/" + stem + "-copy.iso", 60000, 't');  // its twin outside the Trash

    struct Case {
        const char* how;
        std::string root;
    };
    std::vector<Case> cases;
    const std::string link = base() + "/" + stem + "-link";
    std::filesystem::create_directory_symlink(base() + "/share", link);
    cases.push_back({"linked root", link});
    const std::string bound = base() + "/" + stem + "-bound";
    std::filesystem::create_directories(bound);
    const bool mounted =
        geteuid() == 0 && mount((base() + "/share").c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) == 0;
    if (mounted) cases.push_back({"bind mount", bound});

    for (const Case& c : cases) {
        Road road("unused-" + stem);
        road.root = c.root;
        road.scan();
        if (!road.state->result()) continue;
        const ScanResult& result = *road.state->result();
        for (const FileItem& file : result.files)
            EXPECT_FALSE(PathRules::isInside(file.path.str(), c.root + "/Trash"))
                << c.how << ": " << file.path.str();
        for (const DevArtifact& artifact : result.artifacts)
            EXPECT_FALSE(PathRules::isInside(artifact.path, c.root + "/Trash"))
                << c.how << ": " << artifact.path;
        EXPECT_TRUE(road.inTree(stem + "-copy.iso")) << c.how;
        auto trashNode = result.node(c.root + "/Trash/files/" + stem + "/node_modules");
        EXPECT_TRUE(trashNode && !trashNode->artifactKind.has_value()) << c.how;
        EXPECT_GE(result.node(c.root + "/Trash")->size, 60000) << c.how;
    }
    // A scan started inside the Trash under the other name offers nothing either.
    Road inside("unused-" + stem);
    inside.root = link + "/Trash/files";
    inside.scan();
    if (inside.state->result()) {
        EXPECT_TRUE(inside.state->result()->files.empty());
        EXPECT_TRUE(inside.state->result()->artifacts.empty());
    }

    if (mounted) umount2(bound.c_str(), MNT_DETACH);
    if (!mounted) std::printf("[  NOTE    ] the bind mount case needs root; only the linked root ran\n");
    std::error_code ignored;
    std::filesystem::remove(link, ignored);
    std::filesystem::remove_all(bound, ignored);
    std::filesystem::remove_all(base() + "/unused-" + stem, ignored);
    std::filesystem::remove_all(trash + "/files/" + stem, ignored);
    std::filesystem::remove(trash + "/files/" + stem + ".iso", ignored);
    std::filesystem::remove(base() + "/share/" + stem + "-copy.iso", ignored);
}

}  // namespace
}  // namespace nimbrel
