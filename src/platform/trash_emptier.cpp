#include "platform/trash_emptier.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/host_layout.h"
#include "engine/trash_contents.h"
#include "engine/volume_info.h"
#include "platform/file_operations.h"
#include "platform/file_remover.h"
#include "platform/removal_fs.h"
#include "platform/trash.h"

namespace nimbrel {

std::vector<std::string> TrashEmptier::emptyFolder(const std::string& trashFolder, int64_t* freedBytes) {
    std::vector<std::string> stayed;
    // The Trash folder itself may be a link (a data home kept elsewhere): new items were trashed
    // through it, so it is emptied through it.
    UniqueFd trash(open(trashFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!trash) {
        if (errno != ENOENT) stayed.push_back(trashFolder + ": " + std::strerror(errno));
        return stayed;
    }
    // A link that leads it to the home or a system folder would make their files/ and info/ the
    // Trash's: never emptied there.
    if (auto kept = Trash::keptPlaceBehind(trashFolder, HostLayout::current())) {
        stayed.push_back(trashFolder + ": leads to " + *kept +
                         ", a folder that is never emptied; not emptied");
        return stayed;
    }
    // Its parts are never followed through a link: that would lead out of the Trash. Such a part
    // is reported as having stayed.
    auto openPart = [&](const char* part) {
        UniqueFd fd(openat(trash.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd && errno != ENOENT) {
            const int code = errno;
            stayed.push_back(trashFolder + "/" + part + ": " +
                             (code == ENOTDIR || code == ELOOP
                                  ? std::string("not a folder (a link?); not emptied")
                                  : std::string(std::strerror(code))));
        }
        return fd;
    };
    auto removeAll = [&](const char* part, const std::vector<std::string>& keep) {
        std::vector<std::string> kept;
        UniqueFd fd = openPart(part);
        if (!fd) return kept;
        const std::string folder = trashFolder + "/" + part;
        const std::vector<std::string> names =
            FileOperations::listFolder("/proc/self/fd/" + std::to_string(fd.get())).names;
        for (const std::string& name : names) {
            if (std::find(keep.begin(), keep.end(), name) != keep.end()) continue;
            FileRemover::Report report = FileRemover::removeEntry(fd.get(), name, folder + "/" + name,
                                                                  /*insideTrash=*/true);
            if (freedBytes) *freedBytes += report.freedBytes;
            if (report.error && !report.error->isNotFound()) {
                stayed.push_back(report.error->description);
                kept.push_back(name + ".trashinfo");
            }
        }
        return kept;
    };
    // An item that stayed keeps its .trashinfo, so it still shows in the Trash.
    const std::vector<std::string> keptInfo = removeAll("files", {});
    removeAll("info", keptInfo);
    removeAll("expunged", {});
    if (unlinkat(trash.get(), "directorysizes", 0) != 0 && errno != ENOENT)
        stayed.push_back(trashFolder + "/directorysizes: " + std::strerror(errno));
    return stayed;
}

std::vector<std::string> TrashEmptier::volumeTrashFolders(const std::string& mountInfo, unsigned uid) {
    std::vector<std::string> folders;
    for (const VolumeInfo::MountEntry& mount : VolumeInfo::parseMountInfo(mountInfo))
        for (std::string& folder : userTrashFoldersAt(mount.mountPoint, uid))
            if (std::find(folders.begin(), folders.end(), folder) == folders.end())
                folders.push_back(std::move(folder));
    return folders;
}

TrashEmptier::Outcome TrashEmptier::emptyAll() {
    std::vector<std::string> folders = {HostLayout::current().trashFolder};
    std::ifstream mountInfoFile("/proc/self/mountinfo");
    std::stringstream mountInfo;
    mountInfo << mountInfoFile.rdbuf();
    for (const std::string& folder : volumeTrashFolders(mountInfo.str(), getuid()))
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);

    Outcome outcome;
    for (const std::string& folder : folders) {
        for (const std::string& line : emptyFolder(folder, &outcome.freedBytes)) {
            outcome.status = 1;
            if (!outcome.output.empty()) outcome.output += "\n";
            outcome.output += line;
        }
    }
    return outcome;
}

}  // namespace nimbrel
