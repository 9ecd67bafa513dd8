// The main of the platform tests that need a display.
#include <gtest/gtest.h>

#include "platform/testing/UiDriver.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (done while building) needs no display.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    platform::testing::InitToolkitForTests(&argc, &argv);
    return RUN_ALL_TESTS();
}
