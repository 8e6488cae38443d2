#pragma once

#include "theme/press_button.h"

namespace nimbrel {

// A round button holding one system symbol. `side` is the visible square; the button also takes 4 points
// of padding on every side, and the whole padded circle answers clicks.
class IconButton : public PressButton {
    Q_OBJECT
  public:
    static constexpr int kPadding = 4;
    static constexpr int kRingOutset = 3;

    explicit IconButton(const QString& symbol = {}, int side = 28, bool filled = false,
                        QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    int side() const { return side_; }
    double symbolSize() const { return side_ * 0.42; }
    // The help text doubles as the accessible name: the button shows no text.
    void setHelp(const QString& help);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintContent(QPainter& p) override;

  private:
    QString symbol_;
    int side_;
    bool filled_;
};

}  // namespace nimbrel
