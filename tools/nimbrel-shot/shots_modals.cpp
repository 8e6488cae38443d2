#include "shots_modals.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>
#include <cstdio>

#include "model/app_state.h"
#include "shot_capture.h"
#include "theme/appearance.h"
#include "views/shell/menu_bar_view.h"
#include "views/shell/settings_view.h"

namespace nimbrel {

namespace {

ConfirmRequest emptyTrashRequest() {
    ConfirmRequest r;
    r.title = QStringLiteral("Empty the Trash?");
    r.message = QStringLiteral(
        "Everything in the Trash (4.2 GB) is removed for good. This can't be undone, and files other apps "
        "put there go too.");
    r.actionTitle = QStringLiteral("Empty Trash");
    r.destructive = true;
    return r;
}

}  // namespace

int shootModals(const QString& outDir, AppState& state, QWidget& window) {
    int failures = 0;
    const auto save = [&](QWidget& w, const char* name) {
        if (!saveShot(w, outDir, QString::fromLatin1(name))) ++failures;
    };

    state.setConfirm(emptyTrashRequest());
    save(window, "modal-confirm");

    state.setToast(
        Toast(QStringLiteral("Copied ~/Projects/atlas/node_modules"), QStringLiteral("doc.on.doc.fill")));
    save(window, "modal-toast-over-confirm");
    state.setConfirm(std::nullopt);
    state.setToast(std::nullopt);

    state.setErrorMessage(
        QStringLiteral("Couldn't empty the Trash: Operation not permitted "
                       "(/home/me/.local/share/Trash/files/<b>build</b>)."));
    save(window, "modal-notice");
    state.setErrorMessage(std::nullopt);

    state.setIsDeleting(true);
    state.setToast(Toast(QStringLiteral("Freed 1.2 GB"), QStringLiteral("sparkles")));
    save(window, "toast-removal");
    state.setIsDeleting(false);
    state.setToast(std::nullopt);
    settleForShot();

    {
        state.setUnreadable({3, {QDir::homePath().toStdString() + "/locked", "/lost+found"}});
        SettingsView unreadable(state);
        unreadable.show();
        save(unreadable, "settings-unreadable");
        state.setUnreadable({});
    }
    SettingsView::Services services = SettingsView::Services::standard();
    services.showsFullDiskAccess = true;  // shows the row as macOS has it
    SettingsView settings(state, services);
    settings.show();
    save(settings, "settings");
    QScrollBar* bar = settings.scrollArea()->verticalScrollBar();
    bar->setValue(bar->maximum());
    save(settings, "settings-end");
    // What the window really shows after wheel scrolls: the window's own pixels, not a fresh paint.
    bar->setValue(0);
    settleForShot();
    for (int step = 0; step < 6; ++step) {
        QWheelEvent wheel(QPointF(200, 300), settings.mapToGlobal(QPointF(200, 300)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(settings.scrollArea()->viewport(), &wheel);
        settleForShot();
    }
    if (!saveWindowPixels(settings, outDir, QStringLiteral("settings-after-scroll"))) ++failures;

    MenuBarView panel(state, {});
    AppearanceOf::set(&panel, Appearance::dark);
    state.setSessionFreed(3'400'000'000);
    panel.adjustSize();
    panel.show();
    save(panel, "tray-panel");
    panel.hide();
    return failures;
}

}  // namespace nimbrel
