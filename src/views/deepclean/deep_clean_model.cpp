#include "views/deepclean/deep_clean_model.h"

#include <QLocale>
#include <algorithm>

#include "engine/demo.h"
#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "model/app_state.h"
#include "model/cleanup_model.h"
#include "util/fmt.h"
#include "util/name_order.h"
#include "util/plural.h"
#include "views/kit/navigation.h"

namespace nimbrel {

namespace {

QString fromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

bool matches(const std::string& text, const QString& search) {
    return fromUtf8(text).contains(search, Qt::CaseInsensitive);
}

bool keepsLocation(DeepCleanFilter filter, JunkLocation::Risk risk) {
    switch (filter) {
        case DeepCleanFilter::all:
            return true;
        case DeepCleanFilter::safe:
            return risk == JunkLocation::Risk::safe;
        case DeepCleanFilter::caution:
            return risk == JunkLocation::Risk::caution;
        case DeepCleanFilter::build:
            return false;
    }
    return true;
}

bool keepsProducts(DeepCleanFilter filter) {
    return filter != DeepCleanFilter::caution;
}

// Weights are a share of the largest size in the same shelf; a shelf of empty rows divides by 1.
int64_t largestOf(const std::vector<int64_t>& sizes) {
    int64_t largest = 0;
    for (int64_t s : sizes)
        largest = std::max(largest, s);
    return std::max<int64_t>(largest, 1);
}

}  // namespace

const char* rawValue(DeepCleanFilter filter) {
    switch (filter) {
        case DeepCleanFilter::all:
            return "all";
        case DeepCleanFilter::safe:
            return "safe";
        case DeepCleanFilter::caution:
            return "caution";
        case DeepCleanFilter::build:
            return "build";
    }
    return "all";
}

std::optional<DeepCleanFilter> deepCleanFilterFromRaw(const std::string& raw) {
    for (DeepCleanFilter f : kAllDeepCleanFilters)
        if (raw == rawValue(f)) return f;
    return std::nullopt;
}

QString title(DeepCleanFilter filter) {
    switch (filter) {
        case DeepCleanFilter::all:
            return QCoreApplication::translate("nimbrel::SteamView", "All");
        case DeepCleanFilter::safe:
            return QCoreApplication::translate("nimbrel::SteamView", "Safe");
        case DeepCleanFilter::caution:
            return QCoreApplication::translate("nimbrel::SteamView", "Look first");
        case DeepCleanFilter::build:
            return QCoreApplication::translate("nimbrel::SteamView", "Build junk");
    }
    return {};
}

const char* rawValue(NameSizeSort sort) {
    return sort == NameSizeSort::size ? "size" : "name";
}

std::optional<NameSizeSort> nameSizeSortFromRaw(const std::string& raw) {
    for (NameSizeSort s : kAllNameSizeSorts)
        if (raw == rawValue(s)) return s;
    return std::nullopt;
}

QString label(NameSizeSort sort) {
    return sort == NameSizeSort::size ? QCoreApplication::translate("nimbrel::SteamView", "Size")
                                      : QCoreApplication::translate("nimbrel::SteamView", "Name");
}

DeepCleanModel::Inputs DeepCleanModel::Inputs::of(const AppState& state) {
    const CleanupModel& cleanup = state.cleanup();
    Inputs in;
    in.visibleLocations = cleanup.visibleLocations();
    in.measurements = cleanup.measurements();
    in.folders = cleanup.folders();
    if (state.result()) in.artifacts = state.result()->artifacts();
    in.hasMeasured = cleanup.hasMeasured();
    in.isMeasuring = cleanup.isMeasuring();
    // The sample's folders read as they would in its own home.
    const bool demo = state.services().isDemo ? state.services().isDemo() : Demo::isOn();
    in.home = demo ? std::string(Demo::home) : Navigation::home(state);
    return in;
}

void DeepCleanModel::tapChip(DeepCleanFilter chip) {
    filter = filter == chip ? DeepCleanFilter::all : chip;
}

void DeepCleanModel::toggle(const std::string& locationID) {
    if (!expanded.erase(locationID)) expanded.insert(locationID);
}

void DeepCleanModel::showEverything() {
    search.clear();
    filter = DeepCleanFilter::all;
}

bool DeepCleanModel::namesAscending(const QString& a, const QString& b) {
    return NameOrder::before(a, b);
}

DeepCleanModel::Lists DeepCleanModel::derive(const Inputs& in) const {
    Lists out;
    for (const JunkLocation& location : in.visibleLocations) {
        auto m = in.measurements.find(location.id);
        if (m == in.measurements.end()) continue;
        const auto folders = in.folders.find(location.id);
        out.measured.push_back(
            {location, m->second, folders == in.folders.end() ? 0 : folders->second.size()});
    }
    if (in.artifacts) {
        for (const DevArtifact& a : *in.artifacts)
            if (a.size >= kMinProductSize) out.products.push_back(a);
    }

    for (const MeasuredLocation& m : out.measured)
        if (m.location.risk == JunkLocation::Risk::safe && m.hasContents())
            out.safeSelection.push_back(junkItem(m));
    for (const DevArtifact& a : out.products)
        out.safeSelection.push_back(CleanItem::artifact(a));
    for (const CleanItem& item : out.safeSelection)
        out.safeTotal += item.size;

    for (const MeasuredLocation& m : out.measured) {
        if (!keepsLocation(filter, m.location.risk)) continue;
        if (!search.isEmpty() && !matches(m.location.title, search) && !matches(m.location.detail, search))
            continue;
        out.shownLocations.push_back(m);
    }
    if (keepsProducts(filter)) {
        for (const DevArtifact& a : out.products) {
            if (!search.isEmpty() && !matches(a.path, search) && !matches(a.kind, search)) continue;
            out.shownProducts.push_back(a);
        }
    }

    if (sort == NameSizeSort::size) {
        std::stable_sort(
            out.shownLocations.begin(), out.shownLocations.end(),
            [](const MeasuredLocation& a, const MeasuredLocation& b) { return a.usage.size > b.usage.size; });
        std::stable_sort(out.shownProducts.begin(), out.shownProducts.end(),
                         [](const DevArtifact& a, const DevArtifact& b) { return a.size > b.size; });
    } else {
        std::stable_sort(out.shownLocations.begin(), out.shownLocations.end(),
                         [](const MeasuredLocation& a, const MeasuredLocation& b) {
                             return namesAscending(fromUtf8(a.location.title), fromUtf8(b.location.title));
                         });
        // Products read as "project · node_modules", so they order by the project folder alone.
        std::stable_sort(out.shownProducts.begin(), out.shownProducts.end(),
                         [](const DevArtifact& a, const DevArtifact& b) {
                             return namesAscending(
                                 fromUtf8(std::string(PathRules::lastComponent(PathRules::parent(a.path)))),
                                 fromUtf8(std::string(PathRules::lastComponent(PathRules::parent(b.path)))));
                         });
    }
    return out;
}

QString DeepCleanModel::figure(const Inputs& inputs, const Lists& lists) {
    return inputs.hasMeasured ? Fmt::bytes(lists.safeTotal) : QStringLiteral("\u2026");
}

int64_t DeepCleanModel::locationsTotal(const Lists& lists) {
    int64_t total = 0;
    for (const MeasuredLocation& m : lists.shownLocations)
        if (m.isReadable()) total += m.usage.size;
    return total;
}

int64_t DeepCleanModel::productsTotal(const Lists& lists) {
    int64_t total = 0;
    for (const DevArtifact& a : lists.shownProducts)
        total += a.size;
    return total;
}

CleanItem DeepCleanModel::junkItem(const MeasuredLocation& measured) {
    CleanItem item;
    item.id = "junk:" + measured.location.id;
    item.name = measured.location.title;
    item.size = measured.usage.size;
    item.kind = CleanItem::Kind::junk;
    item.heat = measured.location.risk == JunkLocation::Risk::safe ? 1.0 : 0.6;
    item.source = CleanItem::Source::deepClean;
    return item;
}

QString DeepCleanModel::locationSubtitle(const MeasuredLocation& measured, const std::string& home) {
    if (!measured.isReadable()) {
        // Linux has no Full Disk Access to grant; there the folder's own permissions are in the way.
        return HostLayout::judging().isMac() ? tr("needs Full Disk Access") : tr("needs read access");
    }
    const JunkLocation& location = measured.location;
    const auto folders = qlonglong(measured.folders);
    const QString place = location.paths.size() == 1
                              ? fromUtf8(PathRules::tildeForm(location.paths.front(), home))
                              : Plural::choose(folders, tr("%1 folder"), tr("%1 folders")).arg(folders);
    return fromUtf8(location.blurb()) + QStringLiteral(" \u00B7 ") + place;
}

QString DeepCleanModel::productSubtitle(const DevArtifact& product, const std::string& home) {
    return Plural::choose(product.fileCount, tr("%1 \u00B7 %2 file \u00B7 %3"),
                          tr("%1 \u00B7 %2 files \u00B7 %3"))
        .arg(fromUtf8(product.kind), Fmt::count(product.fileCount),
             fromUtf8(PathRules::tildeForm(PathRules::parent(product.path), home)));
}

std::vector<LocationRow> DeepCleanModel::locationRows(const Inputs& inputs, const Lists& lists) const {
    std::vector<int64_t> sizes;
    for (const MeasuredLocation& m : lists.shownLocations)
        sizes.push_back(m.usage.size);
    const int64_t largest = largestOf(sizes);

    std::vector<LocationRow> rows;
    for (const MeasuredLocation& m : lists.shownLocations) {
        LocationRow row;
        row.item = junkItem(m);
        row.subtitle = locationSubtitle(m, inputs.home);
        row.weight = double(m.usage.size) / double(largest);
        if (m.location.risk == JunkLocation::Risk::caution) row.badge = tr("look first");
        row.disabled = !m.hasContents();
        row.symbol = m.location.symbol;
        if (m.hasContents()) row.expanded = expanded.count(m.location.id) > 0;
        row.showsContents = row.expanded.value_or(false);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ProductRow> DeepCleanModel::productRows(const Inputs& inputs, const Lists& lists) {
    std::vector<int64_t> sizes;
    for (const DevArtifact& a : lists.shownProducts)
        sizes.push_back(a.size);
    const int64_t largest = largestOf(sizes);

    std::vector<ProductRow> rows;
    for (const DevArtifact& a : lists.shownProducts)
        rows.push_back(
            {CleanItem::artifact(a), productSubtitle(a, inputs.home), double(a.size) / double(largest)});
    return rows;
}

void DeepCleanModel::open(AppState& state, const DevArtifact& product) {
    state.setFolderFocus(product.path);
    state.setSection(SidebarItem::overview);
}

}  // namespace nimbrel
