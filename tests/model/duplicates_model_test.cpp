#include "model/duplicates_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "engine/path_rules.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

class Files {
  public:
    FileItem add(const std::string& name, const std::string& contents, int64_t size = 4096,
                 bool isPackage = false) {
        FileItem f;
        f.id = nextID_++;
        f.path = dir_.path().toStdString() + "/" + name;
        f.name = name;
        std::ofstream(f.path, std::ios::binary) << contents;
        f.size = size;
        f.logicalSize = static_cast<int64_t>(contents.size());
        f.isPackage = isPackage;
        return f;
    }

  private:
    QTemporaryDir dir_;
    int64_t nextID_ = 1;
};

FileItem member(int64_t id, const std::string& path) {
    FileItem f;
    f.id = id;
    f.path = path;
    return f;
}

DuplicateGroup group(const std::string& id, int64_t size, std::vector<FileItem> files) {
    return {id, size, std::move(files)};
}

std::vector<std::string> groupIDs(const DuplicatesModel& m) {
    std::vector<std::string> out;
    for (const auto& g : m.groups())
        out.push_back(g.id);
    return out;
}

TEST(DuplicatesModel, RunWithNothingLeftAfterFilteringCompletesEmpty) {
    Files files;
    const std::vector<FileItem> cases[] = {
        {},
        {files.add("p1", "bundle", 4096, true), files.add("p2", "bundle", 4096, true),
         files.add("s1", "small", 100), files.add("s2", "small", 100), files.add("e1", ""),
         files.add("e2", "")},
    };
    for (const auto& input : cases) {
        DuplicatesModel model;
        model.run(input, 1000);
        EXPECT_TRUE(model.isRunning());
        ASSERT_TRUE(waitOn(&model, &DuplicatesModel::hasRunChanged, [&] { return model.hasRun(); }));
        EXPECT_FALSE(model.isRunning());
        EXPECT_TRUE(model.groups().empty());
        EXPECT_EQ(model.status(), "Comparing sizes…");
    }
}

TEST(DuplicatesModel, FindsTwinsAmongTheKeptFilesOnly) {
    Files files;
    const std::string body(300000, 'x');
    std::vector<FileItem> input = {
        files.add("pkg1", body, 400000, true), files.add("a", body, 400000), files.add("small", body, 999),
        files.add("pkg2", body, 400000, true), files.add("b", body, 400000),
    };
    DuplicatesModel model;
    QSignalSpy groupsSpy(&model, &DuplicatesModel::groupsChanged);
    model.run(input, 1000);
    ASSERT_TRUE(waitOn(&model, &DuplicatesModel::hasRunChanged, [&] { return model.hasRun(); }));
    ASSERT_EQ(model.groups().size(), 1u);
    std::vector<std::string> names;
    for (const auto& f : model.groups()[0].files)
        names.push_back(f.name);
    EXPECT_THAT(names, testing::UnorderedElementsAre("a", "b"));
    EXPECT_EQ(model.progress(), 1.0);
    EXPECT_THAT(model.status().toStdString(), testing::StartsWith("Verifying contents… "));
    EXPECT_EQ(model.reclaimable(), 400000);
    EXPECT_EQ(groupsSpy.count(), 1);
}

// The first search's progress and result were posted before the second search started; none of it
// may show once the second one runs.
TEST(DuplicatesModel, SecondRunReplacesTheFirstAndDropsItsLateUpdates) {
    Files files;
    std::vector<FileItem> first;
    for (int i = 0; i < 150; ++i)
        first.push_back(files.add("f" + std::to_string(i), "same-size-" + std::to_string(i % 10)));
    first.push_back(files.add("x1", "first twin"));
    first.push_back(files.add("x2", "first twin"));
    std::vector<FileItem> second = {files.add("y1", "second twin, longer"),
                                    files.add("y2", "second twin, longer")};

    QThreadPool pool;
    DuplicatesModel model(nullptr, &pool);
    model.run(first, 0);
    pool.waitForDone();  // the first search finishes and posts everything meanwhile
    model.run(second, 0);
    std::vector<double> seen;
    QObject::connect(&model, &DuplicatesModel::progressChanged, [&] { seen.push_back(model.progress()); });
    ASSERT_TRUE(waitOn(&model, &DuplicatesModel::hasRunChanged, [&] { return model.hasRun(); }));
    // The second search reports after each of its two files: 0.2 + 19 x 0.8 / 38, then 1.
    ASSERT_FALSE(seen.empty());
    EXPECT_THAT(seen, testing::Each(testing::AnyOf(testing::DoubleEq(0.6), testing::DoubleEq(1.0))));
    EXPECT_EQ(seen.back(), 1.0);
    ASSERT_EQ(model.groups().size(), 1u);
    EXPECT_EQ(model.groups()[0].files.size(), 2u);
    EXPECT_EQ(model.groups()[0].files[0].name.substr(0, 1), "y");
}

TEST(DuplicatesModel, CancelAndResetDropTheRunningSearch) {
    Files files;
    std::vector<FileItem> input = {files.add("a", "twin"), files.add("b", "twin")};
    const auto previous = group("previous", 10, {member(1, "/p/1"), member(2, "/p/2")});
    for (bool resetInstead : {false, true}) {
        SCOPED_TRACE(resetInstead ? "reset" : "cancel");
        QThreadPool pool;
        DuplicatesModel model(nullptr, &pool);
        model.setGroups({previous});
        model.setMarked({1});
        model.run(input, 0);
        EXPECT_TRUE(model.marked().empty());
        if (resetInstead) {
            model.reset();
        } else {
            model.cancel();
        }
        EXPECT_FALSE(model.isRunning());
        drain(pool);  // whatever the dropped search still posts arrives
        EXPECT_FALSE(model.hasRun());
        EXPECT_FALSE(model.isRunning());
        EXPECT_EQ(groupIDs(model),
                  resetInstead ? std::vector<std::string>{} : std::vector<std::string>{"previous"});
    }
}

TEST(DuplicatesModel, RemoveDropsRemovedFilesAndFilesInsideRemovedFolders) {
    struct Case {
        const char* what;
        std::unordered_set<std::string> removed;
        std::vector<std::string> groups;  // id: member ids left
        std::unordered_set<int64_t> marked;
    };
    const Case cases[] = {
        {"one of a pair", {"/d/a2"}, {"b:3,4,5"}, {3, 5}},
        {"one of three", {"/d/b1"}, {"a:1,2", "b:4,5"}, {5}},
        {"folder holding a member", {"/e"}, {"a:1,2", "b:3,4"}, {3}},
        {"root", {"/"}, {}, {}},
        {"sibling with a common prefix", {"/e/b"}, {"a:1,2", "b:3,4,5"}, {3, 5}},
        {"nothing", {}, {"a:1,2", "b:3,4,5"}, {3, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DuplicatesModel model;
        model.setGroups({group("a", 10, {member(1, "/d/a1"), member(2, "/d/a2")}),
                         group("b", 5, {member(3, "/d/b1"), member(4, "/d/b2"), member(5, "/e/bc/b3")})});
        model.setMarked({3, 5});
        model.remove(c.removed);
        std::vector<std::string> got;
        for (const auto& g : model.groups()) {
            std::string s = g.id + ":";
            for (const auto& f : g.files)
                s += std::to_string(f.id) + (&f == &g.files.back() ? "" : ",");
            got.push_back(s);
        }
        EXPECT_EQ(got, c.groups);
        EXPECT_EQ(model.marked(), c.marked);
    }
}

FileItem dated(int64_t id, const std::string& path, int hour) {
    FileItem f = member(id, path);
    f.name = path.substr(path.rfind('/') + 1);
    f.modified = std::chrono::system_clock::time_point(std::chrono::hours(hour));
    return f;
}

std::vector<std::string> itemIDs(const std::vector<CleanItem>& items) {
    std::vector<std::string> out;
    for (const CleanItem& i : items)
        out.push_back(i.id);
    return out;
}

// The extras of several sets, asked one by one with nothing selected and no removal running.
std::vector<std::string> extrasOf(const DuplicatesModel& model, const std::vector<std::string>& ids,
                                  const DuplicatesModel::Around& around = {}) {
    std::vector<std::string> out;
    for (const std::string& id : ids)
        for (std::string& path : itemIDs(model.extras(id, around)))
            out.push_back(std::move(path));
    return out;
}

TEST(DuplicatesModel, ExtrasKeepTheNewestCopyAndNeverTheLastOne) {
    struct Case {
        const char* what;
        std::unordered_set<std::string> removed;
        std::vector<std::string> asked;
        std::vector<std::string> extras;
        std::unordered_set<std::string> selected = {};  // queued, or a queued folder
        std::unordered_set<std::string> leaving = {};   // in the removal under way
        std::string goneOnDisk = {};                    // changed or gone since the search
    };
    // Set a: a1 is the newest; b1 and b2 tie on date, so the first in the set stays.
    const Case cases[] = {
        {"untouched sets", {}, {"a", "b"}, {"/d/a2", "/d/a3", "/d/b2"}},
        {"an extra removed", {"/d/a3"}, {"a"}, {"/d/a2"}},
        {"the kept copy removed", {"/d/a1"}, {"a"}, {}},
        {"the kept copy's folder removed", {"/d"}, {"a", "b"}, {}},
        {"a set gone", {"/d/b1"}, {"b", "a"}, {"/d/a2", "/d/a3"}},
        {"an unknown set", {}, {"zzz"}, {}},
        {"the kept copy selected", {}, {"a", "b"}, {"/d/b2"}, {"/d/a1"}},
        {"the kept copy inside a selected folder", {}, {"a", "b"}, {}, {"/d"}},
        {"an extra selected already", {}, {"a"}, {"/d/a2", "/d/a3"}, {"/d/a2"}},
        {"the kept copy leaving", {}, {"a", "b"}, {"/d/b2"}, {}, {"/d/a1"}},
        {"the kept copy changed on disk", {}, {"a", "b"}, {"/d/b2"}, {}, {}, "/d/a1"},
        {"an extra changed on disk", {}, {"a"}, {"/d/a2", "/d/a3"}, {}, {}, "/d/a3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DuplicatesModel model;
        model.setStillThere(
            [&](const std::string& path, const EntryIdentity*) { return path != c.goneOnDisk; });
        model.setGroups({group("a", 10, {dated(1, "/d/a1", 9), dated(2, "/d/a2", 5), dated(3, "/d/a3", 1)}),
                         group("b", 5, {dated(4, "/d/b1", 3), dated(5, "/d/b2", 3)})});
        model.remove(c.removed);
        const DuplicatesModel::Around around{
            [&](const std::string& p) { return PathRules::isAtOrInsideAny(p, c.selected); },
            [&](const std::string& p) { return PathRules::isAtOrInsideAny(p, c.leaving); }};
        EXPECT_EQ(extrasOf(model, c.asked, around), c.extras);
        // The list made on a worker from the sets follows the same rule.
        const DuplicatesModel::Sets sets = model.sets();
        std::vector<const DuplicateGroup*> shown;
        for (const std::string& id : c.asked)
            for (const DuplicateGroup& g : *sets.groups)
                if (g.id == id) shown.push_back(&g);
        const auto extras = DuplicatesModel::extras(sets, shown, around);
        EXPECT_EQ(itemIDs(extras), c.extras);
        for (const CleanItem& i : extras) {
            EXPECT_EQ(i.heat, 0.55);
            EXPECT_EQ(i.source, CleanItem::Source::files);
            EXPECT_EQ(i.kind, CleanItem::Kind::file);
        }
    }
}

// A removal that ends while a search runs: the search's late result still names the removed copies.
TEST(DuplicatesModel, SearchFinishingAfterARemovalPublishesOnlyWhatIsLeft) {
    Files files;
    std::vector<FileItem> input = {
        files.add("newest", "three of a kind"), files.add("older", "three of a kind"),
        files.add("oldest", "three of a kind"), files.add("pair1", "a pair"),
        files.add("pair2", "a pair"),           files.add("keep1", "untouched"),
        files.add("keep2", "untouched")};
    const auto at = [](int hour) { return std::chrono::system_clock::time_point(std::chrono::hours(hour)); };
    input[0].modified = at(9);
    input[1].modified = at(5);
    input[2].modified = at(1);
    input[5].modified = at(9);
    DuplicatesModel model;
    model.run(input, 0);
    // The result comes back through the event loop, so this removal lands before it whatever the
    // worker's speed.
    ASSERT_TRUE(model.isRunning());
    model.remove({input[0].path, input[3].path});
    ASSERT_TRUE(waitOn(&model, &DuplicatesModel::hasRunChanged, [&] { return model.hasRun(); }));

    std::vector<std::string> members;
    std::string threeID, untouchedID;
    for (const auto& g : model.groups()) {
        for (const auto& f : g.files)
            members.push_back(f.name);
        if (g.files.front().name == "older" || g.files.front().name == "oldest") threeID = g.id;
        if (g.files.front().name.rfind("keep", 0) == 0) untouchedID = g.id;
    }
    // The pair lost a copy and is gone; the set of three keeps its two copies left.
    EXPECT_THAT(members, testing::UnorderedElementsAre("older", "oldest", "keep1", "keep2"));
    ASSERT_FALSE(threeID.empty());
    ASSERT_FALSE(untouchedID.empty());
    // Its newest copy went: neither the per-set nor the every-set question offers anything from it.
    EXPECT_TRUE(model.extras(threeID, {}).empty());
    EXPECT_EQ(extrasOf(model, {threeID, untouchedID}), std::vector<std::string>{input[6].path});

    // The next search starts clean.
    model.run({input[1], input[2]}, 0);
    ASSERT_TRUE(waitOn(&model, &DuplicatesModel::isRunningChanged, [&] { return !model.isRunning(); }));
    ASSERT_EQ(model.groups().size(), 1u);
    EXPECT_EQ(model.extras(model.groups()[0].id, {}).size(), 1u);
}

TEST(DuplicatesModel, ReclaimableSumsTheWaste) {
    DuplicatesModel model;
    model.setGroups({group("a", 10, {member(1, "/1"), member(2, "/2"), member(3, "/3")}),
                     group("b", 5, {member(4, "/4"), member(5, "/5")})});
    EXPECT_EQ(model.reclaimable(), 25);
}

TEST(DuplicatesModel, NotifiesOncePerChangeAndGroupsOnEveryWrite) {
    DuplicatesModel model;
    QSignalSpy groups(&model, &DuplicatesModel::groupsChanged);
    QSignalSpy marked(&model, &DuplicatesModel::markedChanged);
    QSignalSpy running(&model, &DuplicatesModel::isRunningChanged);
    QSignalSpy hasRun(&model, &DuplicatesModel::hasRunChanged);
    model.setGroups({});
    model.setGroups({});
    model.setMarked({1});
    model.setMarked({1});
    model.cancel();
    model.reset();
    EXPECT_EQ(groups.count(), 3);
    EXPECT_EQ(marked.count(), 2);
    EXPECT_EQ(running.count(), 0);
    EXPECT_EQ(hasRun.count(), 0);
}

}  // namespace
}  // namespace nimbrel
