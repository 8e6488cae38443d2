#pragma once

class QWidget;

namespace nimbrel {

// Gives a modal card the height its content asks for, within its host (16 points clear above and
// below), centred there. Cards whose lists load after they are placed call it again.
void fitCard(QWidget* card);

}  // namespace nimbrel
