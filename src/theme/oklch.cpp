#include "theme/oklch.h"

#include <cmath>

namespace nimbrel {

OKLCH::Srgb oklchToLinearSrgb(const OKLCH& value) {
    double a = 0;
    double b = 0;
    if (value.h) {
        const double angle = *value.h * M_PI / 180.0;
        a = value.c * std::cos(angle);
        b = value.c * std::sin(angle);
    }
    const double L = value.l;
    const double l_ = L + 0.3963377774 * a + 0.2158037573 * b;
    const double m_ = L - 0.1055613458 * a - 0.0638541728 * b;
    const double s_ = L - 0.0894841775 * a - 1.2914855480 * b;
    const double l3 = l_ * l_ * l_;
    const double m3 = m_ * m_ * m_;
    const double s3 = s_ * s_ * s_;
    return {4.0767416621 * l3 - 3.3077115913 * m3 + 0.2309699292 * s3,
            -1.2684380046 * l3 + 2.6097574011 * m3 - 0.3413193965 * s3,
            -0.0041960863 * l3 - 0.7034186147 * m3 + 1.7076147010 * s3};
}

double srgbEncode(double linear) {
    // NaN fails the comparison and so becomes 0, like a negative value.
    if (!(linear > 0)) return 0.0;
    // 1.055 - 0.055 is not exactly 1 in double; a clipped channel must be.
    if (linear >= 1) return 1.0;
    const double x = linear;
    return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055;
}

OKLCH::Srgb OKLCH::srgb() const {
    const Srgb lin = oklchToLinearSrgb(*this);
    return {srgbEncode(lin.r), srgbEncode(lin.g), srgbEncode(lin.b)};
}

}  // namespace nimbrel
