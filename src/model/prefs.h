#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/scan_options.h"

namespace nimbrel {

// The persisted settings: a handful of keys in the user's settings store (QSettings, organisation and
// application "Nimbrel"). Defaults are registered in code at start-up and never written, so a
// stored value always wins. Lists are stored as one text, items joined by line feeds.
// The store is read once per session; a write is seen at once and saved in the background.
// Safe from any thread.
class Prefs {
  public:
    static constexpr const char* kMinTrackedSize = "minTrackedSize";
    static constexpr const char* kTreatPackagesAsFiles = "treatPackagesAsFiles";
    static constexpr const char* kSkipHiddenFiles = "skipHiddenFiles";
    static constexpr const char* kExcludedPaths = "excludedPaths";
    static constexpr const char* kShowMenuBarExtra = "showMenuBarExtra";
    static constexpr const char* kRecentTargets = "recentTargets";  // the older text form of the recents
    static constexpr const char* kRecentTargetPaths = "recentTargetPaths";
    // What the last scan could not read: how many entries, and the first few paths.
    static constexpr const char* kUnreadableCount = "lastScanUnreadableCount";
    static constexpr const char* kUnreadablePaths = "lastScanUnreadablePaths";

    // Registers the defaults of the keys above (minTrackedSize 1000000, packages as files, hidden
    // files scanned, no exclusions, the menu-bar extra shown, no recents).
    static void registerDefaults();

    // The stored value, else the registered default, else an invalid QVariant.
    static QVariant value(const QString& key);
    static void setValue(const QString& key, const QVariant& value);

    // The non-empty lines of the text stored under `key`, in order and untrimmed.
    static QStringList list(const QString& key);
    static void setList(const QString& key, const QStringList& items);

    // Paths as the file system's bytes. Each is stored encoded (base64), so any name survives a
    // restart: a line feed, bytes that are not UTF-8.
    static std::vector<std::string> paths(const QString& key);
    static void setPaths(const QString& key, const std::vector<std::string>& paths);

    // The recent scan targets, newest first, stored as paths. Until the first write, the older text
    // list under kRecentTargets is read; the write replaces it.
    static std::vector<std::string> recentTargets();
    static void setRecentTargets(const std::vector<std::string>& paths);

    // The options a scan starting now runs with.
    static ScanOptions scanOptions();

    // Waits until every write so far is saved (before the program ends).
    static void flush();

    // Points the store at an INI file (tests); an empty path restores the user's own store. Saves
    // what is pending first, reads the new store afresh, and forgets the registered defaults.
    static void useStore(const QString& iniPath);
};

}  // namespace nimbrel
