#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace nimbrel {

// A developer build product or dependency folder found by a scan.
struct DevArtifact {
    std::string path;
    std::string kind;  // localised label, e.g. "Node.js dependencies"
    std::int64_t size = 0;
    std::int64_t fileCount = 0;
    // The folder the scan saw (device and inode): a removal takes it only while it is still there.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const DevArtifact&, const DevArtifact&) = default;
};

// Which folders are rebuildable build output, by name and, for some, a marker file beside or inside.
struct DevArtifactRule {
    // The localised kind label of the folder `name` at absolute `path`, or nothing.
    static std::optional<std::string> match(const std::string& name, const std::string& path);
};

}  // namespace nimbrel

template <>
struct std::hash<nimbrel::DevArtifact> {
    std::size_t operator()(const nimbrel::DevArtifact& a) const noexcept {
        std::size_t h = std::hash<std::string>{}(a.path);
        h = h * 31 + std::hash<std::string>{}(a.kind);
        h = h * 31 + std::hash<std::int64_t>{}(a.size);
        return h * 31 + std::hash<std::int64_t>{}(a.fileCount);
    }
};
