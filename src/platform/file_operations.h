#pragma once

#include "engine/removal_worker.h"

namespace nimbrel {

// The real file-system calls of a removal: the freedesktop Trash or the safe remover for good,
// lstat for "is a folder", a raw directory listing and the scanner's allocated-size measure.
class FileOperations : public RemovalFileOps {
  public:
    std::optional<RemovalError> remove(const std::string& path, bool permanently) override;
    bool isFolder(const std::string& path) override;
    Listing list(const std::string& folder) override;
    int64_t allocatedSize(const std::string& normalizedPath) override;
    bool hasOtherLinks(const std::string& path) override;

    // Every name in the folder in the order the file system gives them, hidden ones included.
    static Listing listFolder(const std::string& folder);
};

}  // namespace nimbrel
