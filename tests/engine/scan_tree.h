#pragma once

#include <sys/stat.h>

#include <cctype>
#include <random>
#include <string>

#include "engine/scan_options.h"
#include "engine/scan_result.h"
#include "support/temp_tree.h"

// Real folder trees for the scanner's tests, in a temporary folder removed afterwards.
namespace nimbrel::test {

// `options` for a scan that knows of no mounted volume: it never reads this machine's mount table
// nor the Trash folders of its volumes.
inline ScanOptions withoutVolumes(ScanOptions options = {}) {
    options.mountTops.emplace();
    return options;
}

// A TempTree the unprivileged runs can read.
class ScanTree : public TempTree {
  public:
    ScanTree() { chmod(root().c_str(), 0755); }
    void hardLink(const std::string& existing, const std::string& relative) const {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        ::link(path(existing).c_str(), path(relative).c_str());
    }
    void symLink(const std::string& target, const std::string& relative) const { link(relative, target); }
};

// A tree with something of every kind the walk treats on its own.
inline void buildMixedTree(const ScanTree& t) {
    t.file("a/b/c/deep.txt", 10);
    t.file("a/one", 5000);
    t.file("skip/inside/not-seen", 10);
    t.file("a/skip/inside/not-seen", 10);
    t.folder("empty");
    t.file("\xff\xfe name with\nnewline", 3);
    t.file("\xc3(bad utf-8)/\x80\x81", 3);
    t.hardLink("a/one", "z-second-name");
    t.hardLink("a/one", "a/b/third-name");
    t.symLink("a", "link-to-a");
    t.symLink("missing", "dangling");
    t.symLink("..", "a/up");
    t.symLink(".", "a/b/self");
    mkfifo(t.path("fifo").c_str(), 0600);
    t.file(std::string(255, 'n'), 1);
    t.file("Thing.app/Contents/bin", 4000);
    t.file("Thing.app/Contents/.hidden", 4000);
    t.file(".dot/x", 4000);
    t.file("project/node_modules/left-pad/index.js", 100);
    t.file("project/package.json", 100);
    // More entries than one worker states alone, with sub-folders among them.
    for (int i = 0; i < 5000; ++i)
        t.file("huge/f" + std::to_string(i), static_cast<std::size_t>(i % 7) * 1000);
    for (int i = 0; i < 40; ++i)
        t.file("huge/sub" + std::to_string(i) + "/x", 10);
    for (int i = 0; i < 60; ++i)
        t.file("wide/w" + std::to_string(i % 12) + "/v" + std::to_string(i) + "/leaf", 2000);
}

// Every folder's size is what its children, files and small files add up to, and each knows its
// parent.
inline void expectConsistent(const DirNode& node) {
    std::int64_t size = node.smallFilesSize();
    for (const auto& child : node.children()) {
        size += child->size();
        EXPECT_EQ(child->parent(), &node);
        expectConsistent(*child);
    }
    for (const FileItem& f : node.files()) {
        size += f.size;
        EXPECT_EQ(f.parent, &node);
    }
    EXPECT_EQ(node.size(), size) << node.path();
}

// Folders an unprivileged walk cannot fully read: "closed" (no access), "exec-only" (entered but not
// listed), "list-only" (listed, but no entry's status), and `lockedFolder`, closed deeper down.
inline void addUnreadableCorners(const ScanTree& t, const std::string& lockedFolder) {
    t.file("closed/secret", 10);
    chmod(t.path("closed").c_str(), 0000);
    t.file("exec-only/x", 10);
    chmod(t.path("exec-only").c_str(), 0311);
    t.file("list-only/y", 10);
    chmod(t.path("list-only").c_str(), 0644);
    t.file(lockedFolder + "/z", 10);
    chmod(t.path(lockedFolder).c_str(), 0000);
}

// A random respelling of a plain path that names the same place on paper: "." parts, doubled
// slashes, a trailing slash, a detour through ".." (by a name of odd bytes at times). With
// `trashCase`, the letters of a Trash name (".Trash", ".Trash-1000") come in any case, as a
// FAT or exFAT volume reads them.
inline std::string respell(const std::string& plain, std::mt19937& random, bool trashCase = false) {
    std::string out;
    size_t start = 1;
    while (start <= plain.size()) {
        size_t end = plain.find('/', start);
        if (end == std::string::npos) end = plain.size();
        std::string part = plain.substr(start, end - start);
        out += random() % 3 == 0 ? "//" : "/";
        switch (random() % 5) {
            case 0:
                out += "./";
                break;
            case 1:
                out += "detour/../";
                break;
            case 2:
                out += "\xff\x01 .\n/../";
                break;
            default:
                break;
        }
        std::string head = part.substr(0, 6);
        for (char& c : head)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (trashCase && head == ".trash")
            for (size_t i = 1; i < 6; ++i)
                if (random() % 2) part[i] = char(part[i] ^ 0x20);
        out += part;
        start = end + 1;
    }
    if (random() % 2) out += "/";
    return out == plain ? plain + "/." : out;
}

}  // namespace nimbrel::test
