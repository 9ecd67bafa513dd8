// The grouping rule described in DeviceGrouping.h.

#include "media/pulse/DeviceGrouping.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

template <class Entry>
std::vector<const Entry*> ByIndex(const std::vector<Entry>& entries)
{
    std::vector<const Entry*> sorted;
    for (const Entry& entry : entries)
        sorted.push_back(&entry);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Entry* a, const Entry* b) { return a->index < b->index; });
    return sorted;
}

template <class Entry>
std::string Described(const Entry& entry)
{
    return entry.description.empty() ? entry.name : entry.description;
}

CaptureSource ToCaptureSource(const PulseSourceEntry& source)
{
    CaptureSource pin;
    pin.name = source.name;
    pin.description = Described(source);
    pin.isMonitor = source.isMonitor;
    pin.format = source.format;
    pin.rate = source.rate;
    pin.channels = source.channels;
    return pin;
}

struct Grouped {
    std::vector<CaptureDevice> devices;
    std::vector<DeviceOwner> owners;
};

Grouped Group(const PulseObjects& objects)
{
    const auto cards = ByIndex(objects.cards);
    const auto sinks = ByIndex(objects.sinks);
    const auto sources = ByIndex(objects.sources);

    std::map<uint32_t, const PulseSourceEntry*> sourceAt;
    for (const PulseSourceEntry* source : sources)
        sourceAt.emplace(source->index, source);

    Grouped grouped;
    auto add = [&grouped](PulseFacility facility, uint32_t index, std::string key, std::string friendlyName,
                          std::vector<CaptureSource> pins) {
        grouped.owners.push_back({facility, index, key});
        grouped.devices.push_back({std::move(key), std::move(friendlyName), std::move(pins)});
    };
    auto monitorOf = [&sourceAt](const PulseSinkEntry& sink, std::vector<CaptureSource>& pins) {
        auto found = sourceAt.find(sink.monitorSource);
        if (found != sourceAt.end())
            pins.push_back(ToCaptureSource(*found->second));
    };

    for (const PulseCardEntry* card : cards) {
        std::vector<CaptureSource> pins;
        for (const PulseSinkEntry* sink : sinks)
            if (sink->card == card->index)
                monitorOf(*sink, pins);
        for (const PulseSourceEntry* source : sources)
            if (source->card == card->index && !source->isMonitor)
                pins.push_back(ToCaptureSource(*source));
        add(PulseFacility::Card, card->index, "card:" + card->name, Described(*card), std::move(pins));
    }
    for (const PulseSinkEntry* sink : sinks) {
        if (sink->card != kNoPulseIndex)
            continue;
        std::vector<CaptureSource> pins;
        monitorOf(*sink, pins);
        add(PulseFacility::Sink, sink->index, "sink:" + sink->name, Described(*sink), std::move(pins));
    }
    for (const PulseSourceEntry* source : sources) {
        if (source->card != kNoPulseIndex || source->isMonitor)
            continue;
        add(PulseFacility::Source, source->index, "source:" + source->name, Described(*source),
            {ToCaptureSource(*source)});
    }
    return grouped;
}

} // namespace

std::vector<CaptureDevice> GroupCaptureDevices(const PulseObjects& objects)
{
    return Group(objects).devices;
}

std::vector<DeviceOwner> CaptureDeviceOwners(const PulseObjects& objects)
{
    return Group(objects).owners;
}
