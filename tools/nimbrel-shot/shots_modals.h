#pragma once

#include <QString>

class QWidget;

namespace nimbrel {

class AppState;

// PNGs of the modal layer and of the windows beside the main one: a confirmation, a notice, a toast
// over a card, the Settings window and the menu-bar panel. `window` is the shown main window, its
// modal host and toast overlay in place, over `state`. Returns the number of pictures not written.
int shootModals(const QString& outDir, AppState& state, QWidget& window);

}  // namespace nimbrel
