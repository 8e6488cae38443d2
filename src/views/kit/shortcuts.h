#pragma once

#include <QKeySequence>
#include <QString>

namespace nimbrel {

// The keys of the menu commands, in one place so help texts and menus cannot disagree. Qt::CTRL is
// the Command key on macOS and Ctrl elsewhere.
namespace Shortcuts {

inline const QKeySequence scanFolder{Qt::CTRL | Qt::Key_O};
inline const QKeySequence scanHome{Qt::CTRL | Qt::SHIFT | Qt::Key_H};
inline const QKeySequence scanDisk{Qt::CTRL | Qt::SHIFT | Qt::Key_D};
inline const QKeySequence rescan{Qt::CTRL | Qt::Key_R};
inline const QKeySequence stopScan{Qt::CTRL | Qt::Key_Period};
inline const QKeySequence settings{Qt::CTRL | Qt::Key_Comma};
inline const QKeySequence quit{Qt::CTRL | Qt::Key_Q};
inline const QKeySequence closeWindow{Qt::CTRL | Qt::Key_W};
QKeySequence area(int position);  // 1-based: Ctrl+1 .. Ctrl+3

// The shortcut as the platform writes it ("Ctrl+O" here, "⌘O" on macOS).
QString text(const QKeySequence& keys);
// A help text followed by its shortcut in parentheses: "Stop scanning (Ctrl+.)".
QString withShortcut(const QString& help, const QKeySequence& keys);

}  // namespace Shortcuts

}  // namespace nimbrel
