#pragma once

#include <QString>
#include <QStringList>

namespace nimbrel {

// The "Never scan" list as stored: one absolute path per line.
namespace ExcludedPaths {

// The stored text's non-empty lines, in order, each unchanged (no trimming).
QStringList parse(const QString& raw);
// The chosen folders (already normalised) together with the stored ones, without duplicates, in
// plain code order (capitals before small letters), one per line with no newline at the end.
QString adding(const QString& raw, const QStringList& chosen);
// The stored entries other than `path`, in their order.
QString removing(const QString& raw, const QString& path);

}  // namespace ExcludedPaths

}  // namespace nimbrel
