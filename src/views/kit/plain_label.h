#pragma once

#include <QLabel>
#include <functional>

#include "theme/typo.h"

namespace nimbrel {

// A label that never reads its text as markup, with a colour resolved against the window's
// appearance each time it is shown. Wrapping and selection are the caller's choice.
class PlainLabel : public QLabel {
    Q_OBJECT
  public:
    using ColorFn = std::function<QColor(const QWidget*)>;

    PlainLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent = nullptr);
    void setColor(ColorFn color);

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void applyColor();
    ColorFn color_;
};

}  // namespace nimbrel
