#include "engine/listed_files.h"

#include <algorithm>
#include <tuple>

#include "engine/dir_node.h"

namespace nimbrel {

ListedFiles ListedFiles::of(const DirNode& root) {
    // Sorted by keys copied out of the items, so the sort stays in cache at a million files.
    struct Keyed {
        std::int64_t size;
        std::int64_t id;
        const FileItem* item;
    };
    std::vector<Keyed> keyed;
    std::vector<const DirNode*> pending{&root};
    while (!pending.empty()) {
        const DirNode* node = pending.back();
        pending.pop_back();
        for (const FileItem& f : node->files)
            keyed.push_back({f.size, f.id, &f});
        for (const auto& child : node->children)
            pending.push_back(child.get());
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const Keyed& a, const Keyed& b) { return std::tie(b.size, a.id) < std::tie(a.size, b.id); });
    ListedFiles out;
    out.items_.reserve(keyed.size());
    for (const Keyed& k : keyed)
        out.items_.push_back(k.item);
    return out;
}

ListedFiles::const_iterator ListedFiles::erase(const_iterator first, const_iterator last) {
    const auto from = items_.begin() + (first.at_ - items_.data());
    const auto to = items_.begin() + (last.at_ - items_.data());
    const auto next = items_.erase(from, to);
    return const_iterator(items_.data() + (next - items_.begin()));
}

}  // namespace nimbrel
