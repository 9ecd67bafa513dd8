#include "tests/support/GraphBuilders.h"

#include <stdlib.h>

#include <filesystem>

namespace testsupport {

Scratch::Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sonovert-media.XXXXXX").string();
    dir = mkdtemp(pattern.data());
}

Scratch::~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::u16string Wide(const std::string& s) { return Utf8ToUtf16(s); }

std::string FriendlyName(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(bag.GetAddressOf()))))
        return "";
    VARIANT v;
    VariantInit(&v);
    std::string name;
    if (SUCCEEDED(bag->Read(u"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR) name = Utf16ToUtf8(v.bstrVal);
    VariantClear(&v);
    return name;
}

namespace {

ComPtr<IEnumMoniker> Devices() {
    ComPtr<IEnumMoniker> list;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(devices.GetAddressOf()))))
        return list;
    devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, list.GetAddressOf(), 0);
    return list;
}

}  // namespace

std::vector<std::string> DeviceNames() {
    std::vector<std::string> names;
    ComPtr<IEnumMoniker> list = Devices();
    ComPtr<IMoniker> moniker;
    while (list && list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) names.push_back(FriendlyName(moniker.Get()));
    return names;
}

ComPtr<IBaseFilter> BindDevice(const std::string& friendlyName) {
    ComPtr<IBaseFilter> filter;
    ComPtr<IEnumMoniker> list = Devices();
    ComPtr<IMoniker> moniker;
    while (list && list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        if (FriendlyName(moniker.Get()) != friendlyName) continue;
        moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf()));
        break;
    }
    return filter;
}

ComPtr<IPin> NthPin(IBaseFilter* filter, PIN_DIRECTION direction, int n) {
    ComPtr<IEnumPins> pins;
    filter->EnumPins(pins.GetAddressOf());
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        pin->QueryDirection(&d);
        if (d == direction && n-- == 0) return pin;
    }
    return ComPtr<IPin>();
}

std::string PinName(IPin* pin) {
    PIN_INFO info;
    pin->QueryPinInfo(&info);
    info.pFilter->Release();
    return Utf16ToUtf8(info.achName);
}

ComPtr<IAMAudioInputMixer> Mixer(IPin* pin) {
    ComPtr<IAMAudioInputMixer> mixer;
    pin->QueryInterface(IID_IAMAudioInputMixer, reinterpret_cast<void**>(mixer.GetAddressOf()));
    return mixer;
}

ComPtr<IGraphBuilder> NewGraph() {
    ComPtr<IGraphBuilder> graph;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(graph.GetAddressOf()));
    return graph;
}

CaptureGraph::CaptureGraph(const std::string& deviceName, const std::string& output, int enableLine) {
    graph = NewGraph();
    device = BindDevice(deviceName);
    if (!graph || !device) return;
    control = Query<IMediaControl>(graph.Get(), IID_IMediaControl);
    graph->AddFilter(device.Get(), u"Audio Capture");
    if (enableLine >= 0) Mixer(NthPin(device.Get(), PINDIR_INPUT, enableLine).Get())->put_Enable(TRUE);
    ComPtr<IBaseFilter> wavDest;
    CoCreateInstance(CLSID_WavDest, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(wavDest.GetAddressOf()));
    ComPtr<IFileSinkFilter2> sink;
    CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSinkFilter2, reinterpret_cast<void**>(sink.GetAddressOf()));
    ComPtr<IBaseFilter> writer = Query<IBaseFilter>(sink.Get(), IID_IBaseFilter);
    graph->AddFilter(wavDest.Get(), u"WAV Dest");
    graph->AddFilter(writer.Get(), u"File Writer");
    sink->SetMode(AM_FILE_OVERWRITE);
    if (FAILED(sink->SetFileName(Wide(output).c_str(), nullptr))) return;
    built = graph->Render(NthPin(device.Get(), PINDIR_OUTPUT, 0).Get());
}

}  // namespace testsupport
