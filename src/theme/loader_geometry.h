#pragma once

namespace nimbrel {

// Where one puff of NimbrelLoader is in its loop, relative to the loader's centre.
struct LoaderPuff {
    double phase;     // 0..1 through the puff's two-second cycle
    double scale;     // about the puff's centre
    double rotation;  // degrees, clockwise on screen
    double dx;        // offset of the puff's centre from the loader's centre
    double dy;
    double opacity;
};

namespace LoaderGeometry {

inline constexpr double kFrameScale = 1.6;  // the loader occupies a square of 1.6 x size
inline constexpr double kPuffScale = 1.3;   // each puff image is framed to 1.3 x size
inline constexpr double kReducedPhase = 0.45;

// Puff `index` of `count` at time t (seconds since 2001-01-01), for a loader of nominal `size`.
// With reduced motion every puff holds the same phase, so the loader is a still picture.
LoaderPuff puff(int index, int count, double t, double size, bool reduceMotion);

}  // namespace LoaderGeometry

}  // namespace nimbrel
