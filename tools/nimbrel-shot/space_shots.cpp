#include "space_shots.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <memory>

#include "model/app_state.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

namespace nimbrel {

namespace {

void settleEvents() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

int save(QWidget& window, const QString& dir, const QString& name) {
    settleEvents();
    const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%s\n", qPrintable(path));
    return 0;
}

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
        settleEvents();
        failed += save(window, dir, QStringLiteral("space-welcome") + suffix);
        state.setHasFullDiskAccess(false);
        failed += save(window, dir, QStringLiteral("space-welcome-no-access") + suffix);
        state.scan(QDir::homePath().toStdString());
        QThread::msleep(80);
        failed += save(window, dir, QStringLiteral("space-discovering") + suffix);
        stop->store(true);
        state.cancelScan();
        settleEvents();
    }
    {
        AppState state;
        state.onLaunch();
        NimbrelCommands commands(state, {});
        MainWindow window(state, commands);
        window.resize(size);
        window.show();
        state.setSection(SidebarItem::overview);
        settleEvents();
        auto* space = window.findChild<SpaceView*>();
        if (!space || !state.result()) {
            std::fprintf(stderr, "no Space view or no sample result\n");
            return failed + 1;
        }
        space->model().setLayout(ExplorerLayout::icons);
        failed += save(window, dir, QStringLiteral("space-icons") + suffix);
        // Something selected, something inside it, and the hover look.
        const auto root = state.result()->root;
        std::shared_ptr<DirNode> deepest;
        for (const auto& child : root->children)
            if (!child->children.empty() && (!deepest || child->size > deepest->size)) deepest = child;
        space->model().setLayout(ExplorerLayout::list);
        if (!root->files.empty()) state.queue().add(ExplorerEntry::fromFile(root->files.front()).cleanItem());
        failed += save(window, dir, QStringLiteral("space-list") + suffix);
        if (deepest) {
            state.queue().add(ExplorerEntry::fromNode(deepest).cleanItem());
            state.setFolderFocus(deepest->path());
            failed += save(window, dir, QStringLiteral("space-folder-list") + suffix);
            space->model().setLayout(ExplorerLayout::icons);
            failed += save(window, dir, QStringLiteral("space-folder-icons") + suffix);
        }
        space->model().setSearch(QStringLiteral("zzzz"));
        failed += save(window, dir, QStringLiteral("space-nothing-matches") + suffix);
        space->model().setLayout(ExplorerLayout::icons);
    }
    return failed;
}

}  // namespace nimbrel
