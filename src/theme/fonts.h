#pragma once

#include <QFont>
#include <QString>

namespace nimbrel {

enum class FontWeight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };
// `standard` is the default system design (Inter), `rounded` the rounded one (Quicksand).
enum class FontDesign { standard, rounded };

// The embedded fonts and the one place that turns design sizes into Qt fonts. Design sizes are
// device-independent pixels, given to Qt as points at the screen's logical DPI. Qt draws whole pixel
// sizes only: a size such as 11.5 is drawn as 11 widened to the width of 11.5.
struct Fonts {
    static constexpr const char* kStandardFamily = "Inter";
    static constexpr const char* kRoundedFamily = "Quicksand";
    static constexpr const char* kSymbolFamily = "Material Icons";

    // Registers the fonts compiled into the resources; later calls do nothing. Returns false when a
    // font could not be loaded (then Qt's fallback family is drawn).
    static bool install();

    static QFont font(double size, FontWeight weight = FontWeight::regular,
                      FontDesign design = FontDesign::standard);
    // The font that holds the symbol glyphs, at a pixel size.
    static QFont symbolFont(double pixelSize);
    static QFont::Weight qtWeight(FontWeight weight);
    // Point size that renders `size` device-independent pixels.
    static double pointSizeFor(double size);
    // The design size a font from font() or symbolFont() is drawn at.
    static double size(const QFont& f);
};

}  // namespace nimbrel
