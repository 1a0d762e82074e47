// The main of every test program whose tests need a QApplication. The
// platform (offscreen) and the audio driver (dummy) come from the test
// presets, like the rest of the test environment.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // CTest lists the cases right after the build, outside the test
    // environment; listing needs no window system.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
