#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_category.h"
#include "engine/file_item.h"
#include "engine/scan_result.h"

namespace nimbrel {

class AppState;

// The order of the Biggest and Forgotten shelves. Every order is stable: ties keep the scan's order.
enum class FileSort { size, name, opened, modified };

// Indexes over one scan result's listed files, built once and shared by the Files shelves: compact
// columns of what the filters read, the orders, and a case-folded copy of every path to search. It
// refers to the result's files by position and never copies a FileItem. When a removal prunes the
// result in place, `sync` maps the indexes onto what is left instead of building them again.
class FileIndex {
  public:
    using Row = uint32_t;  // a position in the result's files

    FileIndex() = default;
    // A copy shares the columns, orders and search answers (none of which ever change once made),
    // so a worker can prune a copy while the original goes on answering.
    FileIndex(const FileIndex& other);
    FileIndex& operator=(const FileIndex&) = delete;
    FileIndex(FileIndex&&) noexcept = default;
    FileIndex& operator=(FileIndex&&) noexcept = default;

    // Builds for `result` when it is another result than the one indexed, or maps the indexes onto
    // the files a removal left. Cheap when nothing changed.
    void sync(const std::shared_ptr<const ScanResult>& result);
    // The result indexed.
    const std::shared_ptr<const ScanResult>& result() const { return result_; }
    // This index without the files at `dropped` (ascending positions), as if the result had lost
    // them and `sync` had followed. Reads nothing of the result, so it runs on any thread.
    FileIndex without(const std::vector<size_t>& dropped) const;
    // Whether `matching(search)` reads nothing but the index: the answer is kept, or the search is
    // made of ASCII characters only, which are looked for in the folded paths.
    bool searchesIndexOnly(const QString& search) const;
    // Whether the order is built already.
    bool hasOrder(FileSort sort) const { return orders_[static_cast<size_t>(sort)] != nullptr; }
    // Takes the orders `older` built that this one lacks, mapped as `without(dropped)` would.
    void takeOrders(const FileIndex& older, const std::vector<size_t>& dropped);
    // Whether both hold the very same columns.
    bool sharesColumnsWith(const FileIndex& other) const { return columns_ && columns_ == other.columns_; }

    size_t size() const { return columns_ ? columns_->ids.size() : 0; }
    const FileItem& file(Row row) const { return result_->files()[row]; }
    int64_t fileSize(Row row) const { return columns_->sizes[row]; }
    // Every file in an order, built on first use.
    const std::vector<Row>& order(FileSort sort);
    // Files whose path contains `search` ignoring case (the search is used as typed), in ascending
    // order; null for an empty search, which keeps everything. Valid until the next call.
    const std::vector<Row>* matching(const QString& search);
    // The same rows as a flag per file. Valid until the next call.
    const std::vector<uint8_t>& mark(const std::vector<Row>& rows);
    // Whether the files are stored heaviest first (a scan stores them so).
    bool isSizeOrder() const { return !columns_ || columns_->isSizeOrder; }

    FileCategory category(Row row) const {
        return FileCategory(static_cast<FileCategory::Value>(columns_->categories[row]));
    }
    bool isPackage(Row row) const { return columns_->packages[row] != 0; }
    // Clock ticks since the epoch of the later of last access and last change.
    int64_t lastUse(Row row) const { return columns_->lastUse[row]; }

  private:
    // What the filters read, one entry per file.
    struct Columns {
        std::vector<int64_t> ids;
        std::vector<int64_t> sizes;
        std::vector<int64_t> lastUse;
        std::vector<int64_t> modified;
        std::vector<uint8_t> categories;
        std::vector<uint8_t> packages;
        // Paths, ASCII letters folded to lower case, each followed by a NUL; `starts` has one more
        // entry.
        std::string folded;
        std::vector<size_t> starts;
        bool isSizeOrder = true;
    };
    using Rows = std::shared_ptr<const std::vector<Row>>;

    void build();
    void prune();
    // Keeps the files whose `moved` entry is not kGone, at the positions it gives.
    void compact(const std::vector<Row>& moved, size_t kept);
    void buildOrder(FileSort sort);
    bool pathContains(Row row, const std::string& folded) const;
    // Every file matching, or those of `within` that match.
    std::vector<Row> search(const QString& search, const std::vector<Row>* within) const;

    std::shared_ptr<const ScanResult> result_;
    std::shared_ptr<const Columns> columns_;
    std::array<Rows, 4> orders_;
    // Answers to the last searches, the latest first.
    std::vector<std::pair<QString, Rows>> recent_;
    std::vector<uint8_t> hit_;
};

// What a shelf lists: positions in the index, in list order, and the size of them all.
struct FileList {
    std::vector<FileIndex::Row> rows;
    int64_t totalSize = 0;
};

// The Files area's lists below the widgets: Biggest and Forgotten with their filters, orders and
// counts, over one shared index per scan result. The answer to the last question of each shelf is
// kept, so paging and repainting cost nothing; a new question costs one pass over the index. One
// model per application state, which owns it (AppState::files).
class FilesModel : public QObject {
    Q_OBJECT
  public:
    static constexpr int64_t kForgottenMinSize = 10'000'000;

    struct BiggestQuery {
        FileSort sort = FileSort::size;
        std::optional<FileCategory> category;
        bool hidePackages = false;
        QString search;
        bool operator==(const BiggestQuery&) const = default;
    };
    struct ForgottenQuery {
        std::chrono::system_clock::time_point cutoff;
        QString search;
        FileSort sort = FileSort::size;
        bool operator==(const ForgottenQuery&) const = default;
    };

    // From this many listed files on, a new result's index is built on a worker; until it is
    // ready the lists are empty and `isIndexing` is true, and `indexReady` tells when to ask again.
    static constexpr size_t kBuildAsideFrom = 50'000;

    explicit FilesModel(AppState& state);

    bool isIndexing() const { return building_ != nullptr; }

    // A removal about to prune the result: the index and the shelves' last answers as they are,
    // to be worked out on the removal's worker as they will be once the result lost some files,
    // and adopted in the same turn as that pruning, so the window never waits for a million files
    // to be mapped and never sees an index that does not match the result.
    struct Pruning {
        std::vector<size_t> dropped;
        FileIndex before;
        FileIndex after;
        std::optional<BiggestQuery> biggestQuery;
        FileList biggest;
        std::optional<ForgottenQuery> forgottenQuery;
        FileList forgotten;
        // Works out the index and the answers without the files at `drop` (ascending positions in
        // the result's files). Any thread; an answer whose order is not built yet is left out.
        void apply(const std::vector<size_t>& drop);
    };
    // Null when there is no index of the current result worth pruning aside.
    std::shared_ptr<Pruning> startPruning() const;
    // Right after `change` of the result: takes the pruning's index and answers when the change
    // dropped exactly the files the pruning did, from the files the index was made for. Returns
    // whether it did.
    bool adopt(Pruning&& pruning, const TreeChange& change);

    const FileList& biggest(const BiggestQuery& query);
    const FileList& forgotten(const ForgottenQuery& query);
    const FileItem& file(FileIndex::Row row) const { return index_.file(row); }
    // The greatest size among the first `count` rows of a list, at least 1.
    int64_t largest(const FileList& list, int count) const;

  signals:
    void indexReady();

  private:
    void sync();
    static FileList biggestOf(FileIndex& index, const BiggestQuery& query);
    static FileList forgottenOf(FileIndex& index, const ForgottenQuery& query);
    void buildAside(const std::shared_ptr<const ScanResult>& result);

    AppState& state_;
    std::shared_ptr<const ScanResult> building_;  // the result whose index a worker builds
    FileIndex index_;
    std::shared_ptr<const ScanResult> synced_;
    size_t syncedCount_ = 0;
    std::optional<BiggestQuery> biggestQuery_;
    FileList biggest_;
    std::optional<ForgottenQuery> forgottenQuery_;
    FileList forgotten_;
};

}  // namespace nimbrel
