#pragma once

#include <QLabel>
#include <functional>

#include "theme/typo.h"

namespace nimbrel {

class AdaptiveColor;

// A colour worked out for the widget that shows it, so it follows the window's appearance.
using ColorFn = std::function<QColor(const QWidget*)>;
// One of the palette's colours as the widget shows it (they live as long as the program).
ColorFn shownColor(const AdaptiveColor& color);
// A colour that stays the same in either appearance.
ColorFn fixedColor(QColor color);

// A label that never reads its text as markup, with a colour resolved against the window's
// appearance each time it is shown. Selection is the caller's choice; `wrapping` makes one whose
// lines wrap at its width.
class PlainLabel : public QLabel {
    Q_OBJECT
  public:
    using ColorFn = nimbrel::ColorFn;

    PlainLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent = nullptr);
    // `color` is one of the palette's colours (they live as long as the program).
    PlainLabel(const QString& text, const QFont& font, const AdaptiveColor& color, QWidget* parent = nullptr);
    static PlainLabel* wrapping(const QString& text, const QFont& font, ColorFn color,
                                QWidget* parent = nullptr);

    void setColor(ColorFn color);
    // Wraps the text over as many lines as the width needs, taking at least their height.
    void wrapLines();

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void applyColor();
    ColorFn color_;
};

}  // namespace nimbrel
