#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "theme/press_button.h"

namespace nimbrel::testing {

inline QRect rectIn(const QWidget* window, const QWidget* w) {
    return {w->mapTo(window, QPoint(0, 0)), w->size()};
}

// The window's picture around `w`, `margin` wider on every side.
inline QImage around(QWidget* window, const QWidget* w, int margin) {
    return window->grab(rectIn(window, w).adjusted(-margin, -margin, margin, margin)).toImage();
}

// Presses Tab from `rest` (which holds the focus without showing it) until the focus comes round to
// its first stop again, and returns the stops in the order reached. Each stop must lie inside
// `scope`, be on screen (nothing covers its middle), show that it has the focus (a ring drawn
// outside a control shows whole on all four sides: no parent cuts it) and come after the stop
// before it in reading order: on a lower line, or further right on the same line.
inline std::vector<QWidget*> walkTab(QWidget* window, QWidget* scope, QWidget* rest, const std::string& where,
                                     int limit = 300) {
    std::vector<QPointer<QWidget>> stops;
    const auto reached = [&stops] { return std::vector<QWidget*>(stops.begin(), stops.end()); };
    rest->setFocus(Qt::OtherFocusReason);
    for (int i = 0; i < limit; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Tab);
        QWidget* f = QApplication::focusWidget();
        if (!f) {
            ADD_FAILURE() << where << ": the focus went nowhere";
            break;
        }
        if (!stops.empty() && f == stops.front()) return reached();
        const QString name = f->accessibleName().isEmpty() ? QString::fromLatin1(f->metaObject()->className())
                                                           : f->accessibleName();
        const std::string at =
            where + ", stop " + std::to_string(stops.size()) + " (" + name.toStdString() + ")";
        EXPECT_TRUE(f == scope || scope->isAncestorOf(f)) << at << ": outside";
        EXPECT_NE(f, rest) << at;
        const QRect r = rectIn(window, f);
        QWidget* top = window->childAt(r.center());
        EXPECT_TRUE(top && (top == f || f->isAncestorOf(top))) << at << ": not on screen";
        if (!stops.empty() && stops.back()) {
            const QRect before = rectIn(window, stops.back());
            const bool nextLine = r.center().y() > before.bottom();
            const bool sameLine = r.center().y() >= before.top() && r.left() > before.left();
            EXPECT_TRUE(nextLine || sameLine) << at << ": out of reading order";
        }
        // What the focus shows: the picture with and without it.
        auto* button = qobject_cast<PressButton*>(f);
        const int outset = button ? button->focusRingOutset() : 0;
        constexpr int kMargin = 6;
        const QImage on = around(window, f, kMargin);
        rest->setFocus(Qt::OtherFocusReason);
        const QImage off = around(window, f, kMargin);
        f->setFocus(Qt::TabFocusReason);
        if (outset > 0) {
            const int w = f->width(), h = f->height(), m = kMargin, o = outset;
            const struct {
                const char* side;
                QPoint at;
            } sides[] = {{"top", {m + w / 2, m - o}},
                         {"bottom", {m + w / 2, m + h + o - 1}},
                         {"left", {m - o, m + h / 2}},
                         {"right", {m + w + o - 1, m + h / 2}}};
            for (const auto& s : sides)
                EXPECT_NE(on.pixel(s.at), off.pixel(s.at)) << at << ": ring cut at the " << s.side;
        } else {
            EXPECT_NE(on, off) << at << ": no focus shown";
        }
        stops.emplace_back(f);
    }
    ADD_FAILURE() << where << ": the focus never came round";
    return reached();
}

}  // namespace nimbrel::testing
