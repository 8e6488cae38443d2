#include "engine/dev_artifact.h"

#include <gtest/gtest.h>

#include "engine/scan_tree.h"

namespace nimbrel {
namespace {

TEST(DevArtifactRule, NamesAndMarkers) {
    test::ScanTree tree;
    tree.folder("web/node_modules");
    tree.folder("web/Node_Modules");
    tree.file("kts/build.gradle.kts");
    tree.folder("kts/build");
    tree.folder("plain/build");
    tree.file("both/Cargo.toml");
    tree.file("both/pom.xml");
    tree.folder("both/target");
    tree.file("maven/pom.xml");
    tree.folder("maven/target");
    tree.folder("bare/target");
    tree.folder("py/venv");
    tree.file("py2/.venv/pyvenv.cfg");
    tree.file("py3/venv/pyvenv.cfg");
    tree.file("py4/pyvenv.cfg");  // beside, not inside
    tree.folder("py4/venv");
    tree.folder("x/y/DerivedData");
    tree.file("ios/Podfile");
    tree.folder("ios/Pods");
    tree.folder("other/Pods");
    tree.file("swift/Package.swift");
    tree.folder("swift/.build");

    const std::pair<const char*, const char*> cases[] = {
        {"web/node_modules", "Node.js dependencies"},
        {"web/Node_Modules", nullptr},
        {"kts/build", "Gradle build"},
        {"plain/build", nullptr},
        {"both/target", "Rust build"},
        {"maven/target", "Maven build"},
        {"bare/target", nullptr},
        {"py/venv", nullptr},
        {"py2/.venv", "Python virtualenv"},
        {"py3/venv", "Python virtualenv"},
        {"py4/venv", nullptr},
        {"x/y/DerivedData", "Xcode DerivedData"},
        {"ios/Pods", "CocoaPods"},
        {"other/Pods", nullptr},
        {"swift/.build", "Swift build"},
    };
    for (const auto& [relative, label] : cases) {
        std::string path = tree.path(relative);
        std::string name = path.substr(path.rfind('/') + 1);
        auto kind = DevArtifactRule::match(name, path);
        if (label)
            EXPECT_EQ(kind, std::optional<std::string>(label)) << relative;
        else
            EXPECT_FALSE(kind) << relative << " -> " << *kind;
    }
    // Names that need no marker match wherever they are, even where nothing exists.
    EXPECT_EQ(DevArtifactRule::match(".turbo", "/nowhere/.turbo"),
              std::optional<std::string>("Turborepo cache"));
}

}  // namespace
}  // namespace nimbrel
