#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/deletion.h"

namespace nimbrel {

// The file-system calls a removal makes. The platform supplies the real ones (Trash, removal for
// good); tests supply their own to inject failures.
class RemovalFileOps {
  public:
    virtual ~RemovalFileOps() = default;

    // Moves `path` to the Trash, or removes it for good; nothing on success.
    virtual std::optional<RemovalError> remove(const std::string& path, bool permanently) = 0;
    // The same for an entry that must still be what the review saw: at the moment it goes, an
    // entry that is not (another file or folder in its place, a file rewritten) stays whole, with
    // an error whose cause is changedSinceScan.
    virtual std::optional<RemovalError> removeReviewed(const std::string& path, bool permanently,
                                                       const ReviewedEntry& reviewed) {
        (void)reviewed;
        return remove(path, permanently);
    }
    // True when `path` itself is a folder; a symbolic link is never a folder here.
    virtual bool isFolder(const std::string& path) = 0;
    // The folder's names in the order the file system gives them, hidden ones included; the
    // error when the folder cannot be listed.
    struct Listing {
        std::vector<std::string> names;
        std::optional<RemovalError> error;
    };
    virtual Listing list(const std::string& folder) = 0;
    // Allocated bytes of a normalised path; 0 when it cannot be read.
    virtual int64_t allocatedSize(const std::string& normalizedPath) = 0;
    // True when `path` is a file with other hard links: removing this name frees nothing.
    virtual bool hasOtherLinks(const std::string& path) {
        (void)path;
        return false;
    }

    // Set once the removal should stop (the application is quitting): operations that take a long
    // time over one item (a folder tree removed for good) stop between its entries, keep what is
    // left with a `stopped` error and count what went.
    void stopWhen(const std::atomic<bool>* stop) { stop_ = stop; }
    bool stopped() const { return stop_ && stop_->load(); }

    // What the last remove() did on disk, when the operations count it themselves.
    struct Counted {
        // Bytes the removal really freed (allocated blocks of the names it unlinked whose link
        // count was 1), also when it stopped part-way.
        int64_t freedBytes = 0;
        // For a folder that stayed: the paths directly under it that went whole.
        std::vector<std::string> goneInside;
    };
    // True when, in this mode, remove() counts what it freed; the worker then measures nothing
    // beforehand and takes the count after each remove().
    virtual bool countsFreedBytes(bool permanently) const {
        (void)permanently;
        return false;
    }
    // The count of the last remove(), once; nothing when that call counted nothing.
    virtual std::optional<Counted> takeCounted() { return std::nullopt; }

  protected:
    const std::atomic<bool>* stop_ = nullptr;
};

// What a removal did: bytes freed per removed path (0 for a path that was already gone) and what
// stayed behind, in the order it happened.
struct RemovalResult {
    // Every path that is gone, with the bytes its removal freed. For good, these are the bytes the
    // disk got back (a hard-linked name whose other names remain frees 0); to the Trash, what
    // emptying it will give back when the operations count it, else the known or measured size.
    std::unordered_map<std::string, int64_t> freed;
    std::vector<DeletionFailure> failures;

    // A removal for good that stopped part-way inside a folder: the folder stays (it is in
    // `failures`, or was emptied by clear-inside) but part of it went.
    struct Partial {
        int64_t freedBytes = 0;               // what the disk got back from inside the folder
        std::vector<std::string> goneInside;  // paths directly under the folder that went whole
    };
    // Keyed by the path that stayed; never a key of `freed`. Credit `freedBytes` to the total and
    // drop `goneInside` from the tree; deeper losses inside the other children are not listed.
    std::unordered_map<std::string, Partial> partlyRemoved;
};

// Removes the items one by one. Runs on a worker thread and touches nothing but `ops`.
class RemovalWorker {
  public:
    // Clear-inside empties folders down to this depth below an item (0 is the item itself).
    static constexpr int kMaxClearDepth = 4;

    RemovalWorker(RemovalFileOps& ops, bool permanently) : ops_(ops), permanently_(permanently) {}

    // `stop`, when given and set, ends the run between items (the application is quitting), and
    // inside an item where the operations can; the items not reached are left as they are, and
    // what went is reported as usual. `done`, when given, counts the items dealt with so far.
    RemovalResult run(const std::vector<DeletionItem>& items, const std::atomic<bool>* stop = nullptr,
                      std::atomic<size_t>* done = nullptr);

  private:
    // Whether the item may go now, judged just before it goes; the error that keeps it otherwise.
    // The entry itself is compared with what the review saw by the operations, at the moment they
    // remove it (relative to its opened folder).
    std::optional<RemovalError> mayGo(const DeletionItem& item) const;
    int64_t measure(const std::string& path);
    // Removes one path and records it as freed or as partly removed; the error, if any, is returned.
    std::optional<RemovalError> removeOne(const std::string& path, std::optional<int64_t> knownSize,
                                          const ReviewedEntry& reviewed = {});
    void clearInside(const std::string& folder, int depth, const RemovalError& folderError);
    void fail(const std::string& path, const RemovalError& error);
    bool stopped() const { return ops_.stopped(); }

    RemovalFileOps& ops_;
    bool permanently_;
    RemovalResult result_;
};

}  // namespace nimbrel
