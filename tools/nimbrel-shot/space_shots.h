#pragma once

#include <QSize>
#include <QString>

namespace nimbrel {

// PNGs of the Space area: welcome, discovering, the explorer as icons and as a list, and a folder
// drilled into. Returns the number of pictures that could not be written.
int shootSpace(const QString& outDir, const QSize& size, const QString& suffix);

}  // namespace nimbrel
