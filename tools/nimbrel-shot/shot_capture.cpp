#include "shot_capture.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdio>

namespace nimbrel {

AppStateServices liveServices() {
    AppStateServices s = AppStateServices::standard();
    s.isDemo = [] { return false; };
    s.arguments = [] { return std::vector<std::string>{"nimbrel-shot"}; };
    return s;
}

namespace {

AppState& launched(AppState& state, bool launch) {
    if (launch) state.onLaunch();
    return state;
}

}  // namespace

ShotWindow::ShotWindow(AppStateServices services, QSize size, bool launch)
    : state(std::move(services)), commands(launched(state, launch), {}), window(state, commands) {
    if (!size.isEmpty()) window.resize(size);
    window.show();
}

void settleForShot() {
    for (int i = 0; i < 6; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool saveShot(QWidget& widget, const QString& outDir, const QString& name, QWidget* popup) {
    settleForShot();
    QPixmap picture = widget.grab();
    if (popup && popup->isVisible()) {
        QPainter p(&picture);
        p.drawPixmap(widget.mapFromGlobal(popup->pos()), popup->grab());
    }
    const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
    if (!picture.save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool saveWindowPixels(QWidget& window, const QString& outDir, const QString& name) {
    settleForShot();
    QScreen* screen = window.screen();
    const QPixmap picture = screen ? screen->grabWindow(window.winId()) : QPixmap();
    const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace nimbrel
