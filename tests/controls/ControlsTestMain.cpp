// The main of the custom-control tests: a display and the program's own pictures.
#include <gtest/gtest.h>

#include "platform/testing/UiDriver.h"
#include "res/ProgramResources.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (done while building) needs no display.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    platform::testing::InitToolkitForTests(&argc, &argv);
    RegisterProgramResources();
    return RUN_ALL_TESTS();
}
