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
    // Counted first: grown by doubling, the keys would at one moment be held twice over.
    std::vector<const DirNode*> folders{&root};
    std::size_t count = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        count += folders[i]->files().size();
        for (const auto& child : folders[i]->children())
            folders.push_back(child.get());
    }
    std::vector<Keyed> keyed;
    keyed.reserve(count);
    for (const DirNode* node : folders)
        for (const FileItem& f : node->files())
            keyed.push_back({f.size, f.id, &f});
    std::vector<const DirNode*>().swap(folders);
    std::sort(keyed.begin(), keyed.end(),
              [](const Keyed& a, const Keyed& b) { return std::tie(b.size, a.id) < std::tie(a.size, b.id); });
    ListedFiles out;
    out.items_.reserve(keyed.size());
    for (const Keyed& k : keyed)
        out.items_.push_back(k.item);
    return out;
}

}  // namespace nimbrel
