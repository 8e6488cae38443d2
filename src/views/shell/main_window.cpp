#include "views/shell/main_window.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "theme/appearance.h"
#include "theme/palette.h"
#include "views/files/files_hooks.h"
#include "views/files/selection_bar.h"
#include "views/shell/modal_host.h"
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

    commands.fillMenuBar(menuBar());
    // On macOS the menus go to the global menu bar; elsewhere an in-window bar would push the top bar
    // down, so it stays hidden and the window carries the shortcuts itself.
#ifndef Q_OS_MACOS
    menuBar()->hide();
#endif
    commands.attachTo(this);
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

void MainWindow::bringForward() {
    if (closed_) {
        closed_ = false;
        buildRoot();
    }
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    closed_ = true;
    QMainWindow::closeEvent(event);
}

}  // namespace nimbrel
