// Buttons, pickers, chips, tick boxes, switches, the search field and menu rows in each state.
#include <QVBoxLayout>

#include "gallery.h"
#include "theme/chip.h"
#include "theme/icon_button.h"
#include "theme/menu_row.h"
#include "theme/nimbrel_button.h"
#include "theme/oklch.h"
#include "theme/pill_picker.h"
#include "theme/search_field.h"

namespace nimbrel::gallery {
namespace {

using Kind = NimbrelButton::Kind;
using Size = NimbrelButton::Size;

QWidget* buttonStates(Kind kind, const QString& name) {
    auto make = [&](const QString& title) { return new NimbrelButton(title, kind, Size::regular); };
    auto* rest = make(name);
    auto* hover = make(QStringLiteral("Hover"));
    showHover(hover);
    auto* pressed = make(QStringLiteral("Pressed"));
    showPressed(pressed);
    auto* focused = make(QStringLiteral("Focused"));
    focused->setFocusPreview(true);
    auto* disabled = make(QStringLiteral("Disabled"));
    disabled->setEnabled(false);
    showHover(disabled);
    return row({rest, hover, pressed, focused, disabled}, 22);
}

QWidget* buttonSizes() {
    auto* small = new NimbrelButton(QStringLiteral("Scan"), Kind::primary, Size::small);
    small->setSymbol(QStringLiteral("scope"));
    auto* regular = new NimbrelButton(QStringLiteral("Scan Home"), Kind::primary, Size::regular);
    regular->setSymbol(QStringLiteral("house.fill"));
    auto* large = new NimbrelButton(QStringLiteral("Review & Nimbrelise…"), Kind::primary, Size::large);
    large->setSymbol(QStringLiteral("humidity.fill"));
    auto* ghost = new NimbrelButton(QStringLiteral("Add"), Kind::ghost, Size::small);
    ghost->setSymbol(QStringLiteral("plus"));
    auto* danger = new NimbrelButton(QStringLiteral("Nimbrelise Forever"), Kind::danger, Size::large);
    return row({small, regular, large, ghost, danger}, 22);
}

QWidget* iconButtons() {
    auto* plain = new IconButton(QStringLiteral("slider.horizontal.3"), 28, false);
    auto* filled = new IconButton(QStringLiteral("chevron.left"), 26, true);
    auto* hover = new IconButton(QStringLiteral("arrow.clockwise"), 28, false);
    showHover(hover);
    auto* pressed = new IconButton(QStringLiteral("stop.fill"), 24, true);
    showPressed(pressed);
    auto* focused = new IconButton(QStringLiteral("doc.on.doc"), 22, false);
    focused->setFocusPreview(true);
    auto* disabled = new IconButton(QStringLiteral("eye"), 24, false);
    disabled->setEnabled(false);
    return row(
        {labelled(plain, QStringLiteral("28")), labelled(filled, QStringLiteral("26 filled")),
         labelled(hover, QStringLiteral("hover")), labelled(pressed, QStringLiteral("pressed")),
         labelled(focused, QStringLiteral("22 focused")), labelled(disabled, QStringLiteral("disabled"))},
        18);
}

QWidget* pickers() {
    const QList<PillOption> sorts{{QStringLiteral("size"), QStringLiteral("Size")},
                                  {QStringLiteral("name"), QStringLiteral("Name")},
                                  {QStringLiteral("modified"), QStringLiteral("Modified")}};
    auto* picker = new PillPicker(sorts, QStringLiteral("name"));
    QObject::connect(picker, &PillPicker::selectionRequested, picker,
                     [picker](const QVariant& v) { picker->setSelection(v); });
    auto* none = new PillPicker(sorts, QStringLiteral("kind"));
    auto* ages = new PillPicker({{1, QStringLiteral("1 MB")},
                                 {10, QStringLiteral("10 MB")},
                                 {100, QStringLiteral("100 MB")},
                                 {1000, QStringLiteral("1 GB")}},
                                1000);
    auto* focused = new PillPicker(sorts, QStringLiteral("size"));
    focused->buttons()[1]->setFocusPreview(true);
    auto* empty = new PillPicker;
    return row(
        {labelled(picker, QStringLiteral("selected")), labelled(none, QStringLiteral("no match")),
         labelled(ages, QStringLiteral("four options")), labelled(focused, QStringLiteral("focused option")),
         labelled(empty, QStringLiteral("empty"))},
        18);
}

QWidget* chips() {
    const QColor video = fixedColor(OKLCH::of(0.72, 0.14, 305));
    const QColor code = fixedColor(OKLCH::of(0.72, 0.14, 145));
    auto* off = new Chip(QStringLiteral("All"));
    auto* hover = new Chip(QStringLiteral("Hover"));
    showHover(hover);
    auto* on = new Chip(QStringLiteral("On"), std::nullopt, true);
    auto* dotOn = new Chip(QStringLiteral("Video"), video, true);
    auto* dotOff = new Chip(QStringLiteral("Code"), code, false);
    auto* focused = new Chip(QStringLiteral("Focused"));
    focused->setFocusPreview(true);
    auto* pressed = new Chip(QStringLiteral("Pressed"), code, true);
    showPressed(pressed);
    QObject::connect(off, &QAbstractButton::clicked, off, [off] { off->setOn(!off->isOn()); });
    return row({off, hover, on, dotOn, dotOff, focused, pressed}, 10);
}

QWidget* toggles() {
    auto check = [](bool on, bool enabled, bool focus) {
        auto* c = new NimbrelCheck(on);
        c->setEnabled(enabled);
        c->setFocusPreview(focus);
        QObject::connect(c, &NimbrelCheck::toggleRequested, c, [c](bool v) { c->setOn(v); });
        return c;
    };
    auto sw = [](bool on, bool focus) {
        auto* s = new NimbrelSwitch(on);
        s->setFocusPreview(focus);
        QObject::connect(s, &NimbrelSwitch::toggleRequested, s, [s](bool v) { s->setOn(v); });
        return s;
    };
    return row({labelled(check(false, true, false), QStringLiteral("off")),
                labelled(check(true, true, false), QStringLiteral("on")),
                labelled(check(false, false, false), QStringLiteral("disabled")),
                labelled(check(true, false, false), QStringLiteral("disabled on")),
                labelled(check(true, true, true), QStringLiteral("focused")),
                labelled(sw(false, false), QStringLiteral("switch off")),
                labelled(sw(true, false), QStringLiteral("switch on")),
                labelled(sw(true, true), QStringLiteral("focused"))},
               18);
}

QWidget* searchFields() {
    auto* empty = new SearchField(QStringLiteral("Search this folder"));
    auto* filled = new SearchField(QStringLiteral("Search this folder"));
    filled->setText(QStringLiteral("node_modules"));
    auto* focused = new SearchField(QStringLiteral("Filter locations"));
    focused->setFocusPreview(true);
    for (auto* f : {empty, filled, focused})
        f->setFixedWidth(230);
    return row({empty, filled, focused}, 16);
}

QWidget* menuRows() {
    auto* list = new QWidget;
    auto* box = new QVBoxLayout(list);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(new MenuRow(QStringLiteral("Home Folder"), QStringLiteral("house"), QStringLiteral("~")));
    auto* hovered =
        new MenuRow(QStringLiteral("Entire Disk"), QStringLiteral("internaldrive"), QStringLiteral("412 GB"));
    showHover(hovered);
    box->addWidget(hovered);
    box->addWidget(
        new MenuRow(QStringLiteral("Choose Folder…"), QStringLiteral("folder"), QStringLiteral("Ctrl+O")));
    box->addWidget(new MenuRow(QStringLiteral("No symbol, no detail")));
    auto* focused = new MenuRow(QStringLiteral("Quit Nimbrel"), QStringLiteral("power"));
    focused->setFocusPreview(true);
    box->addWidget(focused);
    box->addWidget(new MenuRow(QStringLiteral("A rather long folder name that keeps going"),
                               QStringLiteral("clock"),
                               QStringLiteral("/home/someone/projects/archive/2019/photos")));
    list->setFixedWidth(300);
    return list;
}

QWidget* build(Appearance) {
    return column(
        {section(QStringLiteral("Primary"), buttonStates(Kind::primary, QStringLiteral("Primary"))),
         section(QStringLiteral("Secondary"), buttonStates(Kind::secondary, QStringLiteral("Secondary"))),
         section(QStringLiteral("Ghost"), buttonStates(Kind::ghost, QStringLiteral("Ghost"))),
         section(QStringLiteral("Danger"), buttonStates(Kind::danger, QStringLiteral("Danger"))),
         section(QStringLiteral("Sizes and symbols"), buttonSizes()),
         section(QStringLiteral("Icon buttons"), iconButtons()),
         section(QStringLiteral("Pill picker"), pickers()), section(QStringLiteral("Chips"), chips()),
         section(QStringLiteral("Tick box and switch"), toggles()),
         section(QStringLiteral("Search field"), searchFields()),
         section(QStringLiteral("Menu rows"), menuRows())},
        22);
}

const bool registered = registerPage({QStringLiteral("controls"), 10, build});

}  // namespace
}  // namespace nimbrel::gallery
