#include "engine/disk_scanner.h"

#include "engine/host_layout.h"

namespace nimbrel {

std::string DiskScanner::normalize(const std::string& path) {
    return normalizePath(path, HostLayout::current().home);
}

const std::unordered_set<std::string>& DiskScanner::systemSkips() {
    return HostLayout::current().systemSkips;
}

std::shared_ptr<ScanResult> DiskScanner::scan(const std::string&, const ScanOptions&, std::int64_t,
                                              const CancelToken&, const ProgressCallback&) {
    return nullptr;
}

DiskUsage DiskScanner::usage(const std::string&, const CancelToken*) {
    return {};
}

}  // namespace nimbrel
