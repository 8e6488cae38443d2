#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace nimbrel {

// The kind of a file, decided by its lower-cased extension alone. Used like an enum
// (`FileCategory::video`, `switch`), with the lookups as members.
class FileCategory {
  public:
    enum Value : std::uint8_t {
        video,
        audio,
        image,
        document,
        archive,
        diskImage,
        application,
        code,
        developer,
        other,
    };
    static constexpr std::size_t count = 10;

    constexpr FileCategory() = default;
    constexpr FileCategory(Value v) : value_(v) {}
    constexpr operator Value() const { return value_; }

    // Exact lookup: the caller lower-cases. Unknown and empty extensions are `other`.
    static FileCategory classify(std::string_view ext);

    // The case name ("diskImage"); also the stored and shown raw value.
    const char* rawValue() const;
    std::string id() const { return rawValue(); }
    static std::optional<FileCategory> fromRawValue(std::string_view raw);

    // Localised title ("Disk Images").
    std::string title() const;

    static const std::array<FileCategory, count>& allCases();

    // Folder extensions that count as one file when packages are treated as files.
    static const std::unordered_set<std::string_view>& packageExtensions();

  private:
    Value value_ = other;
};

}  // namespace nimbrel

template <>
struct std::hash<nimbrel::FileCategory> {
    std::size_t operator()(nimbrel::FileCategory c) const noexcept {
        return static_cast<std::size_t>(static_cast<nimbrel::FileCategory::Value>(c));
    }
};
