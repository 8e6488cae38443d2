#include "platform/icon_cache.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <QMimeDatabase>
#include <QPointer>
#include <QThreadPool>

#include "engine/path_rules.h"
#include "engine/risk_catalog.h"
#include "platform/post_back.h"

namespace nimbrel {

namespace {

std::string lowerExtension(const std::string& path) {
    return asciiLower(pathExtension(PathRules::lastComponent(path)));
}

// The icon theme's image for a content type: its own icon name, then its generic one. Null when
// no theme is set or the theme has neither.
QIcon themeIcon(const QMimeType& type) {
    if (!type.isValid()) return {};
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    return icon;
}

// The content type a file-name extension names; invalid when it names none.
QMimeType typeForExtension(const std::string& ext) {
    if (ext.empty()) return {};
    const QMimeType t = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + QString::fromUtf8(ext.c_str()),
                                                        QMimeDatabase::MatchExtension);
    return t.isDefault() ? QMimeType() : t;
}

QMimeType plainData() {
    return QMimeDatabase().mimeTypeForName(QStringLiteral("application/octet-stream"));
}

// A package's icon from the type that names it, or the generic package icon.
FileIcon packageIcon(const QMimeType& type, const std::string& ext) {
    FileIcon out = IconCache::genericPackage();
    if (const QIcon icon = themeIcon(type); !icon.isNull()) out.icon = icon;
    if (const FileCategory c = FileCategory::classify(ext); c != FileCategory::other) out.category = c;
    return out;
}

// Off the main thread: a package that exists as a file is typed by its contents and name, anything
// else by its extension. QMimeDatabase may be used from any thread; icons may not.
QMimeType packageType(const std::string& path, const std::string& ext) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        const QMimeType t = QMimeDatabase().mimeTypeForFile(QFile::decodeName(path.c_str()));
        if (t.isValid() && !t.isDefault()) return t;
    }
    return typeForExtension(ext);
}

}  // namespace

IconCache::IconCache(QThreadPool* pool) : pool_(pool ? pool : QThreadPool::globalInstance()) {}

IconCache& IconCache::shared() {
    static IconCache cache;
    return cache;
}

const FileIcon& IconCache::genericPackage() {
    static const FileIcon icon{QIcon::fromTheme(QStringLiteral("package-x-generic")),
                               FileIcon::Kind::package,
                               FileCategory::application,
                               {}};
    return icon;
}

std::string IconCache::key(const std::string& path, bool isPackage, bool isDirectory) {
    if (isPackage) return "p:" + path;
    if (isDirectory) return "dir";
    return "e:" + lowerExtension(path);
}

std::optional<FileIcon> IconCache::cached(const std::string& key) const {
    QMutexLocker lock(&mutex_);
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    return std::nullopt;
}

void IconCache::store(const std::string& key, const FileIcon& icon) {
    QMutexLocker lock(&mutex_);
    cache_[key] = icon;
}

FileIcon IconCache::icon(const std::string& path, bool isPackage, bool isDirectory) {
    const std::string k = key(path, isPackage, isDirectory);
    if (std::optional<FileIcon> hit = cached(k)) return *hit;
    FileIcon icon;
    const std::string ext = lowerExtension(path);
    if (isPackage) {
        // Looked up by name only: reading the package itself is loadPackageIcon's job.
        icon = packageIcon(typeForExtension(ext), ext);
    } else if (isDirectory) {
        icon = FileIcon{
            QIcon::fromTheme(QStringLiteral("folder")), FileIcon::Kind::folder, FileCategory::other, {}};
    } else {
        const QMimeType type = typeForExtension(ext);
        icon = FileIcon{themeIcon(type.isValid() ? type : plainData()), FileIcon::Kind::file,
                        FileCategory::classify(ext), type.isValid() ? type.name() : QString()};
    }
    store(k, icon);
    return icon;
}

void IconCache::loadPackageIcon(const std::string& path, QObject* context,
                                std::function<void(const FileIcon&)> done) {
    const std::string k = key(path, true, false);
    if (std::optional<FileIcon> hit = cached(k)) {
        done(*hit);
        return;
    }
    // The icon is made and cached on the main thread even when the receiver is gone by then; the
    // receiver is only told while it lives.
    QPointer<QObject> receiver(context);
    pool_->start([this, path, k, receiver, done = std::move(done)] {
        const std::string ext = lowerExtension(path);
        const QMimeType type = packageType(path, ext);
        postBack(QCoreApplication::instance(), [this, k, ext, type, receiver, done] {
            const FileIcon icon = packageIcon(type, ext);
            store(k, icon);
            if (receiver) done(icon);
        });
    });
}

}  // namespace nimbrel
