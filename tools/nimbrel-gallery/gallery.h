#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "theme/appearance.h"

namespace nimbrel::gallery {

// One page of the gallery, built once per appearance. Pages register themselves from their own file:
//   static const bool registered = registerPage({"controls", 10, [](Appearance a) { ... }});
struct Page {
    QString name;
    int order;
    std::function<QWidget*(Appearance)> build;
};

bool registerPage(Page page);
std::vector<Page> pages();

// Helpers for page builders.
QWidget* section(const QString& title, QWidget* body);
QWidget* row(std::initializer_list<QWidget*> widgets, int spacing = 14);
QWidget* column(std::initializer_list<QWidget*> widgets, int spacing = 10);
QWidget* caption(const QString& text);
// A widget with a caption underneath, for labelling a state.
QWidget* labelled(QWidget* widget, const QString& text);
// Puts a control into its hover or pressed look once it is shown.
void showHover(QWidget* w);
void showPressed(QWidget* w);

}  // namespace nimbrel::gallery
