#pragma once

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QVector>

class QPainter;
class QWidget;

namespace nimbrel {

// Glows, shadows and focus rings that reach beyond a control's frame. A child widget is clipped to its
// own rectangle, so these are painted onto the nearest ancestor that has room for them (the parent,
// or further up when the parent is a tight row), just after that ancestor paints itself and before
// its children. The layout keeps the controls' exact sizes. Widgets between the control and that
// ancestor should not paint an opaque background, or they cover the decoration.
class OutsideDecoration {
  public:
    virtual ~OutsideDecoration() = default;
    // How far the decoration reaches beyond the frame on each side.
    virtual QMargins decorationMargins() const = 0;
    // Paints in the widget's own coordinates (the painter is translated to its frame).
    virtual void paintDecoration(QPainter& p) = 0;
};

class DecorationHost : public QObject {
    Q_OBJECT
  public:
    // Registers `child` (a widget that is also an OutsideDecoration) with its ancestors; call again
    // after reparenting. Safe to call repeatedly.
    static void attach(QWidget* child);
    // Repaints the area under the decoration of `child` (on moves, resizes, state changes).
    static void refresh(QWidget* child);
    static void refresh(QWidget* child, const QRect& oldGeometry);
    // The ancestor that paints the decoration of `child` now.
    static QWidget* hostFor(QWidget* child);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit DecorationHost(QWidget* host);
    QVector<QPointer<QWidget>> children_;
};

}  // namespace nimbrel
