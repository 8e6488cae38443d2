#pragma once

#include <string>

#include "engine/scan_result.h"

namespace nimbrel {

// The first difference between two scan results of one tree, as a line naming the field and the
// path, or empty when they agree on everything but their timing (duration and date): the folder
// tree with its sizes, counts and order, every listed file with its id, the totals, build products
// and unreadable samples.
std::string firstScanDifference(const ScanResult& a, const ScanResult& b);

}  // namespace nimbrel
