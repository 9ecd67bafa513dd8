#include "media/graph/Pin.h"

#include "media/ComBase.h"
#include "media/graph/Filter.h"

namespace media {

Pin::Pin(Filter* filter, std::string name, PIN_DIRECTION direction, const GUID& majorType)
    : m_filter(filter), m_name(std::move(name)), m_direction(direction), m_majorType(majorType) {}

HRESULT Pin::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IPin) return HandOut(static_cast<IPin*>(this), ppv);
    return QueryExtra(riid, ppv);
}

ULONG Pin::AddRef() { return m_filter->AddRef(); }
ULONG Pin::Release() { return m_filter->Release(); }

HRESULT Pin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = m_direction;
    return S_OK;
}

HRESULT Pin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = m_filter;
    m_filter->AddRef();
    info->dir = m_direction;
    CopyName(m_name, info->achName, sizeof(info->achName) / sizeof(info->achName[0]));
    return S_OK;
}

HRESULT Pin::ConnectedTo(IPin** other) {
    if (!other) return E_POINTER;
    *other = nullptr;
    if (!m_peer) return VFW_E_NOT_CONNECTED;
    *other = m_peer;
    m_peer->AddRef();
    return S_OK;
}

HRESULT Pin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (!m_peer) return VFW_E_NOT_CONNECTED;
    type->majortype = m_majorType;
    type->subtype = GUID{};
    return S_OK;
}

void Pin::Connect(Pin* output, Pin* input) {
    output->m_peer = input;
    input->m_peer = output;
}

void Pin::Disconnect() {
    if (m_peer) m_peer->m_peer = nullptr;
    m_peer = nullptr;
}

Pin* Pin::FromInterface(IPin* pin) { return dynamic_cast<Pin*>(pin); }

}  // namespace media
