#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tree_walker.h"
#include "engine/walk_listing.h"

namespace nimbrel {

// A TreeWalker whose folders are read ahead by a pool of worker threads. It returns exactly the
// entries, in exactly the order, that TreeWalker returns for the same tree: the workers only fill
// per-folder listings (names and status), and read() replays them in walk order. Workers take the
// earliest folder in walk order that is still unread, so they stay just ahead of the reader; a
// folder of many entries has its status calls shared among several workers; a folder is read only
// if it is the folder its parent listed; the descriptors held are bounded whatever the tree and the
// number of workers, and so are the listings read ahead, in number of entries.
class ParallelTreeWalker : public WalkCursor<ParallelTreeWalker> {
  public:
    // Tells the workers not to read ahead a folder that read()'s caller will skip(): (path, name,
    // level). A folder it names but the caller enters after all is read when it is needed.
    using Prune = std::function<bool(std::string_view, std::string_view, int)>;

    // `threads` workers (at least one) besides the thread calling read(). `prune` is called on
    // worker threads.
    ParallelTreeWalker(std::string root, bool followRoot, int threads, Prune prune = {});
    ~ParallelTreeWalker();
    ParallelTreeWalker(const ParallelTreeWalker&) = delete;
    ParallelTreeWalker& operator=(const ParallelTreeWalker&) = delete;

    struct Record;
    struct Pool;

  private:
    friend class WalkCursor<ParallelTreeWalker>;
    struct Frame {
        Record* record = nullptr;
        std::size_t pathLength = 0;
        int level = 0;
        Status self;
        std::size_t next = 0;     // the next child to return
        std::size_t nextSub = 0;  // the next sub-folder record to take
    };

    void openPending();
    void dropPending();
    const WalkEntry* step();
    bool isAncestor(const Status& status) const;

    std::unique_ptr<Pool> pool_;
    int threads_ = 1;
    std::vector<Frame> frames_;
    Record* pendingRecord_ = nullptr;  // its listing, read ahead; null when it was not
    std::uint32_t pendingIndex_ = 0;   // its place among its parent's entries
    std::vector<Record*> abandoned_;   // skipped after a worker took them; freed at the end
};

}  // namespace nimbrel
