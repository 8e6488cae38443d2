#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/cancel_token.h"
#include "engine/entry_identity.h"
#include "engine/file_item.h"

namespace nimbrel {

// One set of files with byte-for-byte identical contents.
struct DuplicateGroup {
    std::string id;               // the shared SHA-256, 64 lower-case hex digits
    int64_t size = 0;             // allocated size of the member that came first in the search's input
    std::vector<FileItem> files;  // newest modification first
    // What the search saw of each copy as it read it, in the order of `files`. A set made any other
    // way has none: then no copy is known to be unchanged since the search.
    std::vector<EntryIdentity> seen = {};

    int64_t wasted() const { return size * (static_cast<int64_t>(files.size()) - 1); }
    // What the search saw of files[i]; null when it saw nothing.
    const EntryIdentity* seenOf(size_t i) const { return i < seen.size() ? &seen[i] : nullptr; }
    // Keeps the copies for which keep(file) holds, in order, with what was seen of them; the others
    // are moved to `aside` when it is given.
    template <typename Keep>
    void keepOnly(const Keep& keep, std::vector<FileItem>* aside = nullptr) {
        size_t to = 0;
        for (size_t i = 0; i < files.size(); ++i) {
            if (!keep(files[i])) {
                if (aside) aside->push_back(std::move(files[i]));
                continue;
            }
            if (to != i) {
                files[to] = std::move(files[i]);
                if (i < seen.size()) seen[to] = seen[i];
            }
            ++to;
        }
        files.resize(to);
        if (seen.size() > to) seen.resize(to);
    }
};

// Where a twin search stands. The fraction runs 0 to 0.2 while fingerprinting (by files) and 0.2 to 1
// while verifying (by bytes).
struct DuplicateProgress {
    enum class Stage { fingerprinting, verifying };

    Stage stage = Stage::fingerprinting;
    double fraction = 0;
    int64_t done = 0;   // files fingerprinted, or bytes verified
    int64_t total = 0;  // candidate files, or candidate bytes

    // The localised status line. Byte counts are written by `bytes`, which belongs to the display
    // layer; the engine has no byte formatter of its own.
    std::string text(const std::function<std::string(int64_t)>& bytes) const;
};

using DuplicateProgressFn = std::function<void(const DuplicateProgress&)>;

// Finds twins in stages, each reading only what the one before could not tell apart: equal logical
// size, equal first 4 KiB (under a quick hash), equal SHA-256 of the first and last 64 KiB, equal
// SHA-256 of the whole contents.
struct DuplicateEngine {
    // Every group of twins among `files`, largest waste first, or nothing when `token` is found
    // cancelled. Files are taken as they come (the caller filters). `progress` is called from worker
    // threads, one call at a time. `threads` = 0 picks the machine's cores; the groups, their order
    // and the progress figures do not depend on it.
    static std::optional<std::vector<DuplicateGroup>> find(const std::vector<FileItem>& files,
                                                           const CancelToken& token,
                                                           const DuplicateProgressFn& progress = {},
                                                           int threads = 0);
    // The same on items held elsewhere (none may be null), so a caller need not copy them.
    static std::optional<std::vector<DuplicateGroup>> find(const std::vector<const FileItem*>& files,
                                                           const CancelToken& token,
                                                           const DuplicateProgressFn& progress = {},
                                                           int threads = 0);

    // Lower-case hex SHA-256 of the whole file, read in 1 MiB chunks; nothing when the file cannot be
    // opened as a regular file, a read fails, or `cancelled` turns true before a chunk.
    static std::optional<std::string> fullHash(const std::string& path,
                                               const std::function<bool()>& cancelled,
                                               const std::function<void(int64_t)>& onBytes = {});

    // Whether two regular files hold the same bytes now. Links are not followed; a file that cannot
    // be read, or changes while read, is not the same as anything, and neither is one file under two
    // names.
    static bool sameContents(const std::string& a, const std::string& b);
};

}  // namespace nimbrel
