#pragma once

#include <QSize>

class QEvent;
class QLayout;
class QWidget;

namespace nimbrel {

// Gives a modal card the height its content asks for, within its host (16 points clear above and
// below), centred there. Cards whose lists load after they are placed call it again.
void fitCard(QWidget* card);

// The size a fixed-width card asks for: wrapped notes need the width to know their height.
QSize cardSizeHint(const QLayout* column, int width);

// A card's list height is known only once its rows are measured: on each layout request the card is
// fitted again (after the layout has run), growing within its host, centred.
void refitOnLayoutRequest(QWidget* card, const QEvent* event);

// The card's rounded panel with its hairline edge.
void paintCardPanel(QWidget* card);

}  // namespace nimbrel
