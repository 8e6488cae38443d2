#include "views/kit/plain_text.h"

#include <QTextDocument>

namespace nimbrel {

QString PlainText::toolTip(const QString& text) {
    if (text.isEmpty()) return text;
    // Escaped text on its own would no longer look like markup and show its entities; wrapping it
    // makes the tooltip render it as rich text, where the entities turn back into the characters.
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

QString PlainText::actionText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace nimbrel
