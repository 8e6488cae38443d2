#include "views/shell/drop_policy.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QMimeData>
#include <QUrl>

namespace nimbrel {

std::optional<std::string> DropPolicy::localPath(const QUrl& url) {
    if (!url.isLocalFile()) return std::nullopt;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    // toLocalFile() would turn undecodable bytes into replacement characters: another path.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty() || bytes.front() != '/') return std::nullopt;
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool DropPolicy::carriesLocalFiles(const QMimeData& mime) {
    if (!mime.hasUrls()) return false;
    for (const QUrl& url : mime.urls()) {
        if (localPath(url)) return true;
    }
    return false;
}

std::optional<std::string> DropPolicy::pathToScan(const QMimeData& mime) {
    if (!mime.hasUrls()) return std::nullopt;
    const QList<QUrl> urls = mime.urls();
    if (urls.isEmpty()) return std::nullopt;
    return localPath(urls.front());
}

bool DropPolicy::isFolderItself(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace nimbrel
