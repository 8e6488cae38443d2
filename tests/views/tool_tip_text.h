#pragma once

#include <QString>
#include <QTextDocument>

namespace nimbrel {

// What a tooltip shows for its text: Qt renders rich text when it guesses markup.
inline QString shownByToolTip(const QString& tip) {
    if (!Qt::mightBeRichText(tip)) return tip;
    QTextDocument doc;
    doc.setHtml(tip);
    return doc.toPlainText();
}

}  // namespace nimbrel
