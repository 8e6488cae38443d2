#include "engine/twin_proof.h"

#include "engine/duplicate_engine.h"
#include "engine/localized.h"

namespace nimbrel {

std::optional<std::string> TwinProof::refusal(const std::string& path) const {
    const std::optional<EntryIdentity> now = EntryIdentity::read(path);
    if (!now) return std::nullopt;
    if (!seen.sameEntry(*now))
        return localized(
            "It changed since the twin search, so it is no longer known to be a copy. Nothing was removed.");
    if (wholeSetChosen) return std::nullopt;
    // Cheap first: a copy untouched since the search still holds what this one held then.
    for (const SeenCopy& copy : staying) {
        const std::optional<EntryIdentity> there = EntryIdentity::read(copy.path);
        if (there && copy.seen.sameEntry(*there)) return std::nullopt;
    }
    for (const SeenCopy& copy : staying)
        if (DuplicateEngine::sameContents(path, copy.path)) return std::nullopt;
    return localized(
        "No copy that stays still holds the same contents (it was removed, moved or changed since the twin "
        "search), so this one was kept.");
}

}  // namespace nimbrel
