// Test main of the ui tier: Qt Quick rendered offscreen (software), so pictures are the same on every machine.
#include <QGuiApplication>

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    }
    std::unique_ptr<QGuiApplication> app;
    if (!listing) {
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
