#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/entry_identity.h"
#include "engine/twin_proof.h"

namespace nimbrel {

class DiskGuard;

// Names of hard-linked files, by file: how many of a file's names a removal has taken so far.
using LinkedNames = std::unordered_map<InodeKey, uint64_t>;

// What the entry at a path must still be when a removal reaches it.
struct ReviewedEntry {
    std::optional<EntryIdentity> identity = std::nullopt;  // unset: taken as found
    bool notFolder = false;                                // reviewed as a file: a folder in its place stays
    // The hard-linked files this removal took another name of: taking a name gives the file a new
    // change time, which is then the removal's own doing.
    const LinkedNames* namesTaken = nullptr;
};

// One concrete path to remove.
struct DeletionItem {
    std::string path;                   // absolute, as built by the request (not normalised)
    std::optional<int64_t> size;        // known in advance; measured just before removal when absent
    bool clearInsideOnFailure = false;  // a folder that cannot go whole may be emptied instead
    // The review showed a file: a folder found in its place holds what nobody reviewed, and stays.
    bool reviewedAsFile = false;
    // What the scan (or the review, for a junk location's targets) saw at the path: the removal
    // takes the entry only while it is still that entry. Unset: taken as found.
    std::optional<EntryIdentity> identity = std::nullopt;
    // Chosen as an extra copy of a set of twins: it goes only while this still holds.
    std::shared_ptr<const TwinProof> twin = nullptr;

    ReviewedEntry reviewed() const { return {identity, reviewedAsFile}; }

    bool operator==(const DeletionItem&) const = default;
};

// An error of a removal, in the two-level shape the classification reads: an outer error and,
// optionally, the POSIX error underneath it. The platform's file operations fill it in.
struct RemovalError {
    enum class Domain { posix, cocoa, other };

    // What the platform found out about why a removal failed, beyond the code. `unknown` leaves
    // the reason to the codes alone.
    enum class Cause {
        unknown,
        immutable,         // the item or its folder is marked immutable or append-only
        ownFolderLocked,   // a folder of the user's own whose permissions forbid the change
        mountPoint,        // the item is, or holds, another mounted file system
        noTrash,           // the item's file system has no Trash
        pathChanged,       // a folder on the way is no longer the folder it was (a link took its place)
        notNormal,         // the path is not one absolute, normal spelling
        notYours,          // another user's item in a shared (sticky) folder: only they may take it out
        changedSinceScan,  // the entry at the path is not the one that was scanned and reviewed
        notTwin,           // an extra copy that no longer matches a copy that stays
        holdsTrash,        // a folder that holds a Trash folder (".Trash", ".Trash-UID"): kept whole
        stopped,           // the removal was stopped (the application is quitting) before it went
    };

    // The outer codes the classification and the worker look for.
    static constexpr int noSuchFile = 4;           // "no such file": counts as already gone
    static constexpr int writeNotPermitted = 513;  // a permission refusal without a POSIX code

    Domain domain = Domain::other;
    int code = 0;
    std::optional<int> underlyingPosix;  // errno of the failing call, when one is known
    std::string description;             // the error's text, shown as the failure's detail
    Cause cause = Cause::unknown;

    // A POSIX error (errno) with its system text.
    static RemovalError posix(int errnoValue, std::string description = {});
    // "No such file": what the Trash move or the remover report for a vanished path.
    static RemovalError notFound(std::string description = {});

    // A failure of the platform's own checks, with no errno behind it.
    static RemovalError refused(Cause cause, std::string description);
    // The entry at `path` is no longer the one that was reviewed; `what` says how it differs.
    static RemovalError changed(const std::string& path, const std::string& what);

    bool isNotFound() const;
    // False when the item must stay whole: emptying it instead would take apart a folder that the
    // failure says must not be touched (another file system, no Trash, a changed path).
    bool allowsClearInside() const;
};

// True when `path` is the one spelling a removal acts on: absolute, no NUL byte, no empty, "." or
// ".." component, no trailing slash, and not "/" itself.
bool isRemovablePathSpelling(const std::string& path);

// A folder a removal may reach through symbolic links, because that is how it was when the user
// reviewed it (a junk location under a linked ~/.cache): only while it is still that same folder.
// Nothing below it is ever reached through a link.
struct PinnedFolder {
    std::string path;  // absolute and normal, as spelled in the request
    uint64_t device = 0;
    uint64_t inode = 0;

    bool operator==(const PinnedFolder&) const = default;

    // The folder `path` leads to now, links followed; nothing when it is not a folder.
    static std::optional<PinnedFolder> pin(const std::string& path);
};

// One path that stayed behind.
struct DeletionFailure {
    enum class Reason {
        safetyGuard,
        protectedByMacOS,
        noPermission,
        inUse,
        changedSinceScan,
        notTwin,
        other
    };

    std::string path;
    Reason reason = Reason::other;
    std::string detail;  // the error's description, or the safety guard's one-line reason

    bool operator==(const DeletionFailure&) const = default;

    static const std::vector<Reason>& allReasons();
    static std::string rawValue(Reason reason);
    static std::string title(Reason reason);
    static std::string explanation(Reason reason);

    // The reason for an error: an immutable item is protected by the system and a locked folder of
    // the user's own is `other` (its detail says what to change); otherwise the underlying POSIX
    // code first, then the outer POSIX code, then a write refusal; everything else is `other`.
    static Reason classify(const RemovalError& error);
};

// What one removal is asked to do. Lives only for that removal.
struct DeletionRequest {
    using Completion = std::function<void(const std::vector<std::string>& removedPaths)>;

    std::string id = newID();  // new for every request
    std::string title;         // heading of the shell's confirmation card; empty from the review
    std::vector<DeletionItem> items;
    int64_t estimatedSize = 0;  // sum of the chosen entries' sizes, not of the expanded items
    Completion onComplete;      // called once after the removal with the paths actually removed
    std::optional<std::vector<DeletionItem>> summary;  // the confirmation card's list
    std::unordered_set<std::string> queueIDs;          // the chosen selection entries
    std::vector<PinnedFolder> pinnedFolders;           // folders of the items reviewed through links

    // The number of items whose path the safety guard refuses (this machine's, or `guard`).
    int protectedCount() const;
    int protectedCount(const DiskGuard& guard) const;

    // A random UUID in its usual text form.
    static std::string newID();
};

}  // namespace nimbrel
