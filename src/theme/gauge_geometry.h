#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QSizeF>
#include <array>
#include <vector>

namespace nimbrel {

// One of the two sine waves that make the liquid gauge's surface.
struct GaugeWave {
    double amplitude;
    double frequency;
    double phase;
    double speed;
    double opacity;
};

// Pure geometry of LiquidGauge and MoltenBar, kept apart from painting so it can be checked
// with numbers. Sizes are device-independent pixels.
namespace GaugeGeometry {

// Back wave first, front wave second; the speed grows by 0.35 per wave.
inline constexpr std::array<GaugeWave, 2> kWaves{{
    {0.6, 1.2, 0.0, 0.9, 0.35},
    {1.0, 1.6, 1.7, 1.25, 1.0},
}};
inline constexpr double kAmplitudeScale = 1.4;
inline constexpr double kCornerRadius = 12.0;

// The liquid's resting level: the top edge for a full gauge, the bottom edge for an empty one.
// Anything that is not a non-negative number (negative, NaN) leaves the gauge empty.
double surfaceBase(double fraction, double height);

// Above nine tenths the liquid turns from the cool three-stop gradient to the warm two-stop one.
// Decided on the fraction as given, so an overfull gauge is warm and a negative one is cool.
bool isWarm(double fraction);

// Drawn wave height in pixels: a flat surface while motion is reduced.
double amplitude(const GaugeWave& wave, bool reduceMotion);

// The wave's outline points: (0, H), the surface sampled every 2 px up to and including W when W
// falls on a step, then (W, H). Filled, the closed polygon is the liquid.
std::vector<QPointF> wavePoints(QSizeF size, double base, double amplitude, const GaugeWave& wave, double t);
QPainterPath wavePath(QSizeF size, double base, double amplitude, const GaugeWave& wave, double t);

// Width of MoltenBar's fill: a positive fraction always shows at least a dot as wide as the bar
// is high; zero, negative and NaN show nothing.
double moltenFillWidth(double width, double fraction, double height);

}  // namespace GaugeGeometry

}  // namespace nimbrel
