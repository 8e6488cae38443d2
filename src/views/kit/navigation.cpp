#include "views/kit/navigation.h"

#include "engine/host_layout.h"

namespace nimbrel {

Area Navigation::currentArea(const AppState& state) {
    const std::optional<SidebarItem> section = state.section();
    return section ? nimbrel::area(*section) : Area::space;
}

void Navigation::selectArea(AppState& state, Area area) {
    state.setSection(state.lastInArea(area).value_or(nimbrel::items(area).front()));
}

std::string Navigation::home(const AppState& state) {
    if (state.services().home) return state.services().home();
    return HostLayout::current().home;
}

const char* Navigation::symbol(Area area) {
    switch (area) {
        case Area::space:
            return "circle.dotted.circle";
        case Area::files:
            return "doc.on.doc";
        case Area::steam:
            return "sparkles";
    }
    return "";
}

int Navigation::position(Area area) {
    switch (area) {
        case Area::space:
            return 1;
        case Area::files:
            return 2;
        case Area::steam:
            return 3;
    }
    return 1;
}

}  // namespace nimbrel
