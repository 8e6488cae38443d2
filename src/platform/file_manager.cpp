#include "platform/file_manager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QStringList>
#include <QUrl>

#include "engine/path_rules.h"

namespace nimbrel {

namespace {

std::function<void(const std::string&)>& revealFailed() {
    static std::function<void(const std::string&)> handler;
    return handler;
}

void openParentFolder(const std::string& path) {
    const std::string parent = PathRules::parent(path);
    // False when the desktop has nothing that opens a folder: say so instead of doing nothing.
    if (!QDesktopServices::openUrl(QUrl(FileActions::fileUri(parent.empty() ? "/" : parent))) &&
        revealFailed())
        revealFailed()(path);
}

}  // namespace

QString FileActions::fileUri(const std::string& path) {
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding("/"));
}

void FileActions::reveal(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openParentFolder(paths.front());
        return;
    }
    QStringList uris;
    for (const std::string& p : paths)
        uris << fileUri(p);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    // Asynchronous: starting a file manager through the bus can take a while.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), nullptr);
    const std::string first = paths.front();
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, first] {
        if (watcher->isError()) openParentFolder(first);
        watcher->deleteLater();
    });
}

void FileActions::setRevealFailedHandler(std::function<void(const std::string& path)> handler) {
    revealFailed() = std::move(handler);
}

void FileActions::openFullDiskAccessSettings() {
#ifdef __APPLE__
    const QUrl url(
        QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"));
    if (url.isValid()) QDesktopServices::openUrl(url);
#endif
}

}  // namespace nimbrel
