#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/dir_node.h"
#include "engine/file_category.h"
#include "engine/file_item.h"
#include "engine/risk_catalog.h"
#include "engine/scan_progress.h"
#include "model/clean_item.h"

namespace nimbrel {

class CleanQueue;

// One folder or file the Space explorer shows. Equal when id, size and the measuring flag are equal:
// a view that diffs entries redraws for a new size, not for, say, a new risk.
struct ExplorerEntry {
    std::string id;  // the absolute path as the scan recorded it
    std::string name;
    std::int64_t size = 0;
    bool isDirectory = false;
    std::optional<std::string> artifactKind;
    bool measuring = false;
    std::optional<std::int64_t> fileCount;
    std::optional<FileCategory> category;
    std::shared_ptr<DirNode> node;  // keeps a scanned folder alive after a removal prunes it
    std::optional<FileItem> file;   // a copy: the scan's file lists are edited in place
    Risk risk;
    // `risk` is what is known so far: the folder's git probe is still to be made (on a worker).
    bool awaitsProbe = false;
    // What the scan or the listing saw of an entry that is neither `node` nor `file`.
    std::optional<EntryIdentity> identity;

    static ExplorerEntry fromNode(const std::shared_ptr<DirNode>& node);
    static ExplorerEntry fromFile(const FileItem& file);
    static ExplorerEntry fromDiscovered(const DiscoveredEntry& discovered);
    // A file listed on demand below the scan's size threshold.
    static ExplorerEntry smallFile(const std::string& path, std::int64_t size,
                                   std::optional<EntryIdentity> identity = std::nullopt);

    CleanItem cleanItem() const;
    // Judges the entry again with what is known now: a probe made since may have answered.
    void judgeAgain();
    // Lower-case folder names that mark grime by name alone.
    static const std::unordered_set<std::string>& cacheNames();

    friend bool operator==(const ExplorerEntry& a, const ExplorerEntry& b) {
        return a.id == b.id && a.size == b.size && a.measuring == b.measuring;
    }
};

enum class PlaceholderKind { folder, document, text, movie, image, archive, app, diskImage };

// The provisional tiles shown before and during a scan.
namespace Placeholders {
extern const std::array<PlaceholderKind, 24> pattern;
bool isStained(int position);  // {1, 5, 11, 14, 19}
bool isBloated(int position);  // {2, 12}
// The path and directory flag whose type icon stands for a kind (the path never exists).
std::pair<const char*, bool> iconPath(PlaceholderKind kind);
}  // namespace Placeholders

// An entry or a placeholder, with its condition (grime is `stained`, heavy is `bloated`) and seed.
struct ExplorerTile {
    enum class Condition { clean, stained, bloated };

    std::optional<ExplorerEntry> entry;  // none for a placeholder
    PlaceholderKind kind = PlaceholderKind::folder;
    Condition condition = Condition::clean;
    int seed = 0;

    static ExplorerTile placeholder(PlaceholderKind kind, Condition condition, int seed) {
        return {std::nullopt, kind, condition, seed};
    }
    bool isPlaceholder() const { return !entry.has_value(); }
    // The entry's path, or "placeholder-" and the seed.
    std::string id() const;
    friend bool operator==(const ExplorerTile& a, const ExplorerTile& b) {
        const bool sameContent =
            a.entry.has_value() == b.entry.has_value() && (a.entry ? *a.entry == *b.entry : a.kind == b.kind);
        return sameContent && a.condition == b.condition && a.seed == b.seed;
    }
};

enum class ExplorerFilter { all, folders, files, stained, bloated, selected };
enum class ExplorerSort { size, name, kind };
enum class ExplorerLayout { icons, list };

const std::array<ExplorerFilter, 6>& allFilters();
const std::array<ExplorerSort, 3>& allSorts();
const char* rawValue(ExplorerFilter filter);
const char* rawValue(ExplorerSort sort);
const char* rawValue(ExplorerLayout layout);
std::optional<ExplorerFilter> filterFromRaw(const QString& raw);
std::optional<ExplorerSort> sortFromRaw(const QString& raw);
std::optional<ExplorerLayout> layoutFromRaw(const QString& raw);
QString title(ExplorerFilter filter);  // "All", "Folders", "Files", "Grime", "Heavy", "Selected"
QString title(ExplorerSort sort);      // "Size", "Name", "Kind"

// The memo key of one explorer tile list.
struct TileKey {
    const DirNode* node = nullptr;  // identity only, never followed
    std::int64_t revision = 0;
    QString search;
    ExplorerFilter filter = ExplorerFilter::all;
    ExplorerSort sort = ExplorerSort::size;
    std::size_t selection = 0;  // hash of the queue's ids under the `selected` filter, else 0
    std::size_t small = 0;      // small-file entries listed for the folder
    friend bool operator==(const TileKey&, const TileKey&) = default;
};

// The explorer's pure rules: marking, matching, ordering and the tile lists of each mode.
struct ExplorerModel {
    static constexpr int kPageSize = 120;
    static constexpr std::int64_t kHeavyMinimum = 1'000'000'000;
    static constexpr double kHeavyShare = 0.15;
    static constexpr int kHeavyCount = 3;

    // One tile per entry, in order: grime, else one of the three heaviest, else clean. An entry
    // whose grime waits on its probe is neither grime nor heavy until the answer comes.
    static std::vector<ExplorerTile> mark(const std::vector<ExplorerEntry>& entries, std::int64_t total);
    // `pending`: grime unless the probe still out finds a repository.
    enum class Grime { no, yes, pending };
    static Grime grime(const ExplorerEntry& entry);
    static bool isGrime(const ExplorerEntry& entry) { return grime(entry) == Grime::yes; }
    static bool isGrime(Risk::Level level, bool hasArtifactKind, std::string_view name,
                        std::optional<FileCategory> category);
    // |hash(id) mod 997|: fixed for the life of the process.
    static int seed(const std::string& id);

    // Whether a tile stays under the search text (as typed) and the filter.
    static bool matches(const ExplorerTile& tile, const QString& search, ExplorerFilter filter,
                        const CleanQueue& queue);
    // The ordering predicate of a stable sort; false when either tile is a placeholder.
    static bool order(ExplorerSort sort, const ExplorerTile& a, const ExplorerTile& b);
    static void sortTiles(std::vector<ExplorerTile>& tiles, ExplorerSort sort);
    // The name order a file browser uses: case-insensitive, digit runs by value.
    static int compareNames(const std::string& a, const std::string& b);

    // Before any scan: the 24 placeholders of the pattern.
    static std::vector<ExplorerTile> welcomeTiles();
    // While scanning: the top-level entries found so far, then clean placeholders up to at least 24
    // tiles and never fewer than 4.
    static std::vector<ExplorerTile> discoveringTiles(const DiscoveredList& discovered,
                                                      std::int64_t bytesScanned);
    // The explorer list of a folder, small files appended and never heavy, filtered and sorted, as
    // whole tiles (the Space view keeps an ExplorerListing instead and makes tiles only when shown).
    static std::vector<ExplorerTile> explorerTiles(const std::shared_ptr<DirNode>& node,
                                                   const std::vector<ExplorerEntry>& smallFiles,
                                                   const QString& search, ExplorerFilter filter,
                                                   ExplorerSort sort, const CleanQueue& queue);
    static std::size_t selectionHash(const CleanQueue& queue);

    // The largest entry size of a list (placeholders skipped), at least 1.
    static std::int64_t heaviest(const std::vector<ExplorerTile>& tiles);
    // The next page size: one more page while some tiles are not shown.
    static int loadMore(int shown, int total) { return shown < total ? shown + kPageSize : shown; }
    // The steamer's water level for the queued bytes.
    static double steamIntensity(std::int64_t queuedBytes);
    // The length of a placeholder's name bar.
    static double placeholderBarWidth(int seed, ExplorerLayout layout);
    // The empty-state message under a search text and filter.
    static QString emptyMessage(const QString& search, ExplorerFilter filter);
    // What the empty state of `node` says, and whether "Show Everything" would show anything more;
    // `listed` counts the entries the folder lists under no search or filter.
    struct EmptyText {
        QString title;
        QString message;
        bool showEverything = false;
        bool operator==(const EmptyText&) const = default;
    };
    static EmptyText emptyText(const QString& search, ExplorerFilter filter, const DirNode* node,
                               std::size_t listed);
};

}  // namespace nimbrel
