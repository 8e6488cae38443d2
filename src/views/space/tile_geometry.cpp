#include "views/space/tile_geometry.h"

#include "theme/symbols.h"

namespace nimbrel {

namespace {

// Icons: a 72-point icon block and a 50-point text block, 6 apart, centred in the tile.
void layOutTile(TileGeometry& g) {
    const QRectF& r = g.tile;
    const double top = r.top() + (TileGeometry::kTileHeight - (72 + 6 + 50)) / 2;
    g.icon = {r.center().x() - TileGeometry::kIconTile / 2, top + 4, TileGeometry::kIconTile,
              TileGeometry::kIconTile};
    // The top-leading mark sits on the 72-high frame, nudged 4 left and 2 up; the trailing one 4
    // right and 2 up.
    g.control = {QPointF(g.icon.left() - 4, g.icon.top() - 4 - 2), QSizeF(30, 30)};
    g.lock = g.control.adjusted(5, 5, -5, -5);
    const double mark = Symbols::side(13) + 6;
    g.riskMark = {g.icon.right() + 4 - mark, g.icon.top() - 4 - 2, mark, mark};
    g.text = {r.left() + 6, g.icon.bottom() + 4 + 6, r.width() - 12, 50};
}

// List: leading control, icon and text; trailing, right to left, the size column, the weight bar,
// the chevron and, while hovered, the two path buttons.
void layOutRow(TileGeometry& g) {
    const QRectF& r = g.tile;
    const double cy = r.center().y();
    double x = r.left() + 12;
    g.control = {x, cy - 14, 28, 28};
    g.lock = {x + 4, cy - 10, 20, 20};
    x += 28 + 12;
    g.icon = {x + 2, cy - TileGeometry::kIconRow / 2, TileGeometry::kIconRow, TileGeometry::kIconRow};
    x += 32 + 12;
    double right = r.right() - 12;
    g.size = {right - 80, r.top(), 80, r.height()};
    right -= 80 + 8;
    g.bar = {right - 110, cy - 2, 110, 4};
    right -= 110 + 12;
    g.chevron = {right - 12, cy - 8, 12, 16};
    right -= 12 + 12;
    for (int i = 0; i < 2; ++i)
        g.pathActions[i] = {right - (2 - i) * 32.0, cy - 16, 32, 32};
    if (g.shows.pathActions) right -= 64 + 12;
    g.text = {x, r.top(), std::max(0.0, right - x), r.height()};
}

}  // namespace

TileGeometry TileGeometry::of(const QRectF& tile, ExplorerLayout layout, const Shows& shows) {
    TileGeometry g;
    g.layout = layout;
    g.shows = shows;
    g.tile = tile;
    if (layout == ExplorerLayout::icons)
        layOutTile(g);
    else
        layOutRow(g);
    return g;
}

TileGeometry TileGeometry::of(const QRectF& tile, ExplorerLayout layout) {
    return of(tile, layout, Shows{});
}

bool TileGeometry::inDisc(const QRectF& square, QPointF at) {
    const QPointF d = at - square.center();
    const double r = square.width() / 2;
    return d.x() * d.x() + d.y() * d.y() <= r * r;
}

TileGeometry::Part TileGeometry::partAt(QPointF at) const {
    if (!tile.contains(at)) return Part::none;
    const bool icons = layout == ExplorerLayout::icons;
    if (shows.control == EntryRules::Control::select && (icons ? inDisc(control, at) : control.contains(at)))
        return Part::control;
    if (shows.control == EntryRules::Control::lock && inDisc(lock, at)) return Part::control;
    if (icons && shows.riskMark && inDisc(riskMark, at)) return Part::riskMark;
    if (!icons && shows.pathActions) {
        if (pathActions[0].contains(at)) return Part::copyPath;
        if (pathActions[1].contains(at)) return Part::reveal;
    }
    return Part::body;
}

}  // namespace nimbrel
