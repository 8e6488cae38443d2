// nimbrel-shot OUTDIR: writes PNGs of the main window under the offscreen platform: each area on the
// sample data, the scan menu open, a scan in progress and the drop hint, at the default window size,
// at the smallest size the window allows and at 1440 wide.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <memory>

#include "deep_clean_shots.h"
#include "effect_shots.h"
#include "engine/demo.h"
#include "focus_shots.h"
#include "model/app_state.h"
#include "model/prefs.h"
#include "motion_shots.h"
#include "shot_capture.h"
#include "shots_files.h"
#include "shots_modals.h"
#include "space_shots.h"
#include "theme/animated_value.h"
#include "theme/chrome.h"
#include "theme/fonts.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "views/kit/area_header.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/shell/scan_menu.h"
#include "views/shell/top_bar.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

using namespace nimbrel;

namespace {

QString outDir;
int failures = 0;

void save(QWidget& window, const QString& name, QWidget* popup = nullptr) {
    if (!saveShot(window, outDir, name, popup)) ++failures;
}

// A scanner that reports one progress update and then waits until the scan is cancelled.
AppStateServices scanningServices(std::shared_ptr<std::atomic<bool>> stop) {
    AppStateServices s = liveServices();
    s.scanner = [stop](const std::string& root, const ScanOptions&, std::int64_t, const CancelToken& token,
                       const DiskScanner::ProgressCallback& report) -> std::shared_ptr<ScanResult> {
        ScanProgress progress;
        progress.filesScanned = 48213;
        progress.bytesScanned = 73'400'000'000;
        progress.currentPath = root + "/Library/Developer/CoreSimulator/Devices/4F1C/data/Containers/Bundle";
        report(progress);
        while (!token.isCancelled() && !stop->load())
            QThread::msleep(5);
        return nullptr;
    };
    return s;
}

void shootDemo(const QSize& size, const QString& suffix) {
    ShotWindow opened(AppStateServices::standard(), size);
    AppState& state = opened.state;
    MainWindow& window = opened.window;
    settleForShot();

    struct Shot {
        SidebarItem section;
        const char* name;
    };
    const Shot shots[] = {{SidebarItem::overview, "space"},
                          {SidebarItem::largest, "files-biggest"},
                          {SidebarItem::duplicates, "files-twins"},
                          {SidebarItem::cleanup, "deep-clean"}};
    for (const Shot& shot : shots) {
        state.setSection(shot.section);
        save(window, QString::fromLatin1(shot.name) + suffix);
    }
    state.setSection(SidebarItem::overview);

    // The window's menus, each open under its title.
    for (QAction* title : window.menuBar()->actions()) {
        QMenu* menu = title->menu();
        if (!menu) continue;
        window.menuBar()->setActiveAction(title);
        settleForShot();
        save(window, QStringLiteral("menu-") + title->text().remove(QLatin1Char('&')).toLower() + suffix,
             menu);
        menu->hide();
    }

    // A tile's context menu, open where it was asked for (it runs its own loop: the picture is taken
    // from inside it, then the menu is closed).
    if (SpaceView* space = window.findChild<SpaceView*>()) {
        QWidget* viewport = space->explorer()->viewport();
        const QPoint at(90, 60);
        const auto shootAndClose = [&window, suffix](bool shoot) {
            QWidget* popup = QApplication::activePopupWidget();
            if (!popup) return;
            if (shoot) {
                settleForShot();
                save(window, QStringLiteral("menu-tile") + suffix, popup);
            }
            popup->close();
        };
        QTimer::singleShot(0, &window, [shootAndClose] { shootAndClose(true); });
        QTimer::singleShot(2000, &window, [shootAndClose] { shootAndClose(false); });
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &request);
    }

    TopBar* bar = window.rootView()->topBar();
    bar->openScanMenu(ScanMenuPopup::Opened::byMouse);  // as a click opens it
    save(window, QStringLiteral("scan-menu") + suffix, bar->scanMenu());
    bar->closeScanMenu();

    // The header the Files shelves and Deep Clean put at their top, over the window's backdrop.
    for (SidebarItem section : {SidebarItem::duplicates, SidebarItem::cleanup}) {
        state.setSection(section);
        settleForShot();
        auto* header =
            new AreaHeader(state, std::nullopt,
                           new NimbrelButton(QStringLiteral("Sort"), NimbrelButton::Kind::secondary,
                                             NimbrelButton::Size::small),
                           window.rootView()->detail());
        header->setGeometry(0, 0, window.rootView()->detail()->width(), header->sizeHint().height());
        header->show();
        save(window, QStringLiteral("area-header-") + QString::fromLatin1(rawValue(section)) + suffix);
    }
    state.setSection(SidebarItem::overview);

    QMimeData drag;
    drag.setUrls({QUrl::fromLocalFile(QDir::homePath())});
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &drag, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.rootView(), &enter);
    save(window, QStringLiteral("drop-hint") + suffix);
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(window.rootView(), &leave);
}

void shootScanning(const QSize& size, const QString& suffix) {
    auto stop = std::make_shared<std::atomic<bool>>(false);
    ShotWindow opened(scanningServices(stop), size);
    AppState& state = opened.state;
    MainWindow& window = opened.window;
    settleForShot();

    state.setSection(SidebarItem::largest);
    save(window, QStringLiteral("files-before-scan") + suffix);
    state.scan(QDir::homePath().toStdString());
    QThread::msleep(50);
    save(window, QStringLiteral("files-scanning") + suffix);
    state.setSection(SidebarItem::overview);
    save(window, QStringLiteral("space-scanning") + suffix);
    // A folder with a long name: the reading text is cut and leaves the area switcher alone.
    state.scan(QDir::homePath().toStdString() +
               "/Downloads/an-archive-of-every-photo-we-took-on-holiday-2019-2024");
    QThread::msleep(50);
    save(window, QStringLiteral("top-bar-long-name") + suffix);
    stop->store(true);
    state.cancelScan();
    settleForShot();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The sample data, whatever the command line says.
    Demo::setOnForTesting(true);
    QApplication::setOrganizationName(QStringLiteral("NimbrelShot"));
    QApplication::setApplicationName(QStringLiteral("NimbrelShot"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: nimbrel-shot OUTDIR [motion]\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    // Nothing the screenshots do may touch the user's own settings.
    QTemporaryDir store;
    Prefs::useStore(store.filePath(QStringLiteral("prefs.ini")));
    Prefs::registerDefaults();
    Fonts::install();
    Chrome::install();
    MotionClock::freeze(0.8);
    AnimatedValue::setAllInstant(true);
    ReduceMotion::setOverride(true);

    // "nimbrel-shot OUTDIR motion": only the frames caught part of the way through a transition.
    if (argc > 2 && QByteArray(argv[2]) == "motion") return shootMotion(outDir) == 0 ? 0 : 1;
    const QSize sizes[] = {{MainWindow::kDefaultWidth, MainWindow::kDefaultHeight},
                           {MainWindow::kMinWidth, MainWindow::kMinHeight},
                           {1440, 900}};
    const QString suffixes[] = {QStringLiteral("-1240"), QStringLiteral("-860"), QStringLiteral("-1440")};
    for (int i = 0; i < 3; ++i) {
        shootDemo(sizes[i], suffixes[i]);
        shootScanning(sizes[i], suffixes[i]);
        failures += shootSpace(outDir, sizes[i], suffixes[i]);
        failures += shootFocus(outDir, sizes[i], suffixes[i]);
    }
    {
        ShotWindow opened;
        settleForShot();
        failures += shootModals(outDir, opened.state, opened.window);
        failures += shootFiles(outDir, opened.state, opened.window);
    }
    failures += shootDeepClean(outDir);
    failures += shootEffects(outDir);
    failures += shootMotion(outDir);
    return failures == 0 ? 0 : 1;
}
