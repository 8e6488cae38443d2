#pragma once

#include <QAbstractButton>
#include <QPointer>

#include "theme/animated_value.h"
#include "theme/decoration.h"

namespace nimbrel {

// The base of every tappable control: it paints itself, shrinks slightly while pressed (the press style
// of the design, 0.98 unless a control says otherwise), tracks the pointer and takes focus only from
// the keyboard. A control never changes the value it shows; it emits a request and its caller decides.
class PressButton : public QAbstractButton, public OutsideDecoration {
    Q_OBJECT
  public:
    explicit PressButton(QWidget* parent = nullptr);
    ~PressButton() override;

    bool isHovering() const { return hovering_; }
    // 0 at rest, 1 hovering, animated with the hover motion.
    double hoverAmount() const { return hover_.value(); }
    double currentScale() const { return scale_.value(); }
    double pressedScale() const { return pressedScale_; }
    double disabledOpacity() const { return disabledOpacity_; }
    bool showsFocusRing() const { return (hasFocus() || focusPreview_) && isEnabled(); }
    // Draws the keyboard focus ring without focus (the gallery shows several focused controls at once).
    void setFocusPreview(bool on);

    // By default the keyboard focus ring, when a control asks for one, is a 2-point ink2 capsule
    // around the frame, drawn outside it.
    QMargins decorationMargins() const override;
    void paintDecoration(QPainter&) override {}
    // How far the ring reaches outside the frame; 0 for a control that draws its focus inside itself.
    virtual int focusRingOutset() const { return ringOutset_; }
    // Paints the ring in the control's own coordinates. It is painted by a see-through layer over the
    // control, on an ancestor with room for it, so no parent cuts it and no backdrop hides it.
    virtual void paintFocusRing(QPainter& p);
    // Whether Return presses this control (toggles say no: Return goes to the window's default).
    bool returnPresses() const { return returnPresses_; }

    enum class HitShape { rect, capsule, circle };

  protected:
    // The subclass draws its content in its own coordinates; the base applies scale and opacity.
    virtual void paintContent(QPainter& p) = 0;

    void setPressedScale(double s) { pressedScale_ = s; }
    void setDisabledOpacity(double o) { disabledOpacity_ = o; }
    // Text and icon buttons only take the hover look while enabled.
    void setHoverNeedsEnabled(bool v) { hoverNeedsEnabled_ = v; }
    void setHitShape(HitShape shape) { hitShape_ = shape; }
    // Asks for the default focus ring `outset` points outside the frame.
    void setCapsuleRing(int outset) { ringOutset_ = outset; }
    bool hitButton(const QPoint& pos) const override;
    // Called when `hovering` flips (subclasses start their own hover animations).
    virtual void hoverChanged(bool) {}

    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void changeEvent(QEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void nextCheckState() override {}
    // Return and Enter press a focused button, as Space does; a toggle leaves them to its window.
    void keyPressEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;
    void setReturnPresses(bool on) { returnPresses_ = on; }

  private:
    void setHovering(bool on);
    void followFocusRing();

    AnimatedValue hover_{0};
    AnimatedValue scale_{1};
    double pressedScale_ = 0.98;
    double disabledOpacity_ = 1.0;
    bool hoverNeedsEnabled_ = false;
    bool hovering_ = false;
    bool focusPreview_ = false;
    HitShape hitShape_ = HitShape::rect;
    int ringOutset_ = 0;
    bool returnPresses_ = true;
    QPointer<QWidget> ringLayer_;
};

}  // namespace nimbrel
