#include "views/files/count_line.h"

#include <QPainter>
#include <cmath>

#include "theme/appearance.h"
#include "theme/fonts.h"
#include "theme/palette.h"
#include "theme/rolling_text.h"

namespace nimbrel {

CountLine::CountLine(QWidget* parent) : QWidget(parent), rolling_(new RollingText(this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // It paints the sheet's own fill under its digits, so a roll repaints the line alone and not
    // the window under the sheet.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QFont CountLine::lineFont() {
    return Fonts::font(13, FontWeight::semibold);
}

QString CountLine::text() const {
    return rolling_->text();
}

void CountLine::setText(const QString& text) {
    if (text == rolling_->text()) return;
    rolling_->setText(text, !rolling_->text().isEmpty());
    updateGeometry();
    update();
}

QSize CountLine::sizeHint() const {
    return {int(std::ceil(rolling_->advance(lineFont()))), QFontMetrics(lineFont()).height()};
}

void CountLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Palette::panel().resolve(this));
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(lineFont());
    const double base = (height() - metrics.height()) / 2 + metrics.ascent();
    rolling_->paint(p, QPointF(0, base), lineFont(), QBrush(Palette::accent().resolve(this)));
}

}  // namespace nimbrel
