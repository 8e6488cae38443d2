#pragma once

#include "theme/press_button.h"

namespace nimbrel {

// One row of the custom pop-up menus: an optional symbol, a title, an optional grey detail at the
// trailing end and a soft highlight under the pointer. The whole row answers clicks.
class MenuRow : public PressButton {
    Q_OBJECT
  public:
    static constexpr int kHeight = 32;
    static constexpr int kPadding = 10;
    static constexpr int kSpacing = 10;
    static constexpr int kSymbolFrame = 18;
    static constexpr int kMinGap = 12;

    explicit MenuRow(const QString& title = {}, const QString& symbol = {}, const QString& detail = {},
                     QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    QString detail() const { return detail_; }
    void setSymbol(const QString& symbol);

    // Where the title starts, and the texts as drawn at the current width.
    double titleX() const;
    QString shownTitle() const;
    QString shownDetail() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintContent(QPainter& p) override;

  private:
    struct Layout {
        QString title;
        QString detail;
        double titleX;
        double detailWidth;
    };
    Layout layout() const;

    QString symbol_;
    QString detail_;
};

}  // namespace nimbrel
