#pragma once

#include <QPointF>
#include <QRectF>
#include <array>

#include "views/space/entry_rules.h"
#include "views/space/explorer_model.h"

namespace nimbrel {

// Where every part of one explorer tile or list row lies, worked out once from the tile's frame.
// Painting, clicks, tooltips and accessibility all read it, so a part is hit exactly where and in
// the shape it is drawn.
struct TileGeometry {
    static constexpr double kTileHeight = 132;
    static constexpr double kRowHeight = 48;
    static constexpr double kIconTile = 64;
    static constexpr double kIconRow = 28;

    // What a tile shows, as far as it changes where things are or what can be hit.
    struct Shows {
        EntryRules::Control control = EntryRules::Control::select;
        bool riskMark = false;     // icons: caution and danger
        bool pathActions = false;  // list: while the pointer is over the row
    };

    static TileGeometry of(const QRectF& tile, ExplorerLayout layout, const Shows& shows);
    static TileGeometry of(const QRectF& tile, ExplorerLayout layout);  // the places alone

    enum class Part { none, control, riskMark, copyPath, reveal, body };
    // The part under a point of the tile (`none` outside it); the selection control, the risk mark
    // and the path buttons come before the tile's own body.
    Part partAt(QPointF at) const;

    ExplorerLayout layout = ExplorerLayout::icons;
    Shows shows;
    QRectF tile;
    QRectF icon;      // the type icon's square
    QRectF control;   // icons: the select circle's padded square; list: the padded tick box
    QRectF lock;      // the lock mark's disc
    QRectF riskMark;  // icons: the risk mark's disc
    QRectF text;      // icons: the name and size lines; list: the name and kind lines
    // List only.
    QRectF size;  // the size column
    QRectF bar;   // the weight bar
    QRectF chevron;
    std::array<QRectF, 2> pathActions;  // copy, reveal

    // The select circle and the marks are round: a point in their square's corner misses them.
    static bool inDisc(const QRectF& square, QPointF at);
};

}  // namespace nimbrel
