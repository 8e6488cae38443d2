#include "views/space/explorer_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QScrollBar>
#include <unordered_map>

#include "model/app_state.h"
#include "views/space/explorer_view.h"

namespace nimbrel {

namespace {

QString tileText(const char* text) {
    return QCoreApplication::translate("EntryTile", text);
}

// One entry tile, found again by its id on every question, so it never outlives the list it names.
class TileAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    TileAccessible(ExplorerView* view, std::string id) : view_(view), id_(std::move(id)) {}

    bool isValid() const override { return view_ && index().has_value(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_->viewport()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.focusable = true;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        // A ticked tile reads as checked; one only covered by a ticked folder too (it goes with it).
        s.checkable = true;
        const CleanQueue& queue = view_->model().state().queue();
        s.checked = queue.includes(id_) || EntryRules::inherited(id_, queue);
        return s;
    }
    QRect rect() const override {
        const auto i = index();
        if (!i) return {};
        const QRectF r =
            view_->geometryNow().tileRect(*i).translated(0, -view_->verticalScrollBar()->value());
        return QRect(view_->viewport()->mapToGlobal(r.topLeft().toPoint()), r.size().toSize());
    }
    QString text(QAccessible::Text t) const override {
        const ExplorerEntry* e = entry();
        if (!e) return {};
        switch (t) {
            case QAccessible::Name:
                return QString::fromStdString(e->name);
            case QAccessible::Description: {
                const auto i = index();
                const ExplorerTile& tile = view_->model().tile(*i);
                return EntryRules::help(*e, tile.condition, view_->model().layout(), e->node != nullptr,
                                        view_->model().state().queue());
            }
            case QAccessible::Help:
                return e->node ? tileText("Opens the folder.") : tileText("Shows a preview.");
            default:
                return {};
        }
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction(), selectName()}; }
    void doAction(const QString& name) override {
        const ExplorerEntry* e = entry();
        if (!e) return;
        const ExplorerEntry copy = *e;  // acting may rebuild the list
        if (name == selectName()) {
            view_->model().toggle(copy, ClickInfo::none());
        } else if (name == pressAction()) {
            if (copy.node)
                view_->model().openFolder(copy.node, ClickInfo::none());
            else
                emit view_->previewRequested(copy.id);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    std::optional<int> index() const {
        if (!view_) return std::nullopt;
        const auto i = view_->model().indexOf(id_);
        if (!i || !view_->model().tile(*i).entry) return std::nullopt;
        return i;
    }
    const ExplorerEntry* entry() const {
        const auto i = index();
        return i ? &*view_->model().tile(*i).entry : nullptr;
    }
    QString selectName() const {
        return view_ && view_->model().state().queue().includes(id_) ? tileText("Deselect")
                                                                     : tileText("Select for Cleaning");
    }

    QPointer<ExplorerView> view_;
    std::string id_;
};

// The viewport: its children are the entry tiles of the current page.
class ViewportAccessible : public QAccessibleWidget {
  public:
    ViewportAccessible(QWidget* viewport, ExplorerView* view)
        : QAccessibleWidget(viewport, QAccessible::List), view_(view) {}
    ~ViewportAccessible() override {
        for (const auto& [id, handle] : tiles_)
            QAccessible::deleteAccessibleInterface(handle);
    }

    int childCount() const override { return static_cast<int>(entryIds().size()); }
    QAccessibleInterface* child(int index) const override {
        const auto ids = entryIds();
        if (index < 0 || index >= static_cast<int>(ids.size())) return nullptr;
        auto it = tiles_.find(ids[index]);
        if (it == tiles_.end())
            it = tiles_
                     .emplace(ids[index],
                              QAccessible::registerAccessibleInterface(new TileAccessible(view_, ids[index])))
                     .first;
        return QAccessible::accessibleInterface(it->second);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto ids = entryIds();
        for (size_t i = 0; i < ids.size(); ++i) {
            auto it = tiles_.find(ids[i]);
            if (it != tiles_.end() && QAccessible::accessibleInterface(it->second) == child) return int(i);
        }
        return -1;
    }

  private:
    std::vector<std::string> entryIds() const {
        std::vector<std::string> ids;
        if (!view_) return ids;
        SpaceViewModel& model = view_->model();
        const int visible = model.visibleCount();
        // Explorer lists hold only entries; the welcome and discovering lists also placeholders.
        const bool allEntries = model.mode() == SpaceViewModel::Mode::explorer;
        for (int i = 0; i < visible; ++i)
            if (allEntries || model.tile(i).entry) ids.push_back(model.tileId(i));
        return ids;
    }
    QPointer<ExplorerView> view_;
    mutable std::unordered_map<std::string, QAccessible::Id> tiles_;
};

}  // namespace

QAccessibleInterface* ExplorerAccessible::factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    auto* view = qobject_cast<ExplorerView*>(widget->parentWidget());
    if (!view || view->viewport() != widget) return nullptr;
    return new ViewportAccessible(widget, view);
}

void ExplorerAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(&ExplorerAccessible::factory);
        return true;
    }();
    (void)installed;
}

}  // namespace nimbrel
