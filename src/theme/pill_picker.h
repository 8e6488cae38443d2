#pragma once

#include <QList>
#include <QVariant>
#include <QWidget>

#include "theme/animated_value.h"
#include "theme/press_button.h"

namespace nimbrel {

// One choice of a pill picker: the value the selection becomes and the text shown (already localised).
struct PillOption {
    QVariant value;
    QString label;
};

class PillPicker;

// One option of the picker: a plain button whose title is the option's label.
class PillOptionButton : public PressButton {
    Q_OBJECT
  public:
    PillOptionButton(const PillOption& option, PillPicker* picker);
    const PillOption& option() const { return option_; }
    bool isSelected() const;
    QFont labelFont() const;
    QSize sizeHint() const override;

  protected:
    void paintContent(QPainter& p) override;

  private:
    PillOption option_;
    PillPicker* picker_;
};

// The segmented control: text options in one rounded track, the selected one marked by a raised
// thumb that slides between options. The caller owns the selection; a click asks for it with
// selectionRequested(value), also when the option is already selected.
class PillPicker : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kOptionHeight = 24;
    static constexpr int kOptionPadding = 10;
    static constexpr int kSpacing = 2;
    static constexpr int kTrackPadding = 3;

    explicit PillPicker(QWidget* parent = nullptr);
    PillPicker(const QList<PillOption>& options, const QVariant& selection, QWidget* parent = nullptr);

    void setOptions(const QList<PillOption>& options);
    const QList<PillOption>& options() const { return options_; }
    void setSelection(const QVariant& value);
    QVariant selection() const { return selection_; }
    // The index of the option equal to the selection, or -1 when none is.
    int selectedIndex() const;

    QList<PillOptionButton*> buttons() const { return buttons_; }
    // The thumb as drawn now; empty when no option is selected.
    QRectF thumbRect() const;
    // How much of `option` (a button's frame) the thumb covers now, 0 to 1.
    double thumbCover(const QRect& option) const;
    bool isThumbMoving() const { return thumbX_.isRunning() || thumbW_.isRunning(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  signals:
    void selectionRequested(const QVariant& value);

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    void relayout(bool animateThumb);

    QList<PillOption> options_;
    QList<PillOptionButton*> buttons_;
    QVariant selection_;
    bool hasThumb_ = false;
    AnimatedValue thumbX_;
    AnimatedValue thumbW_;
};

}  // namespace nimbrel
