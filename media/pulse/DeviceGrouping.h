#pragma once
// How the server's cards, sinks and sources become capture devices:
// - a card is one device; its sources are the monitors of its sinks (its output mix),
//   by sink index, then its own inputs, by source index;
// - a sink without a card is a device whose one source is its monitor;
// - an input source without a card is a device of its own.
// Devices come cards first (by card index), then card-less sinks, then card-less sources.
// Kept apart from the connection so the rule can be checked with any set of objects.

#include "media/pulse/CaptureDevice.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kNoPulseIndex = UINT32_MAX; // the server's "no such object"

// What the grouping needs of the server's objects. Descriptions may be empty
// (the name stands in); card fields hold kNoPulseIndex for "no card".
struct PulseCardEntry {
    uint32_t index = kNoPulseIndex;
    std::string name;
    std::string description;
};

struct PulseSinkEntry {
    uint32_t index = kNoPulseIndex;
    std::string name;
    std::string description;
    uint32_t card = kNoPulseIndex;
    uint32_t monitorSource = kNoPulseIndex;
};

struct PulseSourceEntry {
    uint32_t index = kNoPulseIndex;
    std::string name;
    std::string description;
    uint32_t card = kNoPulseIndex;
    bool isMonitor = false;
    std::string format; // GStreamer raw audio format name
    uint32_t rate = 0;
    uint32_t channels = 0;
};

struct PulseObjects {
    std::vector<PulseCardEntry> cards;
    std::vector<PulseSinkEntry> sinks;
    std::vector<PulseSourceEntry> sources;
};

enum class PulseFacility { Card, Sink, Source };

// The server object whose removal takes a device away.
struct DeviceOwner {
    PulseFacility facility = PulseFacility::Card;
    uint32_t index = kNoPulseIndex;
    std::string key;
};

// Objects tied to a card the list does not hold (caught half-way through a change)
// are left out until the next listing.
std::vector<CaptureDevice> GroupCaptureDevices(const PulseObjects& objects);

// The devices' keys with their owners, in the same order as GroupCaptureDevices.
std::vector<DeviceOwner> CaptureDeviceOwners(const PulseObjects& objects);
