#pragma once

class QAbstractScrollArea;

namespace nimbrel {

// Thin, rounded scroll indicators in the ink colours of the area's appearance, in place of the
// platform style's bars (which ignore the palette's dark surfaces).
void styleScrollBars(QAbstractScrollArea* area);

}  // namespace nimbrel
