#pragma once

#include <QString>
#include <optional>

#include "theme/fonts.h"
#include "theme/press_button.h"

namespace nimbrel {

// The text button of the design: a capsule in one of four kinds and three sizes, with an optional
// symbol before the title.
class NimbrelButton : public PressButton {
    Q_OBJECT
  public:
    enum class Kind { primary, secondary, ghost, danger };
    enum class Size { small, regular, large };

    struct Metrics {
        int height;
        int padding;  // horizontal, each side
        double fontSize;
        FontWeight weight;
        FontDesign design;
    };
    static Metrics metrics(Size size);
    static constexpr int kRingOutset = 4;
    static constexpr double kRingWidth = 2;

    explicit NimbrelButton(const QString& title = {}, Kind kind = Kind::secondary, Size size = Size::regular,
                           QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    Size buttonSize() const { return size_; }
    // A system symbol drawn before the title; empty for none.
    void setSymbol(const QString& symbol);
    QString symbol() const { return symbol_; }
    // Overrides the kind's text colour (a caller may tint a ghost button).
    void setForeground(const QColor& color);

    QFont titleFont() const;
    // A title of another size than the button size's (a control that sets its own label size).
    void setTitleSize(double points);
    QColor foreground() const;
    // The primary glow as drawn now: opacity and radius (0.25 / 6 at rest, 0.45 / 10 hovering).
    double glowOpacity() const;
    double glowRadius() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    QMargins decorationMargins() const override;
    void paintDecoration(QPainter& p) override;
    int focusRingOutset() const override { return kRingOutset; }
    void paintFocusRing(QPainter& p) override;

  protected:
    void paintContent(QPainter& p) override;

  private:
    Kind kind_;
    Size size_;
    QString symbol_;
    QColor foreground_;
    std::optional<double> titleSize_;
};

}  // namespace nimbrel
