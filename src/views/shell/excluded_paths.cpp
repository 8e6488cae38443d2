#include "views/shell/excluded_paths.h"

#include <algorithm>

namespace nimbrel::ExcludedPaths {

QStringList parse(const QString& raw) {
    return raw.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString adding(const QString& raw, const QStringList& chosen) {
    QStringList all = chosen + parse(raw);
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all.join(QLatin1Char('\n'));
}

QString removing(const QString& raw, const QString& path) {
    QStringList kept = parse(raw);
    kept.removeAll(path);
    return kept.join(QLatin1Char('\n'));
}

}  // namespace nimbrel::ExcludedPaths
