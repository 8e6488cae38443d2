// Linked into every test program that judges paths on disk: its guards know none of this machine's
// volumes, so a USB stick or a /dev/shm holding a Trash folder changes nothing a test sees. A test
// of volumes names its own mount tops.
#include <optional>
#include <string>
#include <vector>

#include "engine/safety_guard.h"

namespace {

const bool knowsNoVolume = [] {
    nimbrel::DiskGuard::useVolumes(std::vector<std::string>{});
    return true;
}();

}  // namespace
