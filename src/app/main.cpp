#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/nimbrel_app.h"
#include "engine/localized.h"
#include "model/background.h"
#include "model/prefs.h"
#include "theme/chrome.h"
#include "theme/fonts.h"

namespace {

// The engine's English texts go through the same translations as the views'.
std::string translate(const char* english) {
    return QCoreApplication::translate("nimbrel", english).toStdString();
}

// Without a display Qt aborts with a core dump; main() says instead what would work. A platform
// chosen by hand (QT_QPA_PLATFORM, -platform) is left to Qt.
bool canShowWindows(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return true;
    if (std::any_of(argv, argv + argc, [](const char* a) { return std::strcmp(a, "-platform") == 0; }))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    if (!canShowWindows(argc, argv)) {
        std::fputs(
            "nimbrel: no display (DISPLAY and WAYLAND_DISPLAY are unset): start it from a desktop "
            "session; in a checkout, scripts/try-as-user starts one on a virtual display\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Nimbrel"));
    QApplication::setApplicationName(QStringLiteral("Nimbrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Nimbrel"));
    // The desktop matches the windows to nimbrel.desktop (its name, icon and actions).
    QGuiApplication::setDesktopFileName(QStringLiteral("nimbrel"));
    QApplication::setWindowIcon(nimbrel::NimbrelApp::windowIcon());
    nimbrel::setTranslator(&translate);
    nimbrel::Fonts::install();
    nimbrel::Chrome::install();

    if (nimbrel::NimbrelApp::anotherIsFinishing()) {
        std::fputs(
            "nimbrel: another Nimbrel is finishing a removal before it quits; start it again once it "
            "has ended\n",
            stderr);
        return 0;
    }
    nimbrel::NimbrelApp nimbrelApp;
    nimbrelApp.start();
    const int code = QApplication::exec();
    nimbrel::Prefs::flush();  // settings are saved in the background
    nimbrel::Background::endNowIfBusy(code);
    return code;
}
