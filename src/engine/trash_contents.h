#pragma once

#include "engine/host_layout.h"
#include "engine/scan_result.h"

namespace nimbrel {

// Leaves what lies inside a Trash (the home Trash, a volume's ".Trash-<uid>" or ".Trash/<uid>") out
// of everything a scan offers for removal: the listed files (and so the shelves and twins), the
// build products and the build-product marks of its folders. The folder sizes, counts and category
// totals keep counting it: the space is used until the Trash is emptied.
void leaveOutTrashContents(ScanResult& result, const HostLayout& layout);

}  // namespace nimbrel
