#pragma once

#include <QString>

// Writes PNGs of the Deep Clean area on the sample data into `outDir`; returns the number of
// pictures that could not be written.
int shootDeepClean(const QString& outDir);
