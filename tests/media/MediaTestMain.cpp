// The main of the media tests that need the program's loop and windows: graph events
// arrive as messages posted to a window.
#include <gtest/gtest.h>

#include "media/DShow.h"
#include "platform/testing/UiDriver.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (done while building) needs no display.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    platform::testing::InitToolkitForTests(&argc, &argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    media::RegisterMediaClasses();
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
