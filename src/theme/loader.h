#pragma once

#include <QPointer>
#include <QWidget>

class QPainter;

namespace nimbrel {

class DrawingTimeline;

// The busy indicator: steam puffs that rise, grow, turn and fade in a loop, each a step behind the
// previous one. It takes a square of 1.6 x size in a layout; the puffs drift beyond that square, so
// while it sits in a parent they are drawn by a companion layer around it (see spill()), and what
// stands beside the loader keeps its place.
class NimbrelLoader : public QWidget {
    Q_OBJECT
  public:
    explicit NimbrelLoader(double size = 24, QWidget* parent = nullptr);
    ~NimbrelLoader() override;

    double loaderSize() const { return size_; }
    // The loader's own square: the whole widget.
    QRectF layoutRect() const;
    // How far beyond the square the puffs may drift.
    QMargins bleed() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    const DrawingTimeline& timeline() const { return *timeline_; }
    // The layer that draws the puffs over the loader's square and its bleed, a sibling of the loader
    // (no clicks reach it); null while the loader has no parent.
    QWidget* spill() const { return spill_; }

    // Draws the puffs of the frame at time `t` around `centre`, for a loader of `size`, at the
    // painter's opacity.
    static void paintPuffs(QPainter& p, QPointF centre, double size, double t);

  protected:
    // Draws the loader around `centre` (a subclass may recolour it).
    virtual void paintLoader(QPainter& p, QPointF centre, QSize area);
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    friend class LoaderSpill;
    void followParent();
    void placeSpill();

    double size_;
    DrawingTimeline* timeline_;
    QPointer<QWidget> spill_;
};

}  // namespace nimbrel
