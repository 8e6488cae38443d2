#pragma once

#include <QImage>
#include <QWidget>

namespace nimbrel {

// The full-window fog: the library's "fog" over the window's size, computed once per size and laid
// into the backdrop's picture. Without the library there is none; it never takes a click either way.
class FogLayer : public QWidget {
    Q_OBJECT
  public:
    static constexpr double kFogConstant = 42;
    explicit FogLayer(QWidget* parent = nullptr);
    const QImage& picture() const { return cache_; }
    // The fog over `size` points at `dpr` pixels a point, worked out once per size (empty without
    // the library's "fog"); the backdrop draws it.
    const QImage& shownAt(QSize size, double dpr);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage cache_;
    QImage shown_;  // cache_ at the widget's size
    QSize cacheSize_;
};

// The window backdrop: the canvas, a dark vertical gradient and two faint glows, above and below the
// window, then the fog. It is the same in both appearances. Use it as the window's central widget and
// put the content on it.
class NimbrelBackdrop : public QWidget {
    Q_OBJECT
  public:
    explicit NimbrelBackdrop(QWidget* parent = nullptr);
    FogLayer* fog() const { return fog_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    FogLayer* fog_;
    // The backdrop as last painted whole, for its size, pixel ratio and canvas colour: a repaint
    // copies the part it needs instead of filling four gradients over it again.
    QImage cache_;
    QColor cacheCanvas_;
};

}  // namespace nimbrel
