#include "engine/trash_contents.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
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

void leaveOutTrashContents(ScanResult& result, const HostLayout& layout,
                           const std::vector<DirNode*>& trashNodes) {
    std::erase_if(result.files, [&](const FileItem& f) { return layout.isInsideTrash(f.path); });
    std::erase_if(result.artifacts, [&](const DevArtifact& a) { return layout.isTrashOrInside(a.path); });
    if (!result.root) return;
    if (!trashNodes.empty()) {
        // Known by identity: everything below these folders, whatever it is called here.
        std::unordered_set<const DirNode*> inside;
        std::vector<std::string> paths;
        std::vector<const DirNode*> pending;
        for (DirNode* node : trashNodes) {
            clearMarks(*node);
            paths.push_back(node->path());
            pending.push_back(node);
        }
        while (!pending.empty()) {
            const DirNode* node = pending.back();
            pending.pop_back();
            if (!inside.insert(node).second) continue;
            for (const auto& child : node->children)
                pending.push_back(child.get());
        }
        std::erase_if(result.files, [&](const FileItem& f) { return inside.count(f.parent) > 0; });
        std::erase_if(result.artifacts, [&](const DevArtifact& a) {
            return std::any_of(paths.begin(), paths.end(),
                               [&](const std::string& p) { return PathRules::isAtOrInside(a.path, p); });
        });
    }
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

std::unordered_set<InodeKey> trashIdentities(const HostLayout& layout) {
    std::unordered_set<InodeKey> ids;
    auto add = [&](const std::string& path) {
        struct stat st {};
        if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            ids.insert(
                InodeKey{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    };
    add(layout.trashFolder);
    for (const std::string& spelling : layout.trashSpellings)
        add(spelling);
    // The volumes' own Trash folders. Only local file systems are asked: a server that does not
    // answer must not hold up a scan of the home.
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    const std::string uid = std::to_string(geteuid());
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint, options, field, type;
        if (!(fields >> id >> parent >> numbers >> root >> mountPoint >> options)) continue;
        while (fields >> field && field != "-") {
        }
        fields >> type;
        // An automount point is asked nothing either: looking inside it would mount what it stands for.
        static const char* const kRemote[] = {"nfs",  "nfs4",      "cifs",   "smb3",  "smbfs", "9p",    "afs",
                                              "ceph", "glusterfs", "lustre", "davfs", "ncpfs", "autofs"};
        if (type.starts_with("fuse") || std::any_of(std::begin(kRemote), std::end(kRemote),
                                                    [&](const char* remote) { return type == remote; }))
            continue;
        // mountinfo writes blanks, tabs, line feeds and backslashes as three octal digits.
        std::string top;
        for (std::size_t i = 0; i < mountPoint.size(); ++i) {
            const std::string digits = mountPoint.substr(i + 1, 3);
            if (mountPoint[i] == '\\' && digits.size() == 3 &&
                digits.find_first_not_of("01234567") == std::string::npos) {
                top += static_cast<char>(std::strtol(digits.c_str(), nullptr, 8));
                i += 3;
            } else {
                top += mountPoint[i];
            }
        }
        if (top == "/") top.clear();
        add(top + "/.Trash-" + uid);
        add(top + "/.Trash/" + uid);
    }
    return ids;
}

bool isInTrashOnDisk(const std::string& path, const HostLayout& layout,
                     const std::unordered_set<InodeKey>& identities) {
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) return layout.isTrashOrInside(path);
    const std::string real(buffer);
    if (layout.isTrashOrInside(path) || layout.isTrashOrInside(real)) return true;
    for (std::string folder = real;; folder = PathRules::parent(folder)) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0 &&
            identities.count(
                InodeKey{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}))
            return true;
        if (folder == "/") return false;
    }
}

}  // namespace nimbrel
