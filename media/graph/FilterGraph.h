#pragma once
// The filter graph manager on a GStreamer pipeline.
// Imitates: filters added by name and connected by Render (trying the filters already in
// the graph), RenderFile building a complete playback chain for a MIDI file (through our
// MIDI source) or any file GStreamer plays, Run/Pause/Stop/StopWhenReady, events queued
// and announced by a message posted to the notify window, seeking in 100-ns units, the
// video window of a clip with video. A capture graph's Run returns once the recording is
// really flowing, and StopWhenReady first takes what the monitor still holds of the music
// played so far, then ends the stream so the writers finish their files.
// Leaves out: intelligent connect through unregistered filters, several RenderFile calls
// on one graph, rates other than 1.0, frame stepping, clocks chosen by the program.
//
// Threads: every interface method is for the GUI thread. GStreamer's streaming threads
// and the sound server's thread reach the graph only through PostEvent, which queues the
// event and posts the notify message; they never call into the program.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "media/ComBase.h"
#include "media/Gst.h"

namespace media {

class Filter;

class FilterGraph final : public ComBase,
                          public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaSeeking,
                          public IVideoWindow,
                          public IBasicVideo,
                          public IBasicAudio {
public:
    // One reference for the caller.
    static HRESULT Create(REFIID riid, void** ppv);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    SONOVERT_COM_REFCOUNT

    // IFilterGraph, IGraphBuilder
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT Render(IPin* pin) override;
    HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;

    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT StopWhenReady() override;
    HRESULT GetState(long timeoutMs, OAFilterState* state) override;

    // IMediaEventEx
    HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) override;
    HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) override;
    HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instanceData) override;

    // IMediaSeeking
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;

    // IVideoWindow, IBasicVideo, IBasicAudio
    HRESULT put_Owner(OAHWND owner) override;
    HRESULT get_Visible(long* visible) override;
    HRESULT put_Visible(long visible) override;
    HRESULT get_WindowStyle(long* style) override;
    HRESULT put_WindowStyle(long style) override;
    HRESULT put_MessageDrain(OAHWND drain) override;
    HRESULT SetWindowPosition(long left, long top, long width, long height) override;
    HRESULT NotifyOwnerMessage(OAHWND window, long message, LONG_PTR wParam, LONG_PTR lParam) override;
    HRESULT GetVideoSize(long* width, long* height) override;
    HRESULT put_Volume(long volume) override;
    HRESULT get_Volume(long* volume) override;

    IGraphBuilder* AsGraphBuilder() { return this; }

    // Any thread: queues an event and posts the notify message, if a window is set.
    void PostEvent(long code, LONG_PTR param1, LONG_PTR param2);

private:
    FilterGraph() = default;
    ~FilterGraph() override;

    struct Entry {
        Filter* filter;  // the graph holds one reference
        std::string name;
    };
    struct Event {
        long code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    HRESULT BuildFilterPipeline();
    HRESULT BuildPlaybackPipeline(const std::string& path);
    void TearDown();
    HRESULT StartCapture();
    // Ends the stream at its sources and waits (bounded) until the sinks have it.
    void EndStream(GstClockTime waitForCapturedUntil);
    bool WaitFor(const std::function<bool()>& condition, int timeoutMs);
    HRESULT Preroll();
    HRESULT ApplyPendingSeek();
    GstClockTime RunningTime() const;
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    static void OnPadAdded(GstElement* decoder, GstPad* pad, gpointer self);
    static GstPadProbeReturn OnCaptured(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    void LinkDecodedPad(GstPad* pad);

    std::vector<Entry> m_filters;

    // Events: any thread.
    std::mutex m_eventMutex;
    std::deque<Event> m_events;
    OAHWND m_notifyWindow = 0;
    long m_notifyMessage = 0;
    LONG_PTR m_notifyInstance = 0;

    // The pipeline: GUI thread, except the flow state below.
    ElementPtr m_pipeline;
    std::vector<GstElement*> m_sources;  // elements where the stream starts (owned by the pipeline)
    OAFilterState m_state = State_Stopped;
    bool m_playback = false;             // built by RenderFile
    bool m_isMidi = false;
    LONGLONG m_duration = 0;             // 100-ns units
    LONGLONG m_stopPosition = -1;
    LONGLONG m_pendingSeek = -1;
    bool m_completeSent = false;
    GUID m_timeFormat = TIME_FORMAT_MEDIA_TIME;

    // The flow, written by streaming threads.
    std::mutex m_flowMutex;
    std::condition_variable m_flowChanged;
    bool m_firstBuffer = false;
    GstClockTime m_capturedUntil = GST_CLOCK_TIME_NONE;
    bool m_eos = false;
    bool m_asyncDone = false;
    std::string m_error;
    bool m_hasVideo = false;
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    GstElement* m_audioChain = nullptr;  // playback: first element after the decoder
    GstElement* m_videoChain = nullptr;
    GstElement* m_videoSink = nullptr;

    // The video window.
    OAHWND m_videoOwner = 0;
    std::atomic<guintptr> m_videoWindowId{0};  // read by streaming threads
    long m_videoVisible = OAFALSE;
    long m_videoStyle = 0;
    OAHWND m_messageDrain = 0;
    long m_volume = 0;
};

}  // namespace media
