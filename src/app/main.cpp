#include <QApplication>
#include <QCoreApplication>

#include "app/nimbrel_app.h"
#include "engine/localized.h"
#include "theme/chrome.h"
#include "theme/fonts.h"

namespace {

// The engine's English texts go through the same translations as the views'.
std::string translate(const char* english) {
    return QCoreApplication::translate("nimbrel", english).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Nimbrel"));
    QApplication::setApplicationName(QStringLiteral("Nimbrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Nimbrel"));
    nimbrel::setTranslator(&translate);
    nimbrel::Fonts::install();
    nimbrel::Chrome::install();

    nimbrel::NimbrelApp nimbrelApp;
    nimbrelApp.start();
    return QApplication::exec();
}
