#pragma once

#include <QPointF>
#include <vector>

namespace nimbrel {

// One puff image of the steam jet, placed by its centre.
struct JetPuff {
    int image;  // index into the puff images
    QPointF centre;
    double side;      // the square the image is drawn in
    double rotation;  // degrees
    double opacity;
};

namespace SteamJetGeometry {

inline constexpr int kJetPuffs = 9;
inline constexpr int kCloudPuffs = 4;

// The nine puffs travelling from `from` to `to`, then the four billowing up at `to`, in drawing
// order. Empty when there are no images to draw.
std::vector<JetPuff> puffs(QPointF from, QPointF to, double t, double strength, int imageCount);

}  // namespace SteamJetGeometry

}  // namespace nimbrel
