#include "views/shell/nimbrel_commands.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "engine/host_layout.h"
#include "views/kit/modal_host.h"
#include "views/kit/navigation.h"
#include "views/kit/shortcuts.h"

namespace nimbrel {

NimbrelCommands::NimbrelCommands(AppState& state, Hooks hooks, QObject* parent)
    : QObject(parent), state_(state), hooks_(std::move(hooks)) {
    scanFolder_ = make(tr("Scan Folder…"), Shortcuts::scanFolder, [this] { state_.chooseFolderAndScan(); });
    scanHome_ =
        make(tr("Scan Home Folder"), Shortcuts::scanHome, [this] { state_.scan(Navigation::home(state_)); });
    scanDisk_ = make(tr("Scan Entire Disk"), Shortcuts::scanDisk, [this] { state_.scan("/"); });
    rescan_ = make(tr("Rescan"), Shortcuts::rescan, [this] {
        // Read when triggered: the target may have changed since the menu was built.
        if (const std::optional<std::string> target = state_.scanTarget()) state_.scan(*target);
    });
    stopScan_ = make(tr("Stop Scan"), Shortcuts::stopScan, [this] { state_.cancelScan(); });

    settings_ = make(tr("Settings…"), Shortcuts::settings, [this] {
        if (hooks_.openSettings) hooks_.openSettings();
    });
    settings_->setMenuRole(QAction::PreferencesRole);
    closeWindow_ = make(tr("Close Window"), Shortcuts::closeWindow, [this] {
        if (hooks_.closeWindow) hooks_.closeWindow();
    });
    quit_ = make(tr("Quit Nimbrel"), Shortcuts::quit, [this] {
        if (hooks_.quit) hooks_.quit();
    });
    quit_->setMenuRole(QAction::QuitRole);

    for (Area area : kAllAreas) {
        areas_.push_back(make(title(area), Shortcuts::area(Navigation::position(area)),
                              [this, area] { Navigation::selectArea(state_, area); }));
    }
    // An area with a single section has an entry above that already goes there: "Space › Space"
    // would only repeat it.
    for (SidebarItem item : kAllSidebarItems) {
        if (items(area(item)).size() < 2) continue;
        sections_.push_back(make(sectionEntryTitle(item), {}, [this, item] { state_.setSection(item); }));
    }
    for (QAction* action : allActions())
        if (quietUnderSheet(action)) action->installEventFilter(this);
}

bool NimbrelCommands::quietUnderSheet(const QAction* action) const {
    return action != settings_ && action != closeWindow_ && action != quit_;
}

bool NimbrelCommands::eventFilter(QObject* watched, QEvent* event) {
    // Only the key path is held back: a menu entry chosen with the mouse triggers the action directly.
    if (event->type() == QEvent::Shortcut && ModalHost::isPresented(state_)) return true;
    return QObject::eventFilter(watched, event);
}

QAction* NimbrelCommands::make(const QString& text, const QKeySequence& keys, std::function<void()> run) {
    auto* action = new QAction(text, this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::ApplicationShortcut);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return action;
}

QString NimbrelCommands::sectionEntryTitle(SidebarItem item) {
    return tr("%1 › %2").arg(title(area(item)), title(item));
}

QList<QAction*> NimbrelCommands::allActions() const {
    QList<QAction*> all{scanFolder_, scanHome_, scanDisk_,    rescan_,
                        stopScan_,   settings_, closeWindow_, quit_};
    for (QAction* a : areas_)
        all.append(a);
    for (QAction* a : sections_)
        all.append(a);
    return all;
}

void NimbrelCommands::attachTo(QWidget* window) const {
    window->addActions(allActions());
}

void NimbrelCommands::fillMenuBar(QMenuBar* bar) const {
    QMenu* file = bar->addMenu(tr("&File"));
    file->addActions({scanFolder_, scanHome_, scanDisk_});
    file->addSeparator();
    file->addActions({rescan_, stopScan_});
    file->addSeparator();
    file->addActions({settings_, closeWindow_, quit_});
    QMenu* go = bar->addMenu(tr("&Go"));
    for (QAction* a : areas_)
        go->addAction(a);
    go->addSeparator();
    for (QAction* a : sections_)
        go->addAction(a);
}

}  // namespace nimbrel
