#pragma once

#include <QColor>
#include <QPointF>
#include <QTransform>
#include <QWidget>

class QPainter;

namespace nimbrel {

class DrawingTimeline;

// Where the explorer keeps its steamer: its position, the point its jet aims at and whether it is
// blowing steam.
struct SteamerState {
    QPointF position;
    QPointF jetTarget;
    bool jetting = false;

    friend bool operator==(const SteamerState&, const SteamerState&) = default;
};

// The steamer appliance drawn from plain shapes: a glass tank with water, handle, spout and lid,
// tilted back; while jetting it rocks and bobs. The drawing is 115.2 x 100.8; the widget keeps room
// around it for the tilt.
class FlatSteamer : public QWidget {
    Q_OBJECT
  public:
    explicit FlatSteamer(double waterLevel = 0.6, bool jetting = false, QWidget* parent = nullptr);

    static QColor trim();
    static QColor trimDark();

    double waterLevel() const { return waterLevel_; }
    void setWaterLevel(double level);
    void setJetting(bool jetting);

    // The angle and vertical bob of the frame being shown.
    double currentAngle() const;
    double currentBob() const;

    // Maps the untilted 96 x 84 drawing into the widget for the frame being shown (scale, tilt,
    // bob), so callers can find the nozzle to aim the steam from.
    QTransform drawingTransform() const;

    // The 115.2 x 100.8 drawing's rectangle inside the widget, before tilt and bob.
    QRectF layoutRect() const;
    QMargins bleed() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    const DrawingTimeline& timeline() const { return *timeline_; }

    // Paints the untilted 96 x 84 drawing with its top-left corner at the origin; `accent` lights
    // the nozzle.
    static void paintDrawing(QPainter& p, double waterLevel, const QColor& accent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double waterLevel_;
    bool jetting_;
    DrawingTimeline* timeline_;
};

// A seeded blot of grime, drawn in the space its container gives it; it darkens what lies under it.
// The same seed always gives the same blot.
class Stain : public QWidget {
    Q_OBJECT
  public:
    explicit Stain(int seed, QWidget* parent = nullptr);

    static QColor color();
    int seed() const { return seed_; }

    QSize sizeHint() const override { return QSize(40, 40); }

    // The blot before it is multiplied onto the background.
    static QImage render(int seed, QSize size, qreal devicePixelRatio = 1.0);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int seed_;
};

}  // namespace nimbrel
