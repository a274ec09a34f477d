// Test main of the desktop tests: a QApplication (widgets for the target windows, Qt Quick for our own) around
// GoogleTest. Qt Quick draws as in the program.
#include "platform/linux/desktop/quickrenderer.h"

#include <QApplication>

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char **argv)
{
    // The build lists the tests without a display; listing runs none of them.
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    }
    std::unique_ptr<QApplication> app;
    chooseQuickRenderer();
    if (!listing) {
        app = std::make_unique<QApplication>(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
