#include "model/files_model.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <shared_mutex>
#include <thread>

#include "model/app_state.h"
#include "model/background.h"
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

// Where `needle` (not empty) first occurs in [hay, hay + length). Paths are short, so a memchr for
// the first byte and a compare beat a general substring search with its set-up per call.
const char* findBytes(const char* hay, size_t length, const std::string& needle) {
    const size_t m = needle.size();
    if (m == 0) return hay;
    if (length < m) return nullptr;
    const char first = needle[0];
    const char* p = hay;
    const char* const last = hay + (length - m);
    while (p <= last) {
        p = static_cast<const char*>(std::memchr(p, first, static_cast<size_t>(last - p) + 1));
        if (!p) return nullptr;
        if (std::memcmp(p + 1, needle.data() + 1, m - 1) == 0) return p;
        ++p;
    }
    return nullptr;
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
    recent_.clear();
    hit_.clear();
    if (!result_) return;
    const ListedFiles& files = result_->files;
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
    hit_.assign(n, 0);
    isSizeOrder_ = true;
    for (size_t r = 1; r < n; ++r)
        if (sizes_[r] > sizes_[r - 1]) isSizeOrder_ = false;
}

// A removal erased files from the result, keeping the order of the rest: walk both lists once to
// map old positions to new ones, then compact every column in place.
void FileIndex::prune() {
    const ListedFiles& files = result_->files;
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
    for (auto& o : orders_) {
        if (!o) continue;
        std::vector<Row> kept;
        kept.reserve(files.size());
        for (Row r : *o)
            if (moved[r] != kGone) kept.push_back(moved[r]);
        *o = std::move(kept);
    }
    for (auto& [text, hits] : recent_) {
        std::vector<Row> kept;
        for (Row r : hits)
            if (moved[r] != kGone) kept.push_back(moved[r]);
        hits = std::move(kept);
    }
    hit_.assign(files.size(), 0);
    isSizeOrder_ = true;
    for (size_t r = 1; r < sizes_.size(); ++r)
        if (sizes_[r] > sizes_[r - 1]) isSizeOrder_ = false;
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

const std::vector<uint8_t>& FileIndex::mark(const std::vector<Row>& rows) {
    std::fill(hit_.begin(), hit_.end(), 0);
    for (Row r : rows)
        hit_[r] = 1;
    return hit_;
}

bool FileIndex::pathContains(Row row, const std::string& folded) const {
    const char* begin = folded_.data() + starts_[row];
    const size_t length = starts_[row + 1] - starts_[row] - 1;
    return findBytes(begin, length, folded) != nullptr;
}

namespace {

// Splits [0, count) into a few ranges and runs `work(begin, end, out)` on each at once; the outputs
// are joined in range order, so the rows stay in ascending order.
template <typename Work>
std::vector<FileIndex::Row> inParallel(size_t count, Work work) {
    constexpr size_t kMinPerThread = 50'000;
    const size_t threads = std::clamp<size_t>(count / kMinPerThread, 1, 4);
    std::vector<std::vector<FileIndex::Row>> parts(threads);
    const auto range = [&](size_t t) { work(count * t / threads, count * (t + 1) / threads, parts[t]); };
    std::vector<std::thread> running;
    for (size_t t = 1; t < threads; ++t)
        running.emplace_back(range, t);
    range(0);
    for (std::thread& t : running)
        t.join();
    if (threads == 1) return std::move(parts[0]);
    std::vector<FileIndex::Row> out;
    size_t total = 0;
    for (const auto& p : parts)
        total += p.size();
    out.reserve(total);
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

std::vector<FileIndex::Row> FileIndex::search(const QString& search, const std::vector<Row>* within) const {
    const std::optional<std::string> needle = foldedNeedle(search);
    if (within) {
        const std::vector<Row>& from = *within;
        return inParallel(from.size(), [&](size_t begin, size_t end, std::vector<Row>& out) {
            for (size_t i = begin; i < end; ++i) {
                const Row r = from[i];
                if (needle ? pathContains(r, *needle)
                           : QString::fromStdString(file(r).path).contains(search, Qt::CaseInsensitive))
                    out.push_back(r);
            }
        });
    }
    if (!needle) {
        return inParallel(size(), [&](size_t begin, size_t end, std::vector<Row>& out) {
            for (size_t r = begin; r < end; ++r)
                if (QString::fromStdString(file(static_cast<Row>(r)).path)
                        .contains(search, Qt::CaseInsensitive))
                    out.push_back(static_cast<Row>(r));
        });
    }
    // One search over a whole stretch of paths; a hit skips to the next path.
    return inParallel(size(), [&](size_t begin, size_t end, std::vector<Row>& out) {
        const char* data = folded_.data();
        const size_t stop = starts_[end];
        size_t from = starts_[begin];
        size_t row = begin;
        while (from < stop) {
            const char* at = findBytes(data + from, stop - from, *needle);
            if (!at) break;
            const size_t pos = static_cast<size_t>(at - data);
            while (starts_[row + 1] <= pos)
                ++row;
            out.push_back(static_cast<Row>(row));
            from = starts_[row + 1];
            ++row;
        }
    });
}

const std::vector<FileIndex::Row>* FileIndex::matching(const QString& search) {
    if (search.isEmpty()) return nullptr;
    // Answers to recent searches are kept: typing on narrows the longest one the new text contains,
    // and deleting letters finds its earlier answer again.
    const std::vector<Row>* narrowest = nullptr;
    size_t best = 0;
    for (auto it = recent_.begin(); it != recent_.end(); ++it) {
        if (it->first == search) {
            std::rotate(recent_.begin(), it, it + 1);
            return &recent_.front().second;
        }
        if (search.contains(it->first) && static_cast<size_t>(it->first.size()) > best) {
            best = static_cast<size_t>(it->first.size());
            narrowest = &it->second;
        }
    }
    std::vector<Row> hits = this->search(search, narrowest);
    constexpr size_t kRecent = 12;
    if (recent_.size() >= kRecent) recent_.pop_back();
    recent_.emplace(recent_.begin(), search, std::move(hits));
    return &recent_.front().second;
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
    if (result && result != index_.result() && count >= kBuildAsideFrom) {
        // Lists stay empty until the worker hands the index back.
        if (result != building_) buildAside(result);
        index_ = FileIndex();
        synced_.reset();
        biggestQuery_.reset();
        forgottenQuery_.reset();
        return;
    }
    building_.reset();
    index_.sync(result);
    synced_ = result;
    syncedCount_ = count;
    biggestQuery_.reset();
    forgottenQuery_.reset();
}

void FilesModel::buildAside(const std::shared_ptr<ScanResult>& result) {
    building_ = result;
    Background::run(
        state_.userPool(), this,
        [result, readers = state_.resultReaders()] {
            // The main thread prunes the result in place only while no reader holds this.
            std::shared_lock lock(*readers);
            auto index = std::make_shared<FileIndex>();
            index->sync(result);
            index->order(FileSort::size);  // the order every shelf opens with
            return index;
        },
        [this, result](std::shared_ptr<FileIndex> index) {
            if (building_ != result) return;  // another result came meanwhile
            building_.reset();
            index_ = std::move(*index);
            synced_.reset();
            biggestQuery_.reset();
            forgottenQuery_.reset();
            emit indexReady();
        });
}

const FileList& FilesModel::biggest(const BiggestQuery& query) {
    sync();
    if (building_) {
        biggest_ = {};
        return biggest_;
    }
    if (biggestQuery_ == query) return biggest_;
    FileList list;
    const bool anyCategory = !query.category.has_value();
    const FileCategory category = query.category.value_or(FileCategory::other);
    const auto keep = [&](FileIndex::Row r) {
        if (!anyCategory && !(index_.category(r) == category)) return;
        if (query.hidePackages && index_.isPackage(r)) return;
        list.rows.push_back(r);
        list.totalSize += index_.fileSize(r);
    };
    const std::vector<FileIndex::Row>* hits = index_.matching(query.search);
    if (hits && query.sort == FileSort::size && index_.isSizeOrder()) {
        // The result is stored heaviest first: the hits are in order already.
        for (FileIndex::Row r : *hits)
            keep(r);
    } else if (hits) {
        const std::vector<uint8_t>& marked = index_.mark(*hits);
        for (FileIndex::Row r : index_.order(query.sort))
            if (marked[r]) keep(r);
    } else {
        for (FileIndex::Row r : index_.order(query.sort))
            keep(r);
    }
    biggest_ = std::move(list);
    biggestQuery_ = query;
    return biggest_;
}

const FileList& FilesModel::forgotten(const ForgottenQuery& query) {
    sync();
    if (building_) {
        forgotten_ = {};
        return forgotten_;
    }
    if (forgottenQuery_ == query) return forgotten_;
    const std::vector<FileIndex::Row>* hits = index_.matching(query.search);
    const std::vector<uint8_t>* marked = hits ? &index_.mark(*hits) : nullptr;
    const int64_t cutoff = ticks(query.cutoff);
    FileList list;
    for (FileIndex::Row r : index_.order(query.sort)) {
        if (index_.fileSize(r) < kForgottenMinSize) continue;
        if (!(index_.lastUse(r) < cutoff)) continue;
        if (marked && !(*marked)[r]) continue;
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
