#pragma once

#include <QWidget>

namespace nimbrel {

// The full-window fog. It needs the shader library, which this build does not ship, so it draws
// nothing; it never takes a click either way.
class FogLayer : public QWidget {
    Q_OBJECT
  public:
    explicit FogLayer(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent*) override;
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
};

}  // namespace nimbrel
