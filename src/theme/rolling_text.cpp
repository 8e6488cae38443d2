#include "theme/rolling_text.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

#include "theme/fixed_digits.h"
#include "theme/motion.h"

namespace nimbrel {

RollingText::RollingText(QWidget* host) : QObject(host), host_(host) {
    connect(&roll_, &AnimatedValue::changed, this, [this] {
        if (host_) host_->update();
    });
}

void RollingText::setText(const QString& text, bool animate) {
    if (text == to_) return;
    from_ = to_;
    to_ = text;
    if (!animate || from_.isEmpty() || ReduceMotion::isOn()) {
        roll_.setImmediate(1);
    } else {
        roll_.setImmediate(0);
        roll_.animateTo(1, motion());
    }
    if (host_) host_->update();
}

std::vector<RollingText::Place> RollingText::places(const QString& from, const QString& to) {
    const qsizetype n = std::max(from.size(), to.size());
    std::vector<Place> out(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype f = from.size() - n + i, t = to.size() - n + i;
        out[static_cast<size_t>(i)] = {f >= 0 ? from[f] : QChar(), t >= 0 ? to[t] : QChar()};
    }
    return out;
}

double RollingText::advance(const QFont& font) const {
    return FixedDigits::advance(font, to_);
}

void RollingText::paint(QPainter& p, QPointF origin, const QFont& font, const QBrush& brush) const {
    paint(p, origin, font, brush, from_, to_, roll_.value());
}

namespace {

// The text is drawn glyph by glyph, so a gradient meant for the whole figure's box is placed on it.
QBrush overFigure(const QBrush& brush, const QRectF& box) {
    const QGradient* g = brush.gradient();
    if (!g || g->type() != QGradient::LinearGradient ||
        (g->coordinateMode() != QGradient::ObjectMode &&
         g->coordinateMode() != QGradient::ObjectBoundingMode))
        return brush;
    const auto* linear = static_cast<const QLinearGradient*>(g);
    auto at = [&](QPointF f) {
        return QPointF(box.left() + f.x() * box.width(), box.top() + f.y() * box.height());
    };
    QLinearGradient placed(at(linear->start()), at(linear->finalStop()));
    placed.setStops(linear->stops());
    placed.setSpread(linear->spread());
    return QBrush(placed);
}

}  // namespace

void RollingText::paint(QPainter& p, QPointF origin, const QFont& font, const QBrush& brush,
                        const QString& from, const QString& to, double t) {
    const QFontMetricsF fm(font);
    p.save();
    p.setFont(font);
    if (brush.gradient()) {
        const QRectF box(origin.x(), origin.y() - fm.ascent(), FixedDigits::advance(font, to), fm.height());
        p.setPen(QPen(overFigure(brush, box), 0));
    } else {
        p.setPen(brush.color());
    }
    if (t >= 1 || from == to) {
        FixedDigits::draw(p, origin, to);
        p.restore();
        return;
    }
    // The line's own box: what rolls out of it is cut off.
    const double cell = FixedDigits::cell(font);
    p.setClipRect(QRectF(origin.x() - cell, origin.y() - fm.ascent(), 1e6, fm.ascent() + fm.descent()),
                  Qt::IntersectClip);
    auto width = [&](QChar c) { return c.isNull() ? 0.0 : c.isDigit() ? cell : fm.horizontalAdvance(c); };
    // Three layers, each drawn in one go: the places that stay, the characters leaving upwards and
    // those arriving from below. The figure keeps the arriving text's width; places of the leaving
    // text only sit where the arriving text has a place too, or to its left.
    std::vector<FixedDigits::Placed> still, leaving, arriving;
    double x = 0;
    for (const Place& place : places(from, to)) {
        const double slot = place.to.isNull() ? 0.0 : width(place.to);
        if (place.from == place.to) {
            if (!place.to.isNull()) still.push_back({place.to, x, slot});
        } else {
            if (!place.from.isNull()) leaving.push_back({place.from, x, slot > 0 ? slot : width(place.from)});
            if (!place.to.isNull()) arriving.push_back({place.to, x, slot});
        }
        x += slot;
    }
    const double rise = fm.ascent();
    const double opacity = p.opacity();
    FixedDigits::drawInPlaces(p, origin, still);
    p.setOpacity(opacity * (1 - t));
    FixedDigits::drawInPlaces(p, origin + QPointF(0, -rise * t), leaving);
    p.setOpacity(opacity * t);
    FixedDigits::drawInPlaces(p, origin + QPointF(0, rise * (1 - t)), arriving);
    p.restore();
}

// RollingFigures

RollingFigures::RollingFigures(QWidget* host) : QObject(host), host_(host) {
    connect(&roll_, &AnimatedValue::changed, this, [this] {
        if (host_) host_->update();
    });
}

void RollingFigures::clear() {
    shown_.clear();
}

void RollingFigures::paint(QPainter& p, QPointF origin, const QFont& font, const QBrush& brush,
                           const QString& key, const QString& text) {
    auto it = shown_.find(key);
    if (it == shown_.end()) {
        if (shown_.size() >= 4096) {
            // Forget the figures at rest; they appear at once if they come back.
            for (auto old = shown_.begin(); old != shown_.end();)
                old = old->roll == current_ && roll_.isRunning() ? std::next(old) : shown_.erase(old);
        }
        it = shown_.insert(key, Shown{text, text, 0});
    } else if (it->to != text) {
        if (ReduceMotion::isOn()) {
            it->from = text;
        } else {
            // Changes drawn before the roll has moved join it; a later change starts a new roll (figures
            // still rolling in the old one show their new text at once).
            if (!(roll_.isRunning() && roll_.value() == 0)) {
                ++current_;
                roll_.setImmediate(0);
                roll_.animateTo(1, RollingText::motion());
            }
            it->from = it->to;
            it->roll = current_;
        }
        it->to = text;
    }
    const double t = it->roll == current_ ? roll_.value() : 1.0;
    RollingText::paint(p, origin, font, brush, it->from, it->to, t);
}

}  // namespace nimbrel
