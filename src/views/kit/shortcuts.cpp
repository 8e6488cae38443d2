#include "views/kit/shortcuts.h"

namespace nimbrel {

QKeySequence Shortcuts::area(int position) {
    return QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + position));
}

QString Shortcuts::text(const QKeySequence& keys) {
    return keys.toString(QKeySequence::NativeText);
}

QString Shortcuts::withShortcut(const QString& help, const QKeySequence& keys) {
    return QStringLiteral("%1 (%2)").arg(help, text(keys));
}

}  // namespace nimbrel
