#pragma once

#include <QWidget>
#include <optional>

#include "model/app_state.h"
#include "theme/animated_value.h"

namespace nimbrel {

// How full the startup volume is: a small gauge and the free bytes. A click opens Space. Hidden (and
// taking no room) while no volume is listed.
class FreeSpaceChip : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 28;
    static constexpr double kMagmaAbove = 0.9;

    explicit FreeSpaceChip(AppState& state, QWidget* parent = nullptr);

    void setCompact(bool compact);
    bool isCompact() const { return compact_; }

    // What the chip shows now (empty while there is no volume).
    QString text() const;
    QString helpText() const;
    double usedFraction() const;
    // True when the gauge is filled with the danger colour instead of the brand gradient.
    bool isAlarming() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void followVolumes();
    void setPressed(bool pressed);

    AppState& state_;
    bool compact_ = false;
    bool pressed_ = false;
    AnimatedValue scale_{1};  // shrinks to 0.98 while pressed, on the press motion
};

}  // namespace nimbrel
