#pragma once

#include <QSize>
#include <QString>

#include "model/app_state.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"

class QWidget;

namespace nimbrel {

// The services of a session on the real disk rather than the sample data.
AppStateServices liveServices();

// The main window as the program opens it: the state on `services` (launched first when `launch`:
// the sample data loads), the window resized to `size` (left at its own when empty) and shown.
struct ShotWindow {
    explicit ShotWindow(AppStateServices services = AppStateServices::standard(), QSize size = {},
                        bool launch = false);
    AppState state;
    NimbrelCommands commands;
    MainWindow window;
};

// Lets layout, animations' first frames and deferred deletions run before a picture is taken.
void settleForShot();

// Settles, then writes `widget` (with `popup` drawn over it where it shows, if given and visible) to
// `outDir`/`name`.png and prints the path; on failure says so on stderr and returns false.
bool saveShot(QWidget& widget, const QString& outDir, const QString& name, QWidget* popup = nullptr);

// Settles, then writes the pixels the window itself holds (what a scroll left on screen, not a fresh
// paint) to `outDir`/`name`.png.
bool saveWindowPixels(QWidget& window, const QString& outDir, const QString& name);

}  // namespace nimbrel
