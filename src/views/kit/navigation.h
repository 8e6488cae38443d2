#pragma once

#include <QString>
#include <optional>
#include <string>

#include "model/app_state.h"

namespace nimbrel {

// Area choice shared by the Go menu, Ctrl+1..3 and the top bar's area switcher.
namespace Navigation {

// The area of the selected section; no section counts as Space.
Area currentArea(const AppState& state);
// Back to the section last visited in the area, else the area's first section.
void selectArea(AppState& state, Area area);
// The symbol of the area's pill.
const char* symbol(Area area);
// The user's home folder as the state knows it.
std::string home(const AppState& state);
// 1-based position of the area in the switcher and the Go menu (Ctrl+1..3).
int position(Area area);

}  // namespace Navigation

}  // namespace nimbrel
