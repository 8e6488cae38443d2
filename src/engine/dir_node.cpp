#include "engine/dir_node.h"

#include <algorithm>

#include "engine/tree_build.h"

namespace nimbrel {

DirNode::~DirNode() {
    // Take over every descendant that nobody else holds, so destroying the tree never recurses.
    std::vector<std::shared_ptr<DirNode>> pending = std::move(children_);
    while (!pending.empty()) {
        std::shared_ptr<DirNode> node = std::move(pending.back());
        pending.pop_back();
        if (node.use_count() == 1) {
            for (auto& child : node->children_)
                pending.push_back(std::move(child));
            node->children_.clear();
        }
    }
}

std::string DirNode::path() const {
    std::vector<const DirNode*> chain;
    for (const DirNode* n = this; n; n = n->parent_)
        chain.push_back(n);
    std::string p = chain.back()->name;
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        if (p.empty() || p.back() != '/') p += '/';
        p += (*it)->name;
    }
    return p;
}

void TreeBuild::sortRecursively(DirNode& top) {
    std::vector<DirNode*> stack{&top};
    while (!stack.empty()) {
        DirNode* node = stack.back();
        stack.pop_back();
        std::stable_sort(node->children_.begin(), node->children_.end(),
                         [](const auto& a, const auto& b) { return a->size_ > b->size_; });
        if (!node->files_.empty()) {
            FileItem* files = node->files_.block_.edit();
            std::stable_sort(files, files + node->files_.size(),
                             [](const FileItem& a, const FileItem& b) { return a.size > b.size; });
        }
        for (const auto& child : node->children_)
            stack.push_back(child.get());
    }
}

}  // namespace nimbrel
