// The main of the test programs that run the real program's windows.
#include <gtest/gtest.h>

#include "app/ConverterApp.h"
#include "platform/testing/UiDriver.h"
#include "media/DShow.h"
#include "res/ProgramResources.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (done while building) needs no display.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    platform::testing::InitToolkitForTests(&argc, &argv);
    // The application object lives in a library; naming it keeps it in the test program.
    if (AfxGetApp() != &theApp) return 1;
    RegisterProgramResources();
    media::RegisterMediaClasses();
    return RUN_ALL_TESTS();
}
