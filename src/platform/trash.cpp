// GIO stays in this file: its headers clash with Qt's `signals` keyword.
#include "platform/trash.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cerrno>

namespace nimbrel {

namespace {

// GIO's codes as the POSIX codes the classification reads. GIO merges EPERM into
// PERMISSION_DENIED, so a refused Trash move always reads as "not yours to remove".
RemovalError fromGError(const GError* error, const std::string& path) {
    std::string message = error->message ? error->message : "";
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
            case G_IO_ERROR_NOT_FOUND: {
                // GIO also says "not found" when the Trash itself cannot be made (a dangling data
                // folder); only an item that really is gone counts as already removed.
                struct stat st {};
                if (lstat(path.c_str(), &st) != 0) return RemovalError::notFound(message);
                break;
            }
            case G_IO_ERROR_PERMISSION_DENIED:
                return RemovalError::posix(EACCES, message);
            case G_IO_ERROR_BUSY:
                return RemovalError::posix(EBUSY, message);
            default:
                break;
        }
    }
    RemovalError other;
    other.code = error->code;
    other.description = message;
    return other;
}

}  // namespace

std::optional<RemovalError> Trash::moveToTrash(const std::string& path) {
    // The path's bytes go to GIO as they are: no URL or text conversion on the way.
    GFile* file = g_file_new_for_path(path.c_str());
    GError* error = nullptr;
    gboolean moved = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (moved) return std::nullopt;
    RemovalError result = error ? fromGError(error, path) : RemovalError{};
    if (error) g_error_free(error);
    return result;
}

}  // namespace nimbrel
