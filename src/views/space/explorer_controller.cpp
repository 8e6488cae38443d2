#include "views/space/explorer_controller.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QStyleHints>

#include "model/app_state.h"
#include "views/kit/path_actions.h"
#include "views/space/entry_rules.h"
#include "views/space/explorer_view.h"

namespace nimbrel {

ExplorerController::ExplorerController(SpaceViewModel& model, ExplorerView& view)
    : QObject(&view), vm_(model), view_(view) {}

std::optional<int> ExplorerController::tileAt(QPointF at) const {
    return view_.geometryNow().indexAt(at + QPointF(0, view_.scrollTop()));
}

std::optional<int> ExplorerController::entryAt(QPointF at) const {
    const auto index = tileAt(at);
    return index && vm_.tile(*index).entry ? index : std::nullopt;
}

void ExplorerController::mouseMoved(QPointF at) {
    if (const auto index = entryAt(at)) {
        vm_.hoverEntered(vm_.tileId(*index));
    } else if (vm_.hovered()) {
        vm_.hoverLeft(*vm_.hovered());
    }
}

void ExplorerController::left() {
    if (vm_.hovered()) vm_.hoverLeft(*vm_.hovered());
}

void ExplorerController::pressed(QPointF at) {
    const QStyleHints* hints = QGuiApplication::styleHints();
    pressCount_ = clicks_.press(at.toPoint(), std::chrono::steady_clock::now(),
                                hints->mouseDoubleClickInterval(), hints->startDragDistance());
    pressed_ = tileAt(at);
}

void ExplorerController::released(QPointF at, Qt::KeyboardModifiers modifiers) {
    const ClickInfo click = ClickInfo::left(pressCount_, modifiers);
    const QPointF content = at + QPointF(0, view_.scrollTop());
    const auto index = tileAt(at);
    if (index && index == pressed_) {
        activate(*index, content, click);
    } else if (!index && view_.smallFilesRowRect().contains(content) && !Click::isRepeat(click)) {
        vm_.loadSmallFiles(vm_.currentNode());
    }
    pressed_.reset();
}

void ExplorerController::activate(int index, QPointF at, const ClickInfo& click) {
    if (index >= vm_.tileCount() || !vm_.tile(index).entry) return;
    const ExplorerEntry entry = *vm_.tile(index).entry;  // a copy: acting may rebuild the list
    const TileGeometry g = view_.tileGeometry(index, entry);
    AppState& state = vm_.state();

    // The selection control and the row's path buttons come before the tile's own click; a lock is
    // no control, so a click on it is a click on the tile.
    switch (g.partAt(at)) {
        case TileGeometry::Part::control:
            if (g.shows.control != EntryRules::Control::select) break;
            view_.setFocus();
            vm_.toggle(entry, click);
            return;
        case TileGeometry::Part::copyPath:
            PathActions::copy(state, {entry.id});
            return;
        case TileGeometry::Part::reveal:
            PathActions::reveal({entry.id});
            return;
        default:
            break;
    }
    const bool hasOpen = entry.node != nullptr;
    const bool hasPreview = !(entry.node && entry.isDirectory);
    const auto outcome = EntryRules::click(click, hasOpen, hasPreview);
    if (outcome == EntryRules::ClickOutcome::ignored) return;
    view_.setFocus();  // the Space key reaches the explorer after any click on a tile
    switch (outcome) {
        case EntryRules::ClickOutcome::toggle:
            vm_.toggle(entry, click);
            break;
        case EntryRules::ClickOutcome::open:
            vm_.openFolder(entry.node, click);
            break;
        case EntryRules::ClickOutcome::preview:
            emit previewRequested(entry.id);
            break;
        default:
            break;
    }
}

bool ExplorerController::keyPressed(const QKeyEvent& event) {
    return event.key() == Qt::Key_Space && event.modifiers() == Qt::NoModifier && vm_.spaceKey();
}

void ExplorerController::contextMenu(QPoint at, QPoint globalAt) {
    const auto index = entryAt(at);
    if (!index) return;
    const ExplorerEntry entry = *vm_.tile(*index).entry;
    AppState& state = vm_.state();
    QMenu menu(&view_);
    const bool included = state.queue().includes(entry.id);
    menu.addAction(included ? ExplorerView::tr("Deselect") : ExplorerView::tr("Select for Cleaning"),
                   [&] { vm_.toggle(entry, ClickInfo::none()); });
    if (entry.node)
        menu.addAction(ExplorerView::tr("Open"), [&] { vm_.openFolder(entry.node, ClickInfo::none()); });
    if (!(entry.node && entry.isDirectory))
        menu.addAction(PathActions::previewTitle(), [&] { emit previewRequested(entry.id); });
    menu.addAction(PathActions::revealTitle(), [&] { PathActions::reveal({entry.id}); });
    menu.addAction(ExplorerView::tr("Copy Path"), [&] { PathActions::copy(state, {entry.id}); });
    menu.exec(globalAt);
}

QString ExplorerController::toolTipAt(QPointF at) {
    const auto index = entryAt(at);
    if (!index) return {};
    const ExplorerTile& t = vm_.tile(*index);
    const ExplorerEntry& e = *t.entry;
    const TileGeometry g = view_.tileGeometry(*index, e);
    const TileGeometry::Part part = g.partAt(at + QPointF(0, view_.scrollTop()));
    if (part == TileGeometry::Part::control && g.shows.control == EntryRules::Control::lock)
        return ExplorerView::tr("Kept by the safety guard. Open it to clean inside");
    if (vm_.layout() == ExplorerLayout::icons && part == TileGeometry::Part::control)
        return vm_.state().queue().includes(e.id) ? ExplorerView::tr("Deselect")
                                                  : ExplorerView::tr("Select for cleaning");
    if (part == TileGeometry::Part::riskMark)
        return ExplorerView::tr("%1: %2").arg(QString::fromStdString(e.risk.title),
                                              QString::fromStdString(e.risk.why));
    return EntryRules::help(e, t.condition, vm_.layout(), e.node != nullptr, vm_.state().queue());
}

}  // namespace nimbrel
