#include <gtest/gtest.h>

#include <QApplication>

#include "support/scratch_home.h"

// Widget and model tests need a running application object. They draw offscreen unless told
// otherwise, also when ctest lists them or someone runs the executable by hand on a desktop.
int main(int argc, char** argv) {
    nimbrel::test::useScratchHome();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName("NimbrelTests");
    QApplication::setApplicationName("NimbrelTests");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
