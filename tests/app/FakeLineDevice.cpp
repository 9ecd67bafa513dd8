#include "tests/app/FakeLineDevice.h"

#include <atomic>
#include <memory>

namespace harness {
namespace {

template <class I>
HRESULT Give(I* object, void** out) {
    *out = object;
    object->AddRef();
    return S_OK;
}

}  // namespace

class FakeLineDevice;

class FakeLinePin final : public IPin, public IAMAudioInputMixer {
public:
    FakeLinePin(FakeLineDevice* device, size_t index, PIN_DIRECTION direction) : m_device(device), m_index(index), m_direction(direction) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override {
        *direction = m_direction;
        return S_OK;
    }
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT ConnectedTo(IPin**) override { return VFW_E_NOT_CONNECTED; }
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
    HRESULT put_Enable(BOOL enable) override;
    HRESULT get_Enable(BOOL* enabled) override;
    HRESULT put_MixLevel(double level) override;
    HRESULT get_MixLevel(double* level) override;

private:
    FakeLineDevice* m_device;
    size_t m_index;
    PIN_DIRECTION m_direction;
};

class FakeLineDevice final : public IBaseFilter, public IEnumPins {
public:
    explicit FakeLineDevice(const std::vector<std::string>& names) {
        for (size_t i = 0; i < names.size(); ++i) {
            lines.push_back(FakeLine{names[i]});
            pins.push_back(std::make_unique<FakeLinePin>(this, i, PINDIR_INPUT));
        }
        pins.push_back(std::make_unique<FakeLinePin>(this, names.size(), PINDIR_OUTPUT));
    }
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IBaseFilter) return Give(static_cast<IBaseFilter*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        ULONG left = --refs;
        if (!left) delete this;
        return left;
    }
    // The device is its own pin enumerator: the program walks the pins once at a time.
    HRESULT EnumPins(IEnumPins** out) override {
        next = 0;
        *out = this;
        AddRef();
        return S_OK;
    }
    HRESULT QueryFilterInfo(FILTER_INFO* info) override {
        info->achName[0] = 0;
        info->pGraph = nullptr;
        return S_OK;
    }
    HRESULT FindPin(LPCWSTR, IPin**) override { return VFW_E_NOT_FOUND; }
    HRESULT Next(ULONG count, IPin** out, ULONG* fetched) override {
        ULONG n = 0;
        while (n < count && next < pins.size()) {
            out[n] = pins[next++].get();
            out[n]->AddRef();
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        next += count;
        return S_OK;
    }
    HRESULT Reset() override {
        next = 0;
        return S_OK;
    }

    std::vector<FakeLine> lines;
    std::vector<std::unique_ptr<FakeLinePin>> pins;
    std::atomic<ULONG> refs{1};
    size_t next = 0;
};

HRESULT FakeLinePin::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IPin) return Give(static_cast<IPin*>(this), ppv);
    if (riid == IID_IAMAudioInputMixer && m_direction == PINDIR_INPUT && m_device->lines[m_index].hasMixer)
        return Give(static_cast<IAMAudioInputMixer*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}
ULONG FakeLinePin::AddRef() { return m_device->AddRef(); }
ULONG FakeLinePin::Release() { return m_device->Release(); }
HRESULT FakeLinePin::QueryPinInfo(PIN_INFO* info) {
    std::string name = m_direction == PINDIR_INPUT ? m_device->lines[m_index].name : "Capture";
    std::u16string wide = Utf8ToUtf16(name);
    size_t n = std::min<size_t>(wide.size(), 127);
    for (size_t i = 0; i < n; ++i) info->achName[i] = wide[i];
    info->achName[n] = 0;
    info->dir = m_direction;
    info->pFilter = m_device;
    m_device->AddRef();
    return S_OK;
}
HRESULT FakeLinePin::put_Enable(BOOL enable) {
    m_device->lines[m_index].enabled = enable != FALSE;
    ++m_device->lines[m_index].enableCalls;
    return S_OK;
}
HRESULT FakeLinePin::get_Enable(BOOL* enabled) {
    *enabled = m_device->lines[m_index].enabled;
    return S_OK;
}
HRESULT FakeLinePin::put_MixLevel(double level) {
    m_device->lines[m_index].level = level;
    return S_OK;
}
HRESULT FakeLinePin::get_MixLevel(double* level) {
    *level = m_device->lines[m_index].level;
    return S_OK;
}

FakeLineDevice* MakeFakeLineDevice(const std::vector<std::string>& lineNames) { return new FakeLineDevice(lineNames); }
IBaseFilter* AsFilter(FakeLineDevice* device) { return device; }
std::vector<FakeLine>& LinesOf(FakeLineDevice* device) { return device->lines; }

}  // namespace harness
