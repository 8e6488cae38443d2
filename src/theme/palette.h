#pragma once

#include <QColor>
#include <QLinearGradient>
#include <optional>

#include "engine/file_category.h"
#include "theme/appearance.h"

namespace nimbrel {

// The colour tokens every control, surface and screen draws with. Each is made once, on first read.
struct Palette {
    // Adaptive tokens: resolve against a widget (its window's appearance) or an explicit appearance.
    static const AdaptiveColor& canvas();
    static const AdaptiveColor& surface();
    static const AdaptiveColor& raised();
    static const AdaptiveColor& well();
    static const AdaptiveColor& line();
    static const AdaptiveColor& lineStrong();
    static const AdaptiveColor& panel();
    static const AdaptiveColor& ink();
    static const AdaptiveColor& ink2();
    static const AdaptiveColor& ink3();
    static const AdaptiveColor& accent();
    static const AdaptiveColor& honeyInk();
    static const AdaptiveColor& ember();
    static const AdaptiveColor& nimbrelSubtle();
    static const AdaptiveColor& emberSubtle();

    // Fixed tokens, the same in both appearances and opaque.
    static QColor onAccent();
    static QColor honey();
    static QColor magma();

    // Plain white at a low opacity: the fill and edge of glass surfaces.
    static QColor glass();
    static QColor glassEdge();

    // The brand gradient (top leading to bottom trailing) and the flat bar fill (top to bottom), in
    // object coordinates: they stretch over whatever shape they fill.
    static QLinearGradient nimbrel();
    static QLinearGradient nimbrelFlat();
};

struct Room {
    static QColor burnDim();
};

// The hue (degrees) each file category is coloured with; `other` has none and is drawn grey.
std::optional<double> categoryHue(FileCategory category);

}  // namespace nimbrel
