#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <atomic>
#include <future>

#include "model/app_state_test_support.h"
#include "model/prefs.h"
#include "support/private_prefs.h"

namespace nimbrel {
namespace {

using testing::settle;

// The Trash emptier and the command runner hold on their worker thread until the test lets them go.
struct HeldCommands {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> trashRuns{0};
    std::atomic<int> commandRuns{0};
    std::unique_ptr<AppState> state;

    HeldCommands() {
        AppStateServices services = AppStateServices::standard();
        services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
        services.mountTops.emplace();
        services.scanner = [](auto&&...) { return std::shared_ptr<ScanResult>(); };
        services.listVolumes = [] { return std::vector<VolumeInfo>{}; };
        services.isDemo = [] { return false; };
        services.emptyTrash = [this] {
            ++trashRuns;
            released.wait();
            return CommandResult{0, ""};
        };
        services.runCommand = [this](const std::string&, const std::vector<std::string>&) {
            ++commandRuns;
            released.wait();
            return CommandResult{0, ""};
        };
        state = std::make_unique<AppState>(std::move(services));
    }
    ~HeldCommands() { settle(); }
};

class EmptyTrashGuardTest : public ::testing::Test {
    PrivatePrefs prefs_;
};

// A second request while the first runs is dropped (it would credit the same Trash twice); once
// the first has finished, a new request runs again.
TEST_F(EmptyTrashGuardTest, OneRunAtATimeThenFreeAgain) {
    struct Case {
        const char* name;
        void (AppState::*request)();
        std::atomic<int> HeldCommands::*runs;
        const char* toast;
    };
    const Case cases[] = {
        {"trash", &AppState::emptyTrash, &HeldCommands::trashRuns, "Trash emptied"},
        {"simulators", &AppState::removeUnavailableSimulators, &HeldCommands::commandRuns,
         "Removed unavailable simulators"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeldCommands h;
        (h.state.get()->*c.request)();
        (h.state.get()->*c.request)();
        (h.state.get()->*c.request)();
        h.release.set_value();
        settle();
        EXPECT_EQ(h.*c.runs, 1);
        ASSERT_TRUE(h.state->toast());
        EXPECT_EQ(h.state->toast()->message, c.toast);
        EXPECT_EQ(h.state->sessionFreed(), 0);

        h.state->setToast(std::nullopt);
        (h.state.get()->*c.request)();
        settle();
        EXPECT_EQ(h.*c.runs, 2);
        EXPECT_TRUE(h.state->toast());
    }
}

}  // namespace
}  // namespace nimbrel
