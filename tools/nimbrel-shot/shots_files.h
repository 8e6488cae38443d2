#pragma once

#include <QString>

class QWidget;

namespace nimbrel {

class AppState;

// PNGs of the review (with items that need the acknowledgement and one the safety guard keeps), the
// failure sheet and the Files shelves on the sample data. Returns the number of pictures not written.
int shootFiles(const QString& outDir, AppState& state, QWidget& window);

}  // namespace nimbrel
