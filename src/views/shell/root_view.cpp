#include "views/shell/root_view.h"

#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>

#include "engine/demo.h"
#include "model/background.h"
#include "theme/backdrop.h"
#include "theme/motion.h"
#include "views/kit/selection_bar.h"
#include "views/shell/area_views.h"
#include "views/shell/drop_hint.h"
#include "views/shell/drop_policy.h"
#include "views/shell/snapshot_fade.h"
#include "views/shell/top_bar.h"

namespace nimbrel {

namespace {

constexpr double kDetailFadeSeconds = 0.18;
constexpr int kSelectionBarGap = 16;
const Spring kSelectionBarSpring{0.4, 0.85};

MotionSpec detailFade() {
    return timingCurve(0.23, 1, 0.32, 1, kDetailFadeSeconds);
}

}  // namespace

RootView::RootView(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), dropOpacity_(0), barShown_(0) {
    setAcceptDrops(true);
    setAutoFillBackground(false);

    backdrop_ = new NimbrelBackdrop(this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    topBar_ = new TopBar(state_, this);
    column->addWidget(topBar_);
    detailHost_ = new QWidget(this);
    auto* hostLayout = new QVBoxLayout(detailHost_);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    column->addWidget(detailHost_, 1);
    connect(topBar_, &TopBar::settingsRequested, this, &RootView::settingsRequested);

    dropHint_ = new DropHint(this);
    dropHint_->setOpacity(0);
    dropHint_->hide();
    connect(&dropOpacity_, &AnimatedValue::changed, this, [this](double v) {
        dropHint_->setOpacity(v);
        dropHint_->setVisible(v > 0);
    });

    connect(&barShown_, &AnimatedValue::changed, this, &RootView::layoutOverlays);
    connect(&state_, &AppState::sectionChanged, this, &RootView::followSection);
    connect(&state_.queue(), &CleanQueue::itemsChanged, this, &RootView::followQueue);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) applicationActivated();
    });

    detailSection_ = state_.section().value_or(SidebarItem::overview);
    detail_ = makeAreaView(state_, detailSection_, detailHost_);
    hostLayout->addWidget(detail_);
    restack();
}

void RootView::followSection() {
    const SidebarItem section = state_.section().value_or(SidebarItem::overview);
    if (section == detailSection_ && detail_) return;
    detailSection_ = section;
    QPixmap picture;
    if (detail_ && detail_->isVisible() && !detail_->size().isEmpty()) picture = detail_->grab();
    QWidget* old = detail_;
    detail_ = makeAreaView(state_, section, detailHost_);
    detailHost_->layout()->addWidget(detail_);
    if (old) {
        old->hide();
        old->deleteLater();
    }
    if (!picture.isNull()) {
        delete fade_.data();
        fade_ = new SnapshotFade(picture, detailFade(), detailHost_);
        fade_->setGeometry(detailHost_->rect());
        fade_->show();
        fade_->raise();
    }
}

void RootView::followQueue() {
    if (!selectionBar_) return;
    const bool shown = !state_.queue().items().empty();
    barShown_.springTo(shown ? 1 : 0, kSelectionBarSpring);
    if (shown) selectionBar_->show();
    layoutOverlays();
}

void RootView::setSelectionBar(QWidget* bar) {
    delete selectionBar_.data();
    selectionBar_ = bar;
    if (bar) bar->setParent(this);
    barShown_.setImmediate(state_.queue().items().empty() ? 0 : 1);
    restack();
}

void RootView::setModalHost(QWidget* host) {
    delete modalHost_.data();
    modalHost_ = host;
    if (host) host->setParent(this);
    restack();
}

void RootView::setToastOverlay(QWidget* overlay) {
    delete toastOverlay_.data();
    toastOverlay_ = overlay;
    if (overlay) {
        overlay->setParent(this);
        overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    restack();
}

void RootView::restack() {
    backdrop_->lower();
    dropHint_->raise();
    if (selectionBar_) selectionBar_->raise();
    if (modalHost_) modalHost_->raise();
    if (toastOverlay_) toastOverlay_->raise();
    layoutOverlays();
}

void RootView::layoutOverlays() {
    backdrop_->setGeometry(rect());
    // The hint covers the whole view, top bar too: a drop is taken anywhere on it.
    dropHint_->setGeometry(rect());
    if (fade_) fade_->setGeometry(detailHost_->rect());
    if (selectionBar_) {
        const QSize hint = selectionBar_->sizeHint();
        const int w = std::min(hint.width(), width());
        const double shown = barShown_.value();
        const int restY = height() - kSelectionBarGap - hint.height();
        const int y = static_cast<int>(restY + (1 - shown) * (hint.height() + kSelectionBarGap));
        selectionBar_->setGeometry((width() - w) / 2, y, w, hint.height());
        selectionBar_->setVisible(shown > 0.001 || !state_.queue().items().empty());
        // It fades on the same spring as it moves (a spring's overshoot stays fully shown).
        if (auto* bar = qobject_cast<SelectionBar*>(selectionBar_)) bar->setOpacity(shown);
    }
    if (modalHost_) modalHost_->setGeometry(rect());
    if (toastOverlay_) toastOverlay_->setGeometry(rect());
}

void RootView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutOverlays();
}

void RootView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (launched_) return;
    launched_ = true;
    // The state runs its launch work once per process; a reopened window calls it again harmlessly.
    state_.onLaunch();
}

void RootView::applicationActivated() {
    state_.checkFullDiskAccess();
    // The state's own notion of demo mode, so the sample volume list stays as launch installed it.
    const bool demo = state_.services().isDemo ? state_.services().isDemo() : Demo::isOn();
    if (!demo) state_.refreshVolumes();
}

void RootView::setDropTargeted(bool targeted) {
    if (dropTargeted_ == targeted) return;
    dropTargeted_ = targeted;
    if (targeted) dropHint_->show();
    dropOpacity_.animateTo(targeted ? 1 : 0, detailFade());
}

void RootView::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData() || !DropPolicy::carriesLocalFiles(*event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setDropTargeted(true);
}

void RootView::dragMoveEvent(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void RootView::dragLeaveEvent(QDragLeaveEvent* event) {
    QWidget::dragLeaveEvent(event);
    setDropTargeted(false);
}

void RootView::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    const std::optional<std::string> path =
        event->mimeData() ? DropPolicy::pathToScan(*event->mimeData()) : std::nullopt;
    if (!path) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Whether it is a folder is read on a worker, so a dropped path on a share that stopped
    // answering never freezes the window; anything but a folder is then left alone.
    Background::run(
        Background::userInitiated(), this, [path = *path] { return DropPolicy::isFolderItself(path); },
        [this, path = *path](bool folder) {
            if (folder) state_.scan(path);
        });
}

}  // namespace nimbrel
