#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel {

// The three areas of the window.
enum class Area { space, files, steam };

// The five shelves, in sidebar order.
enum class SidebarItem { overview, largest, old, duplicates, cleanup };

inline constexpr std::array<Area, 3> kAllAreas = {Area::space, Area::files, Area::steam};
inline constexpr std::array<SidebarItem, 5> kAllSidebarItems = {SidebarItem::overview, SidebarItem::largest,
                                                                SidebarItem::old, SidebarItem::duplicates,
                                                                SidebarItem::cleanup};

const char* rawValue(Area area);
const char* rawValue(SidebarItem item);
// Exact raw values only: "duplicates" is a shelf, "Duplicates" is not.
std::optional<SidebarItem> sidebarItemFromRaw(const std::string& raw);

QString title(Area area);
QString title(SidebarItem item);
QString caption(SidebarItem item);
Area area(SidebarItem item);
// The shelves of an area, in sidebar order.
std::vector<SidebarItem> items(Area area);

}  // namespace nimbrel
