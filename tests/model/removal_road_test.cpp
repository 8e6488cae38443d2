// The removal road end to end, as the application drives it: a real scan of a temporary tree,
// entries ticked through the state, the review's removal to the Trash or for good with the real
// file operations, and the completion delivered on the event loop. Here: what the guard keeps,
// links, mounts and the Trash itself.
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

#include "engine/safety_guard.h"
#include "model/app_state_test_support.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "model/removal.h"
#include "model/road_harness.h"
#include "platform/trash_emptier.h"
#include "support/private_prefs.h"
#include "support/temp_tree.h"

namespace nimbrel {
namespace {

using namespace road;

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
    EXPECT_FALSE(road.state->removal().lastRemoval().count(road.path("vol")));
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
        for (const auto& [path, bytes] : road.state->removal().lastRemoval())
            removed.insert(path);
    }
    EXPECT_TRUE(onDisk(guarded + "/files"));
    for (const std::string& path : plainFree)
        EXPECT_FALSE(onDisk(path)) << path;
    EXPECT_EQ(removed, std::unordered_set<std::string>(plainFree.begin(), plainFree.end()));
}

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
        for (const FileItem& file : result.files())
            EXPECT_FALSE(PathRules::isInside(file.path.str(), c.root + "/Trash"))
                << c.how << ": " << file.path.str();
        for (const DevArtifact& artifact : result.artifacts())
            EXPECT_FALSE(PathRules::isInside(artifact.path, c.root + "/Trash"))
                << c.how << ": " << artifact.path;
        EXPECT_TRUE(road.inTree(stem + "-copy.iso")) << c.how;
        auto trashNode = result.node(c.root + "/Trash/files/" + stem + "/node_modules");
        EXPECT_TRUE(trashNode && !trashNode->artifactKind().has_value()) << c.how;
        EXPECT_GE(result.node(c.root + "/Trash")->size(), 60000) << c.how;
    }
    // A scan started inside the Trash under the other name offers nothing either.
    Road inside("unused-" + stem);
    inside.root = link + "/Trash/files";
    inside.scan();
    if (inside.state->result()) {
        EXPECT_TRUE(inside.state->result()->files().empty());
        EXPECT_TRUE(inside.state->result()->artifacts().empty());
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
