#pragma once

#include <QColor>
#include <optional>

#include "theme/press_button.h"

namespace nimbrel {

// A filter chip: a capsule with an optional coloured dot and a title, drawn on or off. A click emits
// clicked(); the caller decides whether the chip turns on.
class Chip : public PressButton {
    Q_OBJECT
  public:
    static constexpr int kHeight = 26;
    static constexpr int kPadding = 10;
    static constexpr int kSpacing = 6;
    static constexpr int kDot = 7;

    explicit Chip(const QString& title = {}, std::optional<QColor> dot = std::nullopt, bool on = false,
                  QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    void setOn(bool on);
    std::optional<QColor> dot() const { return dot_; }

    QFont titleFont() const;
    static QFont titleFont(bool on);
    // What is drawn now, for tests and the gallery.
    QColor currentFill() const;
    QColor currentStroke() const;
    QColor textColor() const;
    AnimatedValue& onAnimation() { return onAmount_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintContent(QPainter& p) override;

  private:
    QColor tint() const;
    std::optional<QColor> dot_;
    bool on_;
    AnimatedValue onAmount_;
};

// The tick box, 18 by 18 inside 5 points of padding. clicked() asks for the negated value through
// toggleRequested(); a disabled box ignores clicks and is drawn faded.
class NimbrelCheck : public PressButton {
    Q_OBJECT
  public:
    static constexpr int kBox = 18;
    static constexpr int kPadding = 5;

    explicit NimbrelCheck(bool on = false, QWidget* parent = nullptr);
    bool isOn() const { return on_; }
    void setOn(bool on);
    AnimatedValue& tickAnimation() { return tick_; }
    QSize sizeHint() const override { return QSize(kBox + 2 * kPadding, kBox + 2 * kPadding); }
    QSize minimumSizeHint() const override { return sizeHint(); }

  signals:
    void toggleRequested(bool on);

  protected:
    void paintContent(QPainter& p) override;

  private:
    bool on_;
    AnimatedValue tick_;
};

// The on/off switch, 38 by 22: the knob slides along the reduce-aware indicator curve.
class NimbrelSwitch : public PressButton {
    Q_OBJECT
  public:
    static constexpr int kWidth = 38;
    static constexpr int kHeight = 22;
    static constexpr double kKnobInset = 2.5;

    explicit NimbrelSwitch(bool on = false, QWidget* parent = nullptr);
    bool isOn() const { return on_; }
    void setOn(bool on);
    AnimatedValue& knobAnimation() { return knob_; }
    // The knob's frame as drawn now.
    QRectF knobRect() const;
    QSize sizeHint() const override { return QSize(kWidth, kHeight); }
    QSize minimumSizeHint() const override { return sizeHint(); }

  signals:
    void toggleRequested(bool on);

  protected:
    void paintContent(QPainter& p) override;

  private:
    bool on_;
    AnimatedValue knob_;
};

}  // namespace nimbrel
