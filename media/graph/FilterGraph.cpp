#include "media/graph/FilterGraph.h"

#include <gst/video/videooverlay.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <thread>

#include "media/graph/Filter.h"
#include "media/midi/MidiSong.h"
#include "platform/MessageLoop.h"
#include "platform/User.h"

namespace media {
namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;  // media time: 100-ns units
constexpr int kCaptureStartTimeoutMs = 5000;
constexpr int kPrerollTimeoutMs = 10000;
// How far past the moment of the stop the recording goes on, so that what the sound card
// played until then has come back through its monitor.
constexpr GstClockTime kMonitorTail = 80 * GST_MSECOND;
constexpr int kMonitorTailTimeoutMs = 2500;
constexpr int kEndOfStreamTimeoutMs = 1500;

// A snapshot of the graph's filters; holds a reference of each.
class FilterEnumerator final : public ComBase, public IEnumFilters {
public:
    explicit FilterEnumerator(std::vector<IBaseFilter*> filters) : m_filters(std::move(filters)) {
        for (IBaseFilter* f : m_filters) f->AddRef();
    }
    ~FilterEnumerator() override {
        for (IBaseFilter* f : m_filters) f->Release();
    }
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IEnumFilters) return HandOut(static_cast<IEnumFilters*>(this), ppv);
        return E_NOINTERFACE;
    }
    SONOVERT_COM_REFCOUNT
    HRESULT Next(ULONG count, IBaseFilter** out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_next < m_filters.size()) {
            out[n] = m_filters[m_next++];
            out[n]->AddRef();
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        m_next += count;
        return m_next <= m_filters.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        m_next = 0;
        return S_OK;
    }

private:
    std::vector<IBaseFilter*> m_filters;
    size_t m_next = 0;
};

// Removes and releases every connection that touches `filter`.
void DisconnectAll(Filter* filter) {
    for (const auto& pin : filter->pins()) pin->Disconnect();
}

HRESULT FileProblem(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? VFW_E_UNKNOWN_FILE_TYPE : S_OK;
    std::string folder = path.substr(0, path.rfind('/') == std::string::npos ? 0 : path.rfind('/'));
    if (!folder.empty() && stat(folder.c_str(), &st) != 0) return E_PATH_NOT_FOUND;
    return E_FILE_NOT_FOUND;
}

}  // namespace

HRESULT FilterGraph::Create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!EnsureGstreamer()) return E_FAIL;
    auto* graph = new FilterGraph;
    HRESULT hr = graph->QueryInterface(riid, ppv);
    graph->Release();
    return hr;
}

FilterGraph::~FilterGraph() {
    TearDown();
    for (Entry& e : m_filters) {
        DisconnectAll(e.filter);
        e.filter->JoinGraph(nullptr, std::string());
        e.filter->Release();
    }
}

HRESULT FilterGraph::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IGraphBuilder || riid == IID_IFilterGraph)
        return HandOut(static_cast<IGraphBuilder*>(this), ppv);
    if (riid == IID_IMediaControl) return HandOut(static_cast<IMediaControl*>(this), ppv);
    if (riid == IID_IMediaEventEx) return HandOut(static_cast<IMediaEventEx*>(this), ppv);
    if (riid == IID_IMediaSeeking) return HandOut(static_cast<IMediaSeeking*>(this), ppv);
    if (riid == IID_IVideoWindow) return HandOut(static_cast<IVideoWindow*>(this), ppv);
    if (riid == IID_IBasicVideo) return HandOut(static_cast<IBasicVideo*>(this), ppv);
    if (riid == IID_IBasicAudio) return HandOut(static_cast<IBasicAudio*>(this), ppv);
    return E_NOINTERFACE;
}

// ---- Filters -------------------------------------------------------------------------

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
    if (!filter) return E_POINTER;
    Filter* own = Filter::FromInterface(filter);
    if (!own) return E_INVALIDARG;  // only this layer's filters know how to stream here
    if (own->graph()) return VFW_E_WRONG_STATE;
    if (m_state != State_Stopped) return VFW_E_WRONG_STATE;
    std::string wanted = name ? Utf16ToUtf8(name) : std::string();
    if (wanted.empty()) wanted = "Filter";
    // Names are unique in a graph: a second filter of the same name gets a number.
    std::string unique = wanted;
    for (int n = 2; std::any_of(m_filters.begin(), m_filters.end(), [&](const Entry& e) { return e.name == unique; }); ++n)
        unique = wanted + " " + std::to_string(n);
    own->AddRef();
    own->JoinGraph(this, unique);
    m_filters.push_back(Entry{own, unique});
    return unique == wanted ? S_OK : S_FALSE;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
    Filter* own = filter ? Filter::FromInterface(filter) : nullptr;
    auto it = std::find_if(m_filters.begin(), m_filters.end(), [&](const Entry& e) { return e.filter == own; });
    if (!own || it == m_filters.end()) return E_FAIL;
    if (m_state != State_Stopped) {
        // Taking a filter out of a running graph stops it first, as the writers must finish.
        Stop();
    }
    DisconnectAll(own);
    own->JoinGraph(nullptr, std::string());
    m_filters.erase(it);
    own->Release();
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters) {
    if (!filters) return E_POINTER;
    std::vector<IBaseFilter*> list;
    for (const Entry& e : m_filters) list.push_back(e.filter);
    *filters = new FilterEnumerator(std::move(list));
    return S_OK;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
    if (!name || !filter) return E_POINTER;
    *filter = nullptr;
    std::string wanted = Utf16ToUtf8(name);
    for (const Entry& e : m_filters) {
        if (e.name == wanted) {
            *filter = e.filter;
            e.filter->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::Render(IPin* pin) {
    Pin* output = pin ? Pin::FromInterface(pin) : nullptr;
    if (!output) return E_POINTER;
    if (output->direction() != PINDIR_OUTPUT) return E_INVALIDARG;
    if (output->peer()) return VFW_E_CANNOT_CONNECT;
    if (m_state != State_Stopped) return VFW_E_WRONG_STATE;
    // Try the filters already in the graph: the first free input of the pin's kind takes
    // it, then what that filter puts out is rendered the same way.
    std::vector<std::pair<Pin*, Pin*>> made;
    std::function<bool(Pin*)> renderFrom = [&](Pin* out) {
        for (const Entry& e : m_filters) {
            if (e.filter == out->filter()) continue;
            for (const auto& in : e.filter->pins()) {
                if (in->direction() != PINDIR_INPUT || in->peer() || in->majorType() != out->majorType()) continue;
                Pin::Connect(out, in.get());
                made.emplace_back(out, in.get());
                bool downstream = true;
                for (const auto& next : e.filter->pins())
                    if (next->direction() == PINDIR_OUTPUT && !next->peer()) downstream = downstream && renderFrom(next.get());
                if (downstream) return true;
                out->Disconnect();
                made.pop_back();
            }
        }
        return false;
    };
    if (renderFrom(output)) return S_OK;
    for (auto& [out, in] : made) out->Disconnect();
    return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR) {
    if (!file) return E_POINTER;
    if (m_playback || m_pipeline) return VFW_E_WRONG_STATE;
    std::string path = Utf16ToUtf8(file);
    if (path.empty()) return E_INVALIDARG;
    if (HRESULT problem = FileProblem(path); FAILED(problem)) return problem;
    HRESULT hr = BuildPlaybackPipeline(path);
    if (FAILED(hr)) TearDown();
    return hr;
}

// ---- Pipelines -----------------------------------------------------------------------

GstBusSyncReply FilterGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    auto* graph = static_cast<FilterGraph*>(self);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS: {
        bool complete = false;
        {
            std::lock_guard<std::mutex> lock(graph->m_flowMutex);
            graph->m_eos = true;
            complete = graph->m_playback && !graph->m_completeSent;
            graph->m_completeSent = graph->m_completeSent || complete;
        }
        graph->m_flowChanged.notify_all();
        if (complete) graph->PostEvent(EC_COMPLETE, S_OK, 0);
        break;
    }
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        {
            std::lock_guard<std::mutex> lock(graph->m_flowMutex);
            if (graph->m_error.empty()) graph->m_error = error ? error->message : "stream error";
        }
        g_clear_error(&error);
        g_free(debug);
        graph->m_flowChanged.notify_all();
        graph->PostEvent(EC_ERRORABORT, E_FAIL, 0);
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(graph->m_pipeline.get())) {
            {
                std::lock_guard<std::mutex> lock(graph->m_flowMutex);
                graph->m_asyncDone = true;
            }
            graph->m_flowChanged.notify_all();
        }
        break;
    case GST_MESSAGE_ELEMENT:
        if (gst_is_video_overlay_prepare_window_handle_message(message)) {
            // The video sink asks where to draw: inside the window the player handed over
            // (looked up on the GUI thread when it was handed over).
            if (guintptr id = graph->m_videoWindowId.load())
                gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(GST_MESSAGE_SRC(message)), id);
        }
        break;
    default:
        break;
    }
    return GST_BUS_DROP;
}

GstPadProbeReturn FilterGraph::OnCaptured(GstPad*, GstPadProbeInfo* info, gpointer self) {
    auto* graph = static_cast<FilterGraph*>(self);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer) return GST_PAD_PROBE_OK;
    {
        std::lock_guard<std::mutex> lock(graph->m_flowMutex);
        graph->m_firstBuffer = true;
        if (GST_BUFFER_PTS_IS_VALID(buffer)) {
            GstClockTime end = GST_BUFFER_PTS(buffer) + (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
            graph->m_capturedUntil = end;
        }
    }
    graph->m_flowChanged.notify_all();
    return GST_PAD_PROBE_OK;
}

bool FilterGraph::WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_flowMutex);
    return m_flowChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), condition);
}

void FilterGraph::TearDown() {
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        BusPtr bus(gst_element_get_bus(m_pipeline.get()));
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    }
    m_pipeline.reset();
    m_sources.clear();
    m_audioChain = m_videoChain = m_videoSink = nullptr;
    m_state = State_Stopped;
    std::lock_guard<std::mutex> lock(m_flowMutex);
    m_firstBuffer = m_eos = m_asyncDone = false;
    m_capturedUntil = GST_CLOCK_TIME_NONE;
    m_error.clear();
}

HRESULT FilterGraph::BuildFilterPipeline() {
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("capture-graph"))));
    BusPtr bus(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), &FilterGraph::OnBusMessage, this, nullptr);
    // Only filters on a connected chain stream; a lone filter has nothing to do.
    std::map<Filter*, GstElement*> elements;
    for (const Entry& e : m_filters) {
        bool connected = std::any_of(e.filter->pins().begin(), e.filter->pins().end(), [](const auto& p) { return p->peer(); });
        if (!connected) continue;
        std::string error;
        GstElement* element = e.filter->CreateElement(&error);
        if (!element) {
            m_error = e.name + ": " + error;
            return E_FAIL;
        }
        gst_bin_add(GST_BIN(m_pipeline.get()), element);
        elements[e.filter] = element;
        bool hasInput = std::any_of(e.filter->pins().begin(), e.filter->pins().end(),
                                    [](const auto& p) { return p->direction() == PINDIR_INPUT && p->peer(); });
        if (!hasInput) m_sources.push_back(element);
    }
    for (const Entry& e : m_filters) {
        for (const auto& pin : e.filter->pins()) {
            if (pin->direction() != PINDIR_OUTPUT || !pin->peer()) continue;
            GstElement* from = elements[e.filter];
            GstElement* to = elements[pin->peer()->filter()];
            if (!from || !to || !gst_element_link(from, to)) {
                m_error = "cannot connect " + e.name + " to " + pin->peer()->filter()->name();
                return VFW_E_CANNOT_CONNECT;
            }
        }
    }
    for (GstElement* source : m_sources) {
        PadPtr pad(gst_element_get_static_pad(source, "src"));
        if (pad) gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &FilterGraph::OnCaptured, this, nullptr);
    }
    return S_OK;
}

HRESULT FilterGraph::StartCapture() {
    HRESULT hr = BuildFilterPipeline();
    if (FAILED(hr)) {
        TearDown();
        return hr;
    }
    if (m_sources.empty()) {
        TearDown();
        m_state = State_Running;  // nothing connected: a running graph with nothing to do
        return S_OK;
    }
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        TearDown();
        return E_FAIL;
    }
    // The recording is live only once its first buffer arrived; music started before that
    // would lose its beginning.
    bool flowing = WaitFor([this]() { return m_firstBuffer || !m_error.empty(); }, kCaptureStartTimeoutMs);
    bool failed;
    {
        std::lock_guard<std::mutex> lock(m_flowMutex);
        failed = !m_error.empty() || !m_firstBuffer;
    }
    if (failed) {
        TearDown();
        return flowing ? E_FAIL : VFW_E_TIMEOUT;
    }
    m_state = State_Running;
    return S_OK;
}

GstClockTime FilterGraph::RunningTime() const {
    if (!m_pipeline) return GST_CLOCK_TIME_NONE;
    GstClock* clock = gst_element_get_clock(m_pipeline.get());
    if (!clock) return GST_CLOCK_TIME_NONE;
    GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    GstClockTime base = gst_element_get_base_time(m_pipeline.get());
    return now >= base ? now - base : 0;
}

void FilterGraph::EndStream(GstClockTime waitForCapturedUntil) {
    if (!m_pipeline || m_sources.empty()) return;
    if (GST_CLOCK_TIME_IS_VALID(waitForCapturedUntil)) {
        WaitFor([&]() {
            return !m_error.empty() || (GST_CLOCK_TIME_IS_VALID(m_capturedUntil) && m_capturedUntil >= waitForCapturedUntil);
        }, kMonitorTailTimeoutMs);
    }
    for (GstElement* source : m_sources) gst_element_send_event(source, gst_event_new_eos());
    if (WaitFor([this]() { return m_eos; }, kEndOfStreamTimeoutMs)) return;
    // A source that failed (its device went away) pushes nothing any more, not even the end
    // of the stream: hand the end straight to what follows it, so the writers still finish
    // the file with what was recorded.
    for (GstElement* source : m_sources) {
        PadPtr pad(gst_element_get_static_pad(source, "src"));
        PadPtr peer(pad ? gst_pad_get_peer(pad.get()) : nullptr);
        if (peer) gst_pad_send_event(peer.get(), gst_event_new_eos());
    }
    WaitFor([this]() { return m_eos; }, kEndOfStreamTimeoutMs);
}

HRESULT FilterGraph::BuildPlaybackPipeline(const std::string& path) {
    m_playback = true;
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("playback-graph"))));
    BusPtr bus(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), &FilterGraph::OnBusMessage, this, nullptr);
    GstBin* bin = GST_BIN(m_pipeline.get());
    if (MidiSong::LooksLikeMidi(path)) {
        std::string reason;
        std::unique_ptr<MidiSong> song = MidiSong::Load(path, &reason);
        if (!song) return VFW_E_INVALID_FILE_FORMAT;
        m_isMidi = true;
        m_duration = static_cast<LONGLONG>(std::llround(song->LengthSeconds() * kUnitsPerSecond));
        GstElement* source = gst_element_factory_make("sonovertmidisrc", nullptr);
        GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
        GstElement* resample = gst_element_factory_make("audioresample", nullptr);
        GstElement* sink = gst_element_factory_make("pulsesink", nullptr);
        if (!source || !convert || !resample || !sink) {
            for (GstElement* e : {source, convert, resample, sink})
                if (e) gst_object_unref(gst_object_ref_sink(e));
            return VFW_E_NO_AUDIO_HARDWARE;
        }
        g_object_set(source, "location", path.c_str(), nullptr);
        gst_bin_add_many(bin, source, convert, resample, sink, nullptr);
        if (!gst_element_link_many(source, convert, resample, sink, nullptr)) return VFW_E_CANNOT_CONNECT;
        m_sources.push_back(source);
        // Stopped and cued: READY loads nothing yet; the first Run or Pause prerolls.
        if (gst_element_set_state(m_pipeline.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) return E_FAIL;
        m_state = State_Stopped;
        return S_OK;
    }
    GstElement* decoder = gst_element_factory_make("uridecodebin", nullptr);
    if (!decoder) return VFW_E_UNKNOWN_FILE_TYPE;
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    g_object_set(decoder, "uri", uri, nullptr);
    g_free(uri);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(&FilterGraph::OnPadAdded), this);
    gst_bin_add(bin, decoder);
    m_sources.push_back(decoder);
    // Prerolling finds out what the file holds and whether GStreamer can play it at all.
    HRESULT hr = Preroll();
    if (FAILED(hr)) return hr == VFW_E_TIMEOUT ? hr : VFW_E_UNKNOWN_FILE_TYPE;
    {
        std::lock_guard<std::mutex> lock(m_flowMutex);
        if (!m_audioChain && !m_videoChain) return VFW_E_UNKNOWN_FILE_TYPE;
    }
    gint64 duration = 0;
    if (gst_element_query_duration(m_pipeline.get(), GST_FORMAT_TIME, &duration)) m_duration = duration / 100;
    m_state = State_Stopped;
    return S_OK;
}

void FilterGraph::OnPadAdded(GstElement*, GstPad* pad, gpointer self) { static_cast<FilterGraph*>(self)->LinkDecodedPad(pad); }

void FilterGraph::LinkDecodedPad(GstPad* pad) {
    // Streaming thread: builds the chain a decoded stream needs, once per kind.
    CapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps) caps.reset(gst_pad_query_caps(pad, nullptr));
    if (!caps || gst_caps_is_empty(caps.get())) return;
    const GstStructure* s = gst_caps_get_structure(caps.get(), 0);
    const char* kind = gst_structure_get_name(s);
    bool audio = g_str_has_prefix(kind, "audio/");
    bool video = g_str_has_prefix(kind, "video/");
    if (!audio && !video) return;
    GstBin* bin = GST_BIN(m_pipeline.get());
    std::lock_guard<std::mutex> lock(m_flowMutex);
    GstElement*& chain = audio ? m_audioChain : m_videoChain;
    if (!chain) {
        GstElement* first;
        if (audio) {
            first = gst_element_factory_make("audioconvert", nullptr);
            GstElement* resample = gst_element_factory_make("audioresample", nullptr);
            GstElement* sink = gst_element_factory_make("pulsesink", nullptr);
            if (!first || !resample || !sink) return;
            gst_bin_add_many(bin, first, resample, sink, nullptr);
            gst_element_link_many(first, resample, sink, nullptr);
            for (GstElement* e : {first, resample, sink}) gst_element_sync_state_with_parent(e);
        } else {
            GstElement* queue = gst_element_factory_make("queue", nullptr);
            first = queue;
            GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
            GstElement* sink = gst_element_factory_make("ximagesink", nullptr);
            if (!sink) {
                // Without a video sink the picture is dropped, so that the sound still plays.
                sink = gst_element_factory_make("fakesink", nullptr);
            }
            if (!queue || !convert || !sink) return;
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "force-aspect-ratio"))
                g_object_set(sink, "force-aspect-ratio", TRUE, nullptr);
            gst_bin_add_many(bin, queue, convert, sink, nullptr);
            gst_element_link_many(queue, convert, sink, nullptr);
            for (GstElement* e : {queue, convert, sink}) gst_element_sync_state_with_parent(e);
            m_videoSink = sink;
            m_hasVideo = true;
            gst_structure_get_int(s, "width", &m_videoWidth);
            gst_structure_get_int(s, "height", &m_videoHeight);
        }
        chain = first;
    }
    PadPtr sinkPad(gst_element_get_static_pad(chain, "sink"));
    if (sinkPad && !gst_pad_is_linked(sinkPad.get())) gst_pad_link(pad, sinkPad.get());
}

HRESULT FilterGraph::Preroll() {
    {
        std::lock_guard<std::mutex> lock(m_flowMutex);
        m_asyncDone = false;
    }
    GstStateChangeReturn change = gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_FAILURE) return E_FAIL;
    if (change == GST_STATE_CHANGE_ASYNC) {
        if (!WaitFor([this]() { return m_asyncDone || !m_error.empty(); }, kPrerollTimeoutMs)) return VFW_E_TIMEOUT;
    }
    std::lock_guard<std::mutex> lock(m_flowMutex);
    return m_error.empty() ? S_OK : E_FAIL;
}

HRESULT FilterGraph::ApplyPendingSeek() {
    if (m_pendingSeek < 0) return S_OK;
    LONGLONG target = m_pendingSeek;
    m_pendingSeek = -1;
    {
        std::lock_guard<std::mutex> lock(m_flowMutex);
        m_asyncDone = false;
        m_eos = false;
        m_completeSent = false;
    }
    if (!gst_element_seek_simple(m_pipeline.get(), GST_FORMAT_TIME,
                                 static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                 static_cast<gint64>(target) * 100))
        return E_FAIL;
    WaitFor([this]() { return m_asyncDone || !m_error.empty(); }, kPrerollTimeoutMs);
    return S_OK;
}

// ---- Control -------------------------------------------------------------------------

HRESULT FilterGraph::Run() {
    if (m_state == State_Running) return S_OK;
    if (!m_playback) return StartCapture();
    if (!m_pipeline) return VFW_E_WRONG_STATE;
    if (m_pendingSeek > 0) {
        if (HRESULT hr = Preroll(); FAILED(hr)) return hr;
        ApplyPendingSeek();
    }
    m_pendingSeek = -1;
    {
        std::lock_guard<std::mutex> lock(m_flowMutex);
        if (m_eos) m_completeSent = false;
    }
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return E_FAIL;
    m_state = State_Running;
    return S_OK;
}

HRESULT FilterGraph::Pause() {
    if (!m_playback) {
        // A capture graph has nothing to hold still: pausing it is stopping it.
        return m_state == State_Stopped ? S_OK : Stop();
    }
    if (!m_pipeline) return VFW_E_WRONG_STATE;
    if (m_state == State_Running) {
        if (gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return E_FAIL;
    } else if (HRESULT hr = Preroll(); FAILED(hr)) {
        return hr;
    }
    ApplyPendingSeek();
    m_state = State_Paused;
    return S_OK;
}

HRESULT FilterGraph::Stop() {
    if (!m_playback) {
        // The writers must still finish their file, but nothing more is waited for.
        EndStream(GST_CLOCK_TIME_NONE);
        TearDown();
        return S_OK;
    }
    if (!m_pipeline) return S_OK;
    // READY lets go of the sound server and rewinds to the start.
    gst_element_set_state(m_pipeline.get(), GST_STATE_READY);
    {
        std::lock_guard<std::mutex> lock(m_flowMutex);
        m_eos = false;
        m_completeSent = false;
        m_asyncDone = false;
    }
    m_state = State_Stopped;
    return S_OK;
}

HRESULT FilterGraph::StopWhenReady() {
    if (!m_playback && m_state == State_Running && m_pipeline) {
        GstClockTime now = RunningTime();
        EndStream(GST_CLOCK_TIME_IS_VALID(now) ? now + kMonitorTail : GST_CLOCK_TIME_NONE);
        TearDown();
        return S_OK;
    }
    return Stop();
}

HRESULT FilterGraph::GetState(long, OAFilterState* state) {
    if (!state) return E_POINTER;
    *state = m_state;
    return S_OK;
}

// ---- Events --------------------------------------------------------------------------

void FilterGraph::PostEvent(long code, LONG_PTR param1, LONG_PTR param2) {
    OAHWND window;
    long message;
    LONG_PTR instance;
    {
        std::lock_guard<std::mutex> lock(m_eventMutex);
        m_events.push_back(Event{code, param1, param2});
        window = m_notifyWindow;
        message = m_notifyMessage;
        instance = m_notifyInstance;
    }
    if (window && message) PostMessage(reinterpret_cast<HWND>(window), static_cast<UINT>(message), 0, instance);
}

HRESULT FilterGraph::GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) {
    if (!code || !param1 || !param2) return E_POINTER;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0L));
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_eventMutex);
            if (!m_events.empty()) {
                Event e = m_events.front();
                m_events.pop_front();
                *code = e.code;
                *param1 = e.param1;
                *param2 = e.param2;
                return S_OK;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) return E_ABORT;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

HRESULT FilterGraph::FreeEventParams(long, LONG_PTR, LONG_PTR) { return S_OK; }

HRESULT FilterGraph::SetNotifyWindow(OAHWND window, long message, LONG_PTR instanceData) {
    std::lock_guard<std::mutex> lock(m_eventMutex);
    m_notifyWindow = window;
    m_notifyMessage = message;
    m_notifyInstance = instanceData;
    return S_OK;
}

// ---- Seeking -------------------------------------------------------------------------

HRESULT FilterGraph::IsFormatSupported(const GUID* format) {
    if (!format) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT FilterGraph::GetTimeFormat(GUID* format) {
    if (!format) return E_POINTER;
    *format = m_timeFormat;
    return S_OK;
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format) {
    if (!format) return E_POINTER;
    if (*format != TIME_FORMAT_MEDIA_TIME) return E_INVALIDARG;
    m_timeFormat = *format;
    return S_OK;
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration) {
    if (!duration) return E_POINTER;
    if (!m_playback) return E_NOTIMPL;
    *duration = m_duration;
    return S_OK;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) {
    if (!stop) return E_POINTER;
    if (!m_playback) return E_NOTIMPL;
    *stop = m_stopPosition >= 0 ? m_stopPosition : m_duration;
    return S_OK;
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current) {
    if (!current) return E_POINTER;
    if (!m_playback) return E_NOTIMPL;
    if (m_pendingSeek >= 0) {
        *current = m_pendingSeek;
        return S_OK;
    }
    GstState state = GST_STATE_NULL;
    gst_element_get_state(m_pipeline.get(), &state, nullptr, 0);
    gint64 position = 0;
    if (state >= GST_STATE_PAUSED && gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &position))
        *current = std::min<LONGLONG>(position / 100, m_duration > 0 ? m_duration : position / 100);
    else
        *current = 0;
    return S_OK;
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    if (!m_playback) return E_NOTIMPL;
    if ((stopFlags & 0x3) == AM_SEEKING_AbsolutePositioning) {
        if (!stop) return E_POINTER;
        m_stopPosition = *stop;
    }
    if ((currentFlags & 0x3) != AM_SEEKING_AbsolutePositioning) return S_OK;
    if (!current) return E_POINTER;
    LONGLONG target = std::max<LONGLONG>(0, *current);
    GstState state = GST_STATE_NULL;
    gst_element_get_state(m_pipeline.get(), &state, nullptr, 0);
    if (state < GST_STATE_PAUSED) {
        // Stopped graphs rewind by themselves; another place is taken at the next preroll.
        m_pendingSeek = target;
        return S_OK;
    }
    m_pendingSeek = target;
    return ApplyPendingSeek();
}

HRESULT FilterGraph::SetRate(double rate) {
    if (rate <= 0) return E_INVALIDARG;
    return rate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT FilterGraph::GetRate(double* rate) {
    if (!rate) return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

// ---- Video ---------------------------------------------------------------------------

HRESULT FilterGraph::put_Owner(OAHWND owner) {
    if (!m_hasVideo) return E_NOINTERFACE;
    m_videoOwner = owner;
    guintptr id = owner ? GetNativeWindowId(reinterpret_cast<HWND>(owner)) : 0;
    m_videoWindowId = id;
    if (m_videoSink) gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_videoSink), id);
    return S_OK;
}

HRESULT FilterGraph::get_Visible(long* visible) {
    if (!visible) return E_POINTER;
    if (!m_hasVideo) return E_NOINTERFACE;
    *visible = m_videoVisible;
    return S_OK;
}

HRESULT FilterGraph::put_Visible(long visible) {
    if (!m_hasVideo) return E_NOINTERFACE;
    m_videoVisible = visible ? OATRUE : OAFALSE;
    return S_OK;
}

HRESULT FilterGraph::get_WindowStyle(long* style) {
    if (!style) return E_POINTER;
    if (!m_hasVideo) return E_NOINTERFACE;
    *style = m_videoStyle;
    return S_OK;
}

HRESULT FilterGraph::put_WindowStyle(long style) {
    if (!m_hasVideo) return E_NOINTERFACE;
    m_videoStyle = style;
    return S_OK;
}

HRESULT FilterGraph::put_MessageDrain(OAHWND drain) {
    if (!m_hasVideo) return E_NOINTERFACE;
    m_messageDrain = drain;
    return S_OK;
}

HRESULT FilterGraph::SetWindowPosition(long left, long top, long width, long height) {
    if (!m_hasVideo) return E_NOINTERFACE;
    if (width <= 0 || height <= 0) return E_INVALIDARG;
    if (m_videoSink)
        gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(m_videoSink), static_cast<gint>(left), static_cast<gint>(top),
                                               static_cast<gint>(width), static_cast<gint>(height));
    return S_OK;
}

HRESULT FilterGraph::NotifyOwnerMessage(OAHWND, long, LONG_PTR, LONG_PTR) { return m_hasVideo ? S_OK : E_NOINTERFACE; }

HRESULT FilterGraph::GetVideoSize(long* width, long* height) {
    if (!width || !height) return E_POINTER;
    if (!m_hasVideo) return E_NOINTERFACE;
    *width = m_videoWidth;
    *height = m_videoHeight;
    return S_OK;
}

HRESULT FilterGraph::put_Volume(long volume) {
    if (volume > 0 || volume < -10000) return E_INVALIDARG;
    m_volume = volume;
    return S_OK;
}

HRESULT FilterGraph::get_Volume(long* volume) {
    if (!volume) return E_POINTER;
    *volume = m_volume;
    return S_OK;
}

}  // namespace media
