// SPDX-License-Identifier: MIT
// GoogleTest main for the tests of windows and widgets: they need one QApplication. They run
// offscreen unless QT_QPA_PLATFORM names a platform (xcb under xvfb-run, to watch them).
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
