#include "model/clean_queue.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "engine/path_rules.h"
#include "model/app_state_test_support.h"
#include "model/background.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

using Kind = CleanItem::Kind;
using Source = CleanItem::Source;

CleanItem item(const std::string& id, Kind kind, int64_t size = 1, Source source = Source::space) {
    return testing::cleanItem(id, size, kind, source);
}

std::vector<std::string> ids(const CleanQueue& queue) {
    std::vector<std::string> result;
    for (const CleanItem& queued : queue.items())
        result.push_back(queued.id);
    return result;
}

TEST(CleanQueueTest, CoveringRulesOfAdd) {
    struct Case {
        const char* name;
        std::vector<CleanItem> before;
        CleanItem added;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"inside a queued folder is ignored",
         {item("/a/b", Kind::folder)},
         item("/a/b/c", Kind::file),
         {"/a/b"}},
        {"a name-prefix sibling is not inside",
         {item("/a/b", Kind::folder)},
         item("/a/bc", Kind::file),
         {"/a/b", "/a/bc"}},
        {"the same id twice is ignored", {item("/a/b", Kind::folder)}, item("/a/b", Kind::folder), {"/a/b"}},
        {"a folder drops what it covers and goes last",
         {item("/a/b/c", Kind::file), item("junk:caches", Kind::junk), item("/a/b/d", Kind::folder)},
         item("/a/b", Kind::folder),
         {"junk:caches", "/a/b"}},
        {"a file covers nothing", {item("/a/b", Kind::file)}, item("/a/b/c", Kind::file), {"/a/b", "/a/b/c"}},
        {"a build product covers like a folder",
         {item("/p/node_modules", Kind::artifact)},
         item("/p/node_modules/x", Kind::folder),
         {"/p/node_modules"}},
        {"a queued file still goes when a folder above it is added",
         {item("/x/y", Kind::file)},
         item("/x", Kind::artifact),
         {"/x"}},
        {"a file drops items inside it (a package)",
         {item("/a.app/c", Kind::file)},
         item("/a.app", Kind::file),
         {"/a.app"}},
        {"junk is never covered", {item("/a", Kind::folder)}, item("/a/junk", Kind::junk), {"/a", "/a/junk"}},
        {"junk removes nothing when added",
         {item("/a/b", Kind::file)},
         item("/a", Kind::junk),
         {"/a/b", "/a"}},
        {"the same junk id is queued once",
         {item("junk:logs", Kind::junk)},
         item("junk:logs", Kind::junk),
         {"junk:logs"}},
        {"a folder does not drop junk inside it",
         {item("/a/b", Kind::junk)},
         item("/a", Kind::folder),
         {"/a/b", "/a"}},
        {"comparison is case-sensitive",
         {item("/A", Kind::folder)},
         item("/a/x", Kind::file),
         {"/A", "/a/x"}},
        {"the root folder covers everything", {item("/", Kind::folder)}, item("/x", Kind::file), {"/"}},
    };
    for (const Case& c : cases) {
        CleanQueue queue;
        queue.setItems(c.before);
        queue.add(c.added);
        EXPECT_EQ(ids(queue), c.after) << c.name;
    }
}

TEST(CleanQueueTest, AddingAListAppliesTheRulesElementByElement) {
    const std::vector<std::vector<CleanItem>> lists = {
        {item("/x", Kind::folder), item("/x/y", Kind::file)},
        {item("/x/y", Kind::file), item("/x", Kind::folder)},
    };
    for (const auto& list : lists) {
        CleanQueue queue;
        QSignalSpy spy(&queue, &CleanQueue::itemsChanged);
        queue.add(list);
        EXPECT_EQ(ids(queue), std::vector<std::string>{"/x"});
        EXPECT_EQ(spy.count(), 1);
    }
}

TEST(CleanQueueTest, LookupsAndRemoval) {
    CleanQueue queue;
    queue.add(item("/a/b", Kind::folder));
    queue.add(item("/f", Kind::file));

    EXPECT_TRUE(queue.contains("/a/b"));
    EXPECT_FALSE(queue.contains("/a/b/c"));
    EXPECT_EQ(queue.covering("/a/b/c/d")->id, "/a/b");
    EXPECT_FALSE(queue.covering("/a/b").has_value());  // an item never covers its own id
    EXPECT_FALSE(queue.covering("/f/x").has_value());
    EXPECT_TRUE(queue.includes("/a/b/c"));
    EXPECT_TRUE(queue.includes("/f"));
    EXPECT_FALSE(queue.includes("/a/bc"));

    // Only a queued id can be removed; a covered path changes nothing.
    queue.remove("/a/b/c");
    EXPECT_EQ(ids(queue), (std::vector<std::string>{"/a/b", "/f"}));
    queue.remove("/a/b");
    EXPECT_EQ(ids(queue), std::vector<std::string>{"/f"});

    queue.add({item("/1", Kind::file), item("/2", Kind::file), item("/3", Kind::file)});
    queue.removeEvaporated({"/1"}, {"/3"});
    EXPECT_EQ(ids(queue), (std::vector<std::string>{"/f", "/2"}));
}

TEST(CleanQueueTest, Notifications) {
    CleanQueue queue;
    QSignalSpy spy(&queue, &CleanQueue::itemsChanged);
    queue.add(item("/a", Kind::folder));
    EXPECT_EQ(spy.count(), 1);
    queue.add(item("/a", Kind::folder));  // already there
    queue.add(item("/a/b", Kind::file));  // covered
    queue.add(std::vector<CleanItem>{});  // nothing to add
    queue.setItems(queue.items());        // equal list
    EXPECT_EQ(spy.count(), 1);
    queue.remove("/nothing");  // an in-place edit notifies even when it matched nothing
    EXPECT_EQ(spy.count(), 2);
}

TEST(CleanQueueTest, BySourceListsNonEmptySourcesInOrder) {
    CleanQueue queue;
    EXPECT_TRUE(queue.bySource().empty());
    queue.add(item("/f1", Kind::file, 10, Source::files));
    queue.add(item("/s1", Kind::file, 5, Source::space));
    queue.add(item("/f2", Kind::file, 7, Source::files));
    const std::vector<CleanQueue::SourceTotal> expected = {{Source::space, 1, 5}, {Source::files, 2, 17}};
    EXPECT_EQ(queue.bySource(), expected);
}

TEST(CleanItemTest, JsonRoundTrip) {
    CleanItem original =
        item("/home/u/Movies/a \"b\"\\c\n.mov", Kind::artifact, 9007199254740993LL, Source::deepClean);
    original.name = "caf\xC3\xA9 \xF0\x9F\x93\xA6 \xEF\xBB\xBF";
    original.heat = 0.55;
    original.symbolPath = original.id;
    for (bool withSymbol : {true, false}) {
        CleanItem sent = original;
        if (!withSymbol) sent.symbolPath.reset();
        const auto json = sent.toJson();
        ASSERT_TRUE(json.has_value());
        EXPECT_EQ(json->contains("symbolPath"), withSymbol);
        EXPECT_EQ(CleanItem::fromJson(*json), sent);
    }
}

TEST(CleanItemTest, PathsThatAreNotUtf8AreRefused) {
    const std::string odd = "/home/u/caf\xE9";  // Latin-1 name on disk
    CleanItem bad = item(odd, Kind::file);
    EXPECT_FALSE(bad.toJson().has_value());
    bad.id = "/ok";
    bad.symbolPath = odd;
    EXPECT_FALSE(bad.toJson().has_value());
    bad.symbolPath.reset();
    bad.name = "\xED\xA0\x80";  // an encoded surrogate
    EXPECT_FALSE(bad.toJson().has_value());
    bad.name = "\xEF\xBB\xBFname";  // Qt's JSON would drop the leading byte-order mark
    EXPECT_FALSE(bad.toJson().has_value());
    bad.name = "ok";
    EXPECT_TRUE(bad.toJson().has_value());
}

TEST(CleanItemTest, Decoding) {
    const QByteArray full = R"({"id":"/a","name":"a","size":5,"kind":"folder","heat":1,"source":"files"})";
    const auto decoded = CleanItem::fromJson(full);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->kind, Kind::folder);
    EXPECT_EQ(decoded->source, Source::files);
    EXPECT_EQ(decoded->heat, 1.0);
    EXPECT_FALSE(decoded->symbolPath.has_value());

    struct Case {
        const char* json;
        bool decodes;
    };
    const Case cases[] = {
        {R"({"id":"/a","name":"a","size":5,"kind":"folder","heat":1,"source":"files","extra":[1]})", true},
        {R"({"id":"/a","name":"a","size":5,"kind":"folder","heat":1,"source":"files","symbolPath":null})",
         true},
        {R"({"id":"/a","name":"a","size":5,"kind":"Folder","heat":1,"source":"files"})", false},
        {R"({"id":"/a","name":"a","size":5,"kind":"package","heat":1,"source":"files"})", false},
        {R"({"id":"/a","name":"a","size":5,"kind":"folder","heat":1,"source":"trash"})", false},
        {R"({"name":"a","size":5,"kind":"folder","heat":1,"source":"files"})", false},
        {R"({"id":"/a","size":5,"kind":"folder","heat":1,"source":"files"})", false},
        {R"({"id":"/a","name":"a","kind":"folder","heat":1,"source":"files"})", false},
        {R"({"id":"/a","name":"a","size":5,"kind":"folder","source":"files"})", false},
        {R"({"id":"/a","name":"a","size":5.5,"kind":"folder","heat":1,"source":"files"})", false},
        {R"({"id":"/a","name":"a","size":"5","kind":"folder","heat":1,"source":"files"})", false},
        {R"({"id":7,"name":"a","size":5,"kind":"folder","heat":1,"source":"files"})", false},
        {R"({"id":"/a","name":"a","size":5,"kind":"folder","heat":1,"source":"files","symbolPath":3})",
         false},
        {R"([{"id":"/a"}])", false},
        {"/home/u/file.txt", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CleanItem::fromJson(QByteArray(c.json)).has_value(), c.decodes) << c.json;
    }
}

// An id the removal would read differently from the guard never becomes an item: the path judged
// must be the path removed.
TEST(CleanItemTest, OnlyNormalAbsoluteIdsAndSizesAreWellFormed) {
    struct Case {
        std::string id;
        CleanItem::Kind kind;
        int64_t size;
        bool wellFormed;
    };
    using K = CleanItem::Kind;
    const Case cases[] = {
        {"/home/u/Desktop", K::folder, 1, true},
        {"/", K::folder, 0, true},
        {"/home/u/lnk/../Desktop", K::folder, 1, false},
        {"/home/u/./Desktop", K::folder, 1, false},
        {"/home/u//Desktop", K::file, 1, false},
        {"/home/u/Desktop/", K::folder, 1, false},
        {"Desktop", K::folder, 1, false},
        {"~/Desktop", K::folder, 1, false},
        {"", K::file, 1, false},
        {std::string("/home/u/Documents\0/x", 20), K::file, 1, false},
        {"/home/u/a.txt", K::file, -1, false},
        {"junk:caches", K::junk, 5, true},
        {"junk:", K::junk, 5, false},
        {"/home/u/.cache", K::junk, 5, false},
        {"junk:caches", K::folder, 5, false},
    };
    for (const Case& c : cases) {
        CleanItem made = item(c.id, c.kind, c.size);
        EXPECT_EQ(made.isWellFormed(), c.wellFormed) << c.id;
    }
    const QByteArray dotted =
        R"({"id":"/a/b/../c","name":"c","size":5,"kind":"folder","heat":0,"source":"files"})";
    EXPECT_FALSE(CleanItem::fromJson(dotted).has_value());
    const QByteArray negative = R"({"id":"/a","name":"a","size":-5,"kind":"file","heat":0,"source":"files"})";
    EXPECT_FALSE(CleanItem::fromJson(negative).has_value());
}

TEST(CleanItemTest, RiskOfJunkFollowsHeatAndTheRestAsksTheCatalogue) {
    CleanItem junk = item("junk:caches", CleanItem::Kind::junk);
    junk.heat = 0.55;
    EXPECT_EQ(junk.risk().level, Risk::Level::caution);
    EXPECT_EQ(junk.risk().title, "Look first");
    junk.heat = 1.0;
    EXPECT_EQ(junk.risk(), (Risk{Risk::Level::safe, "Cache", "Rebuilt automatically"}));

    const CleanItem product = item("/p/app/node_modules", CleanItem::Kind::artifact, 100);
    EXPECT_EQ(product.risk(), RiskCatalog::assess(product.id, true, true, 100));
    const CleanItem file = item("/p/app/notes.txt", CleanItem::Kind::file, 100);
    EXPECT_EQ(file.risk(), RiskCatalog::assess(file.id, false, false, 100));
}

TEST(CleanItemTest, BuildProductItem) {
    const CleanItem made =
        CleanItem::artifact(DevArtifact{"/p/app/node_modules", "Node.js dependencies", 42, 7});
    EXPECT_EQ(made.id, "/p/app/node_modules");
    EXPECT_EQ(made.name, "app \u00B7 node_modules");
    EXPECT_EQ(made.size, 42);
    EXPECT_EQ(made.kind, CleanItem::Kind::artifact);
    EXPECT_EQ(made.heat, 1.0);
    EXPECT_EQ(made.symbolPath, std::optional<std::string>("/p/app/node_modules"));
    EXPECT_EQ(made.source, CleanItem::Source::deepClean);
}

// The covering rules written the plain way, one linear pass per step: the queue's lookups must
// agree with it whatever the order of operations.
struct PlainQueue {
    std::vector<CleanItem> items;

    static bool inside(const std::string& path, const std::string& folder) {
        return PathRules::isInside(path, folder);
    }
    std::vector<std::string> described() const {
        std::vector<std::string> out;
        for (const CleanItem& i : items)
            out.push_back(i.id + " " + CleanItem::rawValue(i.kind));
        return out;
    }
    bool contains(const std::string& path) const {
        return std::any_of(items.begin(), items.end(), [&](const CleanItem& i) { return i.id == path; });
    }
    std::optional<std::string> covering(const std::string& path) const {
        for (const CleanItem& i : items)
            if ((i.kind == Kind::folder || i.kind == Kind::artifact) && inside(path, i.id)) return i.id;
        return std::nullopt;
    }
    void add(const CleanItem& item) {
        if (contains(item.id)) return;
        if (item.kind != Kind::junk && covering(item.id)) return;
        if (item.kind != Kind::junk)
            std::erase_if(items,
                          [&](const CleanItem& q) { return q.kind != Kind::junk && inside(q.id, item.id); });
        items.push_back(item);
    }
};

TEST(CleanQueueTest, LookupsAgreeWithThePlainRulesOverRandomEdits) {
    const std::vector<std::string> paths = {"/a",   "/a/b",   "/a/b/c", "/a/bc", "/a/b/c/d", "/x",
                                            "/x/y", "/x/y/z", "/",      "//",    "junk:logs"};
    const Kind kinds[] = {Kind::file, Kind::folder, Kind::artifact, Kind::junk};
    std::srand(7);
    for (int round = 0; round < 300; ++round) {
        CleanQueue queue;
        PlainQueue plain;
        for (int step = 0; step < 12; ++step) {
            auto random = [&] {
                const std::string& id = paths[size_t(std::rand()) % paths.size()];
                return item(id, id.starts_with("junk:") ? Kind::junk : kinds[std::rand() % 4],
                            std::rand() % 100, static_cast<Source>(std::rand() % 3));
            };
            const int op = std::rand() % 4;
            if (op == 0) {
                CleanItem added = random();
                queue.add(added);
                plain.add(added);
            } else if (op == 1) {
                std::vector<CleanItem> list = {random(), random(), random()};
                queue.add(list);
                for (const CleanItem& i : list)
                    plain.add(i);
            } else if (op == 2) {
                const std::string& id = paths[size_t(std::rand()) % paths.size()];
                queue.remove(id);
                std::erase_if(plain.items, [&](const CleanItem& i) { return i.id == id; });
            } else {
                const std::string& id = paths[size_t(std::rand()) % paths.size()];
                queue.removeEvaporated({id}, {});
                std::erase_if(plain.items, [&](const CleanItem& i) { return i.id == id; });
            }
            PlainQueue shown{queue.items()};
            ASSERT_EQ(shown.described(), plain.described()) << "round " << round << " step " << step;
            // The totals kept along the way are those of the list.
            std::vector<CleanQueue::SourceTotal> totals;
            int64_t all = 0;
            for (Source source : CleanItem::allSources()) {
                CleanQueue::SourceTotal total{source};
                for (const CleanItem& i : plain.items)
                    if (i.source == source) {
                        ++total.count;
                        total.size += i.size;
                    }
                all += total.size;
                if (total.count > 0) totals.push_back(total);
            }
            ASSERT_EQ(queue.bySource(), totals);
            ASSERT_EQ(queue.totalSize(), all);
            for (const std::string& p : paths) {
                ASSERT_EQ(queue.contains(p), plain.contains(p)) << p;
                auto cover = queue.covering(p);
                ASSERT_EQ(cover ? std::optional<std::string>(cover->id) : std::nullopt, plain.covering(p))
                    << p;
            }
        }
    }
}

TEST(CleanQueueTest, AHundredThousandTickedFilesAndTheFolderAboveThem) {
    std::vector<CleanItem> files;
    for (int i = 0; i < 100000; ++i)
        files.push_back(item("/data/d" + std::to_string(i % 100) + "/f" + std::to_string(i), Kind::file));
    CleanQueue queue;
    QSignalSpy spy(&queue, &CleanQueue::itemsChanged);
    queue.add(files);
    ASSERT_EQ(queue.items().size(), files.size());
    EXPECT_EQ(spy.count(), 1);
    for (const CleanItem& f : files)
        ASSERT_TRUE(queue.includes(f.id)) << f.id;

    // One folder takes the thousand files inside it; the rest keep their order.
    queue.add(item("/data/d7", Kind::folder));
    ASSERT_EQ(queue.items().size(), files.size() - 1000 + 1);
    EXPECT_EQ(queue.items().back().id, "/data/d7");
    EXPECT_EQ(queue.covering("/data/d7/f7")->id, "/data/d7");
    EXPECT_EQ(queue.items().front().id, "/data/d0/f0");

    // A removal that took every other file leaves exactly the rest.
    std::unordered_set<std::string> gone;
    for (size_t i = 0; i < files.size(); i += 2)
        gone.insert(files[i].id);
    queue.removeEvaporated(gone, {});
    for (const CleanItem& f : queue.items())
        ASSERT_FALSE(gone.count(f.id)) << f.id;
    EXPECT_FALSE(queue.contains("/data/d0/f0"));
    EXPECT_TRUE(queue.contains("/data/d1/f1"));
}

// A long list handed to a worker ends as the same queue as when added at once; a change made before
// it comes back stays, with the list applied after it; a queue gone by then is simply not touched.
TEST(CleanQueueTest, ALongListAddedAsideEndsAsIfAddedAtOnce) {
    std::vector<CleanItem> list;
    for (size_t i = 0; i < CleanQueue::kAsideFrom + 10; ++i)
        list.push_back(item("/d" + std::to_string(i % 7) + "/f" + std::to_string(i), Kind::file));
    list.push_back(item("/d3", Kind::folder));     // takes the files listed inside it before
    list.push_back(item("/d3/late", Kind::file));  // covered by then
    const CleanItem before = item("/d5", Kind::folder);
    const CleanItem meanwhile = item("/d1/f1", Kind::file);

    auto finish = [] {
        Background::userInitiated().waitForDone();
        deliverPosted();
    };
    {
        CleanQueue aside, atOnce;
        aside.add(before);
        atOnce.add(before);
        QSignalSpy spy(&aside, &CleanQueue::itemsChanged);
        aside.addAside(list);
        EXPECT_EQ(ids(aside), std::vector<std::string>{"/d5"});  // unchanged until the worker is back
        atOnce.add(list);
        finish();
        EXPECT_EQ(ids(aside), ids(atOnce));
        EXPECT_EQ(spy.count(), 1);
        EXPECT_TRUE(aside.covering("/d3/f3"));
        EXPECT_TRUE(aside.contains("/d6/f6"));
    }
    {
        CleanQueue aside, atOnce;
        aside.addAside(list);
        aside.add(meanwhile);
        atOnce.add(meanwhile);
        atOnce.add(list);
        finish();
        EXPECT_EQ(ids(aside), ids(atOnce));
        EXPECT_EQ(ids(aside).front(), meanwhile.id);
    }
    {
        // A list made aside from data that changed by the time it is back is made again, and only
        // the fresh one is added; a making with nothing left to make from adds nothing.
        CleanQueue queue;
        int asked = 0;
        queue.addAside([&]() -> CleanQueue::Making {
            ++asked;
            if (asked == 1) return {[&] { return list; }, [] { return false; }, {}};
            return {[&] { return std::vector<CleanItem>{meanwhile}; }, [] { return true; }, {}};
        });
        settle({&Background::userInitiated()});
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(ids(queue), std::vector<std::string>{meanwhile.id});
        queue.addAside([] { return CleanQueue::Making{}; });
        settle({&Background::userInitiated()});
        EXPECT_EQ(ids(queue), std::vector<std::string>{meanwhile.id});
    }
    {
        auto gone = std::make_unique<CleanQueue>();
        gone->addAside(list);
        gone.reset();
        finish();  // nothing left to hand the list to
    }
}

}  // namespace
}  // namespace nimbrel
