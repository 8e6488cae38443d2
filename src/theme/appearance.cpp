#include "theme/appearance.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace nimbrel {

Appearance AppearanceOf::system() {
    const QColor window = QApplication::palette().color(QPalette::Window);
    return window.lightnessF() < 0.5 ? Appearance::dark : Appearance::light;
}

Appearance AppearanceOf::widget(const QWidget* w) {
    for (; w; w = w->parentWidget()) {
        const QVariant v = w->property(kProperty);
        if (v.isValid()) return v.toString() == QLatin1String("dark") ? Appearance::dark : Appearance::light;
    }
    return system();
}

void AppearanceOf::set(QWidget* w, Appearance a) {
    w->setProperty(kProperty, a == Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light"));
    w->update();
    for (QWidget* child : w->findChildren<QWidget*>())
        child->update();
}

QColor toQColor(const OKLCH& value) {
    const OKLCH::Srgb c = value.srgb();
    return QColor::fromRgbF(float(c.r), float(c.g), float(c.b), float(value.alpha));
}

QColor fixedColor(const OKLCH& value) {
    const OKLCH::Srgb c = value.srgb();
    return QColor::fromRgbF(float(c.r), float(c.g), float(c.b), 1.0f);
}

QColor withOpacity(QColor c, double opacity) {
    c.setAlphaF(float(c.alphaF() * opacity));
    return c;
}

QColor mixColor(const QColor& a, const QColor& b, double t) {
    auto lerp = [t](float x, float y) { return float(x + (y - x) * t); };
    return QColor::fromRgbF(lerp(a.redF(), b.redF()), lerp(a.greenF(), b.greenF()),
                            lerp(a.blueF(), b.blueF()), lerp(a.alphaF(), b.alphaF()));
}

AdaptiveColor::AdaptiveColor(const OKLCH& dark, const OKLCH& light)
    : darkValue_(dark), lightValue_(light), dark_(toQColor(dark)), light_(toQColor(light)) {}

}  // namespace nimbrel
