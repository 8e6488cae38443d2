#include <gtest/gtest.h>

#include <functional>

#include "engine/tree_build.h"
#include "model/app_state.h"
#include "util/fmt.h"

namespace nimbrel {
namespace {

using Kind = CleanItem::Kind;
using Source = CleanItem::Source;

CleanItem folderItem(const std::string& id, Source source = Source::space) {
    CleanItem item;
    item.id = id;
    item.name = id.substr(id.find_last_of('/') + 1);
    item.size = 100;
    item.kind = Kind::folder;
    item.symbolPath = id;
    item.source = source;
    return item;
}

std::shared_ptr<DirNode> addFolder(DirNode& parent, const std::string& name, std::int64_t size) {
    auto child = std::make_shared<DirNode>(name, &parent);
    TreeBuild::setSize(*child, size);
    TreeBuild::addChild(parent, child);
    return child;
}

void addFile(DirNode& parent, const std::string& name, std::int64_t size) {
    FileItem file;
    file.path = parent.path() + "/" + name;
    file.name = name;
    file.size = size;
    file.parent = &parent;
    TreeBuild::addFile(parent, file);
}

// /p holds the folders a (sub, files f and g), b, an empty one and a build product, and the files
// x and y.
std::shared_ptr<ScanResult> tree(std::int64_t pSmall, std::int64_t aSmall) {
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>("/p", nullptr));
    DirNode& p = *result->root();
    TreeBuild::setSmallFiles(p, pSmall);
    auto a = addFolder(p, "a", 50);
    TreeBuild::setSmallFiles(*a, aSmall);
    addFolder(*a, "sub", 4);
    addFile(*a, "f", 10);
    addFile(*a, "g", 11);
    addFolder(p, "b", 5);
    addFolder(p, "empty", 0);
    TreeBuild::markArtifact(*addFolder(p, "node_modules", 7), "Node.js dependencies");
    addFile(p, "x", 20);
    addFile(p, "y", 21);
    return result;
}

struct Picker {
    AppState state{AppStateServices::standard()};

    std::vector<std::string> ids() const {
        std::vector<std::string> result;
        for (const CleanItem& item : state.queue().items())
            result.push_back(item.id);
        return result;
    }
    const CleanItem& item(const std::string& id) const {
        for (const CleanItem& item : state.queue().items()) {
            if (item.id == id) return item;
        }
        throw std::runtime_error(id + " is not queued");
    }
    QString toastText() const { return state.toast() ? state.toast()->message : QString(); }
};

TEST(SelectionToggleTest, ClickingAQueuedItemRemovesItAndAgainAddsItLast) {
    Picker s;
    s.state.queue().add(folderItem("/one"));
    s.state.queue().add(folderItem("/two"));
    EXPECT_EQ(s.state.toggleSelection(folderItem("/one")).outcome, Selection::Outcome::removed);
    EXPECT_EQ(s.ids(), std::vector<std::string>{"/two"});
    EXPECT_EQ(s.state.toggleSelection(folderItem("/one")).outcome, Selection::Outcome::added);
    EXPECT_EQ(s.ids(), (std::vector<std::string>{"/two", "/one"}));
}

// A double click takes its first click back: exactly, items a folder's add dropped included, unless
// the list changed since or the last toggle was of another entry; then by toggling the entry back.
TEST(SelectionToggleTest, UndoTakesBackTheLastToggle) {
    struct Case {
        const char* what;
        std::vector<std::string> queued;
        std::string toggled;
        std::function<void(AppState&)> between;
        std::string undone;
        std::vector<std::string> after;
    };
    const auto nothing = [](AppState&) {};
    const Case cases[] = {
        {"an add that dropped items",
         {"/p/a", "/keep", "/p/b"},
         "/p",
         nothing,
         "/p",
         {"/p/a", "/keep", "/p/b"}},
        {"a removal", {"/one", "/two"}, "/one", nothing, "/one", {"/two", "/one"}},
        {"the list changed since",
         {"/p/a", "/keep"},
         "/p",
         [](AppState& state) { state.queue().add(folderItem("/other")); },
         "/p",
         {"/keep", "/other"}},
        {"another entry", {"/p/a", "/keep"}, "/p", nothing, "/keep", {"/p"}},
    };
    for (const Case& c : cases) {
        Picker s;
        for (const std::string& id : c.queued)
            s.state.queue().add(folderItem(id));
        s.state.toggleSelection(folderItem(c.toggled));
        c.between(s.state);
        s.state.selection().undo(folderItem(c.undone));
        EXPECT_EQ(s.ids(), c.after) << c.what;
    }
}

TEST(SelectionToggleTest, LeavingOutAFileInsideAQueuedFolder) {
    struct Case {
        std::int64_t pSmall, aSmall;
        QString toast;
    };
    const Case cases[] = {
        {0, 0, QString::fromUtf8("Left out “f” · the rest of “p” stays selected")},
        {3'000'000, 0,
         QString::fromUtf8(
             "Left out “f” · the rest of “p” stays selected (%1 of loose small files are kept too)")
             .arg(Fmt::bytes(3'000'000))},
        {1'000, 2'000,
         QString::fromUtf8(
             "Left out “f” · the rest of “p” stays selected (%1 of loose small files are kept too)")
             .arg(Fmt::bytes(3'000))},
    };
    for (const Case& c : cases) {
        Picker s;
        s.state.setResult(tree(c.pSmall, c.aSmall));
        s.state.queue().add(folderItem("/keep", Source::files));
        s.state.queue().add(folderItem("/p", Source::space));
        CleanItem clicked = folderItem("/p/a/f", Source::files);
        clicked.kind = Kind::file;
        EXPECT_EQ(s.state.toggleSelection(clicked).outcome, Selection::Outcome::leftOut);

        EXPECT_EQ(s.ids(), (std::vector<std::string>{"/keep", "/p/b", "/p/node_modules", "/p/x", "/p/y",
                                                     "/p/a/sub", "/p/a/g"}));
        EXPECT_EQ(s.toastText(), c.toast);
        EXPECT_EQ(s.state.toast()->symbol, "checklist");
        // The new items stand for the folder they replace.
        for (const CleanItem& item : s.state.queue().items()) {
            EXPECT_EQ(item.source, item.id == "/keep" ? Source::files : Source::space) << item.id;
        }
        const CleanItem& product = s.item("/p/node_modules");
        EXPECT_EQ(product.kind, Kind::artifact);
        EXPECT_EQ(product.heat, 1.0);
        EXPECT_EQ(s.item("/p/b").kind, Kind::folder);
        EXPECT_EQ(s.item("/p/b").heat, 0.0);
        EXPECT_EQ(s.item("/p/a/g").kind, Kind::file);
        EXPECT_EQ(s.item("/p/a/g").size, 11);
        EXPECT_EQ(s.item("/p/a/g").symbolPath, std::optional<std::string>("/p/a/g"));
    }
}

TEST(SelectionToggleTest, LeavingOutAWholeFolderDoesNotCountItsSmallFiles) {
    Picker s;
    s.state.setResult(tree(0, 5'000'000));
    s.state.queue().add(folderItem("/p"));
    s.state.toggleSelection(folderItem("/p/a"));
    EXPECT_EQ(s.ids(), (std::vector<std::string>{"/p/b", "/p/node_modules", "/p/x", "/p/y"}));
    EXPECT_EQ(s.toastText(), QString::fromUtf8("Left out “a” · the rest of “p” stays selected"));
}

TEST(SelectionToggleTest, APathTheTreeDoesNotListEndsAtTheDeepestKnownFolder) {
    Picker s;
    s.state.setResult(tree(0, 0));
    s.state.queue().add(folderItem("/p"));
    s.state.deselectInside("/p/a/tiny.txt");  // below the listing threshold
    EXPECT_EQ(s.ids(), (std::vector<std::string>{"/p/b", "/p/node_modules", "/p/x", "/p/y", "/p/a/sub",
                                                 "/p/a/f", "/p/a/g"}));
}

TEST(SelectionToggleTest, AFolderOutsideTheInstalledTreeStaysWhole) {
    for (bool withResult : {false, true}) {
        Picker s;
        if (withResult) s.state.setResult(tree(0, 0));
        s.state.queue().add(folderItem("/q"));
        CleanItem clicked = folderItem("/q/r");
        EXPECT_EQ(s.state.toggleSelection(clicked).outcome, Selection::Outcome::keptWhole);
        EXPECT_EQ(s.ids(), std::vector<std::string>{"/q"});
        EXPECT_EQ(s.toastText(),
                  QString::fromUtf8("“q” is selected as a whole. Deselect it to choose inside it"));
        EXPECT_EQ(s.state.toast()->symbol, "info.circle.fill");
    }
}

TEST(SelectionToggleTest, NothingHappensWithoutACoveringFolder) {
    Picker s;
    s.state.setResult(tree(0, 0));
    s.state.queue().add(folderItem("/other"));
    s.state.deselectInside("/p/a");
    EXPECT_EQ(s.ids(), std::vector<std::string>{"/other"});
    EXPECT_FALSE(s.state.toast().has_value());
}

TEST(SelectionToggleTest, JunkAlwaysToggles) {
    Picker s;
    s.state.setResult(tree(0, 0));
    s.state.queue().add(folderItem("/p"));
    CleanItem junk = folderItem("/p/a");
    junk.kind = Kind::junk;
    s.state.toggleSelection(junk);
    EXPECT_EQ(s.ids(), (std::vector<std::string>{"/p", "/p/a"}));
    s.state.toggleSelection(junk);
    EXPECT_EQ(s.ids(), std::vector<std::string>{"/p"});
    EXPECT_FALSE(s.state.toast().has_value());
}

}  // namespace
}  // namespace nimbrel
