// Test main of the X11 tests: a QApplication on the test session's display around GoogleTest. Listing the tests
// (at build time, without a display) needs no application.
#include <QApplication>

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char **argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    }
    std::unique_ptr<QApplication> app;
    if (!listing) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = std::make_unique<QApplication>(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
