#include "theme/loader_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace nimbrel::LoaderGeometry {

LoaderPuff puff(int index, int count, double t, double size, bool reduceMotion) {
    const double pi = std::numbers::pi;
    const double i = index;
    const double n = std::max(count, 1);
    double p = kReducedPhase;
    if (!reduceMotion) {
        const double cycle = t * 0.5 + i / n;
        p = cycle - std::floor(cycle);
    }
    LoaderPuff out;
    out.phase = p;
    out.scale = 0.45 + 0.9 * p;
    out.rotation = 90 * i + 70 * p;
    out.dx = 0.08 * size * std::sin(2 * pi * p + i);
    out.dy = 0.35 * size - 0.9 * size * p;
    out.opacity = 0.95 * std::sin(pi * p);
    return out;
}

}  // namespace nimbrel::LoaderGeometry
