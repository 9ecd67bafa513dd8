#pragma once
// The base of this layer's filters: a name in a graph, pins, and the GStreamer element
// that does the filter's work once the graph runs. GUI thread only, unless a method says
// otherwise.

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

#include "media/ComBase.h"
#include "media/graph/Pin.h"

namespace media {

class FilterGraph;

class Filter : public ComBase, public IBaseFilter {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    SONOVERT_COM_REFCOUNT
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;

    const std::string& name() const { return m_name; }
    FilterGraph* graph() const { return m_graph; }
    const std::vector<std::unique_ptr<Pin>>& pins() const { return m_pins; }

    // The graph calls these when the filter joins or leaves it. The graph does not hold
    // a reference of the filter's; the filter does not hold one of the graph's.
    virtual void JoinGraph(FilterGraph* graph, const std::string& name);

    // A new element (or bin) doing this filter's work, with a "sink" pad for its input
    // and a "src" pad for its output; null with a reason when it cannot be made.
    // The caller owns the floating reference.
    virtual GstElement* CreateElement(std::string* error) = 0;

    // This layer's filter behind an interface pointer, or null for a foreign one.
    static Filter* FromInterface(IBaseFilter* filter);

protected:
    Filter() = default;
    Pin* AddPin(std::unique_ptr<Pin> pin);
    virtual HRESULT QueryExtra(REFIID, void**) { return E_NOINTERFACE; }

private:
    std::string m_name;
    FilterGraph* m_graph = nullptr;
    std::vector<std::unique_ptr<Pin>> m_pins;
};

}  // namespace media
