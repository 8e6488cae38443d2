#pragma once

#include <QString>

namespace nimbrel {

// Writes PNGs of the effects at chosen moments into `outDir`: rows evaporating, the fog, a size rolling
// its digits. Returns the number of pictures that could not be written.
int shootEffects(const QString& outDir);

}  // namespace nimbrel
