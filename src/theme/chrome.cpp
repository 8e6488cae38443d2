#include "theme/chrome.h"

#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

#include "theme/appearance.h"
#include "theme/fonts.h"
#include "theme/palette.h"

namespace nimbrel {

namespace {

QString css(const QColor& c) {
    return c.alpha() == 255 ? c.name(QColor::HexRgb)
                            : QStringLiteral("rgba(%1, %2, %3, %4)")
                                  .arg(c.red())
                                  .arg(c.green())
                                  .arg(c.blue())
                                  .arg(QString::number(c.alphaF(), 'f', 3));
}

}  // namespace

QPalette Chrome::darkPalette() {
    const Appearance d = Appearance::dark;
    const QColor canvas = Palette::canvas().resolve(d);
    const QColor raised = Palette::raised().resolve(d);
    const QColor ink = Palette::ink().resolve(d);
    const QColor ink3 = Palette::ink3().resolve(d);
    QPalette pal;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Window, canvas);
        pal.setColor(group, QPalette::Base, raised);
        pal.setColor(group, QPalette::AlternateBase, canvas);
        pal.setColor(group, QPalette::Button, raised);
        pal.setColor(group, QPalette::WindowText, ink);
        pal.setColor(group, QPalette::Text, ink);
        pal.setColor(group, QPalette::ButtonText, ink);
        pal.setColor(group, QPalette::Highlight, Palette::accent().resolve(d));
        pal.setColor(group, QPalette::HighlightedText, Palette::onAccent());
        pal.setColor(group, QPalette::PlaceholderText, ink3);
        pal.setColor(group, QPalette::ToolTipBase, raised);
        pal.setColor(group, QPalette::ToolTipText, ink);
    }
    pal.setColor(QPalette::Disabled, QPalette::WindowText, ink3);
    pal.setColor(QPalette::Disabled, QPalette::Text, ink3);
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, ink3);
    pal.setColor(QPalette::Disabled, QPalette::Window, canvas);
    pal.setColor(QPalette::Disabled, QPalette::Base, canvas);
    return pal;
}

QString Chrome::styleSheet() {
    const Appearance d = Appearance::dark;
    const QString canvas = css(Palette::canvas().resolve(d));
    // Menus are windows of their own: their fill must be opaque, the raised colour laid on the canvas.
    const QColor canvasColor = Palette::canvas().resolve(d);
    const QColor raisedColor = Palette::raised().resolve(d);
    const double a = raisedColor.alphaF();
    const QString raised =
        css(QColor::fromRgbF(float(raisedColor.redF() * a + canvasColor.redF() * (1 - a)),
                             float(raisedColor.greenF() * a + canvasColor.greenF() * (1 - a)),
                             float(raisedColor.blueF() * a + canvasColor.blueF() * (1 - a))));
    const QString line = css(Palette::line().resolve(d));
    const QString lineStrong = css(Palette::lineStrong().resolve(d));
    const QString ink = css(Palette::ink().resolve(d));
    const QString ink2 = css(Palette::ink2().resolve(d));
    const QString ink3 = css(Palette::ink3().resolve(d));
    const QString subtle = css(Palette::nimbrelSubtle().resolve(d));
    const QString family = QString::fromLatin1(Fonts::kStandardFamily);
    // The point size the design's 13 px text takes.
    const QString size = QString::number(Fonts::pointSizeFor(13), 'f', 2);
    return QStringLiteral(
               "QMenuBar { background: %1; color: %6; font-family: '%10'; font-size: %11pt;"
               "  border-bottom: 1px solid %4; padding: 2px 12px; }"
               "QMenuBar::item { background: transparent; padding: 4px 10px; border-radius: 6px; }"
               "QMenuBar::item:selected, QMenuBar::item:pressed { background: %9; color: %5; }"
               "QMenuBar:disabled { color: %8; }"
               "QMenu { background: %2; color: %5; border: 1px solid %3; padding: 6px;"
               "  font-family: '%10'; font-size: %11pt; }"
               "QMenu::item { padding: 6px 18px 6px 12px; border-radius: 7px; background: transparent; }"
               "QMenu::item:selected { background: %9; color: %5; }"
               "QMenu::item:disabled { color: %8; }"
               "QMenu::separator { height: 1px; background: %4; margin: 5px 8px; }"
               "QMenu::right-arrow { width: 8px; height: 8px; }"
               "QFileDialog { background: %1; color: %5; }"
               "QFileDialog QListView, QFileDialog QTreeView { background: %2; color: %5; border: 1px solid "
               "%4;"
               "  selection-background-color: %9; selection-color: %5; }"
               "QFileDialog QHeaderView::section { background: %1; color: %7; border: none;"
               "  border-bottom: 1px solid %4; padding: 4px 6px; }"
               "QFileDialog QLineEdit, QFileDialog QComboBox { background: %2; color: %5; border: 1px solid "
               "%3;"
               "  border-radius: 6px; padding: 3px 6px; selection-background-color: %9; }"
               "QFileDialog QComboBox QAbstractItemView { background: %2; color: %5; }"
               "QFileDialog QPushButton { background: %2; color: %5; border: 1px solid %3; border-radius: "
               "8px;"
               "  padding: 5px 14px; }"
               "QFileDialog QPushButton:hover { background: %9; }"
               "QFileDialog QPushButton:default { border-color: %6; }"
               "QFileDialog QToolButton { background: transparent; border: none; color: %5; }"
               "QFileDialog QToolButton:hover { background: %9; border-radius: 6px; }"
               "QFileDialog QLabel { color: %6; }"
               "QFileDialog QSplitter::handle { background: %4; }")
        .arg(canvas, raised, lineStrong, line, ink, ink2, ink3, ink3, subtle)
        .arg(family, size);
}

namespace {

// Styles each menu bar, menu and file dialog as it is first polished. A style sheet on the whole
// application would restyle every stock widget of the windows too (the search field among them).
class ChromeFilter : public QObject {
  public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (Chrome::appliesTo(w) && w->styleSheet().isEmpty()) Chrome::apply(w);
        }
        return false;
    }
};

}  // namespace

bool Chrome::appliesTo(const QWidget* w) {
    return qobject_cast<const QMenu*>(w) || qobject_cast<const QMenuBar*>(w) ||
           qobject_cast<const QFileDialog*>(w);
}

void Chrome::apply(QWidget* w) {
    static const QString sheet = styleSheet();
    w->setPalette(darkPalette());
    w->setStyleSheet(sheet);
}

void Chrome::install() {
    if (!qApp) return;
    static ChromeFilter* filter = nullptr;
    if (filter) return;
    filter = new ChromeFilter(qApp);
    qApp->installEventFilter(filter);
}

}  // namespace nimbrel
