#include "theme/gauge_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace nimbrel::GaugeGeometry {

double surfaceBase(double fraction, double height) {
    if (!(fraction >= 0)) return height;
    return height * (1.0 - std::min(fraction, 1.0));
}

bool isWarm(double fraction) {
    return fraction > 0.9;
}

double amplitude(const GaugeWave& wave, bool reduceMotion) {
    return reduceMotion ? 0.0 : wave.amplitude * kAmplitudeScale;
}

std::vector<QPointF> wavePoints(QSizeF size, double base, double amp, const GaugeWave& wave, double t) {
    const double w = size.width();
    const double h = size.height();
    std::vector<QPointF> points;
    if (w > 0) points.reserve(static_cast<size_t>(w / 2) + 4);
    points.emplace_back(0.0, h);
    // Integer steps avoid accumulating error, so W itself is reached exactly when it is even.
    for (int step = 0; w > 0; ++step) {
        const double x = 2.0 * step;
        if (x > w) break;
        const double y = base + amp * std::sin(wave.phase + t * wave.speed +
                                               wave.frequency * 2 * std::numbers::pi * x / w);
        points.emplace_back(x, y);
    }
    points.emplace_back(w, h);
    return points;
}

QPainterPath wavePath(QSizeF size, double base, double amp, const GaugeWave& wave, double t) {
    const auto points = wavePoints(size, base, amp, wave, t);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(points.front());
    for (size_t i = 1; i < points.size(); ++i)
        path.lineTo(points[i]);
    path.closeSubpath();
    return path;
}

double moltenFillWidth(double width, double fraction, double height) {
    if (!(fraction > 0)) return 0.0;
    return std::max(width * std::clamp(fraction, 0.0, 1.0), height);
}

}  // namespace nimbrel::GaugeGeometry
