#pragma once

#include <optional>

namespace nimbrel {

// GNOME's org.gnome.desktop.interface enable-animations, or nothing when the schema is not installed.
// Kept free of Qt: GLib's headers clash with Qt's `signals` macro.
std::optional<bool> gnomeAnimationsEnabled();

}  // namespace nimbrel
