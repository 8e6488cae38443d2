#include "engine/trash_contents.h"

#include <algorithm>
#include <vector>

#include "engine/path_rules.h"

namespace nimbrel {

namespace {

bool isUid(std::string_view name) {
    return !name.empty() && name.find_first_not_of("0123456789") == std::string_view::npos;
}

// A volume's Trash by its name, as HostLayout reads it from a path.
bool isVolumeTrash(const DirNode& node) {
    const std::string_view name(node.name);
    if (name.starts_with(".Trash-")) return isUid(name.substr(7));
    return node.parent && PathRules::lastComponent(node.parent->name) == ".Trash" && isUid(name);
}

void clearMarks(DirNode& top) {
    std::vector<DirNode*> pending = {&top};
    while (!pending.empty()) {
        DirNode* node = pending.back();
        pending.pop_back();
        node->artifactKind.reset();
        for (const auto& child : node->children)
            pending.push_back(child.get());
    }
}

}  // namespace

void leaveOutTrashContents(ScanResult& result, const HostLayout& layout) {
    result.files.eraseIf([&](const FileItem& f) { return layout.isInsideTrash(f.path); });
    std::erase_if(result.artifacts, [&](const DevArtifact& a) { return layout.isTrashOrInside(a.path); });
    if (!result.root) return;
    if (layout.isTrashOrInside(result.root->name)) {
        clearMarks(*result.root);
        return;
    }
    std::vector<DirNode*> pending = {result.root.get()};
    for (const std::string& trash : layout.trashSpellings)
        if (auto node = result.node(trash)) clearMarks(*node);
    if (auto node = result.node(layout.trashFolder)) clearMarks(*node);
    while (!pending.empty()) {
        DirNode* node = pending.back();
        pending.pop_back();
        if (isVolumeTrash(*node)) {
            clearMarks(*node);
            continue;
        }
        for (const auto& child : node->children)
            pending.push_back(child.get());
    }
}

}  // namespace nimbrel
