#include <gtest/gtest.h>

#include <QApplication>

// Widget and model tests need a running application object; ctest sets the offscreen platform.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("NimbrelTests");
    QApplication::setApplicationName("NimbrelTests");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
