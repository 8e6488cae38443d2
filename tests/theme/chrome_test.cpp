#include "theme/chrome.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>

namespace nimbrel {
namespace {

TEST(ChromeTest, MenusAndFolderChoosersAreDarkOtherWidgetsUntouched) {
    Chrome::install();
    QWidget window;
    auto* field = new QLineEdit(&window);
    QMenu menu(&window);
    menu.addAction(QStringLiteral("Reveal"));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    for (QWidget* w : std::initializer_list<QWidget*>{&window, &menu, &dialog})
        w->ensurePolished();
    field->ensurePolished();

    for (QWidget* w : std::initializer_list<QWidget*>{&menu, &dialog}) {
        EXPECT_FALSE(w->styleSheet().isEmpty());
        EXPECT_LT(w->palette().color(QPalette::Window).lightness(), 60);
        EXPECT_GT(w->palette().color(QPalette::WindowText).lightness(), 180);
    }
    // The dialog's list and fields inherit the dark palette.
    for (auto* child : dialog.findChildren<QLineEdit*>())
        EXPECT_LT(child->palette().color(QPalette::Base).lightness(), 80);
    EXPECT_TRUE(field->styleSheet().isEmpty());
    EXPECT_TRUE(window.styleSheet().isEmpty());
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

}  // namespace
}  // namespace nimbrel
