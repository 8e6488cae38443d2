#pragma once

#include <QColor>

#include "theme/oklch.h"

class QWidget;

namespace nimbrel {

// The window appearance an adaptive colour resolves against. Qt 6.4 has no colour-scheme API, so a
// window states its appearance with a dynamic property (the main and Settings windows are always dark);
// without one the application palette's lightness decides.
enum class Appearance { dark, light };

struct AppearanceOf {
    static constexpr const char* kProperty = "nimbrelAppearance";
    // The appearance of the nearest ancestor (or the widget itself) that states one.
    static Appearance widget(const QWidget* w);
    static void set(QWidget* w, Appearance a);
    // What a window without a stated appearance gets.
    static Appearance system();
};

// A colour token that follows the appearance: the first value for dark, the second for light.
// Anything that is not dark (including "unknown") takes the light value.
class AdaptiveColor {
  public:
    AdaptiveColor(const OKLCH& dark, const OKLCH& light);
    QColor resolve(Appearance a) const { return a == Appearance::dark ? dark_ : light_; }
    QColor resolve(const QWidget* w) const { return resolve(AppearanceOf::widget(w)); }
    const OKLCH& darkValue() const { return darkValue_; }
    const OKLCH& lightValue() const { return lightValue_; }

  private:
    OKLCH darkValue_;
    OKLCH lightValue_;
    QColor dark_;
    QColor light_;
};

// The sRGB colour of a value with its own alpha, and the opaque colour of a fixed token.
QColor toQColor(const OKLCH& value);
QColor fixedColor(const OKLCH& value);
// The same colour with its alpha multiplied.
QColor withOpacity(QColor c, double opacity);
// The straight blend of two colours, alpha included: t = 0 gives a, t = 1 gives b.
QColor mixColor(const QColor& a, const QColor& b, double t);

}  // namespace nimbrel
