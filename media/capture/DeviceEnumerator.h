#pragma once
// The system device enumerator: the machine's audio capture devices as monikers, each
// with a "FriendlyName" and binding to the device's capture filter.
// GUI thread only.

#include "media/ComBase.h"

namespace media {

class DeviceEnumerator final : public ComBase, public ICreateDevEnum {
public:
    // One reference for the caller.
    static HRESULT Create(REFIID riid, void** ppv);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    SONOVERT_COM_REFCOUNT
    HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers, DWORD flags) override;

private:
    DeviceEnumerator() = default;
};

}  // namespace media
