#include "util/name_order.h"

#include <QLocale>

namespace nimbrel {

namespace {

const QCollator& collator() {
    static const QCollator made = [] {
        QLocale locale = QLocale::system();
        if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator c(locale);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return made;
}

}  // namespace

int NameOrder::compare(const QString& a, const QString& b) {
    return collator().compare(a, b);
}

QCollatorSortKey NameOrder::sortKey(const QString& name) {
    return collator().sortKey(name);
}

}  // namespace nimbrel
