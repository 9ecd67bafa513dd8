#include "media/capture/DeviceEnumerator.h"

#include <vector>

#include "media/capture/CaptureFilter.h"
#include "media/pulse/PulseClient.h"

namespace media {
namespace {

class PropertyBag final : public ComBase, public IPropertyBag {
public:
    explicit PropertyBag(std::string friendlyName) : m_friendlyName(std::move(friendlyName)) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IPropertyBag) return HandOut(static_cast<IPropertyBag*>(this), ppv);
        return E_NOINTERFACE;
    }
    SONOVERT_COM_REFCOUNT
    HRESULT Read(LPCOLESTR name, VARIANT* value, void*) override {
        if (!name || !value) return E_POINTER;
        if (Utf16ToUtf8(name) != "FriendlyName") return E_INVALIDARG;
        std::u16string wide = Utf8ToUtf16(m_friendlyName);
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(wide.c_str());
        return value->bstrVal ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::string m_friendlyName;
};

class DeviceMoniker final : public ComBase, public IMoniker {
public:
    explicit DeviceMoniker(CaptureDevice device) : m_device(std::move(device)) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IMoniker) return HandOut(static_cast<IMoniker*>(this), ppv);
        return E_NOINTERFACE;
    }
    SONOVERT_COM_REFCOUNT

    HRESULT BindToStorage(void*, IMoniker*, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IPropertyBag) return E_NOINTERFACE;
        *object = static_cast<IPropertyBag*>(new PropertyBag(m_device.friendlyName));
        return S_OK;
    }

    HRESULT BindToObject(void*, IMoniker*, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        // The device as it is now: it may have gone, or its sources changed, since listing.
        PulseClient client;
        for (const CaptureDevice& now : client.ListCaptureDevices())
            if (now.key == m_device.key) return CaptureFilter::Create(now, riid, object);
        return VFW_E_NOT_FOUND;
    }

private:
    CaptureDevice m_device;
};

class MonikerEnumerator final : public ComBase, public IEnumMoniker {
public:
    explicit MonikerEnumerator(std::vector<CaptureDevice> devices) : m_devices(std::move(devices)) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IEnumMoniker) return HandOut(static_cast<IEnumMoniker*>(this), ppv);
        return E_NOINTERFACE;
    }
    SONOVERT_COM_REFCOUNT
    HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
        if (!monikers) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_next < m_devices.size()) monikers[n++] = new DeviceMoniker(m_devices[m_next++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        m_next += count;
        return m_next <= m_devices.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        m_next = 0;
        return S_OK;
    }

private:
    std::vector<CaptureDevice> m_devices;
    size_t m_next = 0;
};

}  // namespace

HRESULT DeviceEnumerator::Create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    auto* e = new DeviceEnumerator;
    HRESULT hr = e->QueryInterface(riid, ppv);
    e->Release();
    return hr;
}

HRESULT DeviceEnumerator::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_ICreateDevEnum) return HandOut(static_cast<ICreateDevEnum*>(this), ppv);
    return E_NOINTERFACE;
}

HRESULT DeviceEnumerator::CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers, DWORD) {
    if (!monikers) return E_POINTER;
    *monikers = nullptr;
    if (category != CLSID_AudioInputDeviceCategory) return S_FALSE;
    // No sound server, or one with nothing to record: the category is empty.
    PulseClient client;
    std::vector<CaptureDevice> devices = client.ListCaptureDevices();
    if (devices.empty()) return S_FALSE;
    *monikers = new MonikerEnumerator(std::move(devices));
    return S_OK;
}

}  // namespace media
