#include "theme/palette.h"

namespace nimbrel {

namespace {

using O = OKLCH;

#define NIMBREL_ADAPTIVE(name, dark, light)                \
    const AdaptiveColor& Palette::name() {                 \
        static const AdaptiveColor token((dark), (light)); \
        return token;                                      \
    }

QLinearGradient evenStops(QLinearGradient g, std::initializer_list<OKLCH> stops) {
    g.setCoordinateMode(QGradient::ObjectMode);
    const int n = int(stops.size());
    int i = 0;
    for (const OKLCH& s : stops)
        g.setColorAt(n == 1 ? 0.0 : double(i++) / (n - 1), fixedColor(s));
    return g;
}

}  // namespace

NIMBREL_ADAPTIVE(canvas, O::grey(0.155), O::grey(0.975))
NIMBREL_ADAPTIVE(surface, O::grey(1, 0.07), O::grey(1))
NIMBREL_ADAPTIVE(raised, O::grey(1, 0.11), O::grey(0.965))
NIMBREL_ADAPTIVE(well, O::grey(0, 0.24), O::grey(0.93))
NIMBREL_ADAPTIVE(line, O::grey(1, 0.10), O::grey(0.905))
NIMBREL_ADAPTIVE(lineStrong, O::grey(1, 0.22), O::grey(0.83))
NIMBREL_ADAPTIVE(panel, O::of(0.215, 0.028, 242), O::grey(1))
NIMBREL_ADAPTIVE(ink, O::grey(0.965), O::grey(0.21))
NIMBREL_ADAPTIVE(ink2, O::grey(0.76), O::grey(0.45))
NIMBREL_ADAPTIVE(ink3, O::grey(0.57), O::grey(0.61))
NIMBREL_ADAPTIVE(accent, O::of(0.82, 0.11, 195), O::of(0.66, 0.12, 212))
NIMBREL_ADAPTIVE(honeyInk, O::of(0.85, 0.14, 82), O::of(0.45, 0.11, 70))
NIMBREL_ADAPTIVE(ember, O::of(0.632, 0.1932, 30), O::of(0.552, 0.1932, 30))
NIMBREL_ADAPTIVE(nimbrelSubtle, O::of(0.82, 0.11, 195, 0.14), O::of(0.66, 0.12, 212, 0.13))
NIMBREL_ADAPTIVE(emberSubtle, O::of(0.6, 0.21, 30, 0.18), O::of(0.6, 0.21, 30, 0.11))

#undef NIMBREL_ADAPTIVE

QColor Palette::onAccent() {
    static const QColor c = fixedColor(O::of(0.22, 0.04, 235));
    return c;
}

QColor Palette::honey() {
    static const QColor c = fixedColor(O::of(0.85, 0.14, 82));
    return c;
}

QColor Palette::magma() {
    static const QColor c = fixedColor(O::of(0.63, 0.22, 18));
    return c;
}

QColor Palette::glass() {
    return QColor::fromRgbF(1, 1, 1, 0.045f);
}

QColor Palette::glassEdge() {
    return QColor::fromRgbF(1, 1, 1, 0.09f);
}

QLinearGradient Palette::nimbrel() {
    static const QLinearGradient g =
        evenStops(QLinearGradient(0, 0, 1, 1),
                  {O::of(0.95, 0.03, 195), O::of(0.82, 0.11, 195), O::of(0.66, 0.12, 212)});
    return g;
}

QLinearGradient Palette::nimbrelFlat() {
    static const QLinearGradient g =
        evenStops(QLinearGradient(0, 0, 0, 1), {O::of(0.872, 0.078, 195), O::of(0.82, 0.11, 195)});
    return g;
}

QColor Room::burnDim() {
    static const QColor c = fixedColor(O::of(0.82, 0.035, 212));
    return c;
}

std::optional<double> categoryHue(FileCategory category) {
    switch (category) {
        case FileCategory::video:
            return 305;
        case FileCategory::audio:
            return 355;
        case FileCategory::image:
            return 88;
        case FileCategory::document:
            return 255;
        case FileCategory::archive:
            return 52;
        case FileCategory::diskImage:
            return 205;
        case FileCategory::application:
            return 280;
        case FileCategory::code:
            return 145;
        case FileCategory::developer:
            return 178;
        case FileCategory::other:
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace nimbrel
