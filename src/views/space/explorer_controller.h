#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <optional>
#include <string>

#include "views/space/click.h"

class QKeyEvent;

namespace nimbrel {

class ExplorerView;
class SpaceViewModel;

// What the explorer's input means: the pointer's hover, a click on a tile's parts (its select
// control, the row's path buttons, the tile itself: open, preview or select), the small-files row,
// the Space key, the context menu and the tooltips. The view lays out and paints and hands its
// input here, with points in its viewport's coordinates.
class ExplorerController : public QObject {
    Q_OBJECT
  public:
    ExplorerController(SpaceViewModel& model, ExplorerView& view);

    void mouseMoved(QPointF at);
    void left();
    // The left button only; a double click's second press is a press too.
    void pressed(QPointF at);
    void released(QPointF at, Qt::KeyboardModifiers modifiers);
    // False when the key is not the explorer's.
    bool keyPressed(const QKeyEvent& event);
    void contextMenu(QPoint at, QPoint globalAt);
    // What the tooltip at `at` says; empty where no tile is.
    QString toolTipAt(QPointF at);

  signals:
    void previewRequested(const std::string& path);

  private:
    std::optional<int> tileAt(QPointF at) const;
    // The tile at `at` when it shows an entry (not a placeholder).
    std::optional<int> entryAt(QPointF at) const;
    void activate(int index, QPointF at, const ClickInfo& click);

    SpaceViewModel& vm_;
    ExplorerView& view_;
    ClickCounter clicks_;
    int pressCount_ = 0;
    std::optional<int> pressed_;
};

}  // namespace nimbrel
