#pragma once

#include <QSize>
#include <QString>

namespace nimbrel {

// PNGs of the main window on the sample data with the keyboard focus on each control a keyboard user
// reaches first (area switcher, Scan, the selection's review button, the explorer), and the Deep
// Clean header with nothing to clean. Returns the number of pictures that could not be written.
int shootFocus(const QString& outDir, const QSize& size, const QString& suffix);

}  // namespace nimbrel
