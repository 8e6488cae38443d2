#pragma once

#include <QCollator>
#include <QString>

namespace nimbrel {

// The order names are listed in, as the file manager sorts: digit runs by value ("file2" before
// "file10"), case ignored, the user's language; the "C" locale (no language set) sorts as English,
// since its collator has no rules and would compare bytes.
struct NameOrder {
    // Negative, zero or positive as `a` sorts before, with or after `b`.
    static int compare(const QString& a, const QString& b);
    static bool before(const QString& a, const QString& b) { return compare(a, b) < 0; }
    // A key to sort many names with: one per name instead of collating both on every comparison.
    static QCollatorSortKey sortKey(const QString& name);
};

}  // namespace nimbrel
