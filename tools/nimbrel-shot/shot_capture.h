#pragma once

#include <QString>

class QWidget;

namespace nimbrel {

// Lets layout, animations' first frames and deferred deletions run before a picture is taken.
void settleForShot();

// Settles, then writes `widget` (with `popup` drawn over it where it shows, if given and visible) to
// `outDir`/`name`.png and prints the path; on failure says so on stderr and returns false.
bool saveShot(QWidget& widget, const QString& outDir, const QString& name, QWidget* popup = nullptr);

// Settles, then writes the pixels the window itself holds (what a scroll left on screen, not a fresh
// paint) to `outDir`/`name`.png.
bool saveWindowPixels(QWidget& window, const QString& outDir, const QString& name);

}  // namespace nimbrel
