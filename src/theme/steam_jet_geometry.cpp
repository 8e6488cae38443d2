#include "theme/steam_jet_geometry.h"

#include <cmath>
#include <numbers>

namespace nimbrel::SteamJetGeometry {

namespace {
double fraction(double x) {
    return x - std::floor(x);
}
}  // namespace

std::vector<JetPuff> puffs(QPointF from, QPointF to, double t, double strength, int imageCount) {
    std::vector<JetPuff> out;
    if (imageCount <= 0) return out;
    const double pi = std::numbers::pi;
    out.reserve(kJetPuffs + kCloudPuffs);
    for (int i = 0; i < kJetPuffs; ++i) {
        const double p = fraction(1.8 * t + i / 9.0);
        JetPuff puff;
        puff.image = i % imageCount;
        puff.side = 18 + 30 * p;
        puff.rotation = 40 * i + 90 * p;
        puff.opacity = 0.85 * std::sin(pi * p) * strength;
        puff.centre = QPointF(from.x() + p * (to.x() - from.x()) + 3 * std::sin(3 * t + i),
                              from.y() + p * (to.y() - from.y()));
        out.push_back(puff);
    }
    for (int j = 0; j < kCloudPuffs; ++j) {
        const double p = fraction(0.9 * t + j / 4.0);
        JetPuff puff;
        puff.image = (j + 2) % imageCount;
        puff.side = 30 + 40 * p;
        puff.rotation = 0;
        puff.opacity = 0.6 * std::sin(pi * p) * strength;
        puff.centre = QPointF(to.x() + 8 * (j - 2), to.y() - 34 * p);
        out.push_back(puff);
    }
    return out;
}

}  // namespace nimbrel::SteamJetGeometry
