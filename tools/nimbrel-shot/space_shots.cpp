#include "space_shots.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <memory>

#include "model/app_state.h"
#include "shot_capture.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

namespace nimbrel {

namespace {

// A scanner that reports a few top-level entries and then waits until it is cancelled.
AppStateServices discoveringServices(std::shared_ptr<std::atomic<bool>> stop) {
    AppStateServices s = AppStateServices::standard();
    s.isDemo = [] { return false; };
    s.arguments = [] { return std::vector<std::string>{"nimbrel-shot"}; };
    s.scanner = [stop](const std::string& root, const ScanOptions&, std::int64_t, const CancelToken& token,
                       const DiskScanner::ProgressCallback& report) -> std::shared_ptr<ScanResult> {
        DiscoveredListBuilder found;
        found.append({root + "/Library", "Library", 41'200'000'000, true, std::nullopt, false});
        found.append({root + "/Movies", "Movies", 18'900'000'000, true, std::nullopt, false});
        found.append({root + "/node_modules", "node_modules", 2'100'000'000, true, "npm", false});
        found.append({root + "/.cache", ".cache", 3'400'000'000, true, std::nullopt, false});
        found.append({root + "/Ubuntu.iso", "Ubuntu.iso", 4'700'000'000, false, std::nullopt, false});
        found.append({root + "/Projects", "Projects", 0, true, std::nullopt, true});
        ScanProgress progress;
        progress.filesScanned = 48213;
        progress.bytesScanned = 73'400'000'000;
        progress.currentPath = root + "/Projects/app/build/intermediates/classes/release/com/example";
        progress.discovered = found.snapshot();
        report(progress);
        while (!token.isCancelled() && !stop->load())
            QThread::msleep(5);
        return nullptr;
    };
    return s;
}

}  // namespace

int shootSpace(const QString& dir, const QSize& size, const QString& suffix) {
    int failed = 0;
    {
        auto stop = std::make_shared<std::atomic<bool>>(false);
        AppState state(discoveringServices(stop));
        state.setRecents({"/", QDir::homePath().toStdString(), QDir::homePath().toStdString() + "/Projects"});
        NimbrelCommands commands(state, {});
        MainWindow window(state, commands);
        window.resize(size);
        window.show();
        settleForShot();
        failed += saveShot(window, dir, QStringLiteral("space-welcome") + suffix) ? 0 : 1;
        state.setHasFullDiskAccess(false);
        failed += saveShot(window, dir, QStringLiteral("space-welcome-no-access") + suffix) ? 0 : 1;
        state.scan(QDir::homePath().toStdString());
        QThread::msleep(80);
        failed += saveShot(window, dir, QStringLiteral("space-discovering") + suffix) ? 0 : 1;
        stop->store(true);
        state.cancelScan();
        settleForShot();
    }
    {
        AppState state;
        state.onLaunch();
        NimbrelCommands commands(state, {});
        MainWindow window(state, commands);
        window.resize(size);
        window.show();
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
        const auto root = state.result()->root;
        std::shared_ptr<DirNode> deepest;
        for (const auto& child : root->children)
            if (!child->children.empty() && (!deepest || child->size > deepest->size)) deepest = child;
        space->model().setLayout(ExplorerLayout::list);
        if (!root->files.empty()) state.queue().add(ExplorerEntry::fromFile(root->files.front()).cleanItem());
        failed += saveShot(window, dir, QStringLiteral("space-list") + suffix) ? 0 : 1;
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
    return failed;
}

}  // namespace nimbrel
