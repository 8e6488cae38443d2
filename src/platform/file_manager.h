#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "engine/file_actions.h"

namespace nimbrel {

// The file-manager side of FileActions (the engine runs commands). Main thread only.
namespace FileActions {

// Selects the given absolute paths in the desktop's file manager and brings it forward; where no
// file manager answers on the session bus, opens the first path's parent folder instead. When
// nothing can open it either, the handler below hears of the first path. Nothing happens for an
// empty list.
void reveal(const std::vector<std::string>& paths);

// Told, on the main thread, of a path no file manager could show, so the user learns why nothing
// opened. Set once by the application; none by default.
void setRevealFailedHandler(std::function<void(const std::string& path)> handler);

// Opens the system settings pane where Full Disk Access is granted. The permission exists on macOS
// only; elsewhere this does nothing.
void openFullDiskAccessSettings();

// The file URI of a path, its bytes percent-encoded as they stand, so a name that is not UTF-8
// still names the same file ("/a b" -> "file:///a%20b").
QString fileUri(const std::string& path);

}  // namespace FileActions

}  // namespace nimbrel
