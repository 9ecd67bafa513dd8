#pragma once
// A scripted stand-in for a capture device with several input lines. The test sound server
// can only make devices with one recording source (a null sink's monitor), so the tests of
// line lists and of the one-enabled-line rule use this fake behind the same interfaces.
// It records what the program asks of each line's mixer.

#include <string>
#include <vector>

#include "media/DShow.h"

namespace harness {

struct FakeLine {
    std::string name;
    bool enabled = false;
    double level = 0.0;
    bool hasMixer = true;
    int enableCalls = 0;
};

// One reference for the caller; the lines live in the device.
class FakeLineDevice;
FakeLineDevice* MakeFakeLineDevice(const std::vector<std::string>& lineNames);
IBaseFilter* AsFilter(FakeLineDevice* device);
std::vector<FakeLine>& LinesOf(FakeLineDevice* device);

}  // namespace harness
