// What the removal road's tests share: a state with the real scanner and file operations over a
// temporary tree, its Trash and home of their own, and the fixture that runs each test to the Trash
// and for good.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QThreadPool>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "model/app_state_test_support.h"
#include "model/prefs.h"
#include "model/removal_road.h"
#include "platform/trash_emptier.h"
#include "support/private_prefs.h"
#include "support/temp_tree.h"

namespace nimbrel::road {

using namespace std::chrono_literals;
using Reason = DeletionFailure::Reason;
using test::allocated;
using test::writeFile;
using testing::settle;
inline constexpr auto onDisk = test::exists;

// Everything this program trashes lands below one temporary folder, and the home is arranged there
// too; both are set before main() runs.
const std::string& base();
extern const bool kDataHomeSet;
extern const bool kHomeSet;

std::string trashFiles();
// What the entries below a folder take on disk, links included and folders themselves not: what
// removing it gives back.
int64_t allocatedInside(const std::string& folder);
// The names in the Trash's files folder.
std::vector<std::string> trashed();

// A state with the real scanner and the real file operations; only the clock, the volumes and the
// demo switch are the test's.
struct Road {
    ManualClock clock;
    bool demo = false;
    ScanOptions options = [] {
        ScanOptions options;
        options.minTrackedSize = 0;  // every file listed, so each can be ticked
        return options;
    }();
    // Runs on the scan's worker once the disk was read, before the result goes back.
    std::function<void()> scanRead;
    QThreadPool scanPool;  // the scans' own: a scan held in scanRead holds up no settle()
    std::unique_ptr<AppState> state;
    std::string root;

    explicit Road(const std::string& name) : root(base() + "/" + name) {
        std::filesystem::remove_all(root);  // a repeated run starts from an empty tree again
        std::filesystem::create_directories(root);
        chmod(root.c_str(), 0777);
        AppStateServices services = AppStateServices::standard();
        services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
        services.mountTops.emplace();
        services.listVolumes = [] { return std::vector<VolumeInfo>{}; };
        services.scanOptions = [this] { return options; };
        services.scanner = [this](const std::string& root, const ScanOptions& options, std::int64_t firstID,
                                  const CancelToken& token, const DiskScanner::ProgressCallback& progress) {
            auto result = DiskScanner::scan(root, options, firstID, token, progress);
            if (scanRead) scanRead();
            return result;
        };
        services.scanPool = &scanPool;
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
        scanPool.waitForDone();
        settle();
        clock.advance(60s);
        settle();
    }

    std::string path(const std::string& relative) const { return root + "/" + relative; }

    void scan(const std::string& target = {}) {
        state->scan(target.empty() ? root : target);
        scanPool.waitForDone();
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
            item.size = node->size();
            item.kind = CleanItem::Kind::folder;
            item.identity = EntryIdentity::folder(*node);
            return item;
        }
        for (const FileItem& file : state->result()->files())
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
    // Opens the review of the whole selection, once what it lists of the junk locations is read.
    void review() {
        state->nimbrelise();
        ASSERT_TRUE(
            waitOn(state.get(), &AppState::isReviewingChanged, [this] { return state->isReviewing(); }));
    }
    // Review the whole selection and remove it; returns once the completion has run.
    void removeAll(bool permanently) {
        review();
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
        for (const FileItem& file : state->result()->files())
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

}  // namespace nimbrel::road
