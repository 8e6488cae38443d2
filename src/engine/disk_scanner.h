#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

#include "engine/cancel_token.h"
#include "engine/disk_usage.h"
#include "engine/scan_options.h"
#include "engine/scan_progress.h"
#include "engine/scan_result.h"

namespace nimbrel {

// Walks folders into scan results and measures paths. Static functions only.
struct DiskScanner {
    using ProgressCallback = std::function<void(const ScanProgress&)>;

    // The one lexical path normaliser (the home folder is this machine's).
    static std::string normalize(const std::string& path);

    // Folders no scan descends into (a scan's own root is never skipped).
    static const std::unordered_set<std::string>& systemSkips();

    // Walks `root` into a complete result, or nothing when cancelled, when the root cannot be
    // walked, or when it is not a folder. `progress` is called on the scanning thread and must not
    // block. File ids start at `firstID`; the result's lastID is the next free one.
    static std::shared_ptr<ScanResult> scan(const std::string& root, const ScanOptions& options,
                                            std::int64_t firstID, const CancelToken& token,
                                            const ProgressCallback& progress);

    // The same with `threads` walking: 1 reads every folder on the calling thread, more read ahead
    // on a pool of that many workers, 0 picks defaultWalkThreads(). The result does not depend on
    // it.
    static std::shared_ptr<ScanResult> scanWith(const std::string& root, const ScanOptions& options,
                                                std::int64_t firstID, const CancelToken& token,
                                                const ProgressCallback& progress, int threads);
    static int defaultWalkThreads();

    // Measures one path without building a tree. With a token that fires, the result is flagged
    // `cancelled` and carries no totals.
    static DiskUsage usage(const std::string& path, const CancelToken* token = nullptr);
};

}  // namespace nimbrel
