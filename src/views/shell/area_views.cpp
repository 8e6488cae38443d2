#include "views/shell/area_views.h"

#include "views/deepclean/steam_view.h"
#include "views/files/files_view.h"
#include "views/shell/requires_scan.h"
#include "views/space/space_view.h"

namespace nimbrel {

AreaPlaceholder::AreaPlaceholder(SidebarItem section, QWidget* parent) : QWidget(parent), section_(section) {
    setObjectName(QString::fromLatin1(rawValue(section)));
}

QWidget* makeAreaView(AppState& state, SidebarItem section, QWidget* parent) {
    switch (section) {
        case SidebarItem::overview:
            return new SpaceView(state, parent);
        case SidebarItem::largest:
        case SidebarItem::old:
        case SidebarItem::duplicates:
            return new RequiresScan(state, section, new FilesView(state), parent);
        case SidebarItem::cleanup:
            return new SteamView(state, parent);
    }
    return new AreaPlaceholder(section, parent);
}

}  // namespace nimbrel
