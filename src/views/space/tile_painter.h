#pragma once

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRectF>

#include "platform/icon_cache.h"
#include "views/space/entry_rules.h"
#include "views/space/explorer_model.h"

class QWidget;

namespace nimbrel {

class NimbrelCheck;
class MoltenBar;
class NimbrelLoader;

// Paints explorer tiles and rows (entries and placeholders) with their marks, and says where each
// clickable part of a tile lies. The explorer grid owns one and paints only the visible tiles.
// Theme controls that a painted row shows (tick box, weight bar, badges) are hidden children of the
// host rendered in place, so they look exactly like the controls elsewhere.
class TilePainter {
  public:
    static constexpr double kTileHeight = 132;
    static constexpr double kRowHeight = 48;
    static constexpr double kIconTile = 64;
    static constexpr double kIconRow = 28;

    explicit TilePainter(QWidget* host);

    struct EntryLook {
        bool hovering = false;
        bool included = false;
        bool inherited = false;
        bool hasOpen = false;
        double weight = 0;
    };
    void paintEntry(QPainter& p, const QRectF& r, const ExplorerEntry& entry,
                    ExplorerTile::Condition condition, ExplorerLayout layout, const EntryLook& look);
    void paintPlaceholder(QPainter& p, const QRectF& r, PlaceholderKind kind,
                          ExplorerTile::Condition condition, int seed, bool waiting, ExplorerLayout layout);
    // The icon drawn clean, stained (grime) or swollen with a honey glow (heavy).
    void paintConditionedIcon(QPainter& p, const QRectF& square, const FileIcon& icon,
                              ExplorerTile::Condition condition, int seed);

    // Clickable parts, in the tile's coordinates.
    static QRectF iconRect(const QRectF& tile);                  // icons layout: the 64-point icon
    static QRectF selectCircleRect(const QRectF& tile);          // icons layout: the padded 30-point circle
    static QRectF checkRect(const QRectF& row);                  // list layout: the padded tick box
    static QRectF pathActionRect(const QRectF& row, int which);  // list layout, 0 copy, 1 reveal
    static bool inCircle(const QRectF& square, QPointF at);

    // The stained look's pieces, for tests: glow radius and scale by icon size.
    static double glowRadius(double size) { return size >= 48 ? 14 : 6; }
    static double swellScale(double size) { return size >= 48 ? 1.2 : 1.08; }

  private:
    QImage conditionedImage(const FileIcon& icon, const std::string& key, ExplorerTile::Condition condition,
                            int seed, double size);
    void paintSelectCircle(QPainter& p, const QRectF& padded, bool on, bool hovering);
    void paintLock(QPainter& p, const QRectF& box);
    void paintRiskMark(QPainter& p, QPointF topRight, const Risk& risk);
    void paintCheck(QPainter& p, const QRectF& padded, bool on, bool disabled);
    void paintBar(QPainter& p, const QRectF& r, double fraction, std::optional<QColor> tint);
    void renderWidget(QPainter& p, QWidget* w, QPointF at);

    QWidget* host_;
    NimbrelCheck* check_;
    MoltenBar* bar_;
    NimbrelLoader* smallLoader_;  // the icon tile's size line while measuring
    NimbrelLoader* rowLoader_;    // the list row's size column while measuring
    QHash<QString, QImage> icons_;
};

}  // namespace nimbrel
