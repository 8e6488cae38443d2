#pragma once

#include <QWidget>
#include <functional>

#include "theme/fonts.h"

namespace nimbrel {

// One system symbol at a font size, in a colour resolved against the window's appearance (or in the
// brand gradient). Takes no clicks of its own.
class SymbolGlyph : public QWidget {
    Q_OBJECT
  public:
    using BrushFn = std::function<QBrush(const QWidget*)>;

    SymbolGlyph(const QString& symbol, double size, BrushFn brush, FontWeight weight = FontWeight::regular,
                QWidget* parent = nullptr);
    QString symbol() const { return symbol_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString symbol_;
    double size_;
    BrushFn brush_;
    FontWeight weight_;
};

}  // namespace nimbrel
