#pragma once

#include <optional>
#include <string>

class QMimeData;
class QUrl;

namespace nimbrel {

// Which drags the main window takes: local folders, to scan them. Nimbrel's own items carry no file
// URL (they are meant for the selection bar) and so never light up the window's drop hint.
namespace DropPolicy {

// The file system bytes of a local file URL, decoded from its percent-encoded form so a name that is
// not valid UTF-8 keeps its bytes. Nothing for other schemes and for URLs naming another host.
std::optional<std::string> localPath(const QUrl& url);

// True while a drag carries at least one local file URL: the window shows its drop hint.
bool carriesLocalFiles(const QMimeData& mime);

// The path a drop asks to scan: only the first URL counts, and it must be a local one. Read from the
// drag alone; whether it names a folder is isFolderItself's to say.
std::optional<std::string> pathToScan(const QMimeData& mime);

// True when `path` names a local folder itself (a symbolic link to a folder is not one). Reads the
// disk, so it runs on a worker: a share that stopped answering holds the worker, not the window.
bool isFolderItself(const std::string& path);

}  // namespace DropPolicy

}  // namespace nimbrel
