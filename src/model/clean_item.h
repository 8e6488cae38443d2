#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/dev_artifact.h"
#include "engine/dir_node.h"
#include "engine/entry_identity.h"
#include "engine/risk_catalog.h"
#include "engine/twin_proof.h"

namespace nimbrel {

// One entry of the selection: a file, a folder, a build product or a junk location. A plain value;
// the queue and a background removal work on copies.
struct CleanItem {
    enum class Kind { file, folder, artifact, junk };
    enum class Source { space, files, deepClean };

    // The JSON keys of the drag-and-drop form.
    struct CodingKeys {
        static constexpr const char* id = "id";
        static constexpr const char* name = "name";
        static constexpr const char* size = "size";
        static constexpr const char* kind = "kind";
        static constexpr const char* heat = "heat";
        static constexpr const char* symbolPath = "symbolPath";
        static constexpr const char* source = "source";
    };

    // The absolute path, or "junk:" followed by the junk location's id.
    std::string id;
    std::string name;
    int64_t size = 0;
    Kind kind = Kind::file;
    // Set by the creator; a junk item at 1.0 or more is a cache that is rebuilt automatically.
    double heat = 0.0;
    std::optional<std::string> symbolPath;
    Source source = Source::space;
    // What the scan saw at the path (for a junk location, nothing: its targets are listed with
    // theirs when the review opens). The removal takes the entry only while it is still that one.
    std::optional<EntryIdentity> identity = std::nullopt;
    // Queued as an extra copy of this set of twins: its removal checks that a copy stays. Not
    // part of the drag-and-drop form.
    std::shared_ptr<const TwinCopies> twins = nullptr;

    bool operator==(const CleanItem&) const = default;

    // Worked out on every read: a junk location by its heat, anything else by the risk catalogue.
    // risk() reads nothing on disk (a folder whose git probe is still to be made reads as no
    // repository), for the main thread; riskOnDisk() makes the reads, for workers.
    Risk risk() const;
    Risk riskOnDisk() const;
    // True when the item can name what a removal takes: a path id is absolute and already normal
    // (no "..", ".", empty part or trailing "/", so the path judged is the path removed), no id holds
    // a NUL byte, a junk id names a location, and the size is not negative.
    bool isWellFormed() const;
    // The item for a build product the scan found ("app · node_modules").
    static CleanItem artifact(const DevArtifact& artifact);
    // The item for a file the scan listed, and for a folder of the scanned tree (a build product
    // when the scan marked it so), each carrying what the scan saw at its path.
    static CleanItem file(const FileItem& file, Source source, double heat = 0.0);
    static CleanItem folder(const DirNode& folder, Source source);

    static const char* rawValue(Kind kind);
    static const char* rawValue(Source source);
    static std::optional<Kind> kindFromRaw(const std::string& raw);
    static std::optional<Source> sourceFromRaw(const std::string& raw);
    static const std::array<Source, 3>& allSources();

    // The JSON object dragged between Nimbrel's own views. Nothing when a text field is not valid
    // UTF-8: JSON would replace the odd bytes and the dropped item would name another path.
    std::optional<QByteArray> toJson() const;
    // Nothing for malformed JSON, a missing key, a kind or source that names no case, a size that
    // is not an integer, or an item that is not well formed. Unknown keys are ignored; a null
    // "symbolPath" counts as absent.
    static std::optional<CleanItem> fromJson(const QByteArray& json);
    static constexpr const char* mimeType = "application/json";
};

// True when the bytes survive a trip through Qt's text and JSON types unchanged.
bool isLosslessUtf8(const std::string& bytes);

}  // namespace nimbrel

template <>
struct std::hash<nimbrel::CleanItem> {
    size_t operator()(const nimbrel::CleanItem& item) const noexcept;
};
