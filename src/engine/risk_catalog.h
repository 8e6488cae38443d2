#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/host_layout.h"

namespace nimbrel {

// How dangerous removing one item is, in a short title and one sentence (both empty for normal).
struct Risk {
    // Ordered: callers compare levels ("at least caution").
    enum class Level : int { safe = 0, normal = 1, caution = 2, danger = 3, locked = 4 };

    Level level = Level::normal;
    std::string title;
    std::string why;

    // The level for a raw value from 0 to 4; nothing for any other value.
    static std::optional<Level> levelFromRaw(int raw);

    friend bool operator==(const Risk&, const Risk&) = default;
};

// One row of the legend Settings shows.
struct RiskSummaryRow {
    Risk::Level level;
    std::string title;
    std::vector<std::string> items;
};

// A verdict made without reading the disk.
struct KnownRisk {
    Risk risk;
    // The folder's git probe was not made yet this scan: `risk` is the verdict were it no repository.
    // RiskCatalog::assess on a worker makes the probe; this form then answers in full.
    bool awaitsProbe = false;
};

// Judges the risk of removing any path from the path and what the caller knows of it. Pure apart
// from a probe for git repositories cached per scan and, for "key" files of unknown size, one size lookup.
// Every form without a layout judges against HostLayout::judging(). Callable from any thread.
struct RiskCatalog {
    // `size` is the item's size when the caller has it; the catalogue reads it only when a rule
    // needs it. May wait on the disk: the main thread uses assessKnown.
    static Risk assess(const std::string& path, bool isDirectory, bool isBuildOutput,
                       std::optional<int64_t> size);
    static Risk assess(const std::string& path, bool isDirectory, bool isBuildOutput,
                       std::optional<int64_t> size, const HostLayout& layout);
    // The same verdict from what is known, never reading the disk: a folder whose git probe is not
    // made yet is judged as no repository, and a "key" file of unknown size as a small one.
    static KnownRisk assessKnown(const std::string& path, bool isDirectory, bool isBuildOutput,
                                 std::optional<int64_t> size);
    static KnownRisk assessKnown(const std::string& path, bool isDirectory, bool isBuildOutput,
                                 std::optional<int64_t> size, const HostLayout& layout);

    // The legend, four rows from safe to locked (none for normal), in the current language.
    static std::vector<RiskSummaryRow> summary();
    static std::vector<RiskSummaryRow> summary(const HostLayout& layout);

    // The installer kinds of the Downloads rule, lower-cased extensions: the macOS kinds everywhere,
    // and on Linux the host's packages and app images too. The legend, the verdict and Deep Clean's
    // installers location all read this one list.
    static const std::unordered_set<std::string>& installerExtensions(const HostLayout& layout);
    // The kinds as texts name them (".deb, .rpm, .AppImage, .flatpakref, .iso" on Linux), and as
    // Deep Clean's tag names them (the same kinds, dot-separated; on macOS the short ".dmg · .pkg · .iso").
    static std::string installerKinds(const HostLayout& layout);
    static std::string installerTag(const HostLayout& layout);

    // The item's own size attribute (a link's own size); 0 when it cannot be read.
    static int64_t fileSize(const std::string& path);
    // Whether `path` + "/.git" exists, remembered per path until the next scan starts.
    static bool isGitRepository(const std::string& path);
    // Drops the remembered git verdicts; every scan starts with this.
    static void forgetGitVerdicts();
};

// The extension of a file name: the text after its last ".", empty when there is no dot, when the
// only dot starts the name (".env") or when nothing follows the dot. Case is kept.
std::string_view pathExtension(std::string_view name);

// The name with ASCII letters lower-cased; other bytes are kept as they are.
std::string asciiLower(std::string_view name);

}  // namespace nimbrel
