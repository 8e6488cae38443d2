#pragma once

#include <QBrush>
#include <QFont>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <vector>

#include "theme/animated_value.h"

class QPainter;
class QWidget;

namespace nimbrel {

// A figure that rolls its digits when it changes ("1.2 GB" to "1.4 GB"): each character that changes
// slides up out of its place while the new one rises in from below, and the unchanged ones stay
// still. The digits sit in fixed cells (FixedDigits), aligned at the end, so the figure never jitters.
// Under Reduce Motion the new text simply replaces the old.
class RollingText : public QObject {
    Q_OBJECT
  public:
    static constexpr double kSeconds = 0.45;

    // `host` is repainted while the digits roll.
    explicit RollingText(QWidget* host);

    QString text() const { return to_; }
    void setText(const QString& text, bool animate = true);
    bool isRolling() const { return roll_.isRunning(); }
    AnimatedValue& animation() { return roll_; }

    // One place of the figure: the character leaving it and the one arriving (equal when unchanged;
    // a null character where the shorter text has no place).
    struct Place {
        QChar from;
        QChar to;
    };
    // The places, aligned at the end of the two texts.
    static std::vector<Place> places(const QString& from, const QString& to);

    // The width of the arriving text.
    double advance(const QFont& font) const;
    // Draws the figure with its baseline starting at `origin`, filled with `brush`.
    void paint(QPainter& p, QPointF origin, const QFont& font, const QBrush& brush) const;

  private:
    QPointer<QWidget> host_;
    QString from_;
    QString to_;
    AnimatedValue roll_{1};
};

}  // namespace nimbrel
