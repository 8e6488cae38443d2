#include "views/space/explorer_model.h"

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "engine/path_rules.h"
#include "model/clean_queue.h"
#include "util/fmt.h"
#include "util/name_order.h"
#include "util/plural.h"
#include "views/space/explorer_listing.h"

namespace nimbrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("ExplorerModel", text);
}

std::optional<FileCategory> categoryOfName(const std::string& name) {
    return FileCategory::classify(asciiLower(pathExtension(name)));
}

}  // namespace

// Entries are made on the main thread: their verdicts never wait on the disk. A folder is judged as
// a folder, a file as a folder when it is a package; a size is known for everything but folders.
void ExplorerEntry::judgeAgain() {
    const bool asDirectory = node ? true : file ? file->isPackage : isDirectory;
    const bool sized = !node && (file || !isDirectory);
    KnownRisk known = RiskCatalog::assessKnown(id, asDirectory, artifactKind.has_value(),
                                               sized ? std::optional(size) : std::nullopt);
    risk = std::move(known.risk);
    awaitsProbe = known.awaitsProbe;
}

// --- entries -------------------------------------------------------------------------------------

ExplorerEntry ExplorerEntry::fromNode(const std::shared_ptr<DirNode>& node) {
    ExplorerEntry e;
    e.id = node->path();
    // On macOS the children of the home folder take the file manager's localised names; elsewhere
    // that name is the folder's own.
    e.name = node->name;
    e.size = node->size();
    e.isDirectory = true;
    e.artifactKind = node->artifactKind();
    e.fileCount = node->fileCount();
    e.node = node;
    e.judgeAgain();
    return e;
}

ExplorerEntry ExplorerEntry::fromFile(const FileItem& file) {
    ExplorerEntry e;
    e.id = file.path;
    e.name = file.name;
    e.size = file.size;
    e.category = file.category;
    e.file = file;
    e.file->parent = nullptr;  // the copy outlives the tree it came from
    e.judgeAgain();
    return e;
}

ExplorerEntry ExplorerEntry::fromDiscovered(const DiscoveredEntry& d) {
    ExplorerEntry e;
    e.id = d.path;
    e.name = d.name;
    e.size = d.size;
    e.isDirectory = d.isDirectory;
    e.artifactKind = d.artifactKind;
    e.measuring = d.measuring;
    e.identity = d.identity;
    if (!d.isDirectory) e.category = categoryOfName(d.name);
    e.judgeAgain();
    return e;
}

ExplorerEntry ExplorerEntry::smallFile(const std::string& path, std::int64_t size,
                                       std::optional<EntryIdentity> identity) {
    ExplorerEntry e;
    e.identity = std::move(identity);
    e.id = path;
    e.name = PathRules::lastComponent(path);
    e.size = size;
    e.category = categoryOfName(e.name);
    e.judgeAgain();
    return e;
}

CleanItem ExplorerEntry::cleanItem() const {
    if (node) return CleanItem::folder(*node, CleanItem::Source::space);
    if (file) return CleanItem::file(*file, CleanItem::Source::space);
    // Found on disk since the scan, or not listed by it: what the listing saw.
    CleanItem item;
    item.source = CleanItem::Source::space;
    item.id = id;
    item.name = name;
    item.size = size;
    item.kind = !isDirectory   ? CleanItem::Kind::file
                : artifactKind ? CleanItem::Kind::artifact
                               : CleanItem::Kind::folder;
    item.heat = artifactKind ? 1.0 : 0.0;
    item.identity = identity;
    item.symbolPath = item.id;
    return item;
}

const std::unordered_set<std::string>& ExplorerEntry::cacheNames() {
    static const std::unordered_set<std::string> names = {"caches", "cache",       ".cache", "logs", "tmp",
                                                          "temp",   "deriveddata", ".tmp",   ".npm", ".yarn"};
    return names;
}

// --- placeholders and tiles ----------------------------------------------------------------------

namespace Placeholders {
using K = PlaceholderKind;
const std::array<PlaceholderKind, 24> pattern = {
    K::folder, K::document, K::movie,   K::folder,    K::image,  K::archive, K::text,     K::folder,
    K::app,    K::image,    K::folder,  K::diskImage, K::movie,  K::text,    K::folder,   K::document,
    K::image,  K::folder,   K::archive, K::text,      K::folder, K::movie,   K::document, K::folder};

bool isStained(int p) {
    return p == 1 || p == 5 || p == 11 || p == 14 || p == 19;
}
bool isBloated(int p) {
    return p == 2 || p == 12;
}

std::pair<const char*, bool> iconPath(PlaceholderKind kind) {
    switch (kind) {
        case K::folder:
            return {"/placeholder", true};
        case K::document:
            return {"/placeholder.pdf", false};
        case K::text:
            return {"/placeholder.txt", false};
        case K::movie:
            return {"/placeholder.mov", false};
        case K::image:
            return {"/placeholder.png", false};
        case K::archive:
            return {"/placeholder.zip", false};
        case K::app:
            return {"/placeholder.app", false};
        case K::diskImage:
            return {"/placeholder.dmg", false};
    }
    return {"/placeholder", true};
}
}  // namespace Placeholders

std::string ExplorerTile::id() const {
    return entry ? entry->id : "placeholder-" + std::to_string(seed);
}

// --- choices -------------------------------------------------------------------------------------

const std::array<ExplorerFilter, 6>& allFilters() {
    static const std::array<ExplorerFilter, 6> all = {ExplorerFilter::all,     ExplorerFilter::folders,
                                                      ExplorerFilter::files,   ExplorerFilter::stained,
                                                      ExplorerFilter::bloated, ExplorerFilter::selected};
    return all;
}

const std::array<ExplorerSort, 3>& allSorts() {
    static const std::array<ExplorerSort, 3> all = {ExplorerSort::size, ExplorerSort::name,
                                                    ExplorerSort::kind};
    return all;
}

const char* rawValue(ExplorerFilter f) {
    static const char* names[] = {"all", "folders", "files", "stained", "bloated", "selected"};
    return names[static_cast<int>(f)];
}
const char* rawValue(ExplorerSort s) {
    static const char* names[] = {"size", "name", "kind"};
    return names[static_cast<int>(s)];
}
const char* rawValue(ExplorerLayout l) {
    return l == ExplorerLayout::icons ? "icons" : "list";
}

std::optional<ExplorerFilter> filterFromRaw(const QString& raw) {
    for (ExplorerFilter f : allFilters())
        if (raw == QLatin1String(rawValue(f))) return f;
    return std::nullopt;
}
std::optional<ExplorerSort> sortFromRaw(const QString& raw) {
    for (ExplorerSort s : allSorts())
        if (raw == QLatin1String(rawValue(s))) return s;
    return std::nullopt;
}
std::optional<ExplorerLayout> layoutFromRaw(const QString& raw) {
    if (raw == QLatin1String("icons")) return ExplorerLayout::icons;
    if (raw == QLatin1String("list")) return ExplorerLayout::list;
    return std::nullopt;
}

QString title(ExplorerFilter f) {
    switch (f) {
        case ExplorerFilter::all:
            return tr("All");
        case ExplorerFilter::folders:
            return tr("Folders");
        case ExplorerFilter::files:
            return tr("Files");
        case ExplorerFilter::stained:
            return tr("Grime");
        case ExplorerFilter::bloated:
            return tr("Heavy");
        case ExplorerFilter::selected:
            return tr("Selected");
    }
    return {};
}

QString title(ExplorerSort s) {
    switch (s) {
        case ExplorerSort::size:
            return tr("Size");
        case ExplorerSort::name:
            return tr("Name");
        case ExplorerSort::kind:
            return tr("Kind");
    }
    return {};
}

// --- marking -------------------------------------------------------------------------------------

ExplorerModel::Grime ExplorerModel::grime(const ExplorerEntry& e) {
    if (!isGrime(e.risk.level, e.artifactKind.has_value(), e.name, e.category)) return Grime::no;
    // A repository is never grime: only an entry judged grime for now can wait on its probe.
    return e.awaitsProbe ? Grime::pending : Grime::yes;
}

bool ExplorerModel::isGrime(Risk::Level level, bool hasArtifactKind, std::string_view name,
                            std::optional<FileCategory> category) {
    using L = Risk::Level;
    if (level == L::safe) return true;
    if (level == L::normal && hasArtifactKind) return true;
    if (level == L::normal && !hasArtifactKind && ExplorerEntry::cacheNames().count(asciiLower(name)))
        return true;
    return (level == L::normal || level == L::caution) && category == FileCategory::diskImage;
}

int ExplorerModel::seed(const std::string& id) {
    const auto h = static_cast<std::int64_t>(std::hash<std::string>{}(id));
    return static_cast<int>(std::llabs(h % 997));
}

std::vector<ExplorerTile> ExplorerModel::mark(const std::vector<ExplorerEntry>& entries, std::int64_t total) {
    std::vector<Grime> grimes(entries.size());
    std::vector<size_t> candidates;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ExplorerEntry& e = entries[i];
        grimes[i] = grime(e);
        if (grimes[i] == Grime::no && !e.measuring && e.size >= kHeavyMinimum &&
            static_cast<double>(e.size) >= kHeavyShare * static_cast<double>(total))
            candidates.push_back(i);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](size_t a, size_t b) { return entries[a].size > entries[b].size; });
    if (candidates.size() > kHeavyCount) candidates.resize(kHeavyCount);
    std::vector<bool> heavy(entries.size());
    for (size_t i : candidates)
        heavy[i] = true;

    std::vector<ExplorerTile> tiles;
    tiles.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto condition = grimes[i] == Grime::yes ? ExplorerTile::Condition::stained
                               : heavy[i]              ? ExplorerTile::Condition::bloated
                                                       : ExplorerTile::Condition::clean;
        tiles.push_back({entries[i], PlaceholderKind::folder, condition, seed(entries[i].id)});
    }
    return tiles;
}

// --- matching and ordering -----------------------------------------------------------------------

bool ExplorerModel::matches(const ExplorerTile& tile, const QString& search, ExplorerFilter filter,
                            const CleanQueue& queue) {
    if (!tile.entry) return false;
    const ExplorerEntry& e = *tile.entry;
    if (!search.isEmpty() && !QString::fromUtf8(e.name).contains(search, Qt::CaseInsensitive)) return false;
    switch (filter) {
        case ExplorerFilter::all:
            return true;
        case ExplorerFilter::folders:
            return e.isDirectory;
        case ExplorerFilter::files:
            return !e.isDirectory;
        case ExplorerFilter::stained:
            return tile.condition == ExplorerTile::Condition::stained;
        case ExplorerFilter::bloated:
            return tile.condition == ExplorerTile::Condition::bloated;
        case ExplorerFilter::selected:
            return queue.contains(e.id);
    }
    return false;
}

int ExplorerModel::compareNames(const std::string& a, const std::string& b) {
    return NameOrder::compare(QString::fromUtf8(a), QString::fromUtf8(b));
}

namespace {
std::string kindKey(const ExplorerEntry& e) {
    if (e.isDirectory) return {};
    return e.category ? e.category->title() : std::string("~");
}
}  // namespace

bool ExplorerModel::order(ExplorerSort sort, const ExplorerTile& a, const ExplorerTile& b) {
    if (!a.entry || !b.entry) return false;
    const ExplorerEntry& x = *a.entry;
    const ExplorerEntry& y = *b.entry;
    switch (sort) {
        case ExplorerSort::size:
            return x.size > y.size;
        case ExplorerSort::name:
            return compareNames(x.name, y.name) < 0;
        case ExplorerSort::kind: {
            const std::string kx = kindKey(x), ky = kindKey(y);
            if (kx != ky) return kx < ky;
            return x.size > y.size;
        }
    }
    return false;
}

void ExplorerModel::sortTiles(std::vector<ExplorerTile>& tiles, ExplorerSort sort) {
    if (sort == ExplorerSort::name) {
        // One sort key per tile instead of collating both names on every comparison.
        std::vector<std::pair<QCollatorSortKey, size_t>> keys;
        keys.reserve(tiles.size());
        for (size_t i = 0; i < tiles.size(); ++i)
            keys.emplace_back(
                NameOrder::sortKey(tiles[i].entry ? QString::fromUtf8(tiles[i].entry->name) : QString()), i);
        std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
            if (!tiles[a.second].entry || !tiles[b.second].entry) return false;
            return a.first.compare(b.first) < 0;
        });
        std::vector<ExplorerTile> sorted;
        sorted.reserve(tiles.size());
        for (const auto& k : keys)
            sorted.push_back(std::move(tiles[k.second]));
        tiles = std::move(sorted);
        return;
    }
    std::stable_sort(tiles.begin(), tiles.end(),
                     [sort](const ExplorerTile& a, const ExplorerTile& b) { return order(sort, a, b); });
}

// --- tile lists ----------------------------------------------------------------------------------

std::vector<ExplorerTile> ExplorerModel::welcomeTiles() {
    std::vector<ExplorerTile> tiles;
    for (int i = 0; i < 24; ++i) {
        const auto c = Placeholders::isStained(i)   ? ExplorerTile::Condition::stained
                       : Placeholders::isBloated(i) ? ExplorerTile::Condition::bloated
                                                    : ExplorerTile::Condition::clean;
        tiles.push_back(ExplorerTile::placeholder(Placeholders::pattern[i], c, i));
    }
    return tiles;
}

std::vector<ExplorerTile> ExplorerModel::discoveringTiles(const DiscoveredList& discovered,
                                                          std::int64_t bytesScanned) {
    std::vector<ExplorerEntry> entries;
    entries.reserve(discovered.size());
    for (const DiscoveredEntry& d : discovered)
        entries.push_back(ExplorerEntry::fromDiscovered(d));
    std::vector<ExplorerTile> tiles = mark(entries, bytesScanned);
    const int n = static_cast<int>(tiles.size());
    const int padding = n < 20 ? 24 - n : 4;
    for (int k = 0; k < padding; ++k) {
        const int p = n + k;
        tiles.push_back(
            ExplorerTile::placeholder(Placeholders::pattern[p % 24], ExplorerTile::Condition::clean, p));
    }
    return tiles;
}

std::vector<ExplorerTile> ExplorerModel::explorerTiles(const std::shared_ptr<DirNode>& node,
                                                       const std::vector<ExplorerEntry>& smallFiles,
                                                       const QString& search, ExplorerFilter filter,
                                                       ExplorerSort sort, const CleanQueue& queue) {
    if (!node) return {};
    ExplorerListing listing(node, smallFiles);
    listing.show(search, filter, sort, queue);
    std::vector<ExplorerTile> tiles;
    tiles.reserve(listing.shown().size());
    for (ExplorerListing::Row row : listing.shown())
        tiles.push_back(listing.tile(row));
    return tiles;
}

std::size_t ExplorerModel::selectionHash(const CleanQueue& queue) {
    std::size_t h = 1469598103934665603ull;
    for (const CleanItem& item : queue.items())
        h = (h ^ std::hash<std::string>{}(item.id)) * 1099511628211ull;
    return h;
}

std::int64_t ExplorerModel::heaviest(const std::vector<ExplorerTile>& tiles) {
    std::int64_t most = 1;
    for (const ExplorerTile& t : tiles)
        if (t.entry) most = std::max(most, t.entry->size);
    return most;
}

double ExplorerModel::steamIntensity(std::int64_t b) {
    if (b <= 0) return 0.12;
    constexpr double kLog801 = 2.9036325160842376;
    return std::min(0.3 + 0.65 * std::log10(1 + 8.0 * static_cast<double>(b) / 1e9) / kLog801, 0.95);
}

double ExplorerModel::placeholderBarWidth(int seed, ExplorerLayout layout) {
    const double w = layout == ExplorerLayout::icons ? 80 : 220;
    return w * (0.45 + ((37 * seed) % 40) / 100.0);
}

ExplorerModel::EmptyText ExplorerModel::emptyText(const QString& search, ExplorerFilter filter,
                                                  const DirNode* node, std::size_t listed) {
    // A folder that takes no space lists nothing whatever the filter: its folders hold only empty
    // files (or nothing), so say that rather than that nothing matches.
    if (search.isEmpty() && node && node->size() <= 0 && node->smallFilesSize() <= 0) {
        if (node->fileCount() > 0)
            return {tr("Everything here is empty"),
                    Plural::choose(node->fileCount(),
                                   tr("Its %1 file holds no data, so nothing here takes space."),
                                   tr("Its %1 files hold no data, so nothing here takes space."))
                        .arg(Fmt::count(node->fileCount())),
                    false};
        if (!node->children().empty())
            return {tr("Everything here is empty"), tr("Only empty folders, so nothing here takes space."),
                    false};
        return {tr("This folder is empty"), tr("It holds no files and no folders."), false};
    }
    if (search.isEmpty() && filter == ExplorerFilter::all) {
        // Nothing is filtered out: what is here is below the size listed one by one.
        if (node && node->smallFilesSize() > 0)
            return {tr("Only small files"), tr("Files too small to list one by one are gathered below."),
                    false};
        return {tr("Nothing listed"), emptyMessage(search, filter), false};
    }
    // The button clears the search and the filter: offered only when they hide an entry, or the
    // small files' row, which only the Folders filter hides.
    const bool hides =
        listed > 0 || (filter == ExplorerFilter::folders && node && node->smallFilesSize() > 0);
    return {tr("Nothing matches"), emptyMessage(search, filter), hides};
}

QString ExplorerModel::emptyMessage(const QString& search, ExplorerFilter filter) {
    if (!search.isEmpty()) return tr("Nothing here is named like “%1”.").arg(search);
    if (filter == ExplorerFilter::all) return tr("Nothing listed in this folder.");
    return tr("No %1 in this folder.").arg(title(filter).toLower());
}

}  // namespace nimbrel
