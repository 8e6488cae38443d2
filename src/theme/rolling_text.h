#pragma once

#include <QBrush>
#include <QFont>
#include <QHash>
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
    static MotionSpec motion() { return Motion::snappy(kSeconds); }

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
    // Draws the figure with its baseline starting at `origin`, filled with `brush` (a gradient in
    // object mode spans the whole figure).
    void paint(QPainter& p, QPointF origin, const QFont& font, const QBrush& brush) const;
    // Draws `to` rolled in over `from` by `t` (0 to 1; 1 is `to` at rest).
    static void paint(QPainter& p, QPointF origin, const QFont& font, const QBrush& brush,
                      const QString& from, const QString& to, double t);

  private:
    QPointer<QWidget> host_;
    QString from_;
    QString to_;
    AnimatedValue roll_{1};
};

// The figures of a painter that draws many of them (a grid of tiles, each with its size): each figure,
// known by a key, rolls when it is drawn with another text than the last time. Changes that arrive
// together roll together on one animation, so a scan that grows hundreds of sizes at once costs one
// timer. Only the figures drawn recently are remembered.
class RollingFigures : public QObject {
    Q_OBJECT
  public:
    // `host` is repainted while figures roll.
    explicit RollingFigures(QWidget* host);

    // Draws the figure of `key` (see RollingText::paint) as it stands in its roll.
    void paint(QPainter& p, QPointF origin, const QFont& font, const QBrush& brush, const QString& key,
               const QString& text);
    // Forgets every figure: what is drawn next appears at once.
    void clear();
    bool isRolling() const { return roll_.isRunning(); }
    AnimatedValue& animation() { return roll_; }

  private:
    struct Shown {
        QString from;
        QString to;
        quint64 roll = 0;  // the roll it moves in; an older one has ended
    };
    QPointer<QWidget> host_;
    QHash<QString, Shown> shown_;
    quint64 current_ = 0;
    AnimatedValue roll_{1};
};

}  // namespace nimbrel
