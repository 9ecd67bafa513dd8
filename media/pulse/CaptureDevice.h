#pragma once
// A capture device and its recording sources, as the sound server describes them.
// Plain values: copying one never reaches the server.

#include <cstdint>
#include <string>
#include <vector>

// One recording source of a capture device: an input line the user can pick.
struct CaptureSource {
    std::string name;        // the source's server name; what pulsesrc's "device" property takes
    std::string description; // what the user sees, e.g. "Monitor of Loopback"
    bool isMonitor = false;  // records what the device plays (its output mix)
    std::string format;      // GStreamer raw audio format ("S16LE", "F32LE", ...); empty for A-law/mu-law
    uint32_t rate = 0;       // samples per second
    uint32_t channels = 0;
};

// One sound card, or a sink or source that belongs to no card.
struct CaptureDevice {
    std::string key;                    // stable while the device exists: "card:<name>", "sink:<name>", "source:<name>"
    std::string friendlyName;           // its "device.description", else its name
    std::vector<CaptureSource> sources; // monitors of its sinks first (by sink index), then its inputs (by source index)
};
