#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/entry_identity.h"

namespace nimbrel {

// One copy of a set of twins as the twin search read it.
struct SeenCopy {
    std::string path;
    EntryIdentity seen;

    bool operator==(const SeenCopy&) const = default;
};

// A set of twins as the search read it, shared by the extra copies queued from it.
struct TwinCopies {
    std::string setID;
    std::vector<SeenCopy> copies;

    // What lets the copy at `path` go when the copies at or inside `chosen` go with it; nothing when
    // the set does not hold that path.
    template <typename IsChosen>
    std::optional<struct TwinProof> proofFor(const std::string& path, const IsChosen& isChosen) const;
};

// What lets an extra copy of a file go at the moment it is removed: it is still what the twin search
// read, and some copy the removal leaves is still there and still holds the same bytes (unchanged
// since the search, or equal byte for byte now). Otherwise it stays, so a removal never takes the
// last copy of a file the user only meant to thin out.
struct TwinProof {
    EntryIdentity seen;             // the extra copy itself, as the search read it
    std::vector<SeenCopy> staying;  // the set's copies the removal leaves
    // Every copy of the set was chosen, with the review's warning acknowledged: none is meant to stay.
    bool wholeSetChosen = false;

    bool operator==(const TwinProof&) const = default;

    // Why the copy at `path` may not go now; nothing when it may. A copy already gone is left to the
    // removal, which counts it as gone.
    std::optional<std::string> refusal(const std::string& path) const;
};

template <typename IsChosen>
std::optional<TwinProof> TwinCopies::proofFor(const std::string& path, const IsChosen& isChosen) const {
    std::optional<TwinProof> proof;
    for (const SeenCopy& copy : copies)
        if (copy.path == path) proof = TwinProof{copy.seen, {}, false};
    if (!proof) return proof;
    for (const SeenCopy& copy : copies)
        if (copy.path != path && !isChosen(copy.path)) proof->staying.push_back(copy);
    proof->wholeSetChosen = proof->staying.empty();
    return proof;
}

}  // namespace nimbrel
