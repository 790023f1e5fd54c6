// main() of the GUI tests: one QApplication on Qt's offscreen platform (no display needed),
// then the GoogleTest run.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // A display the developer happens to have is not used: the tests behave the same on CI.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
