#include "engine/file_category.h"

#include <unordered_map>

#include "engine/localized.h"

namespace nimbrel {

namespace {

struct CategoryInfo {
    const char* raw;
    const char* title;
    const char* extensions;  // single spaces between extensions
};

constexpr CategoryInfo kInfo[FileCategory::count] = {
    {"video", "Video",
     "mp4 m4v mov avi mkv wmv flv webm mpg mpeg 3gp mts m2ts vob braw r3d insv fcpbundle imovielibrary "
     "tvlibrary"},
    {"audio", "Audio",
     "mp3 m4a m4b aac wav aiff aif flac ogg opus wma caf mid midi logicx band musiclibrary"},
    {"image", "Images",
     "jpg jpeg png gif heic heif tiff tif bmp raw cr2 cr3 nef arw dng orf rw2 raf psd psb ai svg webp ico "
     "icns sketch fig xcf exr hdr kra afphoto photoslibrary photolibrary"},
    {"document", "Documents",
     "pdf doc docx xls xlsx ppt pptx pages numbers key txt rtf rtfd md csv epub mobi odt ods odp tex"},
    {"archive", "Archives", "zip rar 7z tar gz tgz bz2 xz zst lz4 lzma cab sit sitx jar war xip"},
    {"diskImage", "Disk Images",
     "dmg iso img sparseimage sparsebundle vmdk vdi qcow2 vhd vhdx hdd utm toast"},
    {"application", "Apps & Installers",
     "app pkg mpkg ipa apk aab exe msi appex prefpane saver deb rpm appimage flatpakref snap"},
    {"code", "Source Code",
     "swift m mm h hpp c cc cpp js mjs cjs ts tsx jsx py rb go rs java kt kts scala php cs html css scss "
     "json yaml yml toml xml sh zsh sql lua dart vue svelte"},
    {"developer", "Developer",
     "o a dylib so dsym xcarchive framework bundle plugin kext pack idx class pyc whl gem nupkg tbd "
     "swiftmodule pcm docarchive xcodeproj xcworkspace playground ipsw"},
    {"other", "Other", ""},
};

const std::unordered_map<std::string_view, FileCategory>& extensionTable() {
    static const auto table = [] {
        std::unordered_map<std::string_view, FileCategory> t;
        for (std::size_t c = 0; c < FileCategory::count; ++c) {
            std::string_view list = kInfo[c].extensions;
            while (!list.empty()) {
                std::size_t space = list.find(' ');
                t.emplace(list.substr(0, space), static_cast<FileCategory::Value>(c));
                list = space == std::string_view::npos ? std::string_view{} : list.substr(space + 1);
            }
        }
        return t;
    }();
    return table;
}

}  // namespace

FileCategory FileCategory::classify(std::string_view ext) {
    const auto& table = extensionTable();
    auto it = table.find(ext);
    return it == table.end() ? FileCategory(other) : it->second;
}

const char* FileCategory::rawValue() const {
    return kInfo[value_].raw;
}

std::optional<FileCategory> FileCategory::fromRawValue(std::string_view raw) {
    for (FileCategory c : allCases())
        if (raw == c.rawValue()) return c;
    return std::nullopt;
}

std::string FileCategory::title() const {
    return localized(kInfo[value_].title);
}

const std::array<FileCategory, FileCategory::count>& FileCategory::allCases() {
    static constexpr std::array<FileCategory, count> cases = {
        video, audio, image, document, archive, diskImage, application, code, developer, other,
    };
    return cases;
}

const std::unordered_set<std::string_view>& FileCategory::packageExtensions() {
    static const std::unordered_set<std::string_view> set = {
        "app",          "bundle",    "framework",     "plugin",       "kext",          "appex",
        "xpc",          "prefpane",  "saver",         "qlgenerator",  "photoslibrary", "photolibrary",
        "musiclibrary", "tvlibrary", "imovielibrary", "fcpbundle",    "logicx",        "band",
        "xcarchive",    "dsym",      "docarchive",    "sparsebundle", "rtfd",          "pages",
        "numbers",      "key",       "playground",    "xcodeproj",    "xcworkspace",   "mpkg",
        "pkg",
    };
    return set;
}

}  // namespace nimbrel
