#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "views/space/explorer_model.h"

namespace nimbrel {

class CleanQueue;

// The entries of one shown folder, held as indexes into the scan tree rather than as copies: built
// once when the folder opens, narrowed and ordered by index on every keystroke, and turned into full
// entries (texts, risk) only for the rows that are asked for. A folder of 100,000 entries thus costs
// a few bytes per entry, and a search keystroke allocates nothing per entry.
//
// The listing reads the folder's child and file vectors in place: it is valid for one revision of
// the scan result, and the owner builds a new one when the revision changes.
//
// Verdicts never wait on the disk here: a folder whose git probe is still to be made is judged as no
// repository for now. The listing names those folders (takeProbes), the owner probes them on a
// worker, and learnt() judges them again.
class ExplorerListing {
  public:
    using Row = std::uint32_t;  // an entry of the listing, in the folder's size order

    ExplorerListing(std::shared_ptr<DirNode> node, std::vector<ExplorerEntry> smallFiles);

    const std::shared_ptr<DirNode>& node() const { return node_; }
    // Every entry: children above 0 bytes, then every file, largest first (stable), then the small
    // files as they were listed.
    std::size_t count() const { return refs_.size(); }

    // Keeps the entries that match the search (as typed, case-insensitive) and the filter, in the
    // sort's order. Narrowing an earlier search only looks at what that search kept.
    void show(const QString& search, ExplorerFilter filter, ExplorerSort sort, const CleanQueue& queue);
    const std::vector<Row>& shown() const { return shown_; }
    // The largest size among the shown rows, at least 1.
    std::int64_t heaviestShown() const { return heaviest_; }

    std::string id(Row row) const;
    std::int64_t size(Row row) const;
    std::string_view name(Row row) const;
    bool isDirectory(Row row) const;
    ExplorerTile::Condition condition(Row row) const;
    // The full tile, made on first request and kept while the listing lives (or until learnt()
    // judges it again).
    const ExplorerTile& tile(Row row) const;

    // The paths whose git probes would settle verdicts made so far and not asked for yet: the
    // tiles' first, then those that decide the Grime filter and the heavy marks.
    bool hasProbes() const { return !tileProbes_.empty() || !conditionProbes_.empty(); }
    std::vector<std::string> takeProbes();
    // Judges again what was judged before its probe was made; true when some verdict was settled
    // (a condition may have changed: the owner shows the filtered rows again).
    bool learnt();

  private:
    enum class Source : std::uint8_t { child, file, small };
    struct Ref {
        std::uint32_t index;
        Source source;
    };

    bool nameMatches(Row row, const QString& search, const std::string& asciiNeedle) const;
    bool filterMatches(Row row, ExplorerFilter filter, const CleanQueue& queue, std::string& idBuffer) const;
    ExplorerModel::Grime grime(Row row) const;
    KnownRisk knownRisk(Row row) const;
    // Remembers that `row` was judged before its probe; `forTile` when its tile shows the verdict.
    void awaitProbe(Row row, bool forTile) const;
    void markHeavy();
    const std::vector<Row>& orderFor(ExplorerSort sort);

    std::shared_ptr<DirNode> node_;
    std::vector<ExplorerEntry> small_;
    std::string prefix_;  // the folder's path with one trailing "/"
    std::vector<Ref> refs_;
    std::vector<Row> bySize_, byName_, byKind_;  // made on first use; none for the size order alone
    std::size_t folderEntries_ = 0;              // the folder's own entries, before the small files
    std::vector<bool> heavy_;
    std::vector<Row> heavyRows_;
    mutable std::vector<std::int8_t> grime_;  // an ExplorerModel::Grime, -1 until asked: it needs the risk
    mutable std::vector<bool> awaiting_;      // judged before its probe
    mutable std::vector<Row> tileProbes_, conditionProbes_, awaitingRows_;

    std::vector<Row> shown_;
    std::int64_t heaviest_ = 1;
    bool hasShown_ = false;
    QString lastSearch_;
    ExplorerFilter lastFilter_ = ExplorerFilter::all;
    ExplorerSort lastSort_ = ExplorerSort::size;

    mutable std::unordered_map<Row, ExplorerTile> tiles_;
    mutable std::vector<QChar> utf16_;  // a reused buffer for names that are not plain ASCII
};

}  // namespace nimbrel
