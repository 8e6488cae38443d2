#include "platform/trash_emptier.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/host_layout.h"
#include "platform/file_operations.h"
#include "platform/file_remover.h"

namespace nimbrel {

namespace {

bool isRealFolder(const std::string& path, struct stat* out = nullptr) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (out) *out = st;
    return true;
}

std::vector<std::string> namesIn(const std::string& folder) {
    return FileOperations::listFolder(folder).names;
}

// mountinfo escapes blanks, tabs, line feeds and backslashes as three octal digits.
std::string unescapeMountPath(const std::string& field) {
    std::string path;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            path += char(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            path += field[i];
        }
    }
    return path;
}

}  // namespace

std::vector<std::string> TrashEmptier::emptyFolder(const std::string& trashFolder) {
    std::vector<std::string> stayed;
    auto removeOne = [&](const std::string& path) {
        auto error = FileRemover::removeForGood(path);
        if (error && !error->isNotFound()) {
            stayed.push_back(error->description);
            return false;
        }
        return true;
    };

    // A Trash whose subfolder is a link is not ours to empty: the link would lead elsewhere.
    const std::string files = trashFolder + "/files", info = trashFolder + "/info",
                      expunged = trashFolder + "/expunged";
    std::vector<std::string> keptInfo;
    if (isRealFolder(files)) {
        for (const std::string& name : namesIn(files))
            if (!removeOne(files + "/" + name)) keptInfo.push_back(name + ".trashinfo");
    }
    // An item that stayed keeps its .trashinfo, so it still shows in the Trash.
    if (isRealFolder(info)) {
        for (const std::string& name : namesIn(info))
            if (std::find(keptInfo.begin(), keptInfo.end(), name) == keptInfo.end())
                removeOne(info + "/" + name);
    }
    if (isRealFolder(expunged)) {
        for (const std::string& name : namesIn(expunged))
            removeOne(expunged + "/" + name);
    }
    if (unlink((trashFolder + "/directorysizes").c_str()) != 0 && errno != ENOENT)
        stayed.push_back(trashFolder + "/directorysizes: " + std::strerror(errno));
    return stayed;
}

std::vector<std::string> TrashEmptier::volumeTrashFolders(const std::string& mountInfo, unsigned uid) {
    std::vector<std::string> folders;
    std::istringstream lines(mountInfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, devNumbers, root, mountField;
        if (!(fields >> id >> parent >> devNumbers >> root >> mountField)) continue;
        std::string mount = unescapeMountPath(mountField);
        std::string top = mount == "/" ? "" : mount;
        struct stat shared {};
        std::string candidates[2];
        // The shared .Trash counts only when it is a real folder with the sticky bit.
        if (isRealFolder(top + "/.Trash", &shared) && (shared.st_mode & S_ISVTX))
            candidates[0] = top + "/.Trash/" + std::to_string(uid);
        candidates[1] = top + "/.Trash-" + std::to_string(uid);
        for (const std::string& candidate : candidates) {
            if (!candidate.empty() && isRealFolder(candidate) &&
                std::find(folders.begin(), folders.end(), candidate) == folders.end())
                folders.push_back(candidate);
        }
    }
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
        if (!isRealFolder(folder)) continue;
        for (const std::string& line : emptyFolder(folder)) {
            outcome.status = 1;
            if (!outcome.output.empty()) outcome.output += "\n";
            outcome.output += line;
        }
    }
    return outcome;
}

}  // namespace nimbrel
