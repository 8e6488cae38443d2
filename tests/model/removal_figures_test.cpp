// What a removal reports and what the tree shows afterwards, when the removal stops part-way: a
// real tree, scanned for real, with file operations that really remove part of a folder and then
// fail, as a permission error or a busy file stops a removal for good.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "model/app_state_test_support.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "model/removal.h"
#include "platform/file_operations.h"
#include "support/private_prefs.h"
#include "support/temp_tree.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using test::allocated;
using test::writeFile;

// The real file operations, except that removing a folder named in `stops` removes that many of
// its files (in name order, at any depth) and then fails.
class StoppingOps : public FileOperations {
  public:
    std::map<std::string, size_t> stops;
    std::vector<std::string> removedByStop;
    int64_t bytesRemovedByStop = 0;

    // Stopped removals count nothing themselves: what went is found on the disk afterwards.
    std::optional<Counted> takeCounted() override {
        if (lastStopped) return std::nullopt;
        return FileOperations::takeCounted();
    }
    bool lastStopped = false;

    std::optional<RemovalError> remove(const std::string& path, bool permanently) override {
        auto stop = stops.find(path);
        lastStopped = stop != stops.end();
        if (stop == stops.end()) return FileOperations::remove(path, permanently);
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
            if (entry.is_regular_file()) files.push_back(entry.path().string());
        std::sort(files.begin(), files.end());
        for (size_t i = 0; i < stop->second && i < files.size(); ++i) {
            bytesRemovedByStop += allocated(files[i]);
            std::filesystem::remove(files[i]);
            removedByStop.push_back(files[i]);
        }
        return RemovalError::posix(EACCES, "Permission denied");
    }
};

class RemovalFiguresTest : public ::testing::Test {
  protected:
    void SetUp() override { root = std::filesystem::canonical(tree_.path().toStdString()).string(); }

    // A state on the real scanner, with its own pool, clock and file operations.
    void makeState(int64_t minTracked) {
        AppStateServices services = AppStateServices::standard();
        services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
        services.mountTops.emplace();
        services.listVolumes = [] { return std::vector<VolumeInfo>{}; };
        services.scanOptions = [minTracked] {
            ScanOptions options;
            options.minTrackedSize = minTracked;
            return options;
        };
        services.clock = &clock;
        services.isDemo = [] { return false; };
        services.fileOps = [this] { return std::static_pointer_cast<RemovalFileOps>(ops); };
        services.userPool = &pool;
        services.utilityPool = &pool;
        state = std::make_unique<AppState>(std::move(services));
    }
    // Lets the pool's work finish and delivers what it posted back.
    void drain() { nimbrel::drain(pool); }
    void scan() {
        state->scan(root);
        drain();
        ASSERT_FALSE(state->isScanning());
        ASSERT_TRUE(state->result());
    }
    void tick(const std::string& path) {
        auto node = state->result()->node(path);
        ASSERT_TRUE(node) << path;
        state->queue().add(testing::cleanItem(path, node->size(), CleanItem::Kind::folder,
                                              CleanItem::Source::space, node->name));
    }
    void removeForGood() {
        state->nimbrelise(testing::queuedIds(*state), true);
        drain();
        clock.advance(9s);
        drain();
        ASSERT_FALSE(state->isDeleting());
    }
    std::shared_ptr<ScanResult> freshScan(int64_t minTracked) {
        ScanOptions options;
        options.minTrackedSize = minTracked;
        options.mountTops.emplace();  // the machine's volumes stay unread
        CancelToken token;
        return DiskScanner::scan(root, options, 1000000, token, nullptr);
    }

    PrivatePrefs prefs_;
    QTemporaryDir tree_;
    std::string root;
    QThreadPool pool;
    ManualClock clock;
    std::shared_ptr<StoppingOps> ops = std::make_shared<StoppingOps>();
    std::unique_ptr<AppState> state;
};

TEST_F(RemovalFiguresTest, AFolderRemovedInPartIsCreditedAndShrunkByWhatWent) {
    // Files listed one by one, and files counted only in their folder's total.
    for (int64_t minTracked : {int64_t(0), int64_t(1'000'000)}) {
        SCOPED_TRACE(minTracked);
        std::filesystem::remove_all(root + "/docs");
        for (int i = 0; i < 20; ++i)
            writeFile(root + "/docs/f" + std::to_string(10 + i) + ".txt", 8000);
        writeFile(root + "/docs/sub/g.txt", 8000);
        writeFile(root + "/keep/k.txt", 3000);
        ops = std::make_shared<StoppingOps>();
        ops->stops[root + "/docs"] = 8;
        makeState(minTracked);
        scan();
        const int64_t docsBefore = state->result()->node(root + "/docs")->size();
        tick(root + "/docs");

        removeForGood();
        ASSERT_EQ(ops->removedByStop.size(), 8u);
        EXPECT_EQ(state->sessionFreed(), ops->bytesRemovedByStop);
        ASSERT_TRUE(state->toast());
        EXPECT_NE(state->toast()->message.indexOf("gone for good"), -1);
        auto docs = state->result()->node(root + "/docs");
        ASSERT_TRUE(docs);
        EXPECT_EQ(docs->size(), docsBefore - ops->bytesRemovedByStop);
        EXPECT_EQ(docs->fileCount(), 13);
        auto fresh = freshScan(minTracked);
        EXPECT_EQ(state->result()->root()->size(), fresh->root()->size());
        EXPECT_EQ(state->result()->root()->fileCount(), fresh->root()->fileCount());
        EXPECT_EQ(state->result()->files().size(), fresh->files().size());
        // What stayed is reported and stays ticked.
        ASSERT_TRUE(state->deletionFailures());
        EXPECT_EQ(state->deletionFailures()->size(), 1u);
        EXPECT_TRUE(state->queue().contains(root + "/docs"));
    }
}

TEST_F(RemovalFiguresTest, AWholeRemovalNextToAPartialOneCountsEachOnce) {
    for (int i = 0; i < 4; ++i)
        writeFile(root + "/part/f" + std::to_string(i), 8000);
    writeFile(root + "/part/deep/x", 8000);
    writeFile(root + "/whole/y", 8000);
    ops->stops[root + "/part"] = 5;  // the whole folder's files, so "deep" goes empty-handed
    makeState(0);
    scan();
    const int64_t whole = state->result()->node(root + "/whole")->size();
    tick(root + "/part");
    tick(root + "/whole");

    removeForGood();
    EXPECT_EQ(state->sessionFreed(), whole + ops->bytesRemovedByStop);
    EXPECT_FALSE(state->result()->node(root + "/whole"));
    auto part = state->result()->node(root + "/part");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->size(), freshScan(0)->node(root + "/part")->size());
    EXPECT_EQ(state->queue().items().size(), 1u);
}

TEST(RemovalFigures, TheWorkersOwnFiguresWinOverTheRecheck) {
    RemovalResult result;
    ScanResult::Recheck recheck;
    recheck.bytes = {{"/t/a", 700}, {"/t/b", 300}, {"/t/c", 200}};
    recheck.gone = {"/t/a/1", "/t/b/2", "/t/c/3", "/t/d"};
    result.failures = {{"/t/a", DeletionFailure::Reason::noPermission, ""},
                       {"/t/b", DeletionFailure::Reason::noPermission, ""},
                       {"/t/c", DeletionFailure::Reason::inUse, ""}};
    // The worker tells what it freed of /t/a itself and of a child of /t/b; of /t/c nothing.
    result.freed = {{"/t/a", 650}, {"/t/b/2", 250}, {"/t/d", 40}};
    RemovalResult::Partial counted;
    counted.freedBytes = 90;
    result.partlyRemoved["/t/e"] = counted;
    recheck.bytes["/t/e"] = 80;
    RemovalFigures figures = removalFigures(result, recheck);
    EXPECT_EQ(figures.total, 650 + 250 + 40 + 200 + 90);
    EXPECT_EQ(figures.credited.at("/t/e"), 90);
    EXPECT_EQ(figures.credited.at("/t/c"), 200);
    EXPECT_FALSE(figures.credited.count("/t/b"));
    // /t/a went in part only: it stays in the tree (the recheck prunes what of it went).
    std::sort(figures.removed.begin(), figures.removed.end());
    EXPECT_EQ(figures.removed, (std::vector<std::string>{"/t/b/2", "/t/d"}));
    // Whole paths once each, and each part the recheck found gone that the worker did not name.
    EXPECT_EQ(figures.count, 2 + 2);
}

}  // namespace
}  // namespace nimbrel
