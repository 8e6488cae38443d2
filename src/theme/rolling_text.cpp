#include "theme/rolling_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
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
        roll_.animateTo(1, Motion::snappy(kSeconds));
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

namespace {

// The room one character takes: a digit the shared digit cell, anything else its own advance, each
// with the font's tracking. The figure is drawn character by character, so its width is measured
// the same way; what follows it is placed by this sum.
struct Slots {
    explicit Slots(const QFont& font)
        : fm(font),
          cell(FixedDigits::cell(font)),
          tracking(font.letterSpacingType() == QFont::AbsoluteSpacing ? font.letterSpacing() : 0) {}
    double operator()(QChar c) const {
        return c.isNull() ? 0.0 : (c.isDigit() ? cell : fm.horizontalAdvance(c)) + tracking;
    }
    QFontMetricsF fm;
    double cell;
    double tracking;
};

}  // namespace

double RollingText::advance(const QFont& font) const {
    const Slots width(font);
    double sum = 0;
    for (QChar c : to_)
        sum += width(c);
    return sum;
}

void RollingText::paint(QPainter& p, QPointF origin, const QFont& font, const QBrush& brush) const {
    const double t = roll_.value();
    const QFontMetricsF fm(font);
    const double cell = FixedDigits::cell(font);
    const Slots width(font);
    // A glyph sits centred in its slot less the tracking, which is the room after it.
    const auto left = [&](QChar c, double slot) {
        return (slot - width.tracking - fm.horizontalAdvance(c)) / 2;
    };
    auto draw = [&](QChar c, double x, double slot, double dy, double opacity) {
        if (c.isNull() || opacity <= 0.001) return;
        QPainterPath path;
        path.addText(QPointF(x + left(c, slot), origin.y() + dy), font, QString(c));
        p.save();
        p.setOpacity(p.opacity() * opacity);
        p.fillPath(path, brush);
        p.restore();
    };
    if (t >= 1) {
        QPainterPath path;
        double x = origin.x();
        for (QChar c : to_) {
            const double slot = width(c);
            path.addText(QPointF(x + left(c, slot), origin.y()), font, QString(c));
            x += slot;
        }
        p.fillPath(path, brush);
        return;
    }
    // The line's own box: what rolls out of it is cut off.
    p.save();
    p.setClipRect(QRectF(origin.x() - cell, origin.y() - fm.ascent(), 1e6, fm.ascent() + fm.descent()),
                  Qt::IntersectClip);
    const double rise = fm.ascent();
    // The figure keeps the arriving text's width; places of the leaving text only sit where the
    // arriving text has a place too, or to its left.
    const std::vector<Place> all = places(from_, to_);
    double x = origin.x();
    for (const Place& place : all) {
        const double slot = place.to.isNull() ? 0.0 : width(place.to);
        if (place.from == place.to) {
            draw(place.to, x, slot, 0, 1);
        } else {
            draw(place.from, x, slot > 0 ? slot : width(place.from), -rise * t, 1 - t);
            draw(place.to, x, slot, rise * (1 - t), t);
        }
        x += slot;
    }
    p.restore();
}

}  // namespace nimbrel
