#include "theme/badge.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "theme/fonts.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"

namespace nimbrel {

namespace {

QSize roundedUp(QSizeF s) {
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height())));
}

void fillCapsule(QPainter& p, const QRectF& r, const QColor& color) {
    p.fillPath(Shapes::capsule(r), color);
}

}  // namespace

QFont BadgeStyle::font() {
    QFont f = Fonts::font(9.5, FontWeight::bold);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    return f;
}

QString BadgeStyle::displayText(const QString& text) {
    return QLocale().toUpper(text);
}

Badge::Badge(const QString& text, const QColor& tint, const QColor& foreground, QWidget* parent)
    : Badge(
          text, [tint](const QWidget*) { return tint; }, [foreground](const QWidget*) { return foreground; },
          parent) {}

Badge::Badge(const QString& text, const QColor& tint, const AdaptiveColor& foreground, QWidget* parent)
    : Badge(
          text, [tint](const QWidget*) { return tint; },
          [foreground](const QWidget* w) { return foreground.resolve(w); }, parent) {}

Badge::Badge(const QString& text, Colour tint, Colour foreground, QWidget* parent)
    : QWidget(parent), text_(text), tint_(std::move(tint)), foreground_(std::move(foreground)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

QSize Badge::sizeHint() const {
    const QFontMetricsF fm(BadgeStyle::font());
    return roundedUp(
        QSizeF(fm.horizontalAdvance(BadgeStyle::displayText(text_)) + 2 * BadgeStyle::kHorizontalPadding,
               fm.height() + 2 * BadgeStyle::kVerticalPadding));
}

void Badge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    fillCapsule(p, rect(), withOpacity(tint(), BadgeStyle::kFillOpacity));
    p.setFont(BadgeStyle::font());
    p.setPen(foreground());
    p.drawText(QRectF(rect()), Qt::AlignCenter | Qt::TextSingleLine, BadgeStyle::displayText(text_));
}

RiskBadge::RiskBadge(const Risk& risk, QWidget* parent) : QWidget(parent), risk_(risk) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (isShown(risk.level)) {
        const QString why = QString::fromStdString(risk.why);
        setToolTip(why);
        setAccessibleName(QString::fromStdString(risk.title));
        setAccessibleDescription(why);
    } else {
        setVisible(false);
    }
}

bool RiskBadge::isShown(Risk::Level level) {
    return level == Risk::Level::caution || level == Risk::Level::danger;
}

const char* RiskBadge::symbolName(Risk::Level level) {
    return level == Risk::Level::danger ? "exclamationmark.triangle.fill" : "exclamationmark.circle.fill";
}

QColor RiskBadge::foreground() const {
    return risk_.level == Risk::Level::danger ? QColor(Qt::white) : Palette::honeyInk().resolve(this);
}

QColor RiskBadge::fill() const {
    return risk_.level == Risk::Level::danger ? Palette::magma()
                                              : withOpacity(Palette::honey(), BadgeStyle::kFillOpacity);
}

void RiskBadge::setVisible(bool visible) {
    QWidget::setVisible(visible && isShown(risk_.level));
}

QSize RiskBadge::sizeHint() const {
    if (!isShown(risk_.level)) return QSize(0, 0);
    const QFontMetricsF fm(BadgeStyle::font());
    const QString text = BadgeStyle::displayText(QString::fromStdString(risk_.title));
    const double symbol = Symbols::side(kSymbolSize);
    return roundedUp(
        QSizeF(symbol + kSpacing + fm.horizontalAdvance(text) + 2 * BadgeStyle::kHorizontalPadding,
               std::max(fm.height(), symbol) + 2 * BadgeStyle::kVerticalPadding));
}

void RiskBadge::paintEvent(QPaintEvent*) {
    if (!isShown(risk_.level)) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    fillCapsule(p, rect(), fill());
    const QColor ink = foreground();
    const double symbol = Symbols::side(kSymbolSize);
    // The row is centred in the capsule, so a stretched badge keeps its padding balanced.
    const QFontMetricsF fm(BadgeStyle::font());
    const QString text = BadgeStyle::displayText(QString::fromStdString(risk_.title));
    const double rowWidth = symbol + kSpacing + fm.horizontalAdvance(text);
    const double left = (width() - rowWidth) / 2;
    Symbols::draw(p, QRectF(left, (height() - symbol) / 2, symbol, symbol), symbolName(risk_.level), ink,
                  kSymbolSize, FontWeight::bold);
    p.setFont(BadgeStyle::font());
    p.setPen(ink);
    p.drawText(QRectF(left + symbol + kSpacing, 0, fm.horizontalAdvance(text) + 1, height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

}  // namespace nimbrel
