#pragma once
// A pin of one of this layer's filters. Pins live and die with their filter: their
// reference count is the filter's, as in the filter graphs the program was written for.
// GUI thread only.

#include <string>

#include "media/DShow.h"

namespace media {

class Filter;

class Pin : public IPin {
public:
    Pin(Filter* filter, std::string name, PIN_DIRECTION direction, const GUID& majorType);
    virtual ~Pin() = default;
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT ConnectedTo(IPin** other) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;

    Filter* filter() const { return m_filter; }
    const std::string& name() const { return m_name; }
    PIN_DIRECTION direction() const { return m_direction; }
    const GUID& majorType() const { return m_majorType; }
    Pin* peer() const { return m_peer; }
    // Joins two pins; the graph keeps both ends consistent.
    static void Connect(Pin* output, Pin* input);
    void Disconnect();

    // This layer's pin behind an interface pointer, or null for a foreign one.
    static Pin* FromInterface(IPin* pin);

protected:
    // Further interfaces a kind of pin answers (the capture device's mixer).
    virtual HRESULT QueryExtra(REFIID, void**) { return E_NOINTERFACE; }

private:
    Filter* m_filter;
    std::string m_name;
    PIN_DIRECTION m_direction;
    GUID m_majorType;
    Pin* m_peer = nullptr;
};

}  // namespace media
