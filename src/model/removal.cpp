#include "model/removal.h"

#include <QCoreApplication>
#include <algorithm>

#include "engine/disk_scanner.h"
#include "engine/file_category.h"
#include "engine/path_rules.h"
#include "util/fmt.h"
#include "util/plural.h"

namespace nimbrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("nimbrel::AppState", text);
}

bool isContentsOnly(const CleanItem& item, const RemovalSources& sources) {
    if (sources.contentsOnly.empty()) return false;
    // A well-formed id is already normal; only another spelling needs the work.
    if (PathRules::isNormalAbsolute(item.id)) return sources.contentsOnly.count(item.id) > 0;
    return sources.contentsOnly.count(sources.normalize(item.id)) > 0;
}

void pinFolderOf(const std::string& path, const RemovalSources& sources, std::vector<PinnedFolder>& pinned) {
    const std::string folder = PathRules::parent(path);
    for (const PinnedFolder& known : pinned)
        if (known.path == folder) return;
    if (auto pin = sources.pin(folder)) pinned.push_back(std::move(*pin));
}

// Gives each extra copy of twins its proof. Every copy the request takes counts as leaving, however
// it was chosen (an entry of its own, a folder above it, a junk location's target), so only the
// others can be the one that stays. The extras then go last: a copy the request takes under a path
// no proof can match (a junk folder behind a link) is gone by the time they are judged.
void proveExtras(std::vector<DeletionItem>& items,
                 const std::vector<std::pair<size_t, const TwinCopies*>>& extras) {
    std::unordered_set<std::string> leaving;
    leaving.reserve(items.size());
    for (const DeletionItem& item : items)
        leaving.insert(item.path);
    for (const auto& [at, twins] : extras) {
        auto proof = twins->proofFor(items[at].path, [&](const std::string& copy) {
            return PathRules::isAtOrInsideAny(copy, leaving);
        });
        if (proof) items[at].twin = std::make_shared<const TwinProof>(std::move(*proof));
    }
    std::stable_partition(items.begin(), items.end(), [](const DeletionItem& item) { return !item.twin; });
}

}  // namespace

std::optional<ReviewedRemoval> buildReviewedRemoval(const std::vector<CleanItem>& queueItems,
                                                    const std::unordered_set<std::string>& ids,
                                                    const RemovalSources& sources) {
    ReviewedRemoval removal;
    std::unordered_set<std::string> seen;
    seen.reserve(ids.size());
    removal.request.items.reserve(ids.size());
    removal.request.queueIDs.reserve(ids.size());
    std::vector<std::string> expanded;
    std::vector<std::pair<size_t, const TwinCopies*>> extras;  // request items queued as extra copies
    for (const CleanItem& entry : queueItems) {
        // An id the guard would read differently from the remover never reaches the disk.
        if (!ids.count(entry.id) || !entry.isWellFormed()) continue;
        removal.request.estimatedSize += entry.size;
        removal.request.queueIDs.insert(entry.id);
        if (entry.source == CleanItem::Source::deepClean) removal.touchesCleanup = true;

        const bool junk = entry.kind == CleanItem::Kind::junk;
        const bool contentsOnly = !junk && isContentsOnly(entry, sources);
        const bool clearInside = junk || contentsOnly || entry.source == CleanItem::Source::deepClean;
        if (!junk && !contentsOnly) {
            // The common case, a file or folder of its own, without a list of candidates. A package
            // is listed as a file but is a folder on disk.
            const bool reviewedAsFile = entry.kind == CleanItem::Kind::file &&
                                        !FileCategory::packageExtensions().count(
                                            asciiLower(pathExtension(PathRules::lastComponent(entry.id))));
            if (!seen.insert(entry.id).second) continue;
            removal.request.items.push_back(
                {entry.id, entry.size, clearInside, reviewedAsFile, entry.identity});
            if (entry.twins) extras.emplace_back(removal.request.items.size() - 1, entry.twins.get());
            continue;
        }
        std::vector<JunkEntry> candidates;
        if (junk) {
            if (auto targets = sources.junkTargets(entry.id)) candidates = std::move(*targets);
        } else {
            // The folder itself stays; an unreadable one simply offers nothing. The system's own
            // "com.apple." entries are left alone.
            for (const std::string& name : sources.listFolder(entry.id).names)
                if (name.rfind("com.apple.", 0) != 0) candidates.push_back({entry.id + "/" + name});
        }
        for (JunkEntry& candidate : candidates) {
            std::string& path = candidate.path;
            if (!PathRules::isNormalAbsolute(path)) continue;
            expanded.push_back(path);
            if (!seen.insert(path).second) continue;
            if (junk && sources.pin) pinFolderOf(path, sources, removal.request.pinnedFolders);
            removal.request.items.push_back(
                {std::move(path), std::nullopt, clearInside, false, std::move(candidate.identity)});
        }
        removal.clearedIDs.insert(entry.id);
    }
    if (removal.request.items.empty()) return std::nullopt;
    if (!extras.empty()) proveExtras(removal.request.items, extras);
    if (!removal.clearedIDs.empty()) removal.touchesCleanup = true;
    for (std::string& path : expanded) {
        if (removal.request.queueIDs.count(path) && !removal.clearedIDs.count(path))
            removal.entryPaths.alsoChosen.insert(path);
        removal.entryPaths.expanded.insert(std::move(path));
    }
    return removal;
}

std::unordered_set<std::string> guardRefusedIDs(const EntryPaths& entries,
                                                const std::unordered_set<std::string>& refusedPaths) {
    std::unordered_set<std::string> refused;
    for (const std::string& path : refusedPaths)
        if (entries.isEntry(path)) refused.insert(path);
    return refused;
}

namespace {

// Calls `fn` with each folder above `path`, nearest first, until it returns true.
template <typename Fn>
bool anyAncestor(const std::string& path, Fn fn) {
    for (size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1))
        if (fn(path.substr(0, slash))) return true;
    return path.size() > 1 && path[0] == '/' && fn(std::string("/"));
}

}  // namespace

std::unordered_set<std::string> outermostPaths(const std::unordered_set<std::string>& paths) {
    std::unordered_set<std::string> outermost;
    for (const std::string& path : paths)
        if (!anyAncestor(path, [&](const std::string& above) { return paths.count(above) > 0; }))
            outermost.insert(path);
    return outermost;
}

std::vector<std::string> recheckedPaths(const RemovalResult& result) {
    std::unordered_set<std::string> failed;
    // An entry changed since the scan was left untouched: what differs there went nowhere.
    for (const DeletionFailure& failure : result.failures)
        if (failure.reason != DeletionFailure::Reason::changedSinceScan)
            failed.insert(DiskScanner::normalize(failure.path));
    for (const auto& [path, partial] : result.partlyRemoved)
        failed.insert(DiskScanner::normalize(path));
    std::unordered_set<std::string> outermost = outermostPaths(failed);
    return {outermost.begin(), outermost.end()};
}

RemovalFigures removalFigures(const RemovalResult& result, const ScanResult::Recheck& recheck) {
    RemovalFigures figures;
    std::unordered_set<std::string> failed;
    for (const DeletionFailure& failure : result.failures)
        failed.insert(DiskScanner::normalize(failure.path));
    std::unordered_set<std::string> removedNormalized;
    // Rechecked paths the worker already gave figures for, at them or below them.
    std::unordered_set<std::string> reported;
    for (const auto& [path, bytes] : result.freed) {
        figures.credited[path] = bytes;
        figures.total += bytes;
        const std::string normalized = DiskScanner::normalize(path);
        if (recheck.bytes.count(normalized)) reported.insert(normalized);
        anyAncestor(normalized, [&](const std::string& above) {
            if (recheck.bytes.count(above)) reported.insert(above);
            return false;
        });
        // A path that also failed went in part only: the recheck tells what of it left the tree.
        if (failed.count(normalized)) continue;
        figures.removed.push_back(path);
        removedNormalized.insert(normalized);
    }
    // What the worker counted itself of the folders that stayed.
    for (const auto& [path, partial] : result.partlyRemoved) {
        if (partial.freedBytes > 0) {
            figures.credited[path] = partial.freedBytes;
            figures.total += partial.freedBytes;
        }
        const std::string normalized = DiskScanner::normalize(path);
        if (recheck.bytes.count(normalized)) reported.insert(normalized);
        anyAncestor(normalized, [&](const std::string& above) {
            if (recheck.bytes.count(above)) reported.insert(above);
            return false;
        });
    }
    for (const auto& [path, bytes] : recheck.bytes) {
        if (bytes <= 0 || reported.count(path)) continue;
        figures.credited[path] = bytes;
        figures.total += bytes;
    }
    figures.count = int64_t(figures.removed.size()) + recheck.looseFilesGone;
    for (const std::string& gone : recheck.gone) {
        const bool counted =
            removedNormalized.count(gone) ||
            anyAncestor(gone, [&](const std::string& above) { return removedNormalized.count(above) > 0; });
        if (!counted) ++figures.count;
    }
    return figures;
}

std::chrono::milliseconds removalHold(size_t entries) {
    // 0.55 s per entry plus 0.9 s, kept between 1 and 8 seconds.
    int64_t ms = 550 * static_cast<int64_t>(std::min<size_t>(entries, 100)) + 900;
    return std::chrono::milliseconds(std::clamp<int64_t>(ms, 1000, 8000));
}

QString removalToastText(int64_t totalBytes, int64_t removedCount, bool permanently) {
    QString size = Fmt::bytes(std::max<int64_t>(totalBytes, 0));
    QString text = permanently ? Plural::choose(removedCount, tr("Nimbrelised %1 · %2 item gone for good"),
                                                tr("Nimbrelised %1 · %2 items gone for good"))
                               : Plural::choose(removedCount, tr("Nimbrelised %1 · %2 item in the Trash"),
                                                tr("Nimbrelised %1 · %2 items in the Trash"));
    return text.arg(size, QString::number(removedCount));
}

QString demoRemovalToastText(int64_t estimatedBytes) {
    return tr("Nimbrelised %1 · demo mode, nothing was deleted")
        .arg(Fmt::bytes(std::max<int64_t>(estimatedBytes, 0)));
}

const JunkLocation* junkLocationOf(const std::vector<JunkLocation>& locations, const std::string& entryID) {
    for (const JunkLocation& location : locations)
        if ("junk:" + location.id == entryID) return &location;
    return nullptr;
}

QString trashEmptiedToastText(int64_t trashBytes) {
    if (trashBytes < 1) return tr("Trash emptied");
    return tr("Trash emptied · %1 nimbrelised").arg(Fmt::bytes(trashBytes));
}

QString copiedPathsToastText(const std::vector<std::string>& paths, const std::string& home) {
    if (paths.size() != 1)
        return Plural::choose(int64_t(paths.size()), tr("Copied %1 path"), tr("Copied %1 paths"))
            .arg(QString::number(int64_t(paths.size())));
    // The home folder shown as "~", as the file manager abbreviates it.
    const std::string shown = PathRules::tildeForm(paths.front(), home);
    return tr("Copied %1").arg(QString::fromUtf8(shown.data(), qsizetype(shown.size())));
}

}  // namespace nimbrel
