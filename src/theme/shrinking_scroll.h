#pragma once

#include <QScrollArea>

namespace nimbrel {

// A vertical scroll view only as tall as its content, up to a maximum: a short list stays compact, a
// long one scrolls inside `max`. Squeezed by its parent it gives way first, down to 88 (or to its
// content when that is shorter). Give its siblings size policies that do not shrink below their
// hints; Qt has no layout priority, so this view's Maximum policy makes it the one that yields.
class ShrinkingScroll : public QScrollArea {
    Q_OBJECT
  public:
    static constexpr int kFloor = 88;

    struct Heights {
        int minimum;
        int ideal;
        int maximum;
    };
    // The frame rule for a measured content height (0: nothing measured yet, or empty content).
    static Heights heights(int contentHeight, int max);

    explicit ShrinkingScroll(int max = 280, QWidget* parent = nullptr);
    void setContent(QWidget* content);
    int max() const { return max_; }
    int contentHeight() const { return contentHeight_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void showEvent(QShowEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void measure();

    int max_;
    int contentHeight_ = 0;
};

}  // namespace nimbrel
