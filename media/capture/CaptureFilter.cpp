#include "media/capture/CaptureFilter.h"

#include <algorithm>

#include "media/graph/FilterGraph.h"
#include "media/pulse/PulseClient.h"

namespace media {
namespace {

// An input pin: one recording source of the device, with its mixer line.
class SourcePin final : public Pin, public IAMAudioInputMixer {
public:
    SourcePin(CaptureFilter* filter, size_t index, const std::string& name)
        : Pin(filter, name, PINDIR_INPUT, MEDIATYPE_Audio), m_capture(filter), m_index(index) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override { return Pin::QueryInterface(riid, ppv); }
    ULONG AddRef() override { return Pin::AddRef(); }
    ULONG Release() override { return Pin::Release(); }

    HRESULT put_Enable(BOOL enable) override { return m_capture->EnableSource(m_index, enable != FALSE); }
    HRESULT get_Enable(BOOL* enabled) override {
        if (!enabled) return E_POINTER;
        *enabled = m_capture->IsEnabled(m_index);
        return S_OK;
    }
    HRESULT put_MixLevel(double level) override { return m_capture->SetLevel(m_index, level); }
    HRESULT get_MixLevel(double* level) override { return m_capture->GetLevel(m_index, level); }

protected:
    HRESULT QueryExtra(REFIID riid, void** ppv) override {
        if (riid == IID_IAMAudioInputMixer) return HandOut(static_cast<IAMAudioInputMixer*>(this), ppv);
        return E_NOINTERFACE;
    }

private:
    CaptureFilter* m_capture;
    size_t m_index;
};

std::string CapsFor(const CaptureSource& source) {
    std::string format = source.format.empty() ? "S16LE" : source.format;
    uint32_t rate = source.rate ? source.rate : 44100;
    uint32_t channels = source.channels ? source.channels : 2;
    return "audio/x-raw,format=" + format + ",layout=interleaved,rate=" + std::to_string(rate) + ",channels=" +
           std::to_string(channels);
}

}  // namespace

CaptureFilter::CaptureFilter(const CaptureDevice& device) : m_device(device) {
    for (size_t i = 0; i < m_device.sources.size(); ++i)
        AddPin(std::make_unique<SourcePin>(this, i, m_device.sources[i].description));
    AddPin(std::make_unique<Pin>(this, "Capture", PINDIR_OUTPUT, MEDIATYPE_Audio));
    m_client = std::make_unique<PulseClient>();
}

CaptureFilter::~CaptureFilter() {
    if (m_watching) m_client->StopWatch();
}

HRESULT CaptureFilter::Create(const CaptureDevice& device, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    auto* filter = new CaptureFilter(device);
    HRESULT hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
}

void CaptureFilter::JoinGraph(FilterGraph* graph, const std::string& name) {
    // The watch must be over before the graph pointer changes: it is what the watch uses.
    if (m_watching) {
        m_client->StopWatch();
        m_watching = false;
    }
    Filter::JoinGraph(graph, name);
    if (!graph) return;
    std::string key = m_device.key;
    m_watching = m_client->StartWatch([graph, key](const std::string& deviceKey, bool present) {
        if (deviceKey == key) graph->PostEvent(EC_DEVICE_LOST, 0, present ? 1 : 0);
    });
}

HRESULT CaptureFilter::EnableSource(size_t index, bool enable) {
    if (index >= m_device.sources.size()) return E_INVALIDARG;
    // One source records at a time; enabling another does not touch the sound server's
    // own muting of the rest.
    if (enable)
        m_enabled = static_cast<int>(index);
    else if (m_enabled == static_cast<int>(index))
        m_enabled = -1;
    return S_OK;
}

HRESULT CaptureFilter::SetLevel(size_t index, double level) {
    if (index >= m_device.sources.size()) return E_INVALIDARG;
    if (level < 0.0 || level > 1.0) return E_INVALIDARG;
    return m_client->SetSourceVolume(m_device.sources[index].name, level) ? S_OK : E_FAIL;
}

HRESULT CaptureFilter::GetLevel(size_t index, double* level) {
    if (!level) return E_POINTER;
    if (index >= m_device.sources.size()) return E_INVALIDARG;
    return m_client->GetSourceVolume(m_device.sources[index].name, level) ? S_OK : E_FAIL;
}

GstElement* CaptureFilter::CreateElement(std::string* error) {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* source;
    CaptureSource format;
    if (m_enabled >= 0) {
        format = m_device.sources[static_cast<size_t>(m_enabled)];
        source = gst_element_factory_make("pulsesrc", nullptr);
        if (source) g_object_set(source, "device", format.name.c_str(), "client-name", "SONOVERT", nullptr);
    } else {
        // Nothing enabled: silence, in the format the device records by default.
        if (!m_device.sources.empty()) format = m_device.sources.front();
        source = gst_element_factory_make("audiotestsrc", nullptr);
        if (source) g_object_set(source, "is-live", TRUE, "wave", 4 /* silence */, nullptr);
    }
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    if (!source || !filter) {
        if (error) *error = "the sound server's source element (pulsesrc) is missing";
        for (GstElement* e : {source, filter})
            if (e) gst_object_unref(gst_object_ref_sink(e));
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    CapsPtr caps(gst_caps_from_string(CapsFor(format).c_str()));
    g_object_set(filter, "caps", caps.get(), nullptr);
    gst_bin_add_many(GST_BIN(bin), source, filter, nullptr);
    gst_element_link(source, filter);
    PadPtr pad(gst_element_get_static_pad(filter, "src"));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", pad.get()));
    return bin;
}

}  // namespace media
