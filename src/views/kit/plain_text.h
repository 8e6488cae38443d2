#pragma once

#include <QString>

namespace nimbrel {

// Text built from file names, paths and volume names must never be read as markup: Qt guesses rich
// text for labels and tooltips, so a file named "<b>x</b>" would turn bold.
namespace PlainText {

// A tooltip that shows `text` literally.
QString toolTip(const QString& text);
// A menu or button text that shows `text` literally ("&" would mark a mnemonic).
QString actionText(const QString& text);

}  // namespace PlainText

}  // namespace nimbrel
