#pragma once
// Building blocks of graph tests: a scratch folder, the capture devices by friendly name,
// pins and their mixers, and a capture graph made the way the program makes one.

#include <string>
#include <vector>

#include "media/DShow.h"
#include "platform/ComPtr.h"

namespace testsupport {

// A folder of its own for one test's files, removed afterwards.
struct Scratch {
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string dir;
};

std::u16string Wide(const std::string& s);
std::string FriendlyName(IMoniker* moniker);
std::vector<std::string> DeviceNames();
// The capture filter of the first device with this friendly name.
ComPtr<IBaseFilter> BindDevice(const std::string& friendlyName);
ComPtr<IPin> NthPin(IBaseFilter* filter, PIN_DIRECTION direction, int n);
std::string PinName(IPin* pin);
ComPtr<IAMAudioInputMixer> Mixer(IPin* pin);
ComPtr<IGraphBuilder> NewGraph();

template <class T>
ComPtr<T> Query(IUnknown* from, REFIID iid) {
    ComPtr<T> out;
    from->QueryInterface(iid, reinterpret_cast<void**>(out.GetAddressOf()));
    return out;
}

// A capture graph as the program builds it: the device, the WAV writer and the file
// writer, the first input line enabled unless `enableLine` is -1.
struct CaptureGraph {
    CaptureGraph(const std::string& deviceName, const std::string& output, int enableLine = 0);
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> device;
    ComPtr<IMediaControl> control;
    HRESULT built = E_FAIL;
};

}  // namespace testsupport
