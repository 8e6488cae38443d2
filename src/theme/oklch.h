#pragma once

#include <optional>

namespace nimbrel {

// A colour as a point of the OKLCH space. Every colour of the design is written this way and turned
// into sRGB when it is resolved; there is no gamut mapping, out-of-range channels are clipped.
struct OKLCH {
    struct Srgb {
        double r = 0;
        double g = 0;
        double b = 0;
    };

    double l = 0;
    double c = 0;
    std::optional<double> h;  // absent: achromatic, the chroma is ignored
    double alpha = 1;

    // Gamma-encoded sRGB, each channel in 0...1; alpha is not part of it.
    Srgb srgb() const;

    // Shorthands for the token tables: a grey (no hue) and a chromatic value.
    static constexpr OKLCH grey(double l, double alpha = 1) { return OKLCH{l, 0, std::nullopt, alpha}; }
    static constexpr OKLCH of(double l, double c, double h, double alpha = 1) {
        return OKLCH{l, c, h, alpha};
    }
};

// Linear-light sRGB of an OKLCH value, before clipping (the reference Oklab matrices).
OKLCH::Srgb oklchToLinearSrgb(const OKLCH& value);
// The sRGB transfer curve (IEC 61966-2-1) applied to one clipped linear channel.
double srgbEncode(double linear);

}  // namespace nimbrel
