#include "theme/reduce_motion_gnome.h"

#include <gio/gio.h>

namespace nimbrel {

std::optional<bool> gnomeAnimationsEnabled() {
    // g_settings_new aborts the process on a missing schema, so look the schema and key up first.
    static GSettings* settings = []() -> GSettings* {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        if (!source) return nullptr;
        GSettingsSchema* schema =
            g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE);
        if (!schema) return nullptr;
        const bool hasKey = g_settings_schema_has_key(schema, "enable-animations");
        g_settings_schema_unref(schema);
        return hasKey ? g_settings_new("org.gnome.desktop.interface") : nullptr;
    }();
    if (!settings) return std::nullopt;
    return g_settings_get_boolean(settings, "enable-animations") != FALSE;
}

}  // namespace nimbrel
