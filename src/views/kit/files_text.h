#pragma once

#include <QString>
#include <string>

#include "model/clean_item.h"

namespace nimbrel {

// The title of the area an item was selected in: "Space", "Files", "Deep Clean".
QString sourceTitle(CleanItem::Source source);

}  // namespace nimbrel

namespace nimbrel {

// The menu entry that shows a path in the file manager: "Show in Finder" on macOS, the host's file
// manager elsewhere.
QString revealTitle();
// Whether a path's extension makes its folder a package (an app or a bundle counted as one file).
bool hasPackageExtension(const std::string& path);
// The words for such folders. macOS calls them apps and bundles; elsewhere they are only folders
// named like a Mac's (copied from one), so the texts say so.
enum class PackageText { settingTitle, settingDetail, hideChip, kind };
QString packageText(PackageText which, bool mac);
// A path with the home folder written as "~".
QString tildePath(const std::string& path);

}  // namespace nimbrel
