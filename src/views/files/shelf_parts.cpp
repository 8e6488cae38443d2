#include "views/files/shelf_parts.h"

#include "model/clock.h"
#include "views/kit/elided_label.h"

namespace nimbrel {

QDateTime ShelfParts::dateOf(const Clock& clock) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock.date().time_since_epoch()).count());
}

ElidedLabel* ShelfParts::textLine(const QString& text, const QFont& font, ColorFn color, QWidget* parent) {
    auto* label = new ElidedLabel(parent);
    label->setFont(font);
    label->setColor(std::move(color));
    label->setText(text);
    return label;
}

}  // namespace nimbrel
