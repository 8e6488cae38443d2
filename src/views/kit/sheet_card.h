#pragma once

#include <QWidget>

class QEvent;
class QVBoxLayout;
class QLayout;

namespace nimbrel {

// The chrome of a modal card: its rows stacked 16 points apart in a 460-point column, 24 points of
// padding, a panel-coloured rounded body with a hairline edge. The host paints the card's shadow
// (it reaches far beyond the card).
class SheetCard : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kContentWidth = 460;
    static constexpr int kPadding = 24;
    static constexpr int kSpacing = 16;
    static constexpr int kWidth = kContentWidth + 2 * kPadding;
    static constexpr double kRadius = 34;
    static constexpr double kShadowOpacity = 0.4;
    static constexpr double kShadowRadius = 40;
    static constexpr double kShadowDrop = 20;

    explicit SheetCard(QWidget* parent = nullptr);

    void addRow(QWidget* row);
    void addRow(QLayout* row);

    // The card's outline in its own coordinates (the host draws the shadow from it).
    static QPainterPath shape(const QRectF& r);

    // Wider cards with a column of their own (the review, the failures) share the chrome through
    // these. The rounded panel with its hairline edge, painted on `card`:
    static void paintPanel(QWidget* card);
    // The height the content asks for, within the card's host (16 points clear above and below),
    // centred there. Cards whose lists load after they are placed call it again.
    static void fit(QWidget* card);
    // The size a fixed-width card asks for: wrapped notes need the width to know their height.
    static QSize columnSizeHint(const QLayout* column, int width);
    // A list's height is known only once its rows are measured: on each layout request the card is
    // fitted again (after the layout has run).
    static void refitOnLayoutRequest(QWidget* card, const QEvent* event);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QVBoxLayout* rows_;
};

}  // namespace nimbrel
