#pragma once

#include <QIcon>
#include <QMutex>
#include <QObject>
#include <QThreadPool>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/file_category.h"

namespace nimbrel {

// A file's icon: the desktop icon theme's image when a theme provides one, otherwise a null icon and
// what the view draws instead (the symbol-font glyph of the category, a folder or a package).
struct FileIcon {
    enum class Kind { file, folder, package };

    QIcon icon;  // null when the icon theme has none
    Kind kind = Kind::file;
    FileCategory category = FileCategory::other;
    QString contentType;  // a file's type by its extension ("application/pdf"); empty when unknown
};

// The one shared cache of file, folder and package icons, so a list of thousands of entries looks
// each kind up once. Keys: "p:" + a package's path, "dir" for every other folder, "e:" + a file's
// lower-cased extension ("e:" without one). Safe to read from several threads; icons themselves are
// made on the main thread.
class IconCache {
  public:
    // Package icons are looked up on `pool` (default: Qt's global pool).
    explicit IconCache(QThreadPool* pool = nullptr);
    static IconCache& shared();

    // The cached icon for the path's key, computed on a miss. Main thread.
    FileIcon icon(const std::string& path, bool isPackage, bool isDirectory);

    // The package's own icon: at once when cached, otherwise looked up off the main thread and
    // delivered to `done` on the main thread, unless `context` (a main-thread object) is gone by then.
    void loadPackageIcon(const std::string& path, QObject* context,
                         std::function<void(const FileIcon&)> done);

    // What the view shows for a package whose own icon has not arrived yet.
    static const FileIcon& genericPackage();

    // The key of a path, and what the cache holds under a key.
    static std::string key(const std::string& path, bool isPackage, bool isDirectory);
    std::optional<FileIcon> cached(const std::string& key) const;

  private:
    void store(const std::string& key, const FileIcon& icon);

    QThreadPool* pool_;
    mutable QMutex mutex_;
    std::unordered_map<std::string, FileIcon> cache_;
};

}  // namespace nimbrel
