#include "model/selection.h"

#include <utility>

#include "engine/path_rules.h"
#include "engine/scan_result.h"
#include "model/clean_queue.h"

namespace nimbrel {

Selection::Selection(CleanQueue& queue, std::function<const ScanResult*()> tree)
    : queue_(queue), tree_(std::move(tree)) {}

bool Selection::includes(const CleanQueue& queue, const CleanItem& item) {
    if (item.kind == CleanItem::Kind::junk) return queue.contains(item.id);
    return queue.includes(item.id);
}

std::optional<CleanItem> Selection::heldBy(const CleanQueue& queue, const CleanItem& item) {
    if (item.kind == CleanItem::Kind::junk) return std::nullopt;
    return heldBy(queue, item.id);
}

std::optional<CleanItem> Selection::heldBy(const CleanQueue& queue, const std::string& path) {
    if (queue.contains(path)) return std::nullopt;
    return queue.covering(path);
}

Selection::Toggled Selection::toggle(const CleanItem& item) {
    if (heldBy(queue_, item)) return *leaveOut(item.id);
    Last last{item.id, std::nullopt, 0};
    Toggled toggled;
    if (queue_.contains(item.id)) {
        queue_.remove(item.id);
        toggled.outcome = Outcome::removed;
    } else {
        // Only an add that drops others on its way in needs the whole list kept for the undo; a
        // plain toggle is undone by toggling back, whatever the size of the selection.
        if (item.kind != CleanItem::Kind::junk && queue_.holdsInside(item.id)) last.before = queue_.items();
        queue_.add(item);
    }
    last.after = queue_.generation();
    last_ = std::move(last);
    return toggled;
}

void Selection::undo(const CleanItem& item) {
    std::optional<Last> last = std::exchange(last_, std::nullopt);
    if (last && last->before && last->id == item.id && last->after == queue_.generation()) {
        queue_.setItems(std::move(*last->before));
    } else if (queue_.contains(item.id)) {
        queue_.remove(item.id);
    } else {
        queue_.add(item);
    }
}

std::optional<Selection::Toggled> Selection::leaveOut(const std::string& path) {
    std::optional<CleanItem> cover = queue_.covering(path);
    if (!cover) return std::nullopt;
    const ScanResult* tree = tree_();
    std::shared_ptr<DirNode> folder = tree ? tree->node(cover->id) : nullptr;
    if (!folder) return Toggled{Outcome::keptWhole, std::move(cover), 0};

    std::vector<CleanItem> kept;
    std::int64_t loose = folder->smallFilesSize();
    const DirNode* current = folder.get();
    for (;;) {
        std::string prefix = current->path();
        if (!prefix.ends_with('/')) prefix += '/';
        const DirNode* next = nullptr;
        for (const auto& child : current->children()) {
            if (PathRules::isAtOrInside(path, prefix + child->name)) {
                next = child.get();
                break;
            }
        }
        for (const auto& child : current->children())
            if (child.get() != next && child->size() > 0)
                kept.push_back(CleanItem::folder(*child, cover->source));
        for (const FileItem& file : current->files())
            if (file.path != path) kept.push_back(CleanItem::file(file, cover->source));
        if (!next || prefix + next->name == path) break;
        loose += next->smallFilesSize();
        current = next;
    }

    queue_.remove(cover->id);
    queue_.add(kept);
    last_.reset();  // the list it kept is stale now
    return Toggled{Outcome::leftOut, std::move(cover), loose};
}

}  // namespace nimbrel
