#include "views/space/space_view.h"

#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

#include "model/app_state.h"
#include "theme/fonts.h"
#include "theme/palette.h"
#include "util/fmt.h"
#include "views/kit/modal_host.h"
#include "views/kit/quick_preview.h"
#include "views/space/explorer_header.h"
#include "views/space/explorer_view.h"
#include "views/space/space_headers.h"

namespace nimbrel {

SpaceView::SpaceView(AppState& state, QWidget* parent) : SpaceView(state, Clock::system(), parent) {}

SpaceView::SpaceView(AppState& state, Clock& clock, QWidget* parent)
    : QWidget(parent), vm_(state, clock, this) {
    setObjectName(QStringLiteral("overview"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    welcome_ = new WelcomeHeader(state, this);
    discovering_ = new DiscoveringHeader(state, this);
    explorerTop_ = new QWidget(this);
    auto* top = new QVBoxLayout(explorerTop_);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    header_ = new ExplorerHeader(vm_, explorerTop_);
    strip_ = new CompositionStrip(state, explorerTop_);
    toolbar_ = new ExplorerToolbar(vm_, explorerTop_);
    top->addWidget(header_);
    auto* stripBox = new QVBoxLayout;
    stripBox->setContentsMargins(32, 0, 32, 16);
    stripBox->addWidget(strip_);
    top->addLayout(stripBox);
    top->addWidget(toolbar_);

    explorer_ = new ExplorerView(vm_, this);
    column->addWidget(welcome_);
    column->addWidget(discovering_);
    column->addWidget(explorerTop_);
    column->addWidget(explorer_, 1);

    // Up one level; a key press is never held back by the mouse guard. It answers wherever the focus
    // is in the window (nothing focused after a sheet or another area, the top bar) while the area
    // is shown: a hidden area's shortcut never fires.
    up_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up), this);
    up_->setContext(Qt::WindowShortcut);
    connect(up_, &QShortcut::activated, this, [this] {
        // Under a sheet the folder behind the scrim stays where it is.
        if (!ModalHost::isPresented(vm_.state())) vm_.goUp(ClickInfo::none());
    });

    connect(&vm_, &SpaceViewModel::changed, this, &SpaceView::refresh);
    connect(explorer_, &ExplorerView::previewRequested, this, &SpaceView::preview);
    refresh();
}

void SpaceView::refresh() {
    const auto mode = vm_.mode();
    welcome_->setVisible(mode == SpaceViewModel::Mode::welcome);
    discovering_->setVisible(mode == SpaceViewModel::Mode::discovering);
    explorerTop_->setVisible(mode == SpaceViewModel::Mode::explorer);
    up_->setEnabled(mode == SpaceViewModel::Mode::explorer && !vm_.stack().empty());
    if (mode == SpaceViewModel::Mode::explorer) {
        header_->refresh();
        toolbar_->refresh();
        strip_->update();
    }
}

// The same preview card as the Files area's: read in the background, regular files only, so a
// pipe or a device in the tree can never hang the window.
void SpaceView::preview(const std::string& path) {
    closePreview();
    previewCard_ = new QuickPreview(
        path, [this] { closePreview(); }, this, &vm_.state().userPool());
    previewCard_->move((width() - previewCard_->width()) / 2, (height() - previewCard_->height()) / 2);
    previewCard_->show();
    previewCard_->raise();
    previewCard_->setFocus();
}

void SpaceView::closePreview() {
    if (!previewCard_) return;
    previewCard_->hide();
    previewCard_->deleteLater();
    previewCard_ = nullptr;
}

}  // namespace nimbrel
