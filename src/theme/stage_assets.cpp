#include "theme/stage_assets.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace nimbrel {

namespace {

std::optional<QList<QImage>>& puffOverride() {
    static std::optional<QList<QImage>> value;
    return value;
}

QStringList defaultFolders() {
    QStringList folders{QString::fromLatin1(StageAssets::kBundleFolder)};
    // Without an application object there is no executable folder to look in.
    if (QCoreApplication::instance()) folders << QCoreApplication::applicationDirPath();
    return folders;
}

}  // namespace

std::optional<QString> StageAssets::url(const QString& name, const QString& ext, const QStringList& folders) {
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        const QString path = folder + '/' + name + '.' + ext;
        if (QFileInfo::exists(path)) return path;
    }
    return std::nullopt;
}

std::optional<QString> StageAssets::url(const QString& name, const QString& ext) {
    return url(name, ext, defaultFolders());
}

QList<QImage> StageAssets::loadPuffs(const QStringList& folders) {
    QList<QImage> puffs;
    for (int i = 1; i <= 4; ++i) {
        const std::optional<QString> path =
            url(QStringLiteral("puff%1").arg(i), QStringLiteral("png"), folders);
        if (!path) continue;
        QImage image(*path);
        if (!image.isNull()) puffs.append(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    return puffs;
}

const QList<QImage>& StageAssets::puffs() {
    if (puffOverride()) return *puffOverride();
    static const QList<QImage> loaded = loadPuffs(defaultFolders());
    return loaded;
}

void StageAssets::setPuffsForTesting(std::optional<QList<QImage>> puffs) {
    puffOverride() = std::move(puffs);
}

}  // namespace nimbrel
