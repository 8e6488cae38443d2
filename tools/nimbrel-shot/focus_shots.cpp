#include "focus_shots.h"

#include <QApplication>
#include <QScrollBar>

#include "model/app_state.h"
#include "shot_capture.h"
#include "theme/nimbrel_button.h"
#include "util/fmt.h"
#include "views/deepclean/safe_header.h"
#include "views/kit/selection_bar.h"
#include "views/shell/area_switcher.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/shell/top_bar.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

namespace nimbrel {

int shootFocus(const QString& dir, const QSize& size, const QString& suffix) {
    int failed = 0;
    ShotWindow opened(AppStateServices::standard(), size, true);
    AppState& state = opened.state;
    MainWindow& window = opened.window;
    // Focus shows only in the active window.
    QApplication::setActiveWindow(&window);
    state.setSection(SidebarItem::overview);
    settleForShot();
    auto* space = window.findChild<SpaceView*>();
    if (!space || !state.result()) return 1;
    const auto root = state.result()->root();
    if (!root->files().empty()) state.queue().add(ExplorerEntry::fromFile(root->files().front()).cleanItem());
    settleForShot();

    TopBar* bar = window.rootView()->topBar();
    auto* selection = qobject_cast<SelectionBar*>(window.rootView()->selectionBar());
    struct Shot {
        QWidget* widget;
        const char* name;
    };
    const Shot shots[] = {
        {bar->areaSwitcher()->pill(Area::files), "focus-area-switcher"},
        {bar->scanButton(), "focus-scan"},
        {selection ? static_cast<QWidget*>(selection->reviewButton()) : nullptr, "focus-review"},
        {space->explorer(), "focus-explorer"}};
    for (const Shot& shot : shots) {
        if (!shot.widget) {
            ++failed;
            continue;
        }
        shot.widget->setFocus(Qt::TabFocusReason);
        failed += saveShot(window, dir, QString::fromLatin1(shot.name) + suffix) ? 0 : 1;
    }

    // The scrolled list at its end and the grid at its end, with the selection bar up: the last row's
    // size and the last tile stand clear of the steamer.
    space->model().setLayout(ExplorerLayout::icons);
    QScrollBar* scroll = space->explorer()->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    failed += saveShot(window, dir, QStringLiteral("space-icons-end") + suffix) ? 0 : 1;
    space->model().setLayout(ExplorerLayout::list);
    scroll->setValue(scroll->maximum());
    failed += saveShot(window, dir, QStringLiteral("space-list-end-selected") + suffix) ? 0 : 1;

    // Deep Clean with nothing safe to clean: the figure and the words after it.
    state.queue().setItems({});
    state.setSection(SidebarItem::cleanup);
    settleForShot();
    if (auto* header = window.findChild<SafeHeader*>()) header->setFigure(Fmt::bytes(0));
    failed += saveShot(window, dir, QStringLiteral("deep-clean-zero") + suffix) ? 0 : 1;
    return failed;
}

}  // namespace nimbrel
