#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <fstream>

#include "engine/demo.h"
#include "engine/tree_build.h"
#include "model/app_state_test_support.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "platform/file_manager.h"
#include "support/private_prefs.h"

namespace nimbrel {
namespace {

using testing::FakeScanner;
using testing::settle;

// A state on fakes: no disk walk, no dialog, no real volumes, time moved by hand.
struct Harness {
    ManualClock clock;
    FakeScanner scanner;
    std::atomic<int> listings{0};
    std::vector<std::string> arguments{"/usr/bin/nimbrel"};
    bool demo = false;
    std::vector<VolumeInfo> volumes{{"/", "Root", 100, 50, true, true}};
    std::unique_ptr<AppState> state;

    explicit Harness(std::function<void(AppStateServices&)> adjust = {}) {
        AppStateServices services = AppStateServices::standard();
        services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
        services.mountTops.emplace();
        services.scanner = scanner.function();
        services.scanPool = scanner.pool();
        services.listVolumes = [this] {
            ++listings;
            return volumes;
        };
        services.chooseFolder = [] { return std::optional<std::string>(); };
        services.clock = &clock;
        services.isDemo = [this] { return demo; };
        services.arguments = [this] { return arguments; };
        services.workingFolder = [] { return std::string("/work/dir"); };
        services.home = [] { return std::string("/home/u"); };
        services.fullDiskAccessProbes = {};
        if (adjust) adjust(services);
        state = std::make_unique<AppState>(std::move(services));
    }
    ~Harness() { drain(); }

    // Answers every scan, also one whose worker has not asked yet, so none is left blocked.
    void drain() {
        scanner.finishAll();
        settle();
    }
};

std::shared_ptr<ScanResult> resultAt(const std::string& root, std::int64_t lastID = 0,
                                     std::int64_t unreadable = 0) {
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>(root, nullptr));
    TreeBuild::counts(*result).lastID = lastID;
    TreeBuild::counts(*result).unreadableCount = unreadable;
    return result;
}

void clearRecents() {
    Prefs::setRecentTargets({});
}

// Each test keeps its settings in a file of its own.
class AppStateTest : public ::testing::Test {
    PrivatePrefs prefs_;
};

TEST_F(AppStateTest, FreshState) {
    Prefs::setValue(Prefs::kRecentTargets, "/a\n\n/b\n");  // as an older version stored them
    Harness h;
    const AppState& s = *h.state;
    EXPECT_EQ(s.section(), SidebarItem::overview);
    EXPECT_TRUE(s.hasFullDiskAccess());
    EXPECT_TRUE(s.queue().items().empty());
    EXPECT_EQ(s.result(), nullptr);
    EXPECT_EQ(s.revision(), 0);
    EXPECT_FALSE(s.isScanning());
    EXPECT_EQ(s.recents(), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_FALSE(s.didLaunch());
    EXPECT_EQ(h.listings, 0);  // creating the state does no work
}

// Equal writes are silent; the five properties without equality notify on every write.
TEST_F(AppStateTest, NotificationRules) {
    Harness h;
    AppState& s = *h.state;
    struct Case {
        const char* name;
        void (AppState::*signal)();
        std::function<void()> write;
        int afterTwoEqualWrites;
    };
    const auto result = resultAt("/r");
    const ConfirmRequest confirm;
    const Case cases[] = {
        {"section", &AppState::sectionChanged, [&] { s.setSection(SidebarItem::old); }, 1},
        {"isScanning", &AppState::isScanningChanged, [&] { s.setIsScanning(true); }, 1},
        {"volumes", &AppState::volumesChanged, [&] { s.setVolumes(h.volumes); }, 1},
        {"recents", &AppState::recentsChanged, [&] { s.setRecents({"/x"}); }, 1},
        {"vanishingPaths", &AppState::vanishingPathsChanged, [&] { s.setVanishingPaths({"/x"}); }, 1},
        {"nimbrelisingIDs", &AppState::nimbrelisingIDsChanged, [&] { s.setNimbrelisingIDs({"/x"}); }, 1},
        {"sessionFreed", &AppState::sessionFreedChanged, [&] { s.setSessionFreed(5); }, 1},
        {"errorMessage", &AppState::errorMessageChanged, [&] { s.setErrorMessage(QString("x")); }, 1},
        {"largestCategory", &AppState::largestCategoryChanged,
         [&] { s.setLargestCategory(FileCategory::video); }, 1},
        {"folderFocus", &AppState::folderFocusChanged, [&] { s.setFolderFocus(std::string("/x")); }, 1},
        {"hasFullDiskAccess", &AppState::hasFullDiskAccessChanged, [&] { s.setHasFullDiskAccess(false); }, 1},
        {"progress", &AppState::progressChanged, [&] { s.setProgress(ScanProgress{}); }, 2},
        {"result", &AppState::resultChanged, [&] { s.setResult(result); }, 2},
        {"pendingDeletion", &AppState::pendingDeletionChanged, [&] { s.setPendingDeletion(std::nullopt); },
         2},
        {"confirm", &AppState::confirmChanged, [&] { s.setConfirm(confirm); }, 2},
        {"deletionFailures", &AppState::deletionFailuresChanged,
         [&] { s.setDeletionFailures(std::vector<DeletionFailure>{}); }, 2},
    };
    for (const Case& c : cases) {
        QSignalSpy spy(&s, c.signal);
        c.write();
        c.write();
        EXPECT_EQ(spy.count(), c.afterTwoEqualWrites) << c.name;
    }

    QSignalSpy toasts(&s, &AppState::toastChanged);
    const Toast toast("Saved", "checklist");
    s.setToast(toast);
    s.setToast(toast);  // the very same toast
    EXPECT_EQ(toasts.count(), 1);
    s.setToast(Toast("Saved", "checklist"));  // same text, a new toast
    EXPECT_EQ(toasts.count(), 2);

    QSignalSpy revisions(&s, &AppState::revisionChanged);
    s.bumpRevision();
    EXPECT_EQ(s.revision(), 1);
    EXPECT_EQ(revisions.count(), 1);
}

TEST_F(AppStateTest, SectionRemembersTheLastShelfOfEachArea) {
    Harness h;
    AppState& s = *h.state;
    QSignalSpy spy(&s, &AppState::sectionChanged);
    s.setSection(SidebarItem::overview);  // unchanged: silent, yet remembered
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(s.lastInArea(Area::space), SidebarItem::overview);

    s.setSection(SidebarItem::old);
    s.setSection(SidebarItem::overview);
    EXPECT_EQ(s.lastInArea(Area::files), SidebarItem::old);
    EXPECT_FALSE(s.lastInArea(Area::steam));

    s.setSection(std::nullopt);
    EXPECT_EQ(spy.count(), 3);
    EXPECT_EQ(s.lastInArea(Area::files), SidebarItem::old);
    EXPECT_EQ(s.lastInArea(Area::space), SidebarItem::overview);
}

TEST_F(AppStateTest, RootVolume) {
    Harness h;
    AppState& s = *h.state;
    const VolumeInfo root{"/", "Root", 10, 5, true, true};
    const VolumeInfo external{"/media/u/Stick", "Stick", 10, 5, false, false};
    const VolumeInfo other{"/media/u/Disk", "Disk", 10, 5, false, false};
    EXPECT_FALSE(s.rootVolume().has_value());
    s.setVolumes({external, root});
    EXPECT_EQ(s.rootVolume(), root);
    s.setVolumes({external, other});
    EXPECT_EQ(s.rootVolume(), external);
}

TEST_F(AppStateTest, LaunchRunsOnceAndReadsItsArguments) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> scanned;
        SidebarItem section;
    };
    const Case cases[] = {
        {{}, std::nullopt, SidebarItem::overview},
        {{"-section", "duplicates"}, std::nullopt, SidebarItem::duplicates},
        {{"-section", "Duplicates"}, std::nullopt, SidebarItem::overview},
        {{"-section", "twins"}, std::nullopt, SidebarItem::overview},
        {{"-section"}, std::nullopt, SidebarItem::overview},
        {{"-scan"}, std::nullopt, SidebarItem::overview},
        {{"-scan", "/data/a/", "-scan", "/data/b"}, "/data/a", SidebarItem::overview},
        {{"-scan", "~/Movies"}, "/home/u/Movies", SidebarItem::overview},
        {{"-scan", "~"}, "/home/u", SidebarItem::overview},
        {{"-scan", "projects/./x"}, "/work/dir/projects/x", SidebarItem::overview},
        {{"-section", "cleanup", "-scan", "/data"}, "/data", SidebarItem::cleanup},
    };
    for (const Case& c : cases) {
        clearRecents();
        Harness h;
        h.arguments.insert(h.arguments.end(), c.arguments.begin(), c.arguments.end());
        h.state->onLaunch();
        if (c.scanned) {
            EXPECT_EQ(h.scanner.call(0)->root, *c.scanned) << c.arguments.front();
            EXPECT_EQ(h.state->scanTarget(), c.scanned);
        }
        EXPECT_EQ(h.state->section(), c.section) << (c.arguments.empty() ? "" : c.arguments.back());
        EXPECT_TRUE(h.state->didLaunch());

        if (c.scanned) h.scanner.answer(0, nullptr);
        h.state->setSection(SidebarItem::largest);
        h.state->onLaunch();  // a second launch does nothing at all
        settle();
        EXPECT_EQ(h.state->section(), SidebarItem::largest);
        EXPECT_EQ(h.scanner.count(), c.scanned ? 1u : 0u);
        EXPECT_LE(h.listings, 2);  // the launch listing and, after a scan, one more
    }
}

TEST_F(AppStateTest, DemoLaunchInstallsTheSampleAndIgnoresTheDisk) {
    Harness h([](AppStateServices& services) {
        services.fullDiskAccessProbes = {"/probe"};
        services.fileExists = [](const std::string&) { return true; };
        services.canOpenReadOnly = [](const std::string&) { return false; };
    });
    h.demo = true;
    h.arguments = {"nimbrel", "-demo", "-scan", "/data", "-section", "old"};
    h.state->setNextFileID(7);
    QSignalSpy revisions(h.state.get(), &AppState::revisionChanged);
    h.state->onLaunch();
    h.state->onLaunch();
    settle();
    AppState& s = *h.state;
    EXPECT_EQ(s.volumes(), std::vector<VolumeInfo>{Demo::volume()});
    EXPECT_TRUE(s.hasFullDiskAccess());
    EXPECT_EQ(s.scanTarget(), std::string("/Users/drevo"));
    ASSERT_NE(s.result(), nullptr);
    EXPECT_EQ(s.nextFileID(), 7);
    EXPECT_EQ(revisions.count(), 1);
    EXPECT_EQ(s.section(), SidebarItem::old);
    EXPECT_EQ(h.scanner.count(), 0u);
    EXPECT_EQ(h.listings, 0);
    h.clock.advance(std::chrono::minutes(5));
    settle();
    EXPECT_EQ(h.listings, 0);  // no volume loop in demo mode
}

TEST_F(AppStateTest, VolumeLoopRefreshesEveryThirtySeconds) {
    Harness h;
    h.state->onLaunch();
    settle();
    EXPECT_EQ(h.listings, 1);
    h.clock.advance(std::chrono::milliseconds(29999));
    settle();
    EXPECT_EQ(h.listings, 1);
    h.clock.advance(std::chrono::milliseconds(1));
    settle();
    EXPECT_EQ(h.listings, 2);
    h.clock.advance(std::chrono::seconds(60));
    settle();
    EXPECT_EQ(h.listings, 4);
    EXPECT_EQ(h.state->volumes(), h.volumes);
}

TEST_F(AppStateTest, VolumeListingsNeverOverlap) {
    std::mutex gate;
    std::atomic<int> running{0}, most{0}, calls{0};
    std::promise<void> firstCall;
    gate.lock();
    Harness h([&](AppStateServices& services) {
        services.listVolumes = [&] {
            most = std::max(most.load(), ++running);
            if (++calls == 1) firstCall.set_value();
            std::lock_guard wait(gate);  // held by the test until it lets the listing finish
            --running;
            return std::vector<VolumeInfo>{{"/", "Root", 1, 1, true, true}};
        };
    });
    h.state->refreshVolumes();
    h.state->refreshVolumes();
    h.state->refreshVolumes();
    firstCall.get_future().wait();
    gate.unlock();
    settle();
    EXPECT_EQ(most, 1);
    EXPECT_EQ(calls, 2);  // the running listing, then one more for the requests made meanwhile
    EXPECT_EQ(h.state->volumes().size(), 1u);
}

TEST_F(AppStateTest, FullDiskAccessProbe) {
    struct Case {
        const char* name;
        std::vector<std::string> existing;
        std::vector<std::string> openable;
        bool demo;
        bool expected;
    };
    const Case cases[] = {
        {"no probe file: granted", {}, {}, false, true},
        {"files present, none readable", {"/p1", "/p3"}, {}, false, false},
        {"one readable", {"/p1", "/p2"}, {"/p2"}, false, true},
        {"a readable file that does not exist does not count", {"/p1"}, {"/p3"}, false, false},
        {"demo mode leaves the flag alone", {"/p1"}, {}, true, true},
    };
    for (const Case& c : cases) {
        Harness h([&](AppStateServices& services) {
            services.fullDiskAccessProbes = {"/p1", "/p2", "/p3"};
            services.fileExists = [&](const std::string& p) {
                return std::find(c.existing.begin(), c.existing.end(), p) != c.existing.end();
            };
            services.canOpenReadOnly = [&](const std::string& p) {
                return std::find(c.openable.begin(), c.openable.end(), p) != c.openable.end();
            };
        });
        h.demo = c.demo;
        h.state->checkFullDiskAccess();
        EXPECT_EQ(h.state->hasFullDiskAccess(), c.expected) << c.name;
    }
}

TEST_F(AppStateTest, ASecondScanSupersedesTheFirst) {
    Harness h;
    AppState& s = *h.state;
    QSignalSpy results(&s, &AppState::resultChanged);
    s.scan("/one");
    auto first = h.scanner.call(0);
    ScanProgress early;
    early.filesScanned = 3;
    first->progress(early);
    settle();
    EXPECT_EQ(s.progress().filesScanned, 3);

    s.scan("/two");
    EXPECT_TRUE(first->token->isCancelled());
    ScanProgress late;
    late.filesScanned = 99;
    first->progress(late);  // the first scan's late report
    h.scanner.answer(0, resultAt("/one", 50));
    settle();
    EXPECT_EQ(s.progress().filesScanned, 0);  // the second scan's fresh progress
    EXPECT_EQ(results.count(), 0);
    EXPECT_TRUE(s.isScanning());
    EXPECT_FALSE(s.errorMessage().has_value());

    h.scanner.answer(1, resultAt("/two", 9));
    settle();
    ASSERT_EQ(results.count(), 1);
    EXPECT_EQ(s.result()->root()->name, "/two");
    EXPECT_FALSE(s.isScanning());
    EXPECT_FALSE(s.isScanning());
}

TEST_F(AppStateTest, ProgressReportsCollapseToTheNewest) {
    Harness h;
    QSignalSpy spy(h.state.get(), &AppState::progressChanged);
    h.state->scan("/many");
    spy.clear();
    auto call = h.scanner.call(0);
    for (int i = 1; i <= 1000; ++i) {
        ScanProgress progress;
        progress.filesScanned = i;
        call->progress(progress);
    }
    settle();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(h.state->progress().filesScanned, 1000);
    ScanProgress later;
    later.filesScanned = 1001;
    call->progress(later);  // the mailbox takes reports again once emptied
    settle();
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(h.state->progress().filesScanned, 1001);
}

TEST_F(AppStateTest, CancellingKeepsWhatWasShown) {
    Harness h;
    AppState& s = *h.state;
    const auto shown = resultAt("/old");
    s.setResult(shown);
    s.setLargestCategory(FileCategory::video);
    s.setFolderFocus(std::string("/old/a"));
    s.scan("/new");
    auto call = h.scanner.call(0);
    const int listingsBefore = h.listings;
    s.cancelScan();
    EXPECT_FALSE(s.isScanning());
    EXPECT_TRUE(call->token->isCancelled());
    h.scanner.answer(0, nullptr);  // a cancelled worker returns nothing
    settle();
    EXPECT_EQ(s.result(), shown);
    EXPECT_EQ(s.largestCategory(), FileCategory::video);
    EXPECT_EQ(s.folderFocus(), std::string("/old/a"));
    EXPECT_EQ(s.scanTarget(), std::string("/old"));  // Rescan rescans what is shown
    EXPECT_FALSE(s.errorMessage().has_value());
    EXPECT_EQ(h.listings, listingsBefore);  // a cancelled scan refreshes no volumes
}

// Home scanned, then the whole disk started and stopped (or failed): Home is shown again, and Rescan
// must scan Home, not the disk. With nothing shown, Rescan starts the stopped target again.
TEST_F(AppStateTest, RescanFollowsTheResultShown) {
    struct Case {
        const char* name;
        bool shown;
        bool fails;
        const char* target;
    } cases[] = {
        {"stopped, Home shown", true, false, "/home/u"},
        {"failed, Home shown", true, true, "/home/u"},
        {"stopped, nothing shown", false, false, "/"},
        {"failed, nothing shown", false, true, "/"},
    };
    for (const Case& c : cases) {
        clearRecents();
        Harness h;
        AppState& s = *h.state;
        if (c.shown) {
            s.scan("/home/u/");
            h.scanner.answer(0, resultAt("/home/u"));
            settle();
        }
        s.scan("/");
        const size_t disk = c.shown ? 1 : 0;
        h.scanner.call(disk);
        if (c.fails) {
            h.scanner.answer(disk, nullptr);
            settle();
        } else {
            s.cancelScan();
            h.scanner.answer(disk, nullptr);  // a stopped worker returns nothing
            settle();
        }
        EXPECT_FALSE(s.isScanning()) << c.name;
        EXPECT_EQ(s.scanTarget(), std::string(c.target)) << c.name;
        // Rescan as the commands and the top bar do it.
        s.scan(*s.scanTarget());
        EXPECT_EQ(h.scanner.call(disk + 1)->root, c.target) << c.name;
        h.drain();
    }
}

TEST_F(AppStateTest, AScanThatCannotRunSaysSoWithTheHomeAbbreviated) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/gone", "Couldn't scan ~/gone."},
        {"/home/u", "Couldn't scan ~."},
        {"/home/user2/x", "Couldn't scan /home/user2/x."},
    };
    for (const auto& [target, message] : cases) {
        clearRecents();
        Harness h;
        const auto kept = resultAt("/kept");
        h.state->setResult(kept);
        h.state->scan(target);
        h.scanner.answer(0, nullptr);
        settle();
        EXPECT_EQ(h.state->errorMessage(), QString(message));
        EXPECT_EQ(h.state->result(), kept);
        EXPECT_FALSE(h.state->isScanning());
        EXPECT_EQ(h.listings, 1);  // completion refreshes the volumes
    }
}

// "Show in File Manager" on a desktop with no file manager on the session bus and nothing that
// opens a folder: the user is told where the file is instead of nothing happening.
TEST_F(AppStateTest, ShowInFileManagerWithoutOneSaysWhereTheFileIs) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "a desktop that can open folders: nothing fails to show";
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"/home/u/docs/a b.txt", "/home/u/other"}, "No file manager could show “a b.txt”. It is in ~/docs"},
        {{"/home/u/x"}, "No file manager could show “x”. It is in ~"},
        {{"/srv/data"}, "No file manager could show “data”. It is in /srv"},
    };
    Harness h;
    FileActions::setRevealFailedHandler([&](const std::string& path) { h.state->revealFailed(path); });
    for (const auto& [paths, message] : cases) {
        h.state->setToast(std::nullopt);
        FileActions::reveal(paths);
        ASSERT_TRUE(waitUntil([&] { return h.state->toast().has_value(); }, 5000)) << paths.front();
        EXPECT_EQ(h.state->toast()->message, QString(message));
    }
    h.state->setToast(std::nullopt);
    FileActions::reveal({});
    flushEvents();
    EXPECT_FALSE(h.state->toast());
    FileActions::setRevealFailedHandler(nullptr);
}

TEST_F(AppStateTest, OnlyTargetsThatScannedOrWereStoppedStayRecent) {
    Harness h;
    AppState& s = *h.state;
    s.scan("/fine");
    h.scanner.answer(0, resultAt("/fine"));
    settle();
    s.scan("/stopped");
    h.scanner.call(1);  // its worker is the second call before the next scan starts
    s.cancelScan();
    h.scanner.answer(1, nullptr);  // a stopped worker returns nothing
    s.scan("/gone");
    EXPECT_EQ(s.recents().front(), "/gone");  // offered while it runs, as any target
    h.scanner.answer(2, nullptr);
    settle();
    EXPECT_EQ(s.recents(), (std::vector<std::string>{"/stopped", "/fine"}));
    EXPECT_EQ(Prefs::recentTargets(), (std::vector<std::string>{"/stopped", "/fine"}));
    // A target that scanned before and fails now leaves too.
    s.scan("/fine");
    h.scanner.answer(3, nullptr);
    settle();
    EXPECT_EQ(s.recents(), std::vector<std::string>{"/stopped"});
}

TEST_F(AppStateTest, AFinishedScanInstallsItsResult) {
    Harness h;
    AppState& s = *h.state;
    s.setNextFileID(100);
    s.setLargestCategory(FileCategory::audio);
    s.setFolderFocus(std::string("/f"));
    QSignalSpy revisions(&s, &AppState::revisionChanged);
    s.scan("/data");
    EXPECT_EQ(h.scanner.call(0)->firstID, 100);
    h.scanner.answer(0, resultAt("/data", 130));
    settle();
    EXPECT_EQ(revisions.count(), 1);
    EXPECT_EQ(s.nextFileID(), 130);
    EXPECT_FALSE(s.largestCategory().has_value());
    EXPECT_FALSE(s.folderFocus().has_value());

    s.scan("/data");  // ids go on from the last result
    EXPECT_EQ(h.scanner.call(1)->firstID, 130);
    h.scanner.answer(1, resultAt("/data", 131));
    settle();
    EXPECT_EQ(revisions.count(), 2);
}

TEST_F(AppStateTest, DemoScansRunButRefreshNoVolumes) {
    Harness h;
    h.demo = true;
    h.state->scan("/data");
    h.scanner.answer(0, resultAt("/data"));
    settle();
    EXPECT_NE(h.state->result(), nullptr);
    EXPECT_EQ(h.listings, 0);
}

TEST_F(AppStateTest, UnreadableEntriesRerunTheAccessProbe) {
    int probes = 0;
    Harness h([&](AppStateServices& services) {
        services.fullDiskAccessProbes = {"/p"};
        services.fileExists = [&](const std::string&) {
            ++probes;
            return true;
        };
        services.canOpenReadOnly = [](const std::string&) { return false; };
    });
    h.state->scan("/a");
    h.scanner.answer(0, resultAt("/a", 0, 0));
    settle();
    EXPECT_EQ(probes, 0);
    h.state->scan("/a");
    h.scanner.answer(1, resultAt("/a", 0, 2));
    settle();
    EXPECT_EQ(probes, 1);
    EXPECT_FALSE(h.state->hasFullDiskAccess());
    EXPECT_FALSE(h.state->toast()) << "the permission's own hint tells";
}

TEST_F(AppStateTest, WithoutAnAccessProbeTheLastScanTellsWhatItCouldNotRead) {
    auto scanned = [](std::int64_t unreadable, int samples) {
        auto result = resultAt("/h", 0, unreadable);
        for (int i = 0; i < samples; ++i)
            TreeBuild::counts(*result).unreadableSamples.push_back("/h/locked" + std::to_string(i) + "\xFF");
        return result;
    };
    const std::vector<std::string> firstFive = {"/h/locked0\xFF", "/h/locked1\xFF", "/h/locked2\xFF",
                                                "/h/locked3\xFF", "/h/locked4\xFF"};
    struct Step {
        const char* name;
        std::shared_ptr<ScanResult> result;  // nothing: the scan failed
        UnreadableReport expected;
        const char* toast;  // nothing: no toast
    };
    const Step steps[] = {
        {"several", scanned(7, 7), {7, firstFive}, "7 folders could not be read"},
        {"a failed scan changes nothing", nullptr, {7, firstFive}, nullptr},
        {"one", scanned(1, 1), {1, {"/h/locked0\xFF"}}, "1 folder could not be read"},
        {"everything read", scanned(0, 0), {}, nullptr},
        {"again",
         scanned(3, 3),
         {3, {"/h/locked0\xFF", "/h/locked1\xFF", "/h/locked2\xFF"}},
         "3 folders could not be read"},
    };
    Harness h;
    size_t call = 0;
    for (const Step& step : steps) {
        h.state->setToast(std::nullopt);
        h.state->scan("/h");
        h.scanner.answer(call++, step.result);
        settle();
        EXPECT_EQ(h.state->unreadable(), step.expected) << step.name;
        if (step.toast) {
            ASSERT_TRUE(h.state->toast()) << step.name;
            EXPECT_EQ(h.state->toast()->message, step.toast);
        } else {
            EXPECT_FALSE(h.state->toast()) << step.name;
        }
    }
    EXPECT_EQ(h.state->unreadable().pathsText("/h"), "~/locked0\uFFFD\n~/locked1\uFFFD\n~/locked2\uFFFD");

    // The next launch starts from what the last scan could not read; a demo launch never shows it,
    // nor does a scan in demo mode.
    Harness next;
    next.state->onLaunch();
    EXPECT_EQ(next.state->unreadable(), steps[4].expected);
    Harness demo;
    demo.demo = true;
    demo.state->onLaunch();
    demo.state->scan("/h");
    demo.scanner.answer(0, scanned(2, 2));
    settle();
    EXPECT_EQ(demo.state->unreadable(), UnreadableReport{});
    EXPECT_FALSE(demo.state->toast());
}

TEST_F(AppStateTest, RecentsKeepSixNewestFirst) {
    Harness h;
    AppState& s = *h.state;
    const std::vector<std::string> targets = {"/1", "/2", "/3", "/2/", "/4", "/5", "/6", "/x/../7", "/./1"};
    for (const std::string& target : targets) {
        s.scan(target);
        s.cancelScan();
    }
    const std::vector<std::string> expected = {"/1", "/7", "/6", "/5", "/4", "/2"};
    EXPECT_EQ(s.recents(), expected);
    EXPECT_EQ(Prefs::recentTargets(), expected);
    EXPECT_EQ(s.scanTarget(), std::string("/1"));

    h.drain();
    Harness reread;  // a new state reads them back
    EXPECT_EQ(reread.state->recents(), expected);
}

TEST_F(AppStateTest, RecentsWithAnyNameSurviveARestart) {
    Harness h;
    const std::vector<std::string> targets = {"/tmp/two\nlines", "/tmp/Caf\xe9"};
    for (const std::string& target : targets) {
        h.state->scan(target);
        h.state->cancelScan();
    }
    h.drain();
    Harness reread;
    EXPECT_EQ(reread.state->recents(), (std::vector<std::string>{"/tmp/Caf\xe9", "/tmp/two\nlines"}));
}

TEST_F(AppStateTest, ChoosingAFolderScansIt) {
    std::optional<std::string> answer;
    Harness h([&](AppStateServices& services) { services.chooseFolder = [&] { return answer; }; });
    h.state->chooseFolderAndScan();  // dismissed
    EXPECT_FALSE(h.state->isScanning());
    answer = "/picked/";
    h.state->chooseFolderAndScan();
    EXPECT_EQ(h.scanner.call(0)->root, "/picked");
}

// The real scanner on a real tree, through the worker pool and back to the main thread.
TEST_F(AppStateTest, ScansARealTreeEndToEnd) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = dir.path().toStdString();
    std::filesystem::create_directories(root + "/a/b");
    std::ofstream(root + "/a/b/big.bin") << std::string(2'000'000, 'x');
    std::ofstream(root + "/small.txt") << "hi";

    Harness h([](AppStateServices& services) {
        services.scanner = &DiskScanner::scan;
        services.scanOptions = [] { return ScanOptions{}; };
    });
    AppState& s = *h.state;
    QSignalSpy results(&s, &AppState::resultChanged);
    QSignalSpy revisions(&s, &AppState::revisionChanged);
    std::vector<QThread*> notifiedOn;
    for (auto signal : {&AppState::resultChanged, &AppState::revisionChanged, &AppState::recentsChanged,
                        &AppState::progressChanged, &AppState::isScanningChanged}) {
        QObject::connect(
            &s, signal, &s, [&] { notifiedOn.push_back(QThread::currentThread()); }, Qt::DirectConnection);
    }
    s.scan(root + "/");
    ASSERT_TRUE(results.wait(10000));
    settle();
    ASSERT_NE(s.result(), nullptr);
    EXPECT_EQ(s.result()->root()->path(), root);
    EXPECT_EQ(s.result()->totalFiles(), 2);
    ASSERT_EQ(s.result()->files().size(), 1u);
    EXPECT_EQ(s.result()->files()[0].path, root + "/a/b/big.bin");
    EXPECT_EQ(revisions.count(), 1);
    EXPECT_EQ(s.recents().front(), root);
    EXPECT_FALSE(s.isScanning());
    EXPECT_GE(notifiedOn.size(), 4u);
    for (QThread* thread : notifiedOn)
        EXPECT_EQ(thread, QCoreApplication::instance()->thread());
}

}  // namespace
}  // namespace nimbrel
