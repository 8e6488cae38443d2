#include "views/space/explorer_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "engine/tree_build.h"
#include "model/clean_queue.h"
#include "space_test_support.h"
#include "test_items.h"

namespace nimbrel {
namespace {

using C = ExplorerTile::Condition;
using spacetest::addFolder;

void file(const std::shared_ptr<DirNode>& parent, const std::string& name, std::int64_t size) {
    FileItem f = testFile(0, parent->path() + "/" + name, size);
    f.category = FileCategory::classify(asciiLower(pathExtension(name)));
    TreeBuild::addFile(*parent, f);
}

// A folder with what makes listing hard: grime by name, by build product and by disk image, heavy
// entries, equal sizes across folders and files, an empty folder, names in mixed case, accented and
// not valid UTF-8, and a Kelvin sign that folds to an ASCII "k".
std::shared_ptr<DirNode> awkwardFolder() {
    auto root = std::make_shared<DirNode>("/r", nullptr);
    TreeBuild::setSize(*root, 20'000'000'000);
    addFolder(root, "Archive 2019", 6'000'000'000);
    addFolder(root, "Caches", 5'000'000'000);
    TreeBuild::markArtifact(*addFolder(root, "node_modules", 4'000'000'000), "npm");
    addFolder(root, "Ärchiv Übersicht", 3'500'000'000);
    addFolder(root, "empty", 0);
    addFolder(root, "photos", 700);
    addFolder(root, "Tied", 500);
    file(root, "big movie.MOV", 3'200'000'000);
    file(root, "disk.dmg", 3'100'000'000);
    file(root, "tied.txt", 500);
    file(root, "Report ARCHIVE.pdf", 900);
    file(root, "stra\303\237e.txt", 40);
    file(root, "\342\204\252elvin notes", 30);
    file(root, "bad\377name.bin", 20);
    file(root, "file10", 10);
    file(root, "file2", 10);
    return root;
}

// What the explorer showed before it kept a listing: every entry made, marked, matched and sorted.
struct Shown {
    std::vector<std::string> ids;
    std::vector<C> conditions;
    std::int64_t heaviest = 1;
    bool operator==(const Shown&) const = default;
};

Shown reference(const std::shared_ptr<DirNode>& node, const std::vector<ExplorerEntry>& small,
                const QString& search, ExplorerFilter filter, ExplorerSort sort, const CleanQueue& queue) {
    std::vector<ExplorerEntry> entries;
    for (const auto& child : node->children())
        if (child->size() > 0) entries.push_back(ExplorerEntry::fromNode(child));
    for (const FileItem& f : node->files())
        entries.push_back(ExplorerEntry::fromFile(f));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ExplorerEntry& a, const ExplorerEntry& b) { return a.size > b.size; });
    std::vector<ExplorerTile> tiles = ExplorerModel::mark(entries, node->size());
    for (ExplorerTile& t : ExplorerModel::mark(small, std::numeric_limits<std::int64_t>::max()))
        tiles.push_back(std::move(t));
    std::vector<ExplorerTile> kept;
    for (ExplorerTile& t : tiles)
        if (ExplorerModel::matches(t, search, filter, queue)) kept.push_back(std::move(t));
    ExplorerModel::sortTiles(kept, sort);
    Shown out;
    for (const ExplorerTile& t : kept) {
        out.ids.push_back(t.id());
        out.conditions.push_back(t.condition);
    }
    out.heaviest = ExplorerModel::heaviest(kept);
    return out;
}

Shown listed(const ExplorerListing& listing) {
    Shown out;
    for (ExplorerListing::Row row : listing.shown()) {
        const ExplorerTile& t = listing.tile(row);
        out.ids.push_back(listing.id(row));
        out.conditions.push_back(t.condition);
        EXPECT_EQ(t.id(), listing.id(row));
        EXPECT_EQ(t.condition, listing.condition(row));
        EXPECT_EQ(t.entry->size, listing.size(row));
    }
    out.heaviest = listing.heaviestShown();
    return out;
}

TEST(ExplorerListing, ShowsWhatEveryEntryMadeMarkedAndSortedWouldShow) {
    const auto root = awkwardFolder();
    const std::vector<ExplorerEntry> small = {ExplorerEntry::smallFile("/r/zz small.bin", 600),
                                              ExplorerEntry::smallFile("/r/\xc3\x84pfel.txt", 30),
                                              ExplorerEntry::smallFile("/r/huge.iso", 9'000'000'000)};
    CleanQueue queue;
    CleanItem caches;
    caches.id = "/r/Caches";
    CleanItem disk;
    disk.id = "/r/disk.dmg";
    CleanItem inside;
    inside.id = "/r/Tied/inner";  // inside a shown folder: never the folder itself
    queue.add({caches, disk, inside});

    // Typed one key at a time and taken back, so narrowing and widening both run.
    const std::vector<QString> keystrokes = {"",  "a", "ar", "arc",  "ARCH", "arc",    "",     "k", "K", "ke",
                                             "ß", "ä", "Ä",  "file", "e",    "\uFFFD", "TIED", "",  "x", ""};
    for (ExplorerSort sort : allSorts()) {
        for (ExplorerFilter filter : allFilters()) {
            ExplorerListing listing(root, small);
            for (const QString& search : keystrokes) {
                listing.show(search, filter, sort, queue);
                EXPECT_EQ(listed(listing), reference(root, small, search, filter, sort, queue))
                    << rawValue(sort) << " " << rawValue(filter) << " \"" << search.toStdString() << "\"";
            }
        }
    }
}

TEST(ExplorerListing, SwitchingFilterOrSortOnOneListingStartsOver) {
    const auto root = awkwardFolder();
    CleanQueue queue;
    ExplorerListing listing(root, {});
    const struct {
        QString search;
        ExplorerFilter filter;
        ExplorerSort sort;
    } steps[] = {
        {"e", ExplorerFilter::files, ExplorerSort::name},
        {"e", ExplorerFilter::all, ExplorerSort::name},
        {"ti", ExplorerFilter::all, ExplorerSort::kind},
        {"ti", ExplorerFilter::folders, ExplorerSort::kind},
        {"tie", ExplorerFilter::files, ExplorerSort::size},
        {"", ExplorerFilter::stained, ExplorerSort::size},
        {"", ExplorerFilter::bloated, ExplorerSort::name},
        {"", ExplorerFilter::all, ExplorerSort::size},
    };
    for (const auto& s : steps) {
        listing.show(s.search, s.filter, s.sort, queue);
        EXPECT_EQ(listed(listing), reference(root, {}, s.search, s.filter, s.sort, queue))
            << rawValue(s.sort) << " " << rawValue(s.filter) << " \"" << s.search.toStdString() << "\"";
    }
    // The selected filter follows the queue on every call, even with the same search.
    listing.show("", ExplorerFilter::selected, ExplorerSort::size, queue);
    EXPECT_TRUE(listing.shown().empty());
    CleanItem tied;
    tied.id = "/r/Tied";
    queue.add(tied);
    listing.show("", ExplorerFilter::selected, ExplorerSort::size, queue);
    ASSERT_EQ(listing.shown().size(), 1u);
    EXPECT_EQ(listing.id(listing.shown()[0]), "/r/Tied");
}

}  // namespace
}  // namespace nimbrel
