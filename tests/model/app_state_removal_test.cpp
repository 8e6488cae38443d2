#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <mutex>
#include <shared_mutex>

#include "engine/safety_guard.h"
#include "engine/tree_build.h"
#include "model/app_state_test_support.h"
#include "model/duplicates_model.h"
#include "model/files_model.h"
#include "model/prefs.h"
#include "model/removal.h"
#include "model/removal_road.h"
#include "support/private_prefs.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using Reason = DeletionFailure::Reason;
using testing::settle;

// File operations with failures set per path; every call is recorded. Used on the worker thread.
class ScriptedOps : public RemovalFileOps {
  public:
    std::optional<RemovalError> remove(const std::string& path, bool permanently) override {
        std::lock_guard lock(mutex);
        calls.push_back((permanently ? "rm " : "trash ") + path);
        if (auto it = errors.find(path); it != errors.end()) return it->second;
        return std::nullopt;
    }
    bool isFolder(const std::string& path) override {
        std::lock_guard lock(mutex);
        calls.push_back("isFolder " + path);
        return folders.count(path) > 0;
    }
    Listing list(const std::string& folder) override {
        std::lock_guard lock(mutex);
        calls.push_back("list " + folder);
        Listing listing;
        if (auto it = folders.find(folder); it != folders.end()) listing.names = it->second;
        return listing;
    }
    int64_t allocatedSize(const std::string& path) override {
        std::lock_guard lock(mutex);
        calls.push_back("measure " + path);
        return sizes.count(path) ? sizes[path] : 0;
    }

    std::mutex mutex;
    std::vector<std::string> calls;
    std::map<std::string, RemovalError> errors;
    std::map<std::string, std::vector<std::string>> folders;
    std::map<std::string, int64_t> sizes;
};

struct Harness {
    ManualClock clock;
    bool demo = false;
    std::shared_ptr<ScriptedOps> ops = std::make_shared<ScriptedOps>();
    std::atomic<int> listings{0};
    std::atomic<int> commands{0};
    CommandResult commandResult{0, ""};
    std::unique_ptr<AppState> state;

    Harness() {
        AppStateServices services = AppStateServices::standard();
        services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
        services.mountTops.emplace();
        services.scanner = [](auto&&...) { return std::shared_ptr<ScanResult>(); };
        services.listVolumes = [this] {
            ++listings;
            return std::vector<VolumeInfo>{};
        };
        services.clock = &clock;
        services.isDemo = [this] { return demo; };
        services.home = [] { return std::string("/home/u"); };
        services.fileOps = [this] { return std::static_pointer_cast<RemovalFileOps>(ops); };
        services.emptyTrash = [this] {
            ++commands;
            return commandResult;
        };
        services.runCommand = [this](const std::string&, const std::vector<std::string>&) {
            ++commands;
            return commandResult;
        };
        state = std::make_unique<AppState>(std::move(services));
    }
    ~Harness() { settle(); }

    void select(const std::string& path, int64_t size, CleanItem::Source source = CleanItem::Source::space) {
        state->queue().add(testing::cleanItem(path, size, CleanItem::Kind::folder, source));
    }
    std::unordered_set<std::string> allIDs() const { return testing::queuedIds(*state); }
    std::vector<std::string> queuedIDs() const {
        std::vector<std::string> ids;
        for (const CleanItem& item : state->queue().items())
            ids.push_back(item.id);
        return ids;
    }
    // Runs the worker to its end and lets the hold pass.
    void finish() {
        settle();
        clock.advance(9s);
        settle();
    }
};

class AppStateRemovalTest : public ::testing::Test {
    PrivatePrefs prefs_;
};

const RemovalError kDenied = RemovalError::posix(EACCES, "denied");

TEST_F(AppStateRemovalTest, GuardRefusalsComeFirstAndAreNeverTouched) {
    // /usr/bin by another name: only the disk tells it is protected.
    QTemporaryDir links;
    const std::string system = links.path().toStdString() + "/system";
    ASSERT_EQ(symlink("/usr", system.c_str()), 0);
    Harness h;
    h.select("/tmp/nr/a", 100);
    h.select("/usr/bin", 5);
    h.select(system + "/bin", 5);
    h.select("/tmp/nr/b", 50);
    h.ops->errors.emplace("/tmp/nr/b", RemovalError::posix(EBUSY, "busy"));
    h.state->nimbrelise(h.allIDs(), false);

    EXPECT_TRUE(h.state->isDeleting());
    EXPECT_EQ(h.state->nimbrelisingIDs().size(), 4u);
    settle();  // the worker judges, then hands back what may vanish
    EXPECT_TRUE(h.state->isDeleting());
    EXPECT_EQ(h.state->vanishingPaths(), (std::unordered_set<std::string>{"/tmp/nr/a", "/tmp/nr/b"}));
    h.finish();
    for (const std::string& call : h.ops->calls)
        EXPECT_EQ(call.find("/bin"), std::string::npos) << call;

    ASSERT_TRUE(h.state->deletionFailures());
    const auto& failures = *h.state->deletionFailures();
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures[0].path, "/usr/bin");
    EXPECT_EQ(failures[0].reason, Reason::safetyGuard);
    EXPECT_EQ(failures[0].detail, SafetyGuard::reason("/usr/bin"));
    EXPECT_EQ(failures[1].path, system + "/bin");
    EXPECT_EQ(failures[1].reason, Reason::safetyGuard);
    EXPECT_EQ(failures[2], (DeletionFailure{"/tmp/nr/b", Reason::inUse, "busy"}));
    EXPECT_FALSE(h.state->isDeleting());
    EXPECT_TRUE(h.state->vanishingPaths().empty());
    EXPECT_TRUE(h.state->nimbrelisingIDs().empty());
    EXPECT_EQ(h.state->sessionFreed(), 100);
    ASSERT_TRUE(h.state->toast());
    EXPECT_EQ(h.state->toast()->message, "Nimbrelised 100 bytes · 1 item in the Trash");
    EXPECT_EQ(h.state->toast()->symbol, "humidity.fill");
    // The removed entry and the refused one leave the selection; the failed one stays.
    EXPECT_EQ(h.queuedIDs(), (std::vector<std::string>{"/tmp/nr/b"}));
    EXPECT_EQ(h.state->removal().lastRemoval(),
              (std::unordered_map<std::string, int64_t>{{"/tmp/nr/a", 100}}));
    EXPECT_GE(h.listings, 1);  // the volumes are refreshed afterwards
}

TEST_F(AppStateRemovalTest, EverythingRefusedStillHoldsAndShowsNoToast) {
    Harness h;
    h.select("/usr/bin", 5);
    h.select("/etc", 5);
    h.state->nimbrelise(h.allIDs(), true);
    settle();
    EXPECT_EQ(h.clock.pendingTimers(), 1u);
    EXPECT_TRUE(h.state->isDeleting());
    h.clock.advance(1999ms);  // two entries hold 2.0 s
    EXPECT_TRUE(h.state->isDeleting());
    h.clock.advance(1ms);
    EXPECT_FALSE(h.state->isDeleting());
    settle();  // the report follows in the next turn
    EXPECT_FALSE(h.state->toast());
    ASSERT_TRUE(h.state->deletionFailures());
    EXPECT_EQ(h.state->deletionFailures()->size(), 2u);
    EXPECT_EQ(h.state->sessionFreed(), 0);
    EXPECT_TRUE(h.queuedIDs().empty());
    EXPECT_TRUE(h.ops->calls.empty());
}

TEST_F(AppStateRemovalTest, HoldCountsTheTimeTheRemovalTook) {
    Harness h;
    h.select("/tmp/nr/a", 1);
    h.select("/tmp/nr/b", 1);
    h.select("/tmp/nr/c", 1);
    h.state->nimbrelise(h.allIDs(), false);
    h.clock.advance(400ms);  // the removal takes 0.4 s of the 2.55 s hold
    settle();
    h.clock.advance(2149ms);
    EXPECT_TRUE(h.state->isDeleting());
    h.clock.advance(1ms);
    EXPECT_FALSE(h.state->isDeleting());

    // One that outlasts its hold ends at once.
    h.select("/tmp/nr/d", 1);
    h.state->nimbrelise(h.allIDs(), false);
    h.clock.advance(5s);
    settle();
    EXPECT_FALSE(h.state->isDeleting());
}

TEST_F(AppStateRemovalTest, EmptiedFolderCountsEachChildAndVanishedPathsCountZero) {
    Harness h;
    h.select("/tmp/nr/deep", 999, CleanItem::Source::deepClean);
    h.select("/tmp/nr/gone", 70);
    h.ops->errors.emplace("/tmp/nr/deep", kDenied);
    h.ops->errors.emplace("/tmp/nr/gone", RemovalError::notFound());
    h.ops->folders["/tmp/nr/deep"] = {"x", "y", "z"};
    h.ops->errors.emplace("/tmp/nr/deep/z", kDenied);
    h.ops->sizes["/tmp/nr/deep/x"] = 1000;
    h.ops->sizes["/tmp/nr/deep/y"] = 2000;
    h.state->nimbrelise(h.allIDs(), true);
    h.finish();
    EXPECT_EQ(h.state->toast()->message, "Nimbrelised 3 KB · 3 items gone for good");
    EXPECT_EQ(h.state->sessionFreed(), 3000);
    ASSERT_TRUE(h.state->deletionFailures());
    EXPECT_EQ(*h.state->deletionFailures(),
              (std::vector<DeletionFailure>{{"/tmp/nr/deep/z", Reason::noPermission, "denied"}}));
    // The emptied deep-clean folder itself was not removed: it stays selected.
    EXPECT_EQ(h.queuedIDs(), (std::vector<std::string>{"/tmp/nr/deep"}));
}

TEST_F(AppStateRemovalTest, OneRemovalAtATime) {
    Harness h;
    h.select("/tmp/nr/a", 1);
    h.state->nimbrelise();
    EXPECT_TRUE(h.state->isReviewing());
    h.state->nimbrelise(h.allIDs(), false);
    EXPECT_FALSE(h.state->isReviewing());
    h.select("/tmp/nr/b", 1);
    h.state->nimbrelise();  // no review while a removal runs
    EXPECT_FALSE(h.state->isReviewing());
    h.state->nimbrelise({"/tmp/nr/b"}, true);  // and no second removal
    h.finish();
    EXPECT_EQ(h.allIDs(), (std::unordered_set<std::string>{"/tmp/nr/b"}));  // still selected
    std::lock_guard lock(h.ops->mutex);
    EXPECT_EQ(h.ops->calls, (std::vector<std::string>{"trash /tmp/nr/a"}));
}

TEST_F(AppStateRemovalTest, NothingToRemoveShowsAToastAndKeepsTheQueue) {
    Harness h;
    h.state->nimbrelise();
    EXPECT_FALSE(h.state->isReviewing());  // empty selection
    h.select("/tmp/nr/a", 1);
    for (const std::unordered_set<std::string>& ids :
         {std::unordered_set<std::string>{}, std::unordered_set<std::string>{"/nope"}}) {
        h.state->setToast(std::nullopt);
        h.state->nimbrelise(ids, false);
        ASSERT_TRUE(h.state->toast());
        EXPECT_EQ(h.state->toast()->message, "Nothing left to nimbrelise");
        EXPECT_EQ(h.state->toast()->symbol, "info.circle.fill");
    }
    EXPECT_FALSE(h.state->isDeleting());
    EXPECT_EQ(h.queuedIDs().size(), 1u);
}

TEST_F(AppStateRemovalTest, DemoRemovalTouchesNothingAndCreditsNothing) {
    Harness h;
    h.demo = true;
    h.select("/usr/bin", 5);
    h.select("/tmp/nr/a", 1000);
    h.state->nimbrelise(h.allIDs(), true);
    EXPECT_EQ(h.state->vanishingPaths(), (std::unordered_set<std::string>{"/usr/bin", "/tmp/nr/a"}));
    settle();
    h.clock.advance(1999ms);  // the full hold, nothing subtracted
    EXPECT_TRUE(h.state->isDeleting());
    h.clock.advance(1ms);
    settle();
    EXPECT_FALSE(h.state->isDeleting());
    EXPECT_EQ(h.state->toast()->message, "Nimbrelised 1 KB · demo mode, nothing was deleted");
    EXPECT_EQ(h.state->sessionFreed(), 0);
    EXPECT_FALSE(h.state->deletionFailures());
    EXPECT_TRUE(h.queuedIDs().empty());
    EXPECT_EQ(h.state->removal().lastRemoval().at("/tmp/nr/a"), 1000);
    EXPECT_TRUE(h.ops->calls.empty());
    EXPECT_EQ(h.listings, 0);

    // Emptying the Trash and removing simulators are pretended too.
    h.state->emptyTrash();
    EXPECT_EQ(h.state->toast()->message, "Trash emptied");
    h.state->removeUnavailableSimulators();
    EXPECT_EQ(h.state->toast()->message, "Removed unavailable simulators");
    settle();
    EXPECT_EQ(h.commands, 0);
    EXPECT_EQ(h.listings, 0);
}

TEST_F(AppStateRemovalTest, OutsideCommandsReportTheirOutcome) {
    Harness h;
    h.state->emptyTrash();
    settle();
    EXPECT_EQ(h.commands, 1);
    EXPECT_EQ(h.state->toast()->message, "Trash emptied");  // no measurement: nothing credited
    EXPECT_EQ(h.state->sessionFreed(), 0);

    // An emptier that tells what the disk got back is credited that, also when something stayed.
    h.commandResult = {0, "", 12000};
    h.state->emptyTrash();
    settle();
    EXPECT_EQ(h.state->toast()->message, "Trash emptied · 12 KB nimbrelised");
    EXPECT_EQ(h.state->sessionFreed(), 12000);

    // One that partly failed says what left the disk as well as what stayed.
    const std::pair<CommandResult, const char*> partly[] = {
        {{1, "/x: Permission denied", 3000}, "The Trash was emptied only in part: 3 KB left the disk."},
        {{1, "/x: Permission denied", 0}, "Couldn't empty the Trash: nothing left the disk."},
    };
    for (const auto& [result, says] : partly) {
        h.state->setErrorMessage(std::nullopt);
        h.commandResult = result;
        h.state->emptyTrash();
        settle();
        ASSERT_TRUE(h.state->errorMessage());
        EXPECT_TRUE(h.state->errorMessage()->startsWith(QString::fromUtf8(says)))
            << h.state->errorMessage()->toStdString();
        EXPECT_TRUE(h.state->errorMessage()->endsWith("These items stayed:\n\n/x: Permission denied"));
    }
    EXPECT_EQ(h.state->sessionFreed(), 15000);

    h.state->setToast(std::nullopt);
    h.commandResult = {72, "xcrun: error: unable to find utility"};
    h.state->removeUnavailableSimulators();
    settle();
    EXPECT_EQ(*h.state->errorMessage(), "simctl failed:\nxcrun: error: unable to find utility");
    EXPECT_FALSE(h.state->toast());
}

TEST_F(AppStateRemovalTest, CopiedPathsGoToTheClipboardOneALine) {
    Harness h;
    h.state->copyPaths({});
    EXPECT_FALSE(h.state->toast());
    h.state->copyPaths({"/home/u/Documents/report.pdf"});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "/home/u/Documents/report.pdf");
    EXPECT_EQ(h.state->toast()->message, "Copied ~/Documents/report.pdf");
    EXPECT_EQ(h.state->toast()->symbol, "doc.on.doc.fill");
    h.state->copyPaths({"/a", "/b c", "/d"});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "/a\n/b c\n/d");
    EXPECT_EQ(h.state->toast()->message, "Copied 3 paths");
}

// A tree at /tmp/nr holding one folder "d" of `size` bytes.
std::shared_ptr<ScanResult> oneFolderTree(std::int64_t size) {
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>("/tmp/nr", nullptr));
    auto child = std::make_shared<DirNode>("d", result->root().get());
    TreeBuild::setSize(*child, size);
    TreeBuild::setSize(*result->root(), size);
    TreeBuild::addChild(*result->root(), child);
    return result;
}

// The removed paths are pruned from the tree in their normalised form, the outermost only; with no
// result installed the twins are still pruned and the revision still moves.
TEST_F(AppStateRemovalTest, RemovalPrunesTheTreeByNormalisedPaths) {
    Harness h;
    auto result = oneFolderTree(4000);
    h.state->setResult(result);
    const auto revision = h.state->revision();

    h.select("/tmp/nr/d", 4000);
    h.select("/tmp/nr/d/inner", 10, CleanItem::Source::files);
    h.state->nimbrelise(h.allIDs(), true);
    h.finish();
    EXPECT_TRUE(result->root()->children().empty());
    EXPECT_EQ(result->root()->size(), 0);
    EXPECT_EQ(h.state->revision(), revision + 1);

    h.state->setResult(nullptr);
    h.select("/tmp/nr/e", 1);
    h.state->nimbrelise(h.allIDs(), true);
    h.finish();
    EXPECT_EQ(h.state->revision(), revision + 2);
}

// A removal whose hold ends while a worker reads the result (an index build, a twin search
// gathering its files) waits for it: the tree is never changed under a reader, and the state
// changes in the same order once it can.
TEST_F(AppStateRemovalTest, CompletionWaitsForWorkersReadingTheResult) {
    Harness h;
    auto result = oneFolderTree(4000);
    h.state->setResult(result);
    const auto revision = h.state->revision();
    std::vector<std::string> order;
    QObject::connect(h.state.get(), &AppState::isDeletingChanged, [&] { order.push_back("deleting"); });
    QObject::connect(h.state.get(), &AppState::revisionChanged, [&] { order.push_back("revision"); });
    QObject::connect(h.state.get(), &AppState::vanishingPathsChanged, [&] { order.push_back("vanishing"); });
    QObject::connect(h.state.get(), &AppState::toastChanged, [&] { order.push_back("toast"); });

    h.select("/tmp/nr/d", 4000);
    h.state->nimbrelise(h.allIDs(), true);
    std::promise<void> holding, release;
    std::thread reader([&, readers = h.state->resultReaders()] {
        std::shared_lock lock(*readers);
        holding.set_value();
        release.get_future().wait();
    });
    holding.get_future().wait();
    order.clear();
    h.finish();
    EXPECT_TRUE(h.state->isDeleting());
    EXPECT_EQ(result->root()->children().size(), 1u);
    EXPECT_EQ(h.state->revision(), revision);

    release.set_value();
    reader.join();
    ASSERT_TRUE(waitOn(h.state.get(), &AppState::isDeletingChanged, [&] { return !h.state->isDeleting(); }));
    settle();  // the report follows in the next turn
    EXPECT_TRUE(result->root()->children().empty());
    EXPECT_EQ(result->root()->size(), 0);
    EXPECT_EQ(h.state->revision(), revision + 1);
    // What the completion changes, in its order (the worker's verdicts may update the vanishing
    // paths before it).
    const auto from = std::find(order.begin(), order.end(), "deleting");
    EXPECT_EQ(std::vector<std::string>(from, order.end()),
              (std::vector<std::string>{"deleting", "revision", "vanishing", "toast"}));
}

// The pruning worked out during the removal belongs to the tree it was read from: a scan that
// installs another tree meanwhile has that tree pruned by path, and the old one is left alone.
TEST_F(AppStateRemovalTest, ANewResultDuringTheRemovalIsPrunedByPath) {
    Harness h;
    auto before = oneFolderTree(4000);
    h.state->setResult(before);
    h.select("/tmp/nr/d", 4000);
    h.state->nimbrelise(h.allIDs(), true);
    settle();
    auto after = oneFolderTree(5000);
    h.state->setResult(after);
    h.finish();
    EXPECT_TRUE(after->root()->children().empty());
    EXPECT_EQ(after->root()->size(), 0);
    ASSERT_EQ(before->root()->children().size(), 1u);
    EXPECT_EQ(before->root()->size(), 4000);
}

// A selection of many thousands is turned into its request on a worker: until it is back, no review
// opens and no other removal starts; then it is removed like any other.
TEST_F(AppStateRemovalTest, ALongSelectionIsPreparedAsideThenRemovedWhole) {
    Harness h;
    for (size_t i = 0; i < CleanQueue::kAsideFrom; ++i)
        h.select("/tmp/nr/f" + std::to_string(i), 1);
    h.state->nimbrelise(h.allIDs(), true);
    h.state->nimbrelise();
    EXPECT_FALSE(h.state->isReviewing());
    h.state->nimbrelise({"/tmp/nr/f1"}, false);
    h.finish();
    EXPECT_FALSE(h.state->isDeleting());
    EXPECT_TRUE(h.queuedIDs().empty());
    std::lock_guard lock(h.ops->mutex);
    const auto removals = std::count_if(h.ops->calls.begin(), h.ops->calls.end(),
                                        [](const std::string& call) { return call.starts_with("rm "); });
    EXPECT_EQ(size_t(removals), CleanQueue::kAsideFrom);
    EXPECT_EQ(size_t(removals), h.ops->calls.size());  // nothing went to the Trash
}

// A twin search reads the listed files where the tree holds them. A removal that ends meanwhile
// prunes the tree without waiting for it, and what the search points at neither moves nor goes:
// the folders' old file lists stay with the search until it ends.
TEST_F(AppStateRemovalTest, RemovalDuringATwinSearchLeavesWhatItReadsInPlace) {
    Harness h;
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>("/tmp/nr", nullptr));
    auto d = std::make_shared<DirNode>("d", result->root().get());
    auto e = std::make_shared<DirNode>("e", result->root().get());
    TreeBuild::addChild(*result->root(), d);
    TreeBuild::addChild(*result->root(), e);
    int64_t id = 1;
    for (auto [folder, name] : {std::pair{d.get(), "a"}, {d.get(), "b"}, {d.get(), "c"}, {e.get(), "x"}}) {
        FileItem f;
        f.id = id++;
        f.path = folder->path() + "/" + name;
        f.name = name;
        f.size = f.logicalSize = 10;
        f.parent = folder;
        TreeBuild::addFile(*folder, f);
        TreeBuild::count(*folder, 10, 1);
    }
    TreeBuild::setSize(*result->root(), 40);
    TreeBuild::setFileCount(*result->root(), 4);
    TreeBuild::listTree(*result);
    h.state->setResult(result);
    const std::weak_ptr<DirNode> removedFolder = e;
    const FileBlock oldLists[] = {d->files().share(), e->files().share()};
    e.reset();

    QThreadPool twins;
    std::promise<void> reading, go;
    std::shared_future<void> released = go.get_future().share();
    std::atomic<int> changed{-1};
    h.state->duplicates().setPool(&twins);
    h.state->duplicates().setSearch(
        [&](const std::vector<const FileItem*>& files, const CancelToken&, const DuplicateProgressFn&) {
            std::vector<std::pair<int64_t, std::string>> seen;
            for (const FileItem* f : files)
                seen.emplace_back(f->id, f->path.str());
            reading.set_value();
            released.wait();
            int moved = 0;
            for (size_t i = 0; i < files.size(); ++i)
                if (files[i]->id != seen[i].first || files[i]->path != seen[i].second) ++moved;
            changed = moved;
            return std::optional<std::vector<DuplicateGroup>>(std::vector<DuplicateGroup>{});
        });
    h.state->duplicates().run(std::shared_ptr<const ScanResult>(result), 1);
    reading.get_future().wait();

    h.select("/tmp/nr/d/a", 10);
    h.select("/tmp/nr/e", 10);
    // What the views are told went: the folder taken out and the listed files dropped.
    std::vector<std::string> detached;
    std::vector<size_t> dropped;
    QObject::connect(h.state.get(), &AppState::treeChanged, [&](const TreeChange& change) {
        for (const auto& folder : change.detached)
            detached.push_back(folder->name);
        dropped.insert(dropped.end(), change.droppedListed.begin(), change.droppedListed.end());
    });
    h.state->nimbrelise(h.allIDs(), true);
    h.finish();
    EXPECT_FALSE(h.state->isDeleting());
    EXPECT_EQ(detached, std::vector<std::string>{"e"});
    EXPECT_EQ(dropped.size(), 2u);
    ASSERT_EQ(d->files().size(), 2u);
    EXPECT_EQ(d->files().front().path, "/tmp/nr/d/b");
    EXPECT_EQ(result->files().size(), 2u);
    EXPECT_EQ(result->files().front().parent, d.get());
    EXPECT_EQ(result->root()->size(), 20);
    for (const FileBlock& list : oldLists)
        EXPECT_GE(list.holders(), 2u);  // the search still reads them

    go.set_value();
    twins.waitForDone();
    settle();
    EXPECT_EQ(changed, 0);
    EXPECT_TRUE(removedFolder.expired());
    for (const FileBlock& list : oldLists)
        EXPECT_EQ(list.holders(), 1u);  // and lets go of them once it ends
    EXPECT_TRUE(h.state->duplicates().hasRun());
}

// Two folders of listed files, enough for the Files shelves to index them aside.
std::shared_ptr<ScanResult> listedTree(size_t perFolder) {
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>("/tmp/nr", nullptr));
    int64_t id = 1;
    for (const char* name : {"a", "b"}) {
        auto folder = std::make_shared<DirNode>(name, result->root().get());
        TreeBuild::addChild(*result->root(), folder);
        for (size_t i = 0; i < perFolder; ++i, ++id) {
            FileItem f;
            f.id = id;
            f.name = "f" + std::to_string(i);
            f.path = folder->path() + "/" + f.name;
            f.size = f.logicalSize = (id * 7919 % 1000) * 100'000;  // ties, and files worth forgetting
            f.modified = f.accessed = std::chrono::system_clock::time_point(std::chrono::hours(id % 500));
            f.parent = folder.get();
            TreeBuild::addFile(*folder, f);
            TreeBuild::count(*folder, f.size, 1);
        }
        TreeBuild::count(*result->root(), folder->size(), folder->fileCount());
    }
    TreeBuild::listTree(*result);
    return result;
}

// The Files shelves' index of a large tree is mapped on the removal's worker and taken in the turn
// the tree is pruned: every list then reads as one built afresh for what is left. A scan that
// installs another tree meanwhile leaves that work unused.
TEST_F(AppStateRemovalTest, FilesListsFollowTheRemovalOrANewScan) {
    using Q = FilesModel::BiggestQuery;
    const std::vector<Q> queries = {Q{},
                                    Q{FileSort::name, {}, false, {}},
                                    Q{FileSort::size, {}, false, QStringLiteral("F12")},
                                    Q{FileSort::opened, {}, false, QStringLiteral("a/f3")},
                                    Q{FileSort::size, {}, false, QStringLiteral("F1\u00e9")},
                                    Q{FileSort::modified, {}, false, {}}};
    const FilesModel::ForgottenQuery forgotten{
        std::chrono::system_clock::time_point(std::chrono::hours(250)), {}, FileSort::size};
    const size_t perFolder = FilesModel::kBuildAsideFrom / 2 + 10;
    const auto ids = [](FilesModel& model, const FileList& list) {
        std::vector<int64_t> out;
        for (FileIndex::Row r : list.rows)
            out.push_back(model.file(r).id);
        return out;
    };
    for (const bool newScan : {false, true}) {
        SCOPED_TRACE(newScan ? "a new scan meanwhile" : "the removal alone");
        Harness h;
        auto result = listedTree(perFolder);
        h.state->setResult(result);
        FilesModel& model = h.state->files();
        model.biggest({});
        settle();  // the index is built aside
        for (size_t i = 0; i + 1 < queries.size(); ++i)
            model.biggest(queries[i]);  // the answers the shelves keep; the last order comes later
        model.forgotten(forgotten);

        h.select("/tmp/nr/b", 1);
        h.select("/tmp/nr/a/f3", 1);
        h.select("/tmp/nr/a/f12", 1);
        h.state->nimbrelise(h.allIDs(), true);
        model.biggest(Q{FileSort::modified, {}, false, {}});  // an order first built meanwhile
        settle();
        if (newScan) {
            result = listedTree(perFolder + 1);
            h.state->setResult(result);
        }
        h.finish();
        ASSERT_FALSE(h.state->isDeleting());
        EXPECT_EQ(result->files().size(), (newScan ? perFolder + 1 : perFolder) - 2);

        AppState fresh(AppStateServices::standard());
        fresh.setResult(result);
        FilesModel& built = fresh.files();
        built.biggest({});
        settle();
        for (const Q& q : queries) {
            SCOPED_TRACE(q.search.toStdString());
            EXPECT_EQ(ids(model, model.biggest(q)), ids(built, built.biggest(q)));
        }
        EXPECT_EQ(ids(model, model.forgotten(forgotten)), ids(built, built.forgotten(forgotten)));
        EXPECT_FALSE(ids(model, model.forgotten(forgotten)).empty());
    }
}

// The twin sets are pruned by id on the removal's worker and taken when the tree is pruned, unless
// other sets came meanwhile (a search ended): those are pruned then, and the old ones never return.
TEST_F(AppStateRemovalTest, TwinSetsFollowTheRemovalOrSetsFoundMeanwhile) {
    for (const bool newSets : {false, true}) {
        SCOPED_TRACE(newSets ? "new sets meanwhile" : "the same sets");
        Harness h;
        auto result = listedTree(10);
        h.state->setResult(result);
        const auto set = [&](std::string id, std::vector<std::string> paths) {
            DuplicateGroup g{std::move(id), 1, {}};
            for (const std::string& path : paths)
                g.files.push_back(*std::find_if(result->files().begin(), result->files().end(),
                                                [&](const FileItem& f) { return f.path == path; }));
            return g;
        };
        const auto id = [&](const std::string& path) {
            return std::find_if(result->files().begin(), result->files().end(),
                                [&](const FileItem& f) { return f.path == path; })
                ->id;
        };
        DuplicatesModel& twins = h.state->duplicates();
        twins.setGroups({set("one", {"/tmp/nr/a/f1", "/tmp/nr/b/f1"}),
                         set("two", {"/tmp/nr/a/f2", "/tmp/nr/a/f4", "/tmp/nr/a/f5"}),
                         set("three", {"/tmp/nr/a/f6", "/tmp/nr/a/f7"})});
        twins.setMarked({id("/tmp/nr/a/f4"), id("/tmp/nr/a/f5")});

        h.select("/tmp/nr/b", 1);
        h.select("/tmp/nr/a/f4", 1);
        h.state->nimbrelise(h.allIDs(), true);
        settle();
        if (newSets)
            twins.setGroups({set("three", {"/tmp/nr/a/f6", "/tmp/nr/a/f7"}),
                             set("four", {"/tmp/nr/a/f8", "/tmp/nr/b/f8"})});
        h.finish();
        ASSERT_FALSE(h.state->isDeleting());
        std::vector<std::string> left;
        for (const DuplicateGroup& g : twins.groups()) {
            left.push_back(g.id);
            for (const FileItem& f : g.files)
                left.push_back(f.path);
        }
        const std::vector<std::string> kept =
            newSets ? std::vector<std::string>{"three", "/tmp/nr/a/f6", "/tmp/nr/a/f7"}
                    : std::vector<std::string>{"two",   "/tmp/nr/a/f2", "/tmp/nr/a/f5",
                                               "three", "/tmp/nr/a/f6", "/tmp/nr/a/f7"};
        EXPECT_EQ(left, kept);
        // A mark stays only on a copy still in some set.
        EXPECT_EQ(twins.marked(),
                  newSets ? std::unordered_set<int64_t>{} : std::unordered_set<int64_t>{id("/tmp/nr/a/f5")});
    }
}

}  // namespace
}  // namespace nimbrel
