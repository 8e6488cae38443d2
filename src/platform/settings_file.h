#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>
#include <utility>
#include <vector>

namespace nimbrel {

// The settings file (QSettings' INI form), read and saved without ever writing through a link.
// QSettings itself writes where a linked file leads: run as root with a user's HOME, a settings
// file the user planted as a link to a system file would overwrite that file. Here the folders on
// the way are opened one by one, a link followed only when it belongs to the user running the
// program or to root; the file is read through a link only on the same terms, and saved as a new
// file beside it that is renamed over it (a link is replaced, its target left alone).
namespace SettingsFile {

// The keys the file holds; empty when it is missing or not to be read (a link or a folder on the
// way that belongs to someone else).
QVariantMap read(const QString& path);

// One change: a key and its new value, or no value to remove it.
using Change = std::pair<QString, std::optional<QVariant>>;

// Applies `changes` to what the file holds now and saves the result beside it, then renames it
// over the file. False when nothing could be saved (a folder on the way is another user's link,
// or it cannot be written). Missing folders are made (mode 0700).
bool update(const QString& path, const std::vector<Change>& changes);

}  // namespace SettingsFile

}  // namespace nimbrel
