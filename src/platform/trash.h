#pragma once

#include <optional>
#include <string>

#include "engine/deletion.h"

namespace nimbrel {

// Moving to the freedesktop.org Trash (the home Trash, or a volume's own Trash folder), through
// GIO. A move that fails, or that the file system does not support, is an error: the item stays
// where it is.
struct Trash {
    // Moves the file, folder or link (the link itself) at `path` to the Trash.
    static std::optional<RemovalError> moveToTrash(const std::string& path);
};

}  // namespace nimbrel
