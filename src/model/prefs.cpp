#include "model/prefs.h"

#include <QMutex>
#include <QSettings>
#include <QVariantMap>
#include <memory>

namespace nimbrel {

namespace {

struct Store {
    QMutex mutex;
    QVariantMap registered;
    QString iniPath;  // empty: the user's own store
};

Store& store() {
    static Store s;
    return s;
}

std::unique_ptr<QSettings> openSettings(const QString& iniPath) {
    if (iniPath.isEmpty())
        return std::make_unique<QSettings>(QStringLiteral("Nimbrel"), QStringLiteral("Nimbrel"));
    return std::make_unique<QSettings>(iniPath, QSettings::IniFormat);
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
    return openSettings(s.iniPath)->value(key, s.registered.value(key));
}

void Prefs::setValue(const QString& key, const QVariant& value) {
    Store& s = store();
    QMutexLocker lock(&s.mutex);
    openSettings(s.iniPath)->setValue(key, value);
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

std::vector<std::string> Prefs::recentTargets() {
    std::vector<std::string> paths;
    QVariant stored;
    bool encoded = false;
    {
        Store& s = store();
        QMutexLocker lock(&s.mutex);
        auto settings = openSettings(s.iniPath);
        encoded = settings->contains(kRecentTargetPaths);
        if (encoded) stored = settings->value(kRecentTargetPaths);
    }
    if (!encoded) {
        for (const QString& line : list(kRecentTargets))
            paths.push_back(line.toStdString());
        return paths;
    }
    for (const QString& entry : stored.toStringList()) {
        auto decoded =
            QByteArray::fromBase64Encoding(entry.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && !decoded.decoded.isEmpty()) paths.push_back(decoded.decoded.toStdString());
    }
    return paths;
}

void Prefs::setRecentTargets(const std::vector<std::string>& paths) {
    QStringList entries;
    for (const std::string& path : paths)
        entries << QString::fromLatin1(QByteArray(path.data(), qsizetype(path.size())).toBase64());
    Store& s = store();
    QMutexLocker lock(&s.mutex);
    auto settings = openSettings(s.iniPath);
    settings->setValue(kRecentTargetPaths, entries);
    settings->remove(kRecentTargets);
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

void Prefs::useStore(const QString& iniPath) {
    Store& s = store();
    QMutexLocker lock(&s.mutex);
    s.iniPath = iniPath;
    s.registered.clear();
}

}  // namespace nimbrel
