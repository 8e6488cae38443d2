#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>

#include "theme/fonts.h"

namespace nimbrel {

using ColorFn = std::function<QColor(const QWidget*)>;

// Wrapping plain text (never markup) in a colour resolved against the window's appearance.
class WrapLabel : public QLabel {
    Q_OBJECT
  public:
    WrapLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent = nullptr);
    void setColor(ColorFn color);

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void applyColor();
    ColorFn color_;
};

// A symbol before a wrapping text, both in one colour (the review's notes).
class NoteLabel : public QWidget {
    Q_OBJECT
  public:
    NoteLabel(const QString& symbol, const QString& text, const QFont& font, ColorFn color,
              QWidget* parent = nullptr);
    QString text() const;
    WrapLabel* label() const { return label_; }

  private:
    WrapLabel* label_;
};

}  // namespace nimbrel
