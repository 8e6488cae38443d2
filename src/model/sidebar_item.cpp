#include "model/sidebar_item.h"

#include <QCoreApplication>

namespace nimbrel {

const char* rawValue(Area area) {
    switch (area) {
        case Area::space:
            return "space";
        case Area::files:
            return "files";
        case Area::steam:
            return "steam";
    }
    return "space";
}

const char* rawValue(SidebarItem item) {
    switch (item) {
        case SidebarItem::overview:
            return "overview";
        case SidebarItem::largest:
            return "largest";
        case SidebarItem::old:
            return "old";
        case SidebarItem::duplicates:
            return "duplicates";
        case SidebarItem::cleanup:
            return "cleanup";
    }
    return "overview";
}

std::optional<SidebarItem> sidebarItemFromRaw(const std::string& raw) {
    for (SidebarItem item : kAllSidebarItems) {
        if (raw == rawValue(item)) return item;
    }
    return std::nullopt;
}

QString title(Area area) {
    switch (area) {
        case Area::space:
            return QCoreApplication::translate("Area", "Space");
        case Area::files:
            return QCoreApplication::translate("Area", "Files");
        case Area::steam:
            return QCoreApplication::translate("Area", "Deep Clean");
    }
    return {};
}

QString title(SidebarItem item) {
    switch (item) {
        case SidebarItem::overview:
            return QCoreApplication::translate("SidebarItem", "Space");
        case SidebarItem::largest:
            return QCoreApplication::translate("SidebarItem", "Biggest");
        case SidebarItem::old:
            return QCoreApplication::translate("SidebarItem", "Forgotten");
        case SidebarItem::duplicates:
            return QCoreApplication::translate("SidebarItem", "Twins");
        case SidebarItem::cleanup:
            return QCoreApplication::translate("SidebarItem", "Deep Clean");
    }
    return {};
}

QString caption(SidebarItem item) {
    switch (item) {
        case SidebarItem::overview:
            return QCoreApplication::translate("SidebarItem", "Where the weight lives");
        case SidebarItem::largest:
            return QCoreApplication::translate("SidebarItem", "The heaviest files, ranked");
        case SidebarItem::old:
            return QCoreApplication::translate("SidebarItem", "Big files nobody opens");
        case SidebarItem::duplicates:
            return QCoreApplication::translate("SidebarItem", "Identical copies");
        case SidebarItem::cleanup:
            return QCoreApplication::translate(
                "SidebarItem", "Caches, leftovers and build junk that are safe to nimbrelise");
    }
    return {};
}

Area area(SidebarItem item) {
    switch (item) {
        case SidebarItem::overview:
            return Area::space;
        case SidebarItem::largest:
        case SidebarItem::old:
        case SidebarItem::duplicates:
            return Area::files;
        case SidebarItem::cleanup:
            return Area::steam;
    }
    return Area::space;
}

std::vector<SidebarItem> items(Area of) {
    std::vector<SidebarItem> result;
    for (SidebarItem item : kAllSidebarItems) {
        if (area(item) == of) result.push_back(item);
    }
    return result;
}

}  // namespace nimbrel
