#pragma once
// A capture device's filter: one input pin per recording source of the device (the
// monitors of its outputs first), each with the device's input mixer, and one output pin
// that records the enabled source in its own sample format. With no source enabled it
// delivers silence in the device's default format, so a file written from it stays well
// formed. While in a graph it watches its device and tells the graph when the device
// goes away (EC_DEVICE_LOST, 0) or comes back (EC_DEVICE_LOST, 1).
// Threads: GUI thread, except the device watch, which runs on the sound server client's
// thread and only queues events on the graph.

#include <memory>
#include <mutex>

#include "media/graph/Filter.h"
#include "media/pulse/CaptureDevice.h"

class PulseClient;

namespace media {

class CaptureFilter final : public Filter {
public:
    // One reference for the caller.
    static HRESULT Create(const CaptureDevice& device, REFIID riid, void** ppv);

    GstElement* CreateElement(std::string* error) override;
    void JoinGraph(FilterGraph* graph, const std::string& name) override;

    // The mixer behind the input pins; `index` counts the input pins from 0.
    HRESULT EnableSource(size_t index, bool enable);
    bool IsEnabled(size_t index) const { return m_enabled == static_cast<int>(index); }
    HRESULT SetLevel(size_t index, double level);
    HRESULT GetLevel(size_t index, double* level);

    const CaptureDevice& device() const { return m_device; }

private:
    explicit CaptureFilter(const CaptureDevice& device);
    ~CaptureFilter() override;

    CaptureDevice m_device;
    int m_enabled = -1;  // the recorded source, -1 for none
    std::unique_ptr<PulseClient> m_client;
    bool m_watching = false;
};

}  // namespace media
