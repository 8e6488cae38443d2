#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "engine/scan_result.h"
#include "engine/tree_build.h"
#include "shell_state_support.h"
#include "test_items.h"

namespace nimbrel::spacetest {

// The shell's state on fakes; a space view also wants its layouts, timers and deletions run when
// it settles.
struct SpaceHarness : testing::ShellState {
    // Lets background work (folder listings, previews) end and runs what the windows have pending.
    void settle() { settleWindows({&Background::userInitiated(), &Background::utility()}); }
    // Shows `view` at `size` and lets what showing it started end.
    void show(QWidget& view, QSize size) {
        view.resize(size);
        view.show();
        settle();
    }
};

inline std::shared_ptr<DirNode> addFolder(const std::shared_ptr<DirNode>& parent, const std::string& name,
                                          std::int64_t size) {
    auto node = std::make_shared<DirNode>(name, parent.get());
    TreeBuild::setSize(*node, size);
    TreeBuild::addChild(*parent, node);
    return node;
}

// /r with a/b/c folders and one file at the root.
inline std::shared_ptr<ScanResult> sampleResult(const std::string& rootPath = "/r") {
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>(rootPath, nullptr));
    TreeBuild::setSize(*result->root(), 1000);
    auto a = addFolder(result->root(), "a", 600);
    auto b = addFolder(a, "b", 300);
    addFolder(b, "c", 100);
    addFolder(result->root(), "z", 200);
    TreeBuild::addFile(*result->root(), testFile(0, rootPath + "/f.txt", 50));
    TreeBuild::counts(*result).duration = 2;
    return result;
}

// The sample with files of one byte, /r/n0, /r/n1, ..., added until /r lists `n` entries.
inline std::shared_ptr<ScanResult> manyFiles(int n) {
    auto result = sampleResult();
    for (int i = 0; i < n - 3; ++i) {
        TreeBuild::addFile(*result->root(), testFile(0, "/r/n" + std::to_string(i), 1));
    }
    return result;
}

}  // namespace nimbrel::spacetest
