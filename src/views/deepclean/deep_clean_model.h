#pragma once

#include <QCoreApplication>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/dev_artifact.h"
#include "engine/disk_usage.h"
#include "engine/junk_location.h"
#include "model/clean_item.h"

namespace nimbrel {

class AppState;

// The filter chips of the Deep Clean screen, in chip order.
enum class DeepCleanFilter { all, safe, caution, build };
inline constexpr std::array<DeepCleanFilter, 4> kAllDeepCleanFilters = {
    DeepCleanFilter::all, DeepCleanFilter::safe, DeepCleanFilter::caution, DeepCleanFilter::build};
const char* rawValue(DeepCleanFilter filter);
// Exactly the four raw values; nothing for any other text.
std::optional<DeepCleanFilter> deepCleanFilterFromRaw(const std::string& raw);
QString title(DeepCleanFilter filter);

// The orders of the Deep Clean lists, in picker order.
enum class NameSizeSort { size, name };
inline constexpr std::array<NameSizeSort, 2> kAllNameSizeSorts = {NameSizeSort::size, NameSizeSort::name};
const char* rawValue(NameSizeSort sort);
std::optional<NameSizeSort> nameSizeSortFromRaw(const std::string& raw);
QString label(NameSizeSort sort);

// A listed junk location with its last measurement.
struct MeasuredLocation {
    JunkLocation location;
    DiskUsage usage;
    size_t folders = 0;  // of its folders, those the measurement found

    bool isReadable() const { return usage.readable; }
    // Something to remove and readable: it can be opened, selected and counted as safe.
    bool hasContents() const { return usage.size > 0 && usage.readable; }
};

// What the Deep Clean screen shows for one location row.
struct LocationRow {
    CleanItem item;
    QString subtitle;
    double weight = 0;
    std::optional<QString> badge;
    bool disabled = false;
    std::string symbol;
    // Nothing: the row offers no disclosure.
    std::optional<bool> expanded;
    // The contents block shows under the row.
    bool showsContents = false;
};

// What the Deep Clean screen shows for one build-product row.
struct ProductRow {
    CleanItem item;
    QString subtitle;
    double weight = 0;
};

// The Deep Clean screen's rules without a window: its view-local state (search, filter, sort and the
// opened locations) and every list, total and row derived from that state and the measurements.
// Recomputed from scratch on each change; the lists are a handful of entries.
class DeepCleanModel {
    Q_DECLARE_TR_FUNCTIONS(nimbrel::SteamView)

  public:
    // Build products below this size are neither listed nor selected.
    static constexpr int64_t kMinProductSize = 1'000'000;

    // What the lists are made of, read from the state.
    struct Inputs {
        std::vector<JunkLocation> visibleLocations;  // catalogue order
        std::unordered_map<std::string, DiskUsage> measurements;
        std::unordered_map<std::string, std::vector<std::string>> folders;  // CleanupModel::folders
        // Nothing when there is no scan result.
        std::optional<std::vector<DevArtifact>> artifacts;
        bool hasMeasured = false;
        bool isMeasuring = false;
        std::string home;  // written "~" in subtitles

        static Inputs of(const AppState& state);
    };

    struct Lists {
        std::vector<MeasuredLocation> measured;
        std::vector<DevArtifact> products;
        // Every safe, readable, non-empty location and every listed product, whatever the filter
        // and search.
        std::vector<CleanItem> safeSelection;
        int64_t safeTotal = 0;
        std::vector<MeasuredLocation> shownLocations;
        std::vector<DevArtifact> shownProducts;
    };

    QString search;
    DeepCleanFilter filter = DeepCleanFilter::all;
    NameSizeSort sort = NameSizeSort::size;
    // Kept while the filter or search hides a location, so it comes back opened.
    std::unordered_set<std::string> expanded;

    // A chip turns its filter on, or back to "All" when it is already on.
    void tapChip(DeepCleanFilter chip);
    void toggle(const std::string& locationID);
    void showEverything();

    Lists derive(const Inputs& inputs) const;

    // The figure above the lists: "…" until the first measurement is in.
    static QString figure(const Inputs& inputs, const Lists& lists);
    static bool showsMeasuringRow(const Inputs& inputs) { return inputs.isMeasuring && !inputs.hasMeasured; }
    static bool showsScanHint(const Inputs& inputs) { return !inputs.artifacts.has_value(); }
    static bool showsProducts(const Inputs& inputs, const Lists& lists) {
        return inputs.artifacts.has_value() && !lists.shownProducts.empty();
    }
    static bool showsEmptyState(const Inputs& inputs, const Lists& lists) {
        return inputs.hasMeasured && lists.shownLocations.empty() && lists.shownProducts.empty();
    }

    // The shelves' details: the total of the readable shown locations, of every shown product.
    static int64_t locationsTotal(const Lists& lists);
    static int64_t productsTotal(const Lists& lists);

    std::vector<LocationRow> locationRows(const Inputs& inputs, const Lists& lists) const;
    static std::vector<ProductRow> productRows(const Inputs& inputs, const Lists& lists);

    static CleanItem junkItem(const MeasuredLocation& measured);
    static QString locationSubtitle(const MeasuredLocation& measured, const std::string& home);
    static QString productSubtitle(const DevArtifact& product, const std::string& home);
    // Opens the Space area at the product's folder.
    static void open(AppState& state, const DevArtifact& product);

    // Localised, numeric, case-insensitive order of names, as the file manager sorts.
    static bool namesAscending(const QString& a, const QString& b);
};

}  // namespace nimbrel
