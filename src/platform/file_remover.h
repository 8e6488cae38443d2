#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "engine/deletion.h"

namespace nimbrel {

// Removal for good that cannot be led astray: every step works relative to an open parent folder
// (openat/unlinkat/fdopendir), a symbolic link is removed as a link and never followed, and a
// folder on another mounted file system is never entered. The first error stops the removal and
// comes back with its errno; what was removed before it stays removed.
struct FileRemover {
    // Removes the file, link or folder tree at `path`. A path that does not exist gives the
    // "no such file" error.
    static std::optional<RemovalError> removeForGood(const std::string& path);

    // Removes everything inside the open folder `folderFd` (which stays open and in place), never
    // leaving the file system `device`. `where` names the folder in error messages.
    static std::optional<RemovalError> removeContents(int folderFd, dev_t device, const std::string& where);
};

}  // namespace nimbrel
