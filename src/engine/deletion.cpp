#include "engine/deletion.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "engine/host_layout.h"
#include "engine/localized.h"
#include "engine/safety_guard.h"

namespace nimbrel {

namespace {

// On macOS the text as it stands; elsewhere the host's variant with "%1" the system's name and
// "%2" its file manager's.
std::string hostText(const char* macText, const char* hostPattern) {
    const HostLayout& host = HostLayout::current();
    if (host.isMac()) return localized(macText);
    std::string text = localized(hostPattern);
    const std::pair<const char*, const std::string*> names[] = {{"%1", &host.systemName},
                                                                {"%2", &host.fileManagerName}};
    for (const auto& [mark, name] : names) {
        for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
            text.replace(at, 2, *name);
            at += name->size();
        }
    }
    return text;
}

std::optional<DeletionFailure::Reason> reasonForPosix(int code) {
    switch (code) {
        case EPERM:
            return DeletionFailure::Reason::protectedByMacOS;
        case EACCES:
            return DeletionFailure::Reason::noPermission;
        case EBUSY:
        case ETXTBSY:
            return DeletionFailure::Reason::inUse;
        default:
            return std::nullopt;
    }
}

}  // namespace

RemovalError RemovalError::posix(int errnoValue, std::string description) {
    RemovalError error;
    error.domain = Domain::posix;
    error.code = errnoValue;
    error.description = description.empty() ? std::strerror(errnoValue) : std::move(description);
    return error;
}

RemovalError RemovalError::notFound(std::string description) {
    RemovalError error;
    error.domain = Domain::cocoa;
    error.code = noSuchFile;
    error.underlyingPosix = ENOENT;
    error.description = description.empty() ? std::strerror(ENOENT) : std::move(description);
    return error;
}

RemovalError RemovalError::refused(Cause cause, std::string description) {
    RemovalError error;
    error.cause = cause;
    error.description = std::move(description);
    return error;
}

RemovalError RemovalError::changed(const std::string& path, const std::string& what) {
    return refused(Cause::changedSinceScan, path + ": changed since the scan (" + what + "); left as it is");
}

bool RemovalError::allowsClearInside() const {
    return cause == Cause::unknown || cause == Cause::ownFolderLocked || cause == Cause::immutable;
}

bool isRemovablePathSpelling(const std::string& path) {
    if (path.size() < 2 || path.front() != '/' || path.back() == '/') return false;
    if (path.find('\0') != std::string::npos) return false;
    for (size_t start = 1; start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const size_t length = end - start;
        if (length == 0) return false;
        if (length <= 2 && path.compare(start, length, std::string(length, '.')) == 0) return false;
        start = end + 1;
    }
    return true;
}

bool RemovalError::isNotFound() const {
    return (domain == Domain::cocoa && code == noSuchFile) || (domain == Domain::posix && code == ENOENT);
}

const std::vector<DeletionFailure::Reason>& DeletionFailure::allReasons() {
    static const std::vector<Reason> reasons = {
        Reason::safetyGuard,      Reason::protectedByMacOS, Reason::noPermission, Reason::inUse,
        Reason::changedSinceScan, Reason::notTwin,          Reason::other};
    return reasons;
}

std::string DeletionFailure::rawValue(Reason reason) {
    switch (reason) {
        case Reason::safetyGuard:
            return "safetyGuard";
        case Reason::protectedByMacOS:
            return "protectedByMacOS";
        case Reason::noPermission:
            return "noPermission";
        case Reason::inUse:
            return "inUse";
        case Reason::changedSinceScan:
            return "changedSinceScan";
        case Reason::notTwin:
            return "notTwin";
        case Reason::other:
            return "other";
    }
    return "other";
}

std::string DeletionFailure::title(Reason reason) {
    switch (reason) {
        case Reason::safetyGuard:
            return localized("Kept by the safety guard");
        case Reason::protectedByMacOS:
            return hostText("Protected by macOS", "Protected by %1");
        case Reason::noPermission:
            // Here the item may be the user's own, held in a folder that is not.
            return hostText("Not yours to remove", "No permission to remove");
        case Reason::inUse:
            return localized("In use");
        case Reason::changedSinceScan:
            return localized("Changed since the scan");
        case Reason::notTwin:
            return localized("Twins changed since the search");
        case Reason::other:
            return localized("Couldn't be moved");
    }
    return {};
}

std::string DeletionFailure::explanation(Reason reason) {
    switch (reason) {
        case Reason::safetyGuard:
            return localized(
                "Nimbrel never removes system folders, your home folder or its main folders. Open "
                "them to clean inside.");
        case Reason::protectedByMacOS:
            return hostText(
                "macOS blocks apps from changing these (System Integrity Protection or privacy "
                "protection for another app's data). Full Disk Access unlocks some of them; the rest "
                "only macOS itself can remove.",
                "%1 blocks changes to these: they are marked immutable or append-only, or a rule "
                "of the system forbids removing them. Only an administrator can lift that.");
        case Reason::noPermission:
            return hostText(
                "These belong to another user or to the system. Remove them in Finder (it will ask "
                "for your password) if you're sure.",
                // A file manager here does not ask for a password: it refuses. The item may be the
                // user's own in a folder that is not; each item's message says whose is what.
                "These, or the folders they are in, belong to another user or to the system and "
                "don't let you change them. Only that owner or an administrator can remove them.");
        case Reason::inUse:
            return localized("An app is using these right now. Quit it and nimbrelise again.");
        case Reason::changedSinceScan:
            return localized(
                "These were replaced, rewritten or moved after Nimbrel scanned them, or their "
                "permissions, owner or flags changed (which looks the same to Nimbrel), so they may not be "
                "what you reviewed. They were left as they are: scan again to review them as they are now.");
        case Reason::notTwin:
            return localized(
                "An extra copy goes only while a copy that stays holds the same contents. These, or the "
                "copies that stay, were removed, moved or changed since the twin search, so these were "
                "kept. Look for twins again to review them as they are now.");
        case Reason::other:
            return localized("Something else went wrong; the message is shown for each item.");
    }
    return {};
}

DeletionFailure::Reason DeletionFailure::classify(const RemovalError& error) {
    // What the platform learnt about the cause beats the bare code: EPERM on an immutable file is
    // the system's protection, EACCES in the user's own locked folder is not someone else's.
    if (error.cause == RemovalError::Cause::immutable) return Reason::protectedByMacOS;
    if (error.cause == RemovalError::Cause::notYours) return Reason::noPermission;
    if (error.cause == RemovalError::Cause::changedSinceScan) return Reason::changedSinceScan;
    if (error.cause == RemovalError::Cause::notTwin) return Reason::notTwin;
    if (error.cause != RemovalError::Cause::unknown) return Reason::other;
    // The underlying POSIX code decides first; only when there is none does the outer error's own
    // POSIX code count.
    if (error.underlyingPosix) {
        if (auto reason = reasonForPosix(*error.underlyingPosix)) return *reason;
    } else if (error.domain == RemovalError::Domain::posix) {
        if (auto reason = reasonForPosix(error.code)) return *reason;
    }
    if (error.domain == RemovalError::Domain::cocoa && error.code == RemovalError::writeNotPermitted)
        return Reason::noPermission;
    return Reason::other;
}

std::optional<PinnedFolder> PinnedFolder::pin(const std::string& path) {
    struct stat st {};
    if (!isRemovablePathSpelling(path) || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return PinnedFolder{path, uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

int DeletionRequest::protectedCount() const {
    return protectedCount(*DiskGuard::current());
}

int DeletionRequest::protectedCount(const DiskGuard& guard) const {
    int count = 0;
    for (const DeletionItem& item : items)
        if (guard.isProtected(item.path)) ++count;
    return count;
}

std::string DeletionRequest::newID() {
    static thread_local std::mt19937_64 engine{std::random_device{}()};
    std::uniform_int_distribution<uint64_t> draw;
    uint64_t high = draw(engine), low = draw(engine);
    high = (high & ~0xF000ull) | 0x4000ull;            // version 4
    low = (low & ~(0xC0ull << 56)) | (0x80ull << 56);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", unsigned(high >> 32),
                  unsigned((high >> 16) & 0xFFFF), unsigned(high & 0xFFFF), unsigned(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

}  // namespace nimbrel
