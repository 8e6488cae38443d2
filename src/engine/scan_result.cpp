#include "engine/scan_result.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <iterator>
#include <set>
#include <string_view>

#include "engine/disk_scanner.h"
#include "engine/inode_key.h"
#include "engine/node_finder.h"
#include "engine/path_rules.h"
#include "engine/risk_catalog.h"
#include "engine/scan_prune.h"

namespace nimbrel {

namespace {

void lower(std::int64_t& value, std::int64_t by) {
    value = std::max<std::int64_t>(0, value - by);
}

// Lowers each category's totals by what it lost; a category the result never had stays absent.
void lowerCategories(std::map<FileCategory, CategoryTotal>& totals,
                     const std::map<FileCategory, CategoryTotal>& lost) {
    for (const auto& [category, gone] : lost) {
        auto it = totals.find(category);
        if (it == totals.end()) continue;
        lower(it->second.size, gone.size);
        lower(it->second.count, gone.count);
    }
}

}  // namespace

void ScanResult::lowerUpwards(DirNode* from, std::int64_t size, std::int64_t files) {
    for (DirNode* n = from; n; n = n->parent_) {
        lower(n->size_, size);
        lower(n->fileCount_, files);
    }
}

std::vector<std::shared_ptr<DirNode>> ScanResult::detach(const std::vector<DirNode*>& folders) {
    std::vector<std::shared_ptr<DirNode>> out;
    std::vector<DirNode*> parents;
    for (DirNode* folder : folders) {
        parents.push_back(folder->parent_);
        folder->parent_ = nullptr;  // lets holders of the folder see that it left the tree
    }
    std::sort(parents.begin(), parents.end());
    parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
    for (DirNode* parent : parents) {
        auto& children = parent->children_;
        auto kept = std::stable_partition(children.begin(), children.end(),
                                          [](const auto& child) { return child->parent_ != nullptr; });
        std::move(kept, children.end(), std::back_inserter(out));
        children.erase(kept, children.end());
    }
    return out;
}

std::shared_ptr<DirNode> ScanResult::node(const std::string& path) const {
    if (!root_) return nullptr;
    if (path == root_->name) return root_;
    std::string prefix = root_->name;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    if (path.compare(0, prefix.size(), prefix) != 0) return nullptr;

    std::shared_ptr<DirNode> node = root_;
    std::size_t pos = prefix.size();
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        if (end > pos) {
            std::string_view part(path.data() + pos, end - pos);
            auto it = std::find_if(node->children_.begin(), node->children_.end(),
                                   [&](const auto& child) { return child->name == part; });
            if (it == node->children_.end()) return nullptr;
            node = *it;
        }
        pos = end + 1;
    }
    return node;
}

std::uint64_t ScanResult::nextSerial() {
    static std::atomic<std::uint64_t> serial{0};
    return ++serial;
}

TreeChange ScanResult::remove(const std::unordered_set<std::string>& paths,
                              const std::unordered_map<std::string, std::int64_t>& sizes) {
    return prune(ScanPrune::plan(*this, paths, sizes));
}

TreeChange ScanResult::prune(ScanPrune plan) {
    TreeChange change;
    if (!plan.isFor(*this)) return change;
    ++changes_;
    for (const ScanPrune::Lowering& l : plan.lowerings_)
        lowerUpwards(l.from, l.size, l.files);
    for (const ScanPrune::Lowering& l : plan.summed_) {
        lower(l.from->size_, l.size);
        lower(l.from->fileCount_, l.files);
    }
    for (const auto& [folder, bytes] : plan.smallFiles_)
        lower(folder->smallFilesSize_, bytes);
    lowerCategories(categoryTotals_, plan.categories_);
    change.detached = detach(plan.detached_);
    if (!plan.listed_.empty() || !plan.files_.empty())
        change.oldListed = std::exchange(files_.items_, std::move(plan.listed_));
    for (ScanPrune::FolderCut& cut : plan.folderCuts_) {
        change.replaced.push_back(std::exchange(cut.folder->files_.block_, std::move(cut.kept)));
    }
    ScanPrune::dropAt(artifacts_, plan.artifacts_);
    change.droppedListed = std::move(plan.files_);
    return change;
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
    for (const FileItem& f : node.files())
        listed.insert(f.name);
    for (const auto& child : node.children())
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

namespace {

// The files a folder counts below the listing threshold.
std::int64_t unlistedFiles(const DirNode& node) {
    std::int64_t smallFiles = node.fileCount();
    for (const auto& child : node.children())
        smallFiles -= child->fileCount();
    for (const FileItem& f : node.files())
        smallFiles -= std::max<std::int64_t>(1, f.fileCount);
    return std::max<std::int64_t>(0, smallFiles);
}

// What of a folder's unlisted files is still on disk, as a shrink when less than the scan counted;
// `bytes` grows by what went.
void recheckUnlisted(const std::string& path, const DirNode& node, std::unordered_set<InodeKey>& linked,
                     ScanResult::Recheck& out, std::int64_t& bytes) {
    if (node.smallFilesSize() <= 0) return;
    const std::int64_t smallFiles = unlistedFiles(node);
    const auto now = looseFiles(path, node, linked);
    if (!now) return;
    const std::int64_t size = std::min(now->size, node.smallFilesSize());
    const std::int64_t count = std::min(now->files, smallFiles);
    if (size >= node.smallFilesSize() && count >= smallFiles) return;
    out.shrunk.push_back({path, size, count});
    out.looseFilesGone += smallFiles - count;
    bytes += node.smallFilesSize() - size;
}

}  // namespace

ScanResult::Recheck ScanResult::recheckLoose(const std::unordered_set<std::string>& removed) const {
    Recheck out;
    NodeFinder finder(*this);
    // The names each folder lists, made once per folder: a removal may take a hundred thousand
    // files of one folder.
    std::unordered_map<const DirNode*, std::unordered_set<std::string_view>> listed;
    std::vector<std::pair<std::string, const DirNode*>> folders;
    std::unordered_set<const DirNode*> taken;
    for (const std::string& path : removed) {
        if (finder.find(path)) continue;
        const std::string parent = PathRules::parent(path);
        const DirNode* folder = finder.find(parent);
        if (!folder || taken.count(folder)) continue;
        auto [names, fresh] = listed.try_emplace(folder);
        if (fresh)
            for (const FileItem& f : folder->files())
                names->second.insert(f.name);
        if (names->second.count(PathRules::lastComponent(path))) continue;
        taken.insert(folder);
        folders.emplace_back(parent, folder);
    }
    std::unordered_set<InodeKey> linked;
    std::int64_t bytes = 0;
    for (const auto& [path, folder] : folders)
        recheckUnlisted(path, *folder, linked, out, bytes);
    return out;
}

ScanResult::Recheck ScanResult::recheck(const std::vector<std::string>& paths) const {
    Recheck out;
    if (paths.empty()) return out;
    NodeFinder finder(*this);
    std::unordered_map<std::string_view, const FileItem*> listed;
    for (const FileItem& f : files_)
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
            if (node != root_.get() && isGone(path, true)) {
                out.gone.insert(path);
                bytes += node->size_;
                continue;
            }
            const std::string prefix = path.ends_with('/') ? path : path + '/';
            for (const FileItem& f : node->files_) {
                if (!isGone(prefix + f.name, false)) continue;
                out.gone.insert(prefix + f.name);
                bytes += f.size;
            }
            recheckUnlisted(path, *node, linked, out, bytes);
            for (const auto& child : node->children_)
                if (child->parent_) stack.emplace_back(child.get(), prefix + child->name);
        }
    }
    return out;
}

TreeChange ScanResult::apply(const Recheck& recheck) {
    TreeChange change = remove(recheck.gone, {});
    NodeFinder finder(*this);
    std::int64_t unlistedSize = 0, unlistedCount = 0;
    for (const Recheck::Shrunk& s : recheck.shrunk) {
        DirNode* node = finder.find(s.folder);
        if (!node) continue;  // went with a folder above it
        const std::int64_t smallFiles = unlistedFiles(*node);
        const std::int64_t size = std::max<std::int64_t>(0, node->smallFilesSize_ - s.smallFilesSize);
        const std::int64_t count = std::max<std::int64_t>(0, smallFiles - s.smallFiles);
        if (size <= 0 && count <= 0) continue;
        lower(node->smallFilesSize_, size);
        lowerUpwards(node, size, count);
        unlistedSize += size;
        unlistedCount += count;
    }
    lowerCategories(categoryTotals_, ScanPrune::unlistedShares(*this, {}, {}, unlistedSize, unlistedCount));
    return change;
}

TreeChange ScanResult::unlist(const std::function<bool(const FileItem&)>& leaveOut) {
    TreeChange change;
    ++changes_;
    std::vector<const FileItem*>& items = files_.items_;
    std::size_t to = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (leaveOut(*items[i]))
            change.droppedListed.push_back(i);
        else
            items[to++] = items[i];
    }
    items.resize(to);
    return change;
}

std::shared_ptr<const void> ScanResult::holdItems(std::shared_ptr<const ScanResult> result) {
    struct Held {
        std::vector<FileBlock> blocks;
        std::shared_ptr<const ScanResult> result;  // with the items its flat list keeps itself
    };
    auto held = std::make_shared<Held>();
    std::vector<const DirNode*> pending;
    if (result && result->root_) pending.push_back(result->root_.get());
    while (!pending.empty()) {
        const DirNode* node = pending.back();
        pending.pop_back();
        if (!node->files_.empty()) held->blocks.push_back(node->files_.share());
        for (const auto& child : node->children_)
            pending.push_back(child.get());
    }
    held->result = std::move(result);
    return held;
}

}  // namespace nimbrel
