#include "model/prefs.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSettings>
#include <QThreadPool>
#include <QVariantMap>
#include <optional>
#include <utility>

#include "platform/settings_file.h"

namespace nimbrel {

namespace {

// The store as this session sees it: read from disk once, then kept here. Writes change it at once
// and reach the disk on a writer thread, in order: saving a settings file syncs it to the disk,
// which can take a long while on a busy disk and must not hold up the caller (a scan starting).
struct Store {
    QMutex mutex;
    QVariantMap registered;
    QString iniPath;                            // empty: the user's own store
    std::optional<QVariantMap> values;          // read on first use
    std::vector<SettingsFile::Change> pending;  // a removal holds no value
    QMutex fileMutex;                           // one writer at a time, so writes land in order
};

// Never destroyed: a save still running at exit must not find its store gone (the file is only
// renamed into place once written, so an unfinished save leaves the old one).
Store& store() {
    static Store* s = new Store;
    return *s;
}

// A program that ends with a save still running would lose it and leave the save's scratch folder
// in the temporary folder: the application object, on its way out, waits for the writer first.
QThreadPool& writer() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        qAddPostRoutine(&Prefs::flush);
        return p;
    }();
    return *pool;
}

// The file the store lives in: the user's own settings file unless a test chose another.
QString settingsPath(const QString& iniPath) {
    if (!iniPath.isEmpty()) return iniPath;
    static const QString user = QSettings(QStringLiteral("Nimbrel"), QStringLiteral("Nimbrel")).fileName();
    return user;
}

// The store's values; the mutex is held.
QVariantMap& values(Store& s) {
    if (!s.values) {
        s.values = SettingsFile::read(settingsPath(s.iniPath));
    }
    return *s.values;
}

// Writes what is pending to the file it was meant for.
void writePending() {
    Store& s = store();
    QMutexLocker fileLock(&s.fileMutex);
    std::vector<SettingsFile::Change> writes;
    QString path;
    {
        QMutexLocker lock(&s.mutex);
        writes.swap(s.pending);
        path = s.iniPath;
    }
    // A store that cannot be saved (a folder on the way is another user's link) keeps this
    // session's values in memory only.
    if (!writes.empty()) SettingsFile::update(settingsPath(path), writes);
}

// Records a write; the mutex is held.
void write(Store& s, const QString& key, std::optional<QVariant> value) {
    if (value)
        values(s).insert(key, *value);
    else
        values(s).remove(key);
    const bool queued = !s.pending.empty();
    s.pending.emplace_back(key, std::move(value));
    if (!queued) writer().start(&writePending);
}

}  // namespace

void Prefs::registerDefaults() {
    Store& s = store();
    QMutexLocker lock(&s.mutex);
    s.registered.insert(kMinTrackedSize, qint64(1000000));
    s.registered.insert(kTreatPackagesAsFiles, true);
    s.registered.insert(kSkipHiddenFiles, false);
    s.registered.insert(kExcludedPaths, QString());
    s.registered.insert(kShowMenuBarExtra, true);
    s.registered.insert(kRecentTargets, QString());
}

QVariant Prefs::value(const QString& key) {
    Store& s = store();
    QMutexLocker lock(&s.mutex);
    return values(s).value(key, s.registered.value(key));
}

void Prefs::setValue(const QString& key, const QVariant& value) {
    Store& s = store();
    QMutexLocker lock(&s.mutex);
    write(s, key, value);
}

QStringList Prefs::list(const QString& key) {
    const QVariant v = value(key);
    // Only text holds a list; anything else reads as empty.
    if (v.typeId() != QMetaType::QString) return {};
    return v.toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void Prefs::setList(const QString& key, const QStringList& items) {
    setValue(key, items.join(QLatin1Char('\n')));
}

std::vector<std::string> Prefs::paths(const QString& key) {
    std::vector<std::string> paths;
    for (const QString& entry : value(key).toStringList()) {
        auto decoded =
            QByteArray::fromBase64Encoding(entry.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && !decoded.decoded.isEmpty()) paths.push_back(decoded.decoded.toStdString());
    }
    return paths;
}

void Prefs::setPaths(const QString& key, const std::vector<std::string>& paths) {
    QStringList entries;
    for (const std::string& path : paths)
        entries << QString::fromLatin1(QByteArray(path.data(), qsizetype(path.size())).toBase64());
    setValue(key, entries);
}

std::vector<std::string> Prefs::recentTargets() {
    bool encoded = false;
    {
        Store& s = store();
        QMutexLocker lock(&s.mutex);
        encoded = values(s).contains(kRecentTargetPaths);
    }
    if (encoded) return paths(kRecentTargetPaths);
    std::vector<std::string> paths;
    for (const QString& line : list(kRecentTargets))
        paths.push_back(line.toStdString());
    return paths;
}

void Prefs::setRecentTargets(const std::vector<std::string>& paths) {
    setPaths(kRecentTargetPaths, paths);
    Store& s = store();
    QMutexLocker lock(&s.mutex);
    write(s, kRecentTargets, std::nullopt);
}

ScanOptions Prefs::scanOptions() {
    ScanOptions options;
    options.minTrackedSize = value(kMinTrackedSize).toLongLong();  // 0 when there is no value at all
    options.treatPackagesAsFiles = value(kTreatPackagesAsFiles).toBool();
    options.skipHidden = value(kSkipHiddenFiles).toBool();
    options.excludedPaths.clear();
    for (const QString& path : list(kExcludedPaths))
        options.excludedPaths.push_back(path.toStdString());
    return options;
}

void Prefs::flush() {
    writer().waitForDone();
    writePending();
}

void Prefs::useStore(const QString& iniPath) {
    flush();
    Store& s = store();
    QMutexLocker lock(&s.mutex);
    s.iniPath = iniPath;
    s.values.reset();
    s.registered.clear();
}

}  // namespace nimbrel
