#pragma once

#include <QWidget>

class QPainter;

namespace nimbrel {

// The brand mark: a water drop with a highlight and a puff of steam rising behind it, drawn from
// shapes. `size` is the width; the mark's frame is size x 1.1 size. The puff reaches 0.35 size
// above the frame and the drop's round end a little below it, so the widget keeps a bleed around
// its frame.
class NimbrelLogo : public QWidget {
    Q_OBJECT
  public:
    explicit NimbrelLogo(double size = 22, QWidget* parent = nullptr);

    QMargins bleed() const { return bleedFor(size_); }
    // The s x 1.1 s frame inside the widget.
    QRectF layoutRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Paints the mark whose s x 1.1 s frame has its top-left corner at `origin`. Shared with the
    // views that draw the mark as part of their own painting (wordmark, empty state).
    static void paint(QPainter& p, QPointF origin, double size);
    static QMargins bleedFor(double size);
    // The application icon, `side` pixels square: the mark on a rounded tile of the dark canvas
    // colour (the white puff needs a dark ground; a tile reads the same on light and dark panels),
    // with the transparent margin icon themes expect.
    static QImage appIcon(int side);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double size_;
};

}  // namespace nimbrel
