#include "model/files_model.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "model/app_state.h"
#include "util/name_order.h"

namespace nimbrel {

namespace {

int64_t ticks(std::chrono::system_clock::time_point t) {
    return t.time_since_epoch().count();
}

char foldASCII(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The search as bytes to look for in the folded paths, when folding ASCII letters is all it takes:
// a search of ASCII characters only. Others are compared the slow way, as text.
std::optional<std::string> foldedNeedle(const QString& search) {
    std::string out;
    out.reserve(static_cast<size_t>(search.size()));
    for (QChar c : search) {
        if (c.unicode() >= 0x80 || c.unicode() == 0) return std::nullopt;
        out.push_back(foldASCII(static_cast<char>(c.unicode())));
    }
    return out;
}

}  // namespace

// FileIndex

void FileIndex::sync(const std::shared_ptr<ScanResult>& result) {
    if (result != result_) {
        result_ = result;
        build();
    } else if (result_ && result_->files.size() != ids_.size()) {
        prune();
    }
}

void FileIndex::build() {
    ids_.clear();
    sizes_.clear();
    lastUse_.clear();
    modified_.clear();
    categories_.clear();
    packages_.clear();
    folded_.clear();
    starts_.clear();
    for (auto& o : orders_)
        o.reset();
    search_.clear();
    hit_.clear();
    hits_.clear();
    if (!result_) return;
    const std::vector<FileItem>& files = result_->files;
    const size_t n = files.size();
    ids_.reserve(n);
    sizes_.reserve(n);
    lastUse_.reserve(n);
    modified_.reserve(n);
    categories_.reserve(n);
    packages_.reserve(n);
    starts_.reserve(n + 1);
    size_t bytes = 0;
    for (const FileItem& f : files)
        bytes += f.path.size() + 1;
    folded_.resize(bytes);
    char* out = folded_.data();
    for (const FileItem& f : files) {
        ids_.push_back(f.id);
        sizes_.push_back(f.size);
        lastUse_.push_back(ticks(std::max(f.accessed, f.modified)));
        modified_.push_back(ticks(f.modified));
        categories_.push_back(static_cast<uint8_t>(static_cast<FileCategory::Value>(f.category)));
        packages_.push_back(f.isPackage ? 1 : 0);
        starts_.push_back(static_cast<size_t>(out - folded_.data()));
        for (char c : f.path)
            *out++ = foldASCII(c);
        *out++ = '\0';
    }
    starts_.push_back(bytes);
}

// A removal erased files from the result, keeping the order of the rest: walk both lists once to
// map old positions to new ones, then compact every column in place.
void FileIndex::prune() {
    const std::vector<FileItem>& files = result_->files;
    constexpr Row kGone = ~Row(0);
    std::vector<Row> moved(ids_.size(), kGone);
    size_t next = 0;
    for (size_t old = 0; old < ids_.size() && next < files.size(); ++old) {
        if (ids_[old] == files[next].id) moved[old] = static_cast<Row>(next++);
    }
    if (next != files.size()) {  // not a pruning of what was indexed: start over
        build();
        return;
    }
    const auto compact = [&](auto& column) {
        size_t to = 0;
        for (size_t old = 0; old < moved.size(); ++old)
            if (moved[old] != kGone) column[to++] = column[old];
        column.resize(to);
    };
    std::vector<size_t> starts;
    starts.reserve(files.size() + 1);
    size_t at = 0;
    for (size_t old = 0; old < moved.size(); ++old) {
        if (moved[old] == kGone) continue;
        const size_t length = starts_[old + 1] - starts_[old];
        std::memmove(folded_.data() + at, folded_.data() + starts_[old], length);
        starts.push_back(at);
        at += length;
    }
    starts.push_back(at);
    folded_.resize(at);
    starts_ = std::move(starts);
    compact(ids_);
    compact(sizes_);
    compact(lastUse_);
    compact(modified_);
    compact(categories_);
    compact(packages_);
    compact(hit_);
    for (auto& o : orders_) {
        if (!o) continue;
        std::vector<Row> kept;
        kept.reserve(files.size());
        for (Row r : *o)
            if (moved[r] != kGone) kept.push_back(moved[r]);
        *o = std::move(kept);
    }
    std::vector<Row> hits;
    for (Row r : hits_)
        if (moved[r] != kGone) hits.push_back(moved[r]);
    hits_ = std::move(hits);
}

void FileIndex::buildOrder(FileSort sort) {
    std::vector<Row> rows(size());
    std::iota(rows.begin(), rows.end(), Row(0));
    switch (sort) {
        case FileSort::size:
            // The result lists its files largest first, ties in scan order.
            std::stable_sort(rows.begin(), rows.end(), [&](Row a, Row b) { return sizes_[a] > sizes_[b]; });
            break;
        case FileSort::name: {
            // One collation key per file, not one collation per comparison; the keys live only here.
            std::vector<QCollatorSortKey> keys;
            keys.reserve(size());
            for (Row r = 0; r < size(); ++r)
                keys.push_back(NameOrder::sortKey(QString::fromStdString(file(r).name)));
            std::stable_sort(rows.begin(), rows.end(),
                             [&](Row a, Row b) { return keys[a].compare(keys[b]) < 0; });
            break;
        }
        case FileSort::opened:
            std::stable_sort(rows.begin(), rows.end(),
                             [&](Row a, Row b) { return lastUse_[a] < lastUse_[b]; });
            break;
        case FileSort::modified:
            std::stable_sort(rows.begin(), rows.end(),
                             [&](Row a, Row b) { return modified_[a] < modified_[b]; });
            break;
    }
    orders_[static_cast<size_t>(sort)] = std::move(rows);
}

const std::vector<FileIndex::Row>& FileIndex::order(FileSort sort) {
    auto& o = orders_[static_cast<size_t>(sort)];
    if (!o) buildOrder(sort);
    return *o;
}

bool FileIndex::pathContains(Row row, const std::string& folded) const {
    const char* begin = folded_.data() + starts_[row];
    const size_t length = starts_[row + 1] - starts_[row] - 1;
    return memmem(begin, length, folded.data(), folded.size()) != nullptr;
}

const std::vector<uint8_t>* FileIndex::matching(const QString& search) {
    if (search.isEmpty()) return nullptr;
    if (search == search_ && hit_.size() == size()) return &hit_;
    // Typing on only narrows: whatever matches the longer text matched the shorter one.
    const bool narrowing = !search_.isEmpty() && hit_.size() == size() && search.contains(search_);
    const std::optional<std::string> needle = foldedNeedle(search);
    std::vector<Row> hits;
    const auto test = [&](Row r) {
        if (needle) return pathContains(r, *needle);
        return QString::fromStdString(file(r).path).contains(search, Qt::CaseInsensitive);
    };
    if (narrowing) {
        for (Row r : hits_)
            if (test(r)) hits.push_back(r);
    } else if (needle) {
        // One pass over every path at once; a hit skips to the next path.
        const char* data = folded_.data();
        const size_t total = folded_.size();
        size_t from = 0;
        Row row = 0;
        while (from < total) {
            const void* at = memmem(data + from, total - from, needle->data(), needle->size());
            if (!at) break;
            const size_t pos = static_cast<size_t>(static_cast<const char*>(at) - data);
            while (starts_[row + 1] <= pos)
                ++row;
            hits.push_back(row);
            from = starts_[row + 1];
            ++row;
        }
    } else {
        for (Row r = 0; r < size(); ++r)
            if (test(r)) hits.push_back(r);
    }
    if (hit_.size() != size()) hit_.assign(size(), 0);
    for (Row r : hits_)
        hit_[r] = 0;
    for (Row r : hits)
        hit_[r] = 1;
    hits_ = std::move(hits);
    search_ = search;
    return &hit_;
}

// FilesModel

FilesModel::FilesModel(AppState& state) : QObject(&state), state_(state) {
    setObjectName(QStringLiteral("nimbrel-files-model"));
}

FilesModel& FilesModel::of(AppState& state) {
    if (auto* model =
            state.findChild<FilesModel*>(QStringLiteral("nimbrel-files-model"), Qt::FindDirectChildrenOnly))
        return *model;
    return *new FilesModel(state);
}

void FilesModel::sync() {
    const std::shared_ptr<ScanResult>& result = state_.result();
    const size_t count = result ? result->files.size() : 0;
    if (result == synced_ && count == syncedCount_) return;
    index_.sync(result);
    synced_ = result;
    syncedCount_ = count;
    biggestQuery_.reset();
    forgottenQuery_.reset();
}

const FileList& FilesModel::biggest(const BiggestQuery& query) {
    sync();
    if (biggestQuery_ == query) return biggest_;
    const std::vector<uint8_t>* hit = index_.matching(query.search);
    const std::vector<FileIndex::Row>& order = index_.order(query.sort);
    FileList list;
    const bool anyCategory = !query.category.has_value();
    const FileCategory category = query.category.value_or(FileCategory::other);
    for (FileIndex::Row r : order) {
        if (hit && !(*hit)[r]) continue;
        if (!anyCategory && !(index_.category(r) == category)) continue;
        if (query.hidePackages && index_.isPackage(r)) continue;
        list.rows.push_back(r);
        list.totalSize += index_.fileSize(r);
    }
    biggest_ = std::move(list);
    biggestQuery_ = query;
    return biggest_;
}

const FileList& FilesModel::forgotten(const ForgottenQuery& query) {
    sync();
    if (forgottenQuery_ == query) return forgotten_;
    const std::vector<uint8_t>* hit = index_.matching(query.search);
    const std::vector<FileIndex::Row>& order = index_.order(query.sort);
    const int64_t cutoff = ticks(query.cutoff);
    FileList list;
    for (FileIndex::Row r : order) {
        if (index_.fileSize(r) < kForgottenMinSize) continue;
        if (!(index_.lastUse(r) < cutoff)) continue;
        if (hit && !(*hit)[r]) continue;
        list.rows.push_back(r);
        list.totalSize += index_.fileSize(r);
    }
    forgotten_ = std::move(list);
    forgottenQuery_ = query;
    return forgotten_;
}

int64_t FilesModel::largest(const FileList& list, int count) const {
    int64_t most = 1;
    const size_t n = std::min(list.rows.size(), static_cast<size_t>(std::max(0, count)));
    for (size_t i = 0; i < n; ++i)
        most = std::max(most, index_.fileSize(list.rows[i]));
    return most;
}

}  // namespace nimbrel
