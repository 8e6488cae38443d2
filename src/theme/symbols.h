#pragma once

#include <QBrush>
#include <QIcon>
#include <QRectF>
#include <optional>
#include <string_view>
#include <vector>

#include "theme/fonts.h"

class QPainter;

namespace nimbrel {

// The named system symbols the screens ask for, drawn with glyphs of the embedded icon font. A glyph
// is drawn as text, so it takes any brush (plain colour or gradient) and any size.
struct Symbols {
    struct Entry {
        std::string_view name;   // the symbol name used by the screens
        std::string_view glyph;  // the icon font's own name for the glyph (for readers)
        char16_t codepoint;
    };

    static const std::vector<Entry>& table();
    static std::optional<char16_t> codepoint(std::string_view name);

    // Scale from a symbol's font size to the icon font's pixel size: the icon font's glyphs fill
    // about 5/6 of their em square, the platform's symbols about a cap height more than theirs.
    static constexpr double kSizeScale = 1.2;

    // Draws `name` centred in `rect` at font size `size`. Heavier weights thicken the outline, since the
    // icon font has one weight. An unknown name draws nothing and returns false.
    static bool draw(QPainter& p, const QRectF& rect, std::string_view name, const QBrush& brush, double size,
                     FontWeight weight = FontWeight::regular);
    // The square a symbol of font size `size` occupies.
    static double side(double size) { return size * kSizeScale; }
    // A ready-made icon for menus and the tray.
    static QIcon icon(std::string_view name, const QColor& color, int pixels = 32);
};

}  // namespace nimbrel
