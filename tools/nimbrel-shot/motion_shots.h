#pragma once

#include <QString>

namespace nimbrel {

// Frames of transitions caught part of the way: the tile's select circle ticking on, the selection
// bar coming in from the bottom edge. Returns the number of pictures that could not be written.
int shootMotion(const QString& outDir);

}  // namespace nimbrel
