// The Deep Clean area on the sample data: the top of the screen, the drains at the bottom, a filter
// with a search that matches nothing, and a selection with an opened location.
#include "deep_clean_shots.h"

#include <QCoreApplication>
#include <QDir>
#include <QScrollBar>
#include <cstdio>

#include "model/app_state.h"
#include "shot_capture.h"
#include "theme/chip.h"
#include "theme/fading_scroll.h"
#include "theme/nimbrel_button.h"
#include "theme/search_field.h"
#include "views/deepclean/safe_header.h"
#include "views/deepclean/steam_view.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"

using namespace nimbrel;

int shootDeepClean(const QString& outDir) {
    AppStateServices services = AppStateServices::standard();
    services.arguments = [] { return std::vector<std::string>{"nimbrel-shot", "-demo"}; };
    ShotWindow opened(services, {MainWindow::kDefaultWidth, MainWindow::kDefaultHeight}, true);
    AppState& state = opened.state;
    MainWindow& window = opened.window;
    state.setSection(SidebarItem::cleanup);
    settleForShot();

    int failures = 0;
    auto shot = [&](const char* name) {
        if (!saveShot(window, outDir, QString::fromLatin1(name))) ++failures;
    };
    SteamView* view = window.findChild<SteamView*>();
    if (!view) {
        std::fprintf(stderr, "no Deep Clean view\n");
        return 1;
    }
    shot("deep-clean-demo");

    view->safeHeader()->selectButton()->click();
    view->toggle("caches");
    shot("deep-clean-selected");

    QScrollBar* bar = view->scroll()->verticalScrollBar();
    bar->setValue(bar->maximum());
    shot("deep-clean-drains");
    bar->setValue(0);

    view->chips()[2]->click();  // "Look first"
    shot("deep-clean-look-first");
    view->searchField()->setText(QStringLiteral("no such junk"));
    shot("deep-clean-nothing-matches");
    return failures;
}
