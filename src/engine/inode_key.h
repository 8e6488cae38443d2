#pragma once

#include <cstdint>
#include <functional>

namespace nimbrel {

// One file on disk, whatever path reaches it. Linux device numbers are 64-bit, so both halves are.
struct InodeKey {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const InodeKey&, const InodeKey&) = default;
};

}  // namespace nimbrel

template <>
struct std::hash<nimbrel::InodeKey> {
    std::size_t operator()(const nimbrel::InodeKey& k) const noexcept {
        // Inode numbers are dense within one device; mixing the device in keeps devices apart.
        std::uint64_t h = k.inode * 0x9E3779B97F4A7C15ull ^ (k.device + 0x632BE59BD9B4E019ull);
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};
