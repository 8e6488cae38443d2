#include "views/space/explorer_listing.h"

#include <QStringDecoder>
#include <QStringView>
#include <algorithm>
#include <array>
#include <unordered_set>

#include "model/clean_queue.h"
#include "util/name_order.h"

namespace nimbrel {

namespace {

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `needle` is already lower-case ASCII.
bool containsAsciiFolded(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size()) return false;
    for (size_t start = 0; start + needle.size() <= haystack.size(); ++start) {
        size_t k = 0;
        while (k < needle.size() && lowerAscii(haystack[start + k]) == needle[k])
            ++k;
        if (k == needle.size()) return true;
    }
    return false;
}

}  // namespace

ExplorerListing::ExplorerListing(std::shared_ptr<DirNode> node, std::vector<ExplorerEntry> smallFiles)
    : node_(std::move(node)), small_(std::move(smallFiles)) {
    prefix_ = node_->path();
    if (prefix_.empty() || prefix_.back() != '/') prefix_ += '/';
    const auto& children = node_->children();
    const auto& files = node_->files();
    refs_.reserve(children.size() + files.size() + small_.size());
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i]->size() > 0) refs_.push_back({static_cast<std::uint32_t>(i), Source::child});
    for (size_t i = 0; i < files.size(); ++i)
        refs_.push_back({static_cast<std::uint32_t>(i), Source::file});
    std::stable_sort(refs_.begin(), refs_.end(), [this](const Ref& a, const Ref& b) {
        const auto sizeOf = [this](const Ref& r) {
            return r.source == Source::child ? node_->children()[r.index]->size()
                                             : node_->files()[r.index].size;
        };
        return sizeOf(a) > sizeOf(b);
    });
    folderEntries_ = refs_.size();
    for (size_t i = 0; i < small_.size(); ++i)
        refs_.push_back({static_cast<std::uint32_t>(i), Source::small});
    grime_.assign(refs_.size(), -1);
    awaiting_.assign(refs_.size(), false);
    markHeavy();
}

void ExplorerListing::markHeavy() {
    // Heavy: the three largest entries that are not grime, at least 1 GB and 15% of the folder. The
    // entries are in size order, so the candidates lead the list and only their risk is needed.
    // Small files are never heavy.
    for (Row row : heavyRows_)
        heavy_[row] = false;
    heavy_.resize(refs_.size(), false);
    heavyRows_.clear();
    for (Row row = 0;
         row < folderEntries_ && heavyRows_.size() < static_cast<size_t>(ExplorerModel::kHeavyCount); ++row) {
        const std::int64_t s = size(row);
        if (s < ExplorerModel::kHeavyMinimum ||
            static_cast<double>(s) < ExplorerModel::kHeavyShare * static_cast<double>(node_->size()))
            break;
        if (grime(row) != ExplorerModel::Grime::no) continue;
        heavy_[row] = true;
        heavyRows_.push_back(row);
    }
}

// --- rows ----------------------------------------------------------------------------------------

std::string ExplorerListing::id(Row row) const {
    const Ref r = refs_[row];
    switch (r.source) {
        case Source::child:
            return prefix_ + node_->children()[r.index]->name;
        case Source::file:
            return node_->files()[r.index].path;
        case Source::small:
            return small_[r.index].id;
    }
    return {};
}

std::int64_t ExplorerListing::size(Row row) const {
    const Ref r = refs_[row];
    switch (r.source) {
        case Source::child:
            return node_->children()[r.index]->size();
        case Source::file:
            return node_->files()[r.index].size;
        case Source::small:
            return small_[r.index].size;
    }
    return 0;
}

std::string_view ExplorerListing::name(Row row) const {
    const Ref r = refs_[row];
    switch (r.source) {
        case Source::child:
            return node_->children()[r.index]->name;
        case Source::file:
            return node_->files()[r.index].name;
        case Source::small:
            return small_[r.index].name;
    }
    return {};
}

bool ExplorerListing::isDirectory(Row row) const {
    return refs_[row].source == Source::child;
}

KnownRisk ExplorerListing::knownRisk(Row row) const {
    const Ref r = refs_[row];
    if (r.source == Source::child)
        return RiskCatalog::assessKnown(id(row), true, node_->children()[r.index]->artifactKind().has_value(),
                                        std::nullopt);
    const FileItem& f = node_->files()[r.index];
    return RiskCatalog::assessKnown(f.path, f.isPackage, false, f.size);
}

ExplorerModel::Grime ExplorerListing::grime(Row row) const {
    using G = ExplorerModel::Grime;
    if (grime_[row] >= 0) return static_cast<G>(grime_[row]);
    const Ref r = refs_[row];
    G verdict = G::no;
    if (r.source == Source::small) {
        verdict = ExplorerModel::grime(small_[r.index]);
    } else {
        const KnownRisk known = knownRisk(row);
        bool grime = false;
        if (r.source == Source::child) {
            const DirNode& child = *node_->children()[r.index];
            grime = ExplorerModel::isGrime(known.risk.level, child.artifactKind().has_value(), child.name,
                                           std::nullopt);
        } else {
            const FileItem& f = node_->files()[r.index];
            grime = ExplorerModel::isGrime(known.risk.level, false, f.name, f.category);
        }
        // A repository is never grime: only a row judged grime for now can change.
        verdict = !grime ? G::no : known.awaitsProbe ? G::pending : G::yes;
        if (verdict == G::pending) awaitProbe(row, false);
    }
    grime_[row] = static_cast<std::int8_t>(verdict);
    return verdict;
}

void ExplorerListing::awaitProbe(Row row, bool forTile) const {
    (forTile ? tileProbes_ : conditionProbes_).push_back(row);
    if (awaiting_[row]) return;
    awaiting_[row] = true;
    awaitingRows_.push_back(row);
}

std::vector<std::string> ExplorerListing::takeProbes() {
    std::vector<std::string> paths;
    std::unordered_set<Row> taken;
    for (const std::vector<Row>* rows : {&tileProbes_, &conditionProbes_})
        for (Row row : *rows)
            if (taken.insert(row).second) paths.push_back(id(row));
    tileProbes_.clear();
    conditionProbes_.clear();
    return paths;
}

bool ExplorerListing::learnt() {
    std::vector<Row> still;
    bool settled = false;
    for (Row row : awaitingRows_) {
        if (knownRisk(row).awaitsProbe) {
            still.push_back(row);
            continue;
        }
        awaiting_[row] = false;
        grime_[row] = -1;
        tiles_.erase(row);
        settled = true;
    }
    awaitingRows_ = std::move(still);
    if (!settled) return false;
    hasShown_ = false;  // a row may join the filter's rows: the next show() looks at every row
    // A settled candidate may take a heavy mark from another row or leave one to it.
    std::vector<Row> before = heavyRows_;
    markHeavy();
    before.insert(before.end(), heavyRows_.begin(), heavyRows_.end());
    for (Row row : before)
        tiles_.erase(row);
    return true;
}

ExplorerTile::Condition ExplorerListing::condition(Row row) const {
    if (grime(row) == ExplorerModel::Grime::yes) return ExplorerTile::Condition::stained;
    return heavy_[row] ? ExplorerTile::Condition::bloated : ExplorerTile::Condition::clean;
}

const ExplorerTile& ExplorerListing::tile(Row row) const {
    auto it = tiles_.find(row);
    if (it != tiles_.end()) return it->second;
    const Ref r = refs_[row];
    ExplorerEntry entry = r.source == Source::child  ? ExplorerEntry::fromNode(node_->children()[r.index])
                          : r.source == Source::file ? ExplorerEntry::fromFile(node_->files()[r.index])
                                                     : small_[r.index];
    if (entry.awaitsProbe) awaitProbe(row, true);
    const int seed = ExplorerModel::seed(entry.id);
    ExplorerTile tile{std::move(entry), PlaceholderKind::folder, condition(row), seed};
    return tiles_.emplace(row, std::move(tile)).first->second;
}

// --- search, filter, order -----------------------------------------------------------------------

bool ExplorerListing::nameMatches(Row row, const QString& search, const std::string& asciiNeedle) const {
    if (search.isEmpty()) return true;
    const std::string_view n = name(row);
    if (!asciiNeedle.empty() && isAscii(n)) return containsAsciiFolded(n, asciiNeedle);
    // Anything else is compared as text, decoded into one reused buffer.
    utf16_.resize(n.size() + 1);
    QStringDecoder decode(QStringDecoder::Utf8);
    QChar* end = decode.appendToBuffer(utf16_.data(), QByteArrayView(n.data(), qsizetype(n.size())));
    return QStringView(utf16_.data(), end - utf16_.data()).contains(search, Qt::CaseInsensitive);
}

bool ExplorerListing::filterMatches(Row row, ExplorerFilter filter, const CleanQueue& queue,
                                    std::string& idBuffer) const {
    switch (filter) {
        case ExplorerFilter::all:
            return true;
        case ExplorerFilter::folders:
            return isDirectory(row);
        case ExplorerFilter::files:
            return !isDirectory(row);
        case ExplorerFilter::stained:
            return condition(row) == ExplorerTile::Condition::stained;
        case ExplorerFilter::bloated:
            return condition(row) == ExplorerTile::Condition::bloated;
        case ExplorerFilter::selected: {
            const Ref r = refs_[row];
            if (r.source != Source::child)
                return queue.contains(r.source == Source::file ? node_->files()[r.index].path
                                                               : small_[r.index].id);
            idBuffer.assign(prefix_);
            idBuffer += node_->children()[r.index]->name;
            return queue.contains(idBuffer);
        }
    }
    return false;
}

const std::vector<ExplorerListing::Row>& ExplorerListing::orderFor(ExplorerSort sort) {
    static const std::vector<Row> kNone;
    if (sort == ExplorerSort::name && byName_.size() != refs_.size()) {
        // One collation key per name, made once for the listing and dropped after the sort.
        std::vector<QCollatorSortKey> keys;
        keys.reserve(refs_.size());
        for (Row row = 0; row < refs_.size(); ++row) {
            const std::string_view n = name(row);
            keys.push_back(NameOrder::sortKey(QString::fromUtf8(n.data(), qsizetype(n.size()))));
        }
        byName_.resize(refs_.size());
        for (Row row = 0; row < refs_.size(); ++row)
            byName_[row] = row;
        std::stable_sort(byName_.begin(), byName_.end(),
                         [&](Row a, Row b) { return keys[a].compare(keys[b]) < 0; });
    }
    if (sort == ExplorerSort::kind && byKind_.size() != refs_.size()) {
        // Folders first, then files by their category's title, then files without one; larger first
        // within a kind. Titles compare by character value, not by language.
        std::vector<std::string> keyOf;  // key text per category index, "~" for none
        std::vector<std::uint8_t> key(refs_.size());
        auto keyIndex = [&](const std::string& text) {
            auto it = std::find(keyOf.begin(), keyOf.end(), text);
            if (it != keyOf.end()) return static_cast<std::uint8_t>(it - keyOf.begin());
            keyOf.push_back(text);
            return static_cast<std::uint8_t>(keyOf.size() - 1);
        };
        for (Row row = 0; row < refs_.size(); ++row) {
            const Ref r = refs_[row];
            std::optional<FileCategory> category;
            if (r.source == Source::file) category = node_->files()[r.index].category;
            if (r.source == Source::small) category = small_[r.index].category;
            key[row] = r.source == Source::child ? keyIndex(std::string())
                                                 : keyIndex(category ? category->title() : std::string("~"));
        }
        byKind_.resize(refs_.size());
        for (Row row = 0; row < refs_.size(); ++row)
            byKind_[row] = row;
        std::stable_sort(byKind_.begin(), byKind_.end(), [&](Row a, Row b) {
            if (key[a] != key[b]) return keyOf[key[a]] < keyOf[key[b]];
            return size(a) > size(b);
        });
    }
    if (sort == ExplorerSort::size && !small_.empty() && bySize_.size() != refs_.size()) {
        // The folder's own entries are in size order already; the small files join them by size.
        bySize_.resize(refs_.size());
        for (Row row = 0; row < refs_.size(); ++row)
            bySize_[row] = row;
        std::stable_sort(bySize_.begin(), bySize_.end(), [&](Row a, Row b) { return size(a) > size(b); });
    }
    if (sort == ExplorerSort::name) return byName_;
    if (sort == ExplorerSort::kind) return byKind_;
    return small_.empty() ? kNone : bySize_;
}

void ExplorerListing::show(const QString& search, ExplorerFilter filter, ExplorerSort sort,
                           const CleanQueue& queue) {
    // A longer search keeps a subset of what a shorter one kept, in the same order. The queue may
    // have changed under the selected filter, so that one always starts over.
    const bool narrowing = hasShown_ && filter == lastFilter_ && sort == lastSort_ &&
                           filter != ExplorerFilter::selected &&
                           search.contains(lastSearch_, Qt::CaseInsensitive);
    std::string asciiNeedle;
    if (std::all_of(search.begin(), search.end(), [](QChar c) { return c.unicode() < 0x80; }))
        asciiNeedle = search.toLower().toStdString();
    std::string idBuffer;
    std::vector<Row> next;
    std::int64_t heaviest = 1;
    auto consider = [&](Row row) {
        if (!nameMatches(row, search, asciiNeedle) || !filterMatches(row, filter, queue, idBuffer)) return;
        next.push_back(row);
        heaviest = std::max(heaviest, size(row));
    };
    if (narrowing) {
        for (Row row : shown_)
            consider(row);
    } else {
        const std::vector<Row>& order = orderFor(sort);
        next.reserve(refs_.size());
        if (order.empty())
            for (Row row = 0; row < refs_.size(); ++row)
                consider(row);
        else
            for (Row row : order)
                consider(row);
    }
    next.shrink_to_fit();
    shown_ = std::move(next);
    heaviest_ = heaviest;
    hasShown_ = true;
    lastSearch_ = search;
    lastFilter_ = filter;
    lastSort_ = sort;
}

}  // namespace nimbrel
