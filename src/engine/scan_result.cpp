#include "engine/scan_result.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string_view>

#include "engine/disk_scanner.h"
#include "engine/inode_key.h"
#include "engine/path_rules.h"
#include "engine/risk_catalog.h"

namespace nimbrel {

namespace {

void lower(std::int64_t& value, std::int64_t by) {
    value = std::max<std::int64_t>(0, value - by);
}

void lowerCategory(std::map<FileCategory, CategoryTotal>& totals, FileCategory category, std::int64_t size) {
    auto it = totals.find(category);
    if (it == totals.end()) return;  // never created by a removal
    lower(it->second.size, size);
    lower(it->second.count, 1);
}

// Unlisted files that went, whose kinds the tree does not keep (it counts them per folder only):
// they are taken off each category in proportion to what it holds unlisted, so the totals drop by
// exactly what went and no category drops below its listed files. `files` must hold the listed
// files still counted in `totals`.
void lowerUnlisted(std::map<FileCategory, CategoryTotal>& totals, const std::vector<FileItem>& files,
                   const std::unordered_set<std::int64_t>& alreadyGone, std::int64_t size,
                   std::int64_t count) {
    if (size <= 0 && count <= 0) return;
    std::map<FileCategory, CategoryTotal> unlisted = totals;
    for (const FileItem& item : files) {
        if (alreadyGone.count(item.id)) continue;
        auto it = unlisted.find(item.category);
        if (it == unlisted.end()) continue;
        lower(it->second.size, item.size);
        lower(it->second.count, std::max<std::int64_t>(1, item.fileCount));
    }
    auto share = [&](std::int64_t amount, std::int64_t CategoryTotal::*field) {
        std::int64_t pool = 0;
        for (const auto& [category, total] : unlisted)
            pool += total.*field;
        amount = std::min(amount, pool);
        if (amount <= 0) return;
        std::int64_t left = amount;
        for (auto& [category, total] : unlisted) {
            // In floating point: sizes of whole disks times each other overflow 64 bits.
            const auto part = std::int64_t(static_cast<long double>(amount) * (total.*field) / pool);
            lower(totals[category].*field, part);
            total.*field -= part;
            left -= part;
        }
        // What rounding left over goes to the categories that still hold some, largest first.
        while (left > 0) {
            auto largest = std::max_element(
                unlisted.begin(), unlisted.end(),
                [&](const auto& a, const auto& b) { return a.second.*field < b.second.*field; });
            if (largest == unlisted.end() || largest->second.*field <= 0) break;
            const std::int64_t part = std::min(left, largest->second.*field);
            lower(totals[largest->first].*field, part);
            largest->second.*field -= part;
            left -= part;
        }
    };
    share(size, &CategoryTotal::size);
    share(count, &CategoryTotal::count);
}

// Lowers `from` and every folder above it.
void lowerUpwards(DirNode* from, std::int64_t size, std::int64_t files) {
    for (DirNode* n = from; n; n = n->parent) {
        lower(n->size, size);
        lower(n->fileCount, files);
    }
}

// Finds many folders by path in a row. A folder with many children gets a name index the first
// time a lookup passes through it, so a removal of thousands of paths in one big folder stays
// linear. A folder detached by the removal (its parent link cleared) is no longer found.
class NodeFinder {
  public:
    explicit NodeFinder(const ScanResult& result) : result_(result) {}

    DirNode* find(std::string_view path) {
        DirNode* root = result_.root.get();
        if (!root) return nullptr;
        if (path == root->name) return root;
        std::string_view prefix = root->name;
        const bool slashed = !prefix.empty() && prefix.back() == '/';
        if (path.size() < prefix.size() + (slashed ? 0 : 1) || path.compare(0, prefix.size(), prefix) != 0 ||
            (!slashed && path[prefix.size()] != '/'))
            return nullptr;
        DirNode* node = root;
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

    void forget(DirNode* parent, const DirNode* child) {
        auto index = indexes_.find(parent);
        if (index == indexes_.end()) return;
        auto entry = index->second.find(child->name);
        if (entry != index->second.end() && entry->second == child) index->second.erase(entry);
    }

  private:
    static constexpr std::size_t kIndexFrom = 16;

    DirNode* child(DirNode* node, std::string_view name) {
        if (node->children.size() < kIndexFrom) {
            for (const auto& c : node->children)
                if (c->parent && c->name == name) return c.get();
            return nullptr;
        }
        auto [index, made] = indexes_.try_emplace(node);
        if (made) {
            for (const auto& c : node->children)
                if (c->parent) index->second.emplace(c->name, c.get());  // the first of a name wins
        }
        auto found = index->second.find(name);
        return found == index->second.end() ? nullptr : found->second;
    }

    const ScanResult& result_;
    std::unordered_map<const DirNode*, std::unordered_map<std::string_view, DirNode*>> indexes_;
};

}  // namespace

std::shared_ptr<DirNode> ScanResult::node(const std::string& path) const {
    if (!root) return nullptr;
    if (path == root->name) return root;
    std::string prefix = root->name;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    if (path.compare(0, prefix.size(), prefix) != 0) return nullptr;

    std::shared_ptr<DirNode> node = root;
    std::size_t pos = prefix.size();
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        if (end > pos) {
            std::string_view part(path.data() + pos, end - pos);
            auto it = std::find_if(node->children.begin(), node->children.end(),
                                   [&](const auto& child) { return child->name == part; });
            if (it == node->children.end()) return nullptr;
            node = *it;
        }
        pos = end + 1;
    }
    return node;
}

void ScanResult::remove(const std::unordered_set<std::string>& paths,
                        const std::unordered_map<std::string, std::int64_t>& sizes) {
    if (paths.empty()) return;
    std::unordered_set<std::int64_t> removedIDs;
    std::unordered_set<std::string_view> handled;
    // Folders whose `files` or `children` lose entries; each list is filtered once at the end.
    std::unordered_set<DirNode*> filesTouched;
    std::unordered_set<DirNode*> childrenTouched;

    // Listed files first, while every folder of the tree is still attached.
    for (const FileItem& item : files) {
        if (!paths.count(item.path)) continue;
        removedIDs.insert(item.id);
        handled.insert(item.path);
        if (DirNode* parent = item.parent) {
            filesTouched.insert(parent);
            lowerUpwards(parent, item.size, std::max<std::int64_t>(1, item.fileCount));
        }
        lowerCategory(categoryTotals, item.category, item.size);
    }

    NodeFinder finder(*this);
    // Detached folders stay in their parents' lists (marked by a cleared parent link) until the
    // end, so no lookup meets a destroyed one.
    std::vector<DirNode*> detached;
    std::unordered_map<const DirNode*, std::int64_t> trackedInside;
    std::unordered_map<const DirNode*, std::int64_t> listedInside;  // files the listed ones hold
    std::unordered_map<std::string_view, DirNode*> detachedPaths;
    for (const std::string& path : paths) {
        if (handled.count(path)) continue;
        DirNode* folder = finder.find(path);
        if (folder && folder->parent) {
            DirNode* parent = folder->parent;
            detached.push_back(folder);
            finder.forget(parent, folder);
            childrenTouched.insert(parent);
            folder->parent = nullptr;  // lets holders of the folder see that it left the tree
            lowerUpwards(parent, folder->size, folder->fileCount);
            trackedInside[folder] = 0;
            detachedPaths.emplace(path, folder);
            continue;
        }
        // Not a folder of the tree (or the root itself): a small file measured by the caller. The
        // scan counted it, if at all, among its folder's loose files: never give back more than
        // those, so an excluded or new path cannot empty a folder whose children keep their size.
        auto size = sizes.find(path);
        if (size == sizes.end() || size->second <= 0) continue;
        DirNode* parent = finder.find(PathRules::parent(path));
        if (!parent) continue;
        const std::int64_t counted = std::min(size->second, parent->smallFilesSize);
        if (counted <= 0) continue;
        lower(parent->smallFilesSize, counted);
        lowerUpwards(parent, counted, 1);
        lowerCategory(categoryTotals,
                      FileCategory::classify(asciiLower(pathExtension(PathRules::lastComponent(path)))),
                      counted);
    }

    // The listed files inside removed folders leave with them, in one pass over the list: each is
    // charged to the nearest removed folder above it.
    if (!detached.empty()) {
        for (const FileItem& item : files) {
            if (removedIDs.count(item.id)) continue;
            const DirNode* owner = nullptr;
            if (item.parent) {
                for (const DirNode* n = item.parent; n && !owner; n = n->parent)
                    if (trackedInside.count(n)) owner = n;
            } else {
                // A file without its folder link: judged by its path alone.
                for (std::size_t slash = item.path.rfind('/');
                     slash != std::string::npos && slash > 0 && !owner;
                     slash = item.path.rfind('/', slash - 1))
                    if (auto d = detachedPaths.find(std::string_view(item.path).substr(0, slash));
                        d != detachedPaths.end())
                        owner = d->second;
            }
            if (!owner) continue;
            removedIDs.insert(item.id);
            trackedInside[owner] += item.size;
            listedInside[owner] += std::max<std::int64_t>(1, item.fileCount);
            lowerCategory(categoryTotals, item.category, item.size);
        }
        // What the folders held below the listing threshold went too.
        std::int64_t unlistedSize = 0, unlistedCount = 0;
        for (const DirNode* folder : detached) {
            unlistedSize += std::max<std::int64_t>(0, folder->size - trackedInside[folder]);
            unlistedCount += std::max<std::int64_t>(0, folder->fileCount - listedInside[folder]);
        }
        lowerUnlisted(categoryTotals, files, removedIDs, unlistedSize, unlistedCount);
    }

    for (DirNode* parent : filesTouched)
        std::erase_if(parent->files, [&](const FileItem& f) { return removedIDs.count(f.id) > 0; });
    for (DirNode* parent : childrenTouched)
        std::erase_if(parent->children, [](const auto& child) { return child->parent == nullptr; });
    std::erase_if(files, [&](const FileItem& f) { return removedIDs.count(f.id) > 0; });
    std::erase_if(artifacts, [&](const DevArtifact& a) {
        if (paths.count(a.path)) return true;
        for (std::size_t slash = a.path.find('/', 1); slash != std::string::npos;
             slash = a.path.find('/', slash + 1))
            if (paths.count(a.path.substr(0, slash))) return true;
        return false;
    });
}

namespace {

// Missing from the disk: only "no such entry" counts, so an unreadable place is never taken for gone.
// A folder replaced by anything else is gone too.
bool isGone(const std::string& path, bool folder) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    return folder && !S_ISDIR(st.st_mode);
}

struct Loose {
    std::int64_t size = 0;
    std::int64_t files = 0;
};

// The files of a folder that the tree does not list one by one, as the scan counts them: regular
// files (a hard-linked one once), and package folders with what they hold. Nothing when the folder
// cannot be listed.
std::optional<Loose> looseFiles(const std::string& path, const DirNode& node,
                                std::unordered_set<InodeKey>& linked) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    std::unordered_set<std::string_view> listed;
    for (const FileItem& f : node.files)
        listed.insert(f.name);
    for (const auto& child : node.children)
        listed.insert(child->name);
    Loose loose;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || listed.count(name)) continue;
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode)) {
            if (st.st_nlink > 1 && !linked.insert(InodeKey{st.st_dev, st.st_ino}).second) continue;
            loose.size += static_cast<std::int64_t>(st.st_blocks) * 512;
            loose.files += 1;
        } else if (S_ISDIR(st.st_mode) &&
                   FileCategory::packageExtensions().count(asciiLower(pathExtension(std::string(name))))) {
            const DiskUsage usage = DiskScanner::usage(path + "/" + std::string(name));
            loose.size += usage.size;
            loose.files += usage.items;
        }
    }
    ::closedir(dir);
    return loose;
}

}  // namespace

ScanResult::Recheck ScanResult::recheck(const std::vector<std::string>& paths) const {
    Recheck out;
    if (paths.empty()) return out;
    NodeFinder finder(*this);
    std::unordered_map<std::string_view, const FileItem*> listed;
    for (const FileItem& f : files)
        listed.emplace(f.path, &f);
    std::unordered_set<InodeKey> linked;

    for (const std::string& start : paths) {
        std::int64_t& bytes = out.bytes[start];
        const DirNode* top = finder.find(start);
        if (!top) {
            auto file = listed.find(start);
            if (file != listed.end() && isGone(start, false)) {
                out.gone.insert(start);
                bytes += file->second->size;
            }
            continue;
        }
        std::vector<std::pair<const DirNode*, std::string>> stack{{top, start}};
        while (!stack.empty()) {
            auto [node, path] = std::move(stack.back());
            stack.pop_back();
            if (node != root.get() && isGone(path, true)) {
                out.gone.insert(path);
                bytes += node->size;
                continue;
            }
            const std::string prefix = path.ends_with('/') ? path : path + '/';
            for (const FileItem& f : node->files) {
                if (!isGone(prefix + f.name, false)) continue;
                out.gone.insert(prefix + f.name);
                bytes += f.size;
            }
            if (node->smallFilesSize > 0) {
                std::int64_t smallFiles = node->fileCount;
                for (const auto& child : node->children)
                    smallFiles -= child->fileCount;
                for (const FileItem& f : node->files)
                    smallFiles -= std::max<std::int64_t>(1, f.fileCount);
                smallFiles = std::max<std::int64_t>(0, smallFiles);
                if (auto now = looseFiles(path, *node, linked)) {
                    const std::int64_t size = std::min(now->size, node->smallFilesSize);
                    const std::int64_t count = std::min(now->files, smallFiles);
                    if (size < node->smallFilesSize || count < smallFiles) {
                        out.shrunk.push_back({path, size, count});
                        out.looseFilesGone += smallFiles - count;
                        bytes += node->smallFilesSize - size;
                    }
                }
            }
            for (const auto& child : node->children)
                if (child->parent) stack.emplace_back(child.get(), prefix + child->name);
        }
    }
    return out;
}

void ScanResult::apply(const Recheck& recheck) {
    remove(recheck.gone, {});
    NodeFinder finder(*this);
    std::int64_t unlistedSize = 0, unlistedCount = 0;
    for (const Recheck::Shrunk& s : recheck.shrunk) {
        DirNode* node = finder.find(s.folder);
        if (!node) continue;  // went with a folder above it
        std::int64_t smallFiles = node->fileCount;
        for (const auto& child : node->children)
            smallFiles -= child->fileCount;
        for (const FileItem& f : node->files)
            smallFiles -= std::max<std::int64_t>(1, f.fileCount);
        const std::int64_t size = std::max<std::int64_t>(0, node->smallFilesSize - s.smallFilesSize);
        const std::int64_t count = std::max<std::int64_t>(0, smallFiles - s.smallFiles);
        if (size <= 0 && count <= 0) continue;
        lower(node->smallFilesSize, size);
        lowerUpwards(node, size, count);
        unlistedSize += size;
        unlistedCount += count;
    }
    lowerUnlisted(categoryTotals, files, {}, unlistedSize, unlistedCount);
}

}  // namespace nimbrel
