#include "views/shell/main_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <algorithm>

#include "theme/appearance.h"
#include "theme/palette.h"
#include "views/files/files_hooks.h"
#include "views/kit/focus_order.h"
#include "views/kit/modal_host.h"
#include "views/kit/selection_bar.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/shell/toast_overlay.h"

namespace nimbrel {

MainWindow::MainWindow(AppState& state, const NimbrelCommands& commands, QWidget* parent)
    : QMainWindow(parent), state_(state) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Nimbrel"));
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kDefaultWidth, kDefaultHeight);
    AppearanceOf::set(this, Appearance::dark);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Palette::canvas().resolve(Appearance::dark));
    pal.setColor(QPalette::WindowText, Palette::ink().resolve(Appearance::dark));
    pal.setColor(QPalette::Text, Palette::ink().resolve(Appearance::dark));
    pal.setColor(QPalette::Highlight, Palette::accent().resolve(Appearance::dark));
    setPalette(pal);

    // On macOS the menus go to the global menu bar; elsewhere the window shows them above the top bar
    // (drawn in the theme, see Chrome), so every command, the Go menu's section entries included, is
    // reachable with the mouse and shows its shortcut.
    commands.fillMenuBar(menuBar());
    menuBar()->setNativeMenuBar(true);
    commands.attachTo(this);
    // The scrim covers the whole window: its menus rest while a sheet is presented.
    const auto followSheet = [this] { menuBar()->setEnabled(!ModalHost::isPresented(state_)); };
    connect(&state_, &AppState::isReviewingChanged, this, followSheet);
    connect(&state_, &AppState::confirmChanged, this, followSheet);
    connect(&state_, &AppState::deletionFailuresChanged, this, followSheet);
    connect(&state_, &AppState::errorMessageChanged, this, followSheet);
    buildRoot();
}

void MainWindow::buildRoot() {
    root_ = new RootView(state_, this);
    connect(root_, &RootView::settingsRequested, this, &MainWindow::settingsRequested);
    setCentralWidget(root_);
    installFilesCards();
    root_->setSelectionBar(new SelectionBar(state_));
    root_->setModalHost(new ModalHost(state_));
    root_->setToastOverlay(new ToastOverlay(state_));
    // The window's first focus goes to the content, not to the first button (which would show its
    // keyboard focus ring at launch).
    root_->setFocusPolicy(Qt::ClickFocus);
    root_->setFocus(Qt::OtherFocusReason);
    emit rootViewCreated(root_);
}

QRect MainWindow::firstGeometry(const QRect& area, const QSize& wanted, const QSize& least) {
    const auto fit = [](int want, int room, int floor) { return std::max(floor, std::min(want, room)); };
    const QSize size(fit(wanted.width(), area.width() - kFrameAllowanceWidth, least.width()),
                     fit(wanted.height(), area.height() - kFrameAllowanceHeight, least.height()));
    const QSize frame = size + QSize(kFrameAllowanceWidth, kFrameAllowanceHeight);
    return {area.topLeft() + QPoint(std::max(0, area.width() - frame.width()) / 2,
                                    std::max(0, area.height() - frame.height()) / 2),
            size};
}

void MainWindow::placeFirst(QWidget* window, const QScreen* screen, const QSize& wanted, const QSize& least) {
    if (!screen) return;
    const QRect first = firstGeometry(screen->availableGeometry(), wanted, least);
    if (window->minimumSize() == window->maximumSize())
        window->setFixedSize(first.size());
    else
        window->resize(first.size());
    window->move(first.topLeft());
}

void MainWindow::bringForward() {
    if (closed_) {
        closed_ = false;
        buildRoot();
    }
    // The default size can be taller than a small or scaled screen (1920x1080 at 1.5 leaves about
    // 1280x720): the window, with its selection bar at the bottom, opens inside the free area.
    if (!sized_) {
        sized_ = true;
        placeFirst(this, screen(), {kDefaultWidth, kDefaultHeight}, {kMinWidth, kMinHeight});
    }
    show();
    raise();
    activateWindow();
}

bool MainWindow::focusNextPrevChild(bool next) {
    if (!ModalHost::isPresented(state_)) return FocusOrder::move(this, next);
    auto* host = root_ ? qobject_cast<ModalHost*>(root_->modalHost()) : nullptr;
    QWidget* card = host ? host->card() : nullptr;
    if (!card || !card->isVisible()) return true;  // the card is still coming in: nothing to go to
    if (!FocusOrder::move(card, next)) card->setFocus(Qt::OtherFocusReason);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    closed_ = true;
    QMainWindow::closeEvent(event);
}

}  // namespace nimbrel
