#include "model/files_model.h"

#include <algorithm>
#include <cstring>
#include <functional>
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

namespace {

constexpr FileIndex::Row kGone = ~FileIndex::Row(0);

// Rows in their order, each at the position `moved` gives it; those that left are skipped.
std::shared_ptr<const std::vector<FileIndex::Row>> remapped(const std::vector<FileIndex::Row>& rows,
                                                            const std::vector<FileIndex::Row>& moved,
                                                            size_t kept) {
    auto out = std::make_shared<std::vector<FileIndex::Row>>();
    out->reserve(std::min(rows.size(), kept));
    for (FileIndex::Row r : rows)
        if (moved[r] != kGone) out->push_back(moved[r]);
    return out;
}

// Whether the sizes never grow along the list.
bool heaviestFirst(const std::vector<int64_t>& sizes) {
    return std::is_sorted(sizes.begin(), sizes.end(), std::greater<>());
}

}  // namespace

// FileIndex

FileIndex::FileIndex(const FileIndex& other)
    : result_(other.result_), columns_(other.columns_), orders_(other.orders_), recent_(other.recent_) {}

void FileIndex::sync(const std::shared_ptr<const ScanResult>& result) {
    if (result != result_) {
        result_ = result;
        build();
    } else if (result_ && result_->files().size() != size()) {
        prune();
    }
}

void FileIndex::build() {
    columns_.reset();
    for (auto& o : orders_)
        o.reset();
    recent_.clear();
    hit_.clear();
    if (!result_) return;
    auto columns = std::make_shared<Columns>();
    Columns& c = *columns;
    const ListedFiles& files = result_->files();
    const size_t n = files.size();
    c.ids.reserve(n);
    c.sizes.reserve(n);
    c.lastUse.reserve(n);
    c.modified.reserve(n);
    c.categories.reserve(n);
    c.packages.reserve(n);
    c.starts.reserve(n + 1);
    size_t bytes = 0;
    for (const FileItem& f : files)
        bytes += f.path.size() + 1;
    c.folded.resize(bytes);
    char* out = c.folded.data();
    for (const FileItem& f : files) {
        c.ids.push_back(f.id);
        c.sizes.push_back(f.size);
        c.lastUse.push_back(ticks(std::max(f.accessed, f.modified)));
        c.modified.push_back(ticks(f.modified));
        c.categories.push_back(static_cast<uint8_t>(static_cast<FileCategory::Value>(f.category)));
        c.packages.push_back(f.isPackage ? 1 : 0);
        c.starts.push_back(static_cast<size_t>(out - c.folded.data()));
        for (char ch : f.path)
            *out++ = foldASCII(ch);
        *out++ = '\0';
    }
    c.starts.push_back(bytes);
    hit_.assign(n, 0);
    c.isSizeOrder = heaviestFirst(c.sizes);
    columns_ = std::move(columns);
}

// A removal erased files from the result, keeping the order of the rest: walk both lists once to
// map old positions to new ones, then compact every column.
void FileIndex::prune() {
    const ListedFiles& files = result_->files();
    const std::vector<int64_t>& ids = columns_->ids;
    std::vector<Row> moved(ids.size(), kGone);
    size_t next = 0;
    for (size_t old = 0; old < ids.size() && next < files.size(); ++old) {
        if (ids[old] == files[next].id) moved[old] = static_cast<Row>(next++);
    }
    if (next != files.size()) {  // not a pruning of what was indexed: start over
        build();
        return;
    }
    compact(moved, next);
}

namespace {

// Where each row of `count` goes once the rows at `dropped` (ascending) leave; kGone for those.
std::vector<FileIndex::Row> movedWithout(size_t count, const std::vector<size_t>& dropped, size_t& kept) {
    std::vector<FileIndex::Row> moved(count, kGone);
    size_t next = 0, d = 0;
    for (size_t old = 0; old < count; ++old) {
        if (d < dropped.size() && dropped[d] == old) {
            ++d;
            continue;
        }
        moved[old] = static_cast<FileIndex::Row>(next++);
    }
    kept = next;
    return moved;
}

}  // namespace

FileIndex FileIndex::without(const std::vector<size_t>& dropped) const {
    FileIndex out(*this);
    if (!columns_ || dropped.empty()) return out;
    size_t kept = 0;
    const std::vector<Row> moved = movedWithout(size(), dropped, kept);
    out.compact(moved, kept);
    return out;
}

void FileIndex::takeOrders(const FileIndex& older, const std::vector<size_t>& dropped) {
    std::optional<std::vector<Row>> moved;
    size_t kept = 0;
    for (size_t k = 0; k < orders_.size(); ++k) {
        if (orders_[k] || !older.orders_[k]) continue;
        if (!moved) moved = movedWithout(older.size(), dropped, kept);
        orders_[k] = remapped(*older.orders_[k], *moved, kept);
    }
}

void FileIndex::compact(const std::vector<Row>& moved, size_t kept) {
    const Columns& from = *columns_;
    auto columns = std::make_shared<Columns>();
    Columns& c = *columns;
    const auto keep = [&](const auto& column, auto& into) {
        into.reserve(kept);
        for (size_t old = 0; old < moved.size(); ++old)
            if (moved[old] != kGone) into.push_back(column[old]);
    };
    keep(from.ids, c.ids);
    keep(from.sizes, c.sizes);
    keep(from.lastUse, c.lastUse);
    keep(from.modified, c.modified);
    keep(from.categories, c.categories);
    keep(from.packages, c.packages);
    size_t bytes = 0;
    for (size_t old = 0; old < moved.size(); ++old)
        if (moved[old] != kGone) bytes += from.starts[old + 1] - from.starts[old];
    c.folded.resize(bytes);
    c.starts.reserve(kept + 1);
    size_t at = 0;
    for (size_t old = 0; old < moved.size(); ++old) {
        if (moved[old] == kGone) continue;
        const size_t length = from.starts[old + 1] - from.starts[old];
        std::memcpy(c.folded.data() + at, from.folded.data() + from.starts[old], length);
        c.starts.push_back(at);
        at += length;
    }
    c.starts.push_back(at);
    c.isSizeOrder = heaviestFirst(c.sizes);
    for (auto& o : orders_)
        if (o) o = remapped(*o, moved, kept);
    for (auto& [text, hits] : recent_)
        hits = remapped(*hits, moved, kept);
    hit_.assign(kept, 0);
    columns_ = std::move(columns);
}

void FileIndex::buildOrder(FileSort sort) {
    static const Columns none;
    const Columns& c = columns_ ? *columns_ : none;
    std::vector<Row> rows(size());
    std::iota(rows.begin(), rows.end(), Row(0));
    switch (sort) {
        case FileSort::size:
            // The result lists its files largest first, ties in scan order.
            std::stable_sort(rows.begin(), rows.end(), [&](Row a, Row b) { return c.sizes[a] > c.sizes[b]; });
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
                             [&](Row a, Row b) { return c.lastUse[a] < c.lastUse[b]; });
            break;
        case FileSort::modified:
            std::stable_sort(rows.begin(), rows.end(),
                             [&](Row a, Row b) { return c.modified[a] < c.modified[b]; });
            break;
    }
    orders_[static_cast<size_t>(sort)] = std::make_shared<const std::vector<Row>>(std::move(rows));
}

const std::vector<FileIndex::Row>& FileIndex::order(FileSort sort) {
    auto& o = orders_[static_cast<size_t>(sort)];
    if (!o) buildOrder(sort);
    return *o;
}

const std::vector<uint8_t>& FileIndex::mark(const std::vector<Row>& rows) {
    hit_.assign(size(), 0);
    for (Row r : rows)
        hit_[r] = 1;
    return hit_;
}

bool FileIndex::pathContains(Row row, const std::string& folded) const {
    const std::vector<size_t>& starts = columns_->starts;
    const char* begin = columns_->folded.data() + starts[row];
    const size_t length = starts[row + 1] - starts[row] - 1;
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
        const char* data = columns_->folded.data();
        const std::vector<size_t>& starts = columns_->starts;
        const size_t stop = starts[end];
        size_t from = starts[begin];
        size_t row = begin;
        while (from < stop) {
            const char* at = findBytes(data + from, stop - from, *needle);
            if (!at) break;
            const size_t pos = static_cast<size_t>(at - data);
            while (starts[row + 1] <= pos)
                ++row;
            out.push_back(static_cast<Row>(row));
            from = starts[row + 1];
            ++row;
        }
    });
}

bool FileIndex::searchesIndexOnly(const QString& search) const {
    return search.isEmpty() || foldedNeedle(search) ||
           std::any_of(recent_.begin(), recent_.end(),
                       [&](const auto& answer) { return answer.first == search; });
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
            return recent_.front().second.get();
        }
        if (search.contains(it->first) && static_cast<size_t>(it->first.size()) > best) {
            best = static_cast<size_t>(it->first.size());
            narrowest = it->second.get();
        }
    }
    std::vector<Row> hits = this->search(search, narrowest);
    constexpr size_t kRecent = 12;
    if (recent_.size() >= kRecent) recent_.pop_back();
    recent_.emplace(recent_.begin(), search, std::make_shared<const std::vector<Row>>(std::move(hits)));
    return recent_.front().second.get();
}

// FilesModel

FilesModel::FilesModel(AppState& state) : QObject(&state), state_(state) {}

void FilesModel::sync() {
    const std::shared_ptr<const ScanResult>& result = state_.result();
    const size_t count = result ? result->files().size() : 0;
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

void FilesModel::buildAside(const std::shared_ptr<const ScanResult>& result) {
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

std::shared_ptr<FilesModel::Pruning> FilesModel::startPruning() const {
    const std::shared_ptr<const ScanResult>& result = state_.result();
    // A small index is mapped in no time when the shelves next ask.
    if (!result || building_ || synced_ != result || index_.result() != result ||
        index_.size() != result->files().size() || index_.size() < kBuildAsideFrom)
        return nullptr;
    auto pruning = std::make_shared<Pruning>();
    pruning->before = FileIndex(index_);
    pruning->biggestQuery = biggestQuery_;
    pruning->forgottenQuery = forgottenQuery_;
    return pruning;
}

void FilesModel::Pruning::apply(const std::vector<size_t>& drop) {
    dropped = drop;
    after = before.without(dropped);
    // Only answers that read nothing but the index: an order to build or a search of other than
    // ASCII reads the files, which are still where they were before the pruning.
    const auto ready = [&](FileSort sort, const QString& search) {
        return after.searchesIndexOnly(search) &&
               (after.hasOrder(sort) || (!search.isEmpty() && sort == FileSort::size && after.isSizeOrder()));
    };
    if (biggestQuery && ready(biggestQuery->sort, biggestQuery->search))
        biggest = biggestOf(after, *biggestQuery);
    else
        biggestQuery.reset();
    if (forgottenQuery && ready(forgottenQuery->sort, forgottenQuery->search) &&
        after.hasOrder(forgottenQuery->sort))
        forgotten = forgottenOf(after, *forgottenQuery);
    else
        forgottenQuery.reset();
}

bool FilesModel::adopt(Pruning&& pruning, const TreeChange& change) {
    const std::shared_ptr<const ScanResult>& result = state_.result();
    if (!result || building_ || synced_ != result || !index_.sharesColumnsWith(pruning.before) ||
        pruning.after.result() != result || change.droppedListed != pruning.dropped ||
        pruning.after.size() != result->files().size())
        return false;
    // An order first asked for while the removal ran comes along rather than being built again.
    pruning.after.takeOrders(index_, pruning.dropped);
    // The old columns are let go of aside; `before` shares them and goes with the pruning.
    Background::dispose(std::exchange(index_, std::move(pruning.after)));
    syncedCount_ = result->files().size();
    biggestQuery_ = pruning.biggestQuery;
    Background::dispose(std::exchange(biggest_, std::move(pruning.biggest)));
    forgottenQuery_ = pruning.forgottenQuery;
    Background::dispose(std::exchange(forgotten_, std::move(pruning.forgotten)));
    return true;
}

const FileList& FilesModel::biggest(const BiggestQuery& query) {
    sync();
    if (building_) {
        biggest_ = {};
        return biggest_;
    }
    if (biggestQuery_ == query) return biggest_;
    biggest_ = biggestOf(index_, query);
    biggestQuery_ = query;
    return biggest_;
}

FileList FilesModel::biggestOf(FileIndex& index, const BiggestQuery& query) {
    FileList list;
    const bool anyCategory = !query.category.has_value();
    const FileCategory category = query.category.value_or(FileCategory::other);
    const auto keep = [&](FileIndex::Row r) {
        if (!anyCategory && !(index.category(r) == category)) return;
        if (query.hidePackages && index.isPackage(r)) return;
        list.rows.push_back(r);
        list.totalSize += index.fileSize(r);
    };
    const std::vector<FileIndex::Row>* hits = index.matching(query.search);
    if (hits && query.sort == FileSort::size && index.isSizeOrder()) {
        // The result is stored heaviest first: the hits are in order already.
        for (FileIndex::Row r : *hits)
            keep(r);
    } else if (hits) {
        const std::vector<uint8_t>& marked = index.mark(*hits);
        for (FileIndex::Row r : index.order(query.sort))
            if (marked[r]) keep(r);
    } else {
        for (FileIndex::Row r : index.order(query.sort))
            keep(r);
    }
    return list;
}

const FileList& FilesModel::forgotten(const ForgottenQuery& query) {
    sync();
    if (building_) {
        forgotten_ = {};
        return forgotten_;
    }
    if (forgottenQuery_ == query) return forgotten_;
    forgotten_ = forgottenOf(index_, query);
    forgottenQuery_ = query;
    return forgotten_;
}

FileList FilesModel::forgottenOf(FileIndex& index, const ForgottenQuery& query) {
    const std::vector<FileIndex::Row>* hits = index.matching(query.search);
    const std::vector<uint8_t>* marked = hits ? &index.mark(*hits) : nullptr;
    const int64_t cutoff = ticks(query.cutoff);
    FileList list;
    for (FileIndex::Row r : index.order(query.sort)) {
        if (index.fileSize(r) < kForgottenMinSize) continue;
        if (!(index.lastUse(r) < cutoff)) continue;
        if (marked && !(*marked)[r]) continue;
        list.rows.push_back(r);
        list.totalSize += index.fileSize(r);
    }
    return list;
}

int64_t FilesModel::largest(const FileList& list, int count) const {
    int64_t most = 1;
    const size_t n = std::min(list.rows.size(), static_cast<size_t>(std::max(0, count)));
    for (size_t i = 0; i < n; ++i)
        most = std::max(most, index_.fileSize(list.rows[i]));
    return most;
}

}  // namespace nimbrel
