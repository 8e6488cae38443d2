#pragma once

#include <QPalette>
#include <QString>

class QWidget;

namespace nimbrel {

// The stock widgets Nimbrel shows inside its dark windows (the menus, the context menus and the folder
// chooser) drawn in the theme's dark colours instead of the desktop's light ones.
struct Chrome {
    // The style sheet for menu bars, menus and file dialogs.
    static QString styleSheet();
    // The dark palette the file dialogs start from (their views and fields inherit it).
    static QPalette darkPalette();
    // Whether `w` is one of those widgets, and styling it.
    static bool appliesTo(const QWidget* w);
    static void apply(QWidget* w);
    // Styles every such widget the application creates from now on; call once after the QApplication
    // exists.
    static void install();
};

}  // namespace nimbrel
