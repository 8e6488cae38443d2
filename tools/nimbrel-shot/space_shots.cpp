#include "space_shots.h"

#include <QCoreApplication>
#include <QDir>
#include <QScrollBar>
#include <QThread>
#include <QVariantAnimation>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

#include "engine/host_layout.h"
#include "engine/tree_build.h"
#include "model/app_state.h"
#include "shot_capture.h"
#include "theme/animated_value.h"
#include "theme/motion.h"
#include "theme/rolling_text.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

namespace nimbrel {

namespace {

// What a scan of `root` has found so far; `later` is the same a moment on, the folders grown.
ScanProgress discoveredSoFar(const std::string& root, bool later) {
    const std::int64_t more = later ? 1 : 0;
    DiscoveredListBuilder found;
    found.append(
        {root + "/Library", "Library", 41'200'000'000 + more * 2'300'000'000, true, std::nullopt, false});
    found.append(
        {root + "/Movies", "Movies", 18'900'000'000 + more * 140'000'000, true, std::nullopt, false});
    found.append({root + "/node_modules", "node_modules", 2'100'000'000, true, "npm", false});
    found.append({root + "/.cache", ".cache", 3'400'000'000 + more * 90'000'000, true, std::nullopt, false});
    found.append({root + "/Ubuntu.iso", "Ubuntu.iso", 4'700'000'000, false, std::nullopt, false});
    found.append({root + "/Projects", "Projects", more * 812'000'000, true, std::nullopt, true});
    ScanProgress progress;
    progress.filesScanned = 48213 + more * 6107;
    progress.bytesScanned = 73'400'000'000 + more * 3'342'000'000;
    progress.currentPath = root + "/Projects/app/build/intermediates/classes/release/com/example";
    progress.discovered = found.snapshot();
    return progress;
}

// A scanner that reports a few top-level entries and then waits until it is cancelled.
AppStateServices discoveringServices(std::shared_ptr<std::atomic<bool>> stop) {
    AppStateServices s = liveServices();
    s.scanner = [stop](const std::string& root, const ScanOptions&, std::int64_t, const CancelToken& token,
                       const DiskScanner::ProgressCallback& report) -> std::shared_ptr<ScanResult> {
        report(discoveredSoFar(root, false));
        while (!token.isCancelled() && !stop->load())
            QThread::msleep(5);
        return nullptr;
    };
    return s;
}

// A downloads folder whose entries carry every kind of mark a list row shows: the risk badges of
// caution and danger, grime, heavy.
std::shared_ptr<ScanResult> markedDownloads() {
    const std::string root = HostLayout::current().home + "/Downloads";
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>(root, nullptr));
    TreeBuild::setSize(*result->root(), 60'000'000'000);
    TreeBuild::setFileCount(*result->root(), 3605);
    auto addFolder = [&](const std::string& name, std::int64_t size, std::optional<std::string> kind) {
        auto node = std::make_shared<DirNode>(name, result->root().get());
        TreeBuild::setSize(*node, size);
        TreeBuild::setFileCount(*node, 1200);
        TreeBuild::markArtifact(*node, std::move(kind));
        TreeBuild::addChild(*result->root(), node);
    };
    addFolder("slack-desktop-4.41.105-amd64", 2'400'000'000, std::nullopt);
    addFolder("node_modules", 1'900'000'000, "npm");
    addFolder("tmp", 800'000'000, std::nullopt);
    auto addFile = [&](const std::string& name, std::int64_t size) {
        FileItem f;
        f.path = root + "/" + name;
        f.name = name;
        f.size = size;
        f.category = FileCategory::classify(asciiLower(pathExtension(name)));
        TreeBuild::addFile(*result->root(), f);
    };
    addFile("Windows 11.vdi", 24'000'000'000);
    addFile("ubuntu-24.04-desktop-amd64.iso", 6'100'000'000);
    addFile("slack-desktop-4.41.105-amd64.deb", 82'000'000);
    addFile("deploy.pem", 4'000);
    addFile("notes.txt", 12'000);
    TreeBuild::sortRecursively(*result->root());
    TreeBuild::counts(*result).duration = 3;
    return result;
}

}  // namespace

int shootSpace(const QString& dir, const QSize& size, const QString& suffix) {
    int failed = 0;
    {
        auto stop = std::make_shared<std::atomic<bool>>(false);
        ShotWindow opened(discoveringServices(stop), size);
        AppState& state = opened.state;
        MainWindow& window = opened.window;
        state.setRecents({"/", QDir::homePath().toStdString(), QDir::homePath().toStdString() + "/Projects"});
        settleForShot();
        failed += saveShot(window, dir, QStringLiteral("space-welcome") + suffix) ? 0 : 1;
        state.setHasFullDiskAccess(false);
        // Where there is no such permission, what the last scan could not read stands in for it.
        state.setUnreadable({3, {QDir::homePath().toStdString() + "/locked", "/lost+found"}});
        failed += saveShot(window, dir, QStringLiteral("space-welcome-no-access") + suffix) ? 0 : 1;
        state.scan(QDir::homePath().toStdString());
        QThread::msleep(80);
        failed += saveShot(window, dir, QStringLiteral("space-discovering") + suffix) ? 0 : 1;
        // A moment later the folders have grown: their sizes roll to the new figures (a tenth of the roll's
        // time in).
        if (auto* sizes = window.findChild<RollingFigures*>()) {
            AnimatedValue::setAllInstant(false);
            ReduceMotion::setOverride(false);
            state.setProgress(discoveredSoFar(QDir::homePath().toStdString(), true));
            window.grab();  // the new sizes are drawn once, which starts their roll
            QVariantAnimation& roll = sizes->animation().animation();
            roll.pause();
            roll.setCurrentTime(roll.duration() / 10);
            failed += saveShot(window, dir, QStringLiteral("space-discovering-rolling") + suffix) ? 0 : 1;
            roll.setCurrentTime(roll.duration());
            ReduceMotion::setOverride(true);
            AnimatedValue::setAllInstant(true);
        }
        stop->store(true);
        state.cancelScan();
        settleForShot();
    }
    {
        ShotWindow opened(AppStateServices::standard(), size, true);
        AppState& state = opened.state;
        MainWindow& window = opened.window;
        state.setSection(SidebarItem::overview);
        settleForShot();
        auto* space = window.findChild<SpaceView*>();
        if (!space || !state.result()) {
            std::fprintf(stderr, "no Space view or no sample result\n");
            return failed + 1;
        }
        space->model().setLayout(ExplorerLayout::icons);
        failed += saveShot(window, dir, QStringLiteral("space-icons") + suffix) ? 0 : 1;
        // Something selected, something inside it, and the hover look.
        const auto root = state.result()->root();
        std::shared_ptr<DirNode> deepest;
        for (const auto& child : root->children())
            if (!child->children().empty() && (!deepest || child->size() > deepest->size())) deepest = child;
        space->model().setLayout(ExplorerLayout::list);
        if (!root->files().empty())
            state.queue().add(ExplorerEntry::fromFile(root->files().front()).cleanItem());
        failed += saveShot(window, dir, QStringLiteral("space-list") + suffix) ? 0 : 1;
        // Scrolled to the end: the last row's size stays clear of the resting steamer.
        QScrollBar* scroll = space->explorer()->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        failed += saveShot(window, dir, QStringLiteral("space-list-end") + suffix) ? 0 : 1;
        scroll->setValue(0);
        if (deepest) {
            state.queue().add(ExplorerEntry::fromNode(deepest).cleanItem());
            state.setFolderFocus(deepest->path());
            failed += saveShot(window, dir, QStringLiteral("space-folder-list") + suffix) ? 0 : 1;
            space->model().setLayout(ExplorerLayout::icons);
            failed += saveShot(window, dir, QStringLiteral("space-folder-icons") + suffix) ? 0 : 1;
        }
        space->model().setSearch(QStringLiteral("zzzz"));
        failed += saveShot(window, dir, QStringLiteral("space-nothing-matches") + suffix) ? 0 : 1;
        space->model().setLayout(ExplorerLayout::icons);
    }
    {
        ShotWindow opened(liveServices(), size);
        AppState& state = opened.state;
        MainWindow& window = opened.window;
        state.setResult(markedDownloads());
        state.setSection(SidebarItem::overview);
        settleForShot();
        if (auto* space = window.findChild<SpaceView*>()) {
            space->model().setLayout(ExplorerLayout::list);
            failed += saveShot(window, dir, QStringLiteral("space-list-marks") + suffix) ? 0 : 1;
            space->model().setLayout(ExplorerLayout::icons);
            failed += saveShot(window, dir, QStringLiteral("space-icons-marks") + suffix) ? 0 : 1;
        }
    }
    return failed;
}

}  // namespace nimbrel
