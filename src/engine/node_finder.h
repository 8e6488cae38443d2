#pragma once

#include <cstddef>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "engine/scan_result.h"

namespace nimbrel {

// Finds many folders of a tree by path in a row, reading it only. A folder with many children gets
// a name index the first time a lookup passes through it, so thousands of lookups in one big folder
// stay linear. Folders taken out, or detached (parent link cleared), are no longer found. Found
// folders may be changed only when the result was given as one that may change.
template <typename Result>
class NodeFinder {
  public:
    using Node = std::conditional_t<std::is_const_v<Result>, const DirNode, DirNode>;

    explicit NodeFinder(Result& result) : root_(result.root().get()) {}

    Node* find(std::string_view path) const {
        if (!root_) return nullptr;
        if (path == root_->name) return root_;
        std::string_view prefix = root_->name;
        const bool slashed = !prefix.empty() && prefix.back() == '/';
        if (path.size() < prefix.size() + (slashed ? 0 : 1) || path.compare(0, prefix.size(), prefix) != 0 ||
            (!slashed && path[prefix.size()] != '/'))
            return nullptr;
        Node* node = root_;
        std::size_t pos = prefix.size() + (slashed ? 0 : 1);
        while (pos < path.size()) {
            std::size_t end = path.find('/', pos);
            if (end == std::string_view::npos) end = path.size();
            if (end > pos) {
                node = child(node, path.substr(pos, end - pos));
                if (!node) return nullptr;
            }
            pos = end + 1;
        }
        return node;
    }

    void takeOut(const DirNode* folder) { gone_.insert(folder); }
    bool isOut(const DirNode* folder) const { return gone_.count(folder) > 0; }

  private:
    static constexpr std::size_t kIndexFrom = 16;

    Node* child(Node* node, std::string_view name) const {
        if (node->children().size() < kIndexFrom) {
            for (const auto& c : node->children())
                if (c->parent() && c->name == name && !isOut(c.get())) return c.get();
            return nullptr;
        }
        auto [index, made] = indexes_.try_emplace(node);
        if (made) {
            for (const auto& c : node->children())
                if (c->parent()) index->second.emplace(c->name, c.get());  // the first of a name wins
        }
        auto found = index->second.find(name);
        if (found == index->second.end() || isOut(found->second)) return nullptr;
        return found->second;
    }

    Node* root_;
    mutable std::unordered_map<const DirNode*, std::unordered_map<std::string_view, Node*>> indexes_;
    std::unordered_set<const DirNode*> gone_;
};

template <typename Result>
NodeFinder(Result&) -> NodeFinder<Result>;

}  // namespace nimbrel
