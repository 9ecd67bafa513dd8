#include "media/graph/Filter.h"

#include <vector>

#include "media/graph/FilterGraph.h"

namespace media {
namespace {

// A snapshot of a filter's pins; holds a reference of the filter for its whole life.
class PinEnumerator final : public ComBase, public IEnumPins {
public:
    PinEnumerator(Filter* filter, std::vector<Pin*> pins) : m_filter(filter), m_pins(std::move(pins)) { m_filter->AddRef(); }
    ~PinEnumerator() override { m_filter->Release(); }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IEnumPins) return HandOut(static_cast<IEnumPins*>(this), ppv);
        return E_NOINTERFACE;
    }
    SONOVERT_COM_REFCOUNT

    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override {
        if (!pins) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_next < m_pins.size()) {
            pins[n] = m_pins[m_next++];
            pins[n]->AddRef();
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        m_next += count;
        return m_next <= m_pins.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        m_next = 0;
        return S_OK;
    }

private:
    Filter* m_filter;
    std::vector<Pin*> m_pins;
    size_t m_next = 0;
};

}  // namespace

void CopyName(const std::string& name, WCHAR* out, size_t capacity) {
    std::u16string wide = Utf8ToUtf16(name);
    size_t n = std::min(wide.size(), capacity - 1);
    for (size_t i = 0; i < n; ++i) out[i] = wide[i];
    out[n] = 0;
}

HRESULT Filter::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IBaseFilter) return HandOut(static_cast<IBaseFilter*>(this), ppv);
    return QueryExtra(riid, ppv);
}

HRESULT Filter::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    std::vector<Pin*> snapshot;
    for (const auto& pin : m_pins) snapshot.push_back(pin.get());
    *pins = new PinEnumerator(this, std::move(snapshot));
    return S_OK;
}

HRESULT Filter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    CopyName(m_name, info->achName, sizeof(info->achName) / sizeof(info->achName[0]));
    info->pGraph = m_graph ? static_cast<IFilterGraph*>(m_graph->AsGraphBuilder()) : nullptr;
    if (info->pGraph) info->pGraph->AddRef();
    return S_OK;
}

HRESULT Filter::FindPin(LPCWSTR id, IPin** pin) {
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    std::string wanted = Utf16ToUtf8(id);
    for (const auto& p : m_pins) {
        if (p->name() == wanted) {
            *pin = p.get();
            p->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

void Filter::JoinGraph(FilterGraph* graph, const std::string& name) {
    m_graph = graph;
    m_name = graph ? name : std::string();
}

Filter* Filter::FromInterface(IBaseFilter* filter) { return dynamic_cast<Filter*>(filter); }

Pin* Filter::AddPin(std::unique_ptr<Pin> pin) {
    m_pins.push_back(std::move(pin));
    return m_pins.back().get();
}

}  // namespace media
