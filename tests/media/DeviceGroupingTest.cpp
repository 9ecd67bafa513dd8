// The grouping rule on hand-made sets of server objects, including sound cards, which a
// test server (null sinks only) cannot have.

#include "media/pulse/DeviceGrouping.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>

namespace {

constexpr uint32_t kNone = kNoPulseIndex;

PulseSourceEntry Monitor(uint32_t index, const std::string& sinkName, uint32_t card)
{
    return {index, sinkName + ".monitor", "Monitor of " + sinkName, card, true, "S16LE", 44100, 2};
}

PulseSourceEntry Input(uint32_t index, const std::string& name, uint32_t card)
{
    return {index, name, name + " input", card, false, "S32LE", 48000, 1};
}

// "key|friendly name|pin,pin;key|..." where a pin is its source name, '*' marking a monitor.
std::string Describe(const std::vector<CaptureDevice>& devices)
{
    std::ostringstream out;
    for (size_t d = 0; d < devices.size(); ++d) {
        out << (d ? ";" : "") << devices[d].key << '|' << devices[d].friendlyName << '|';
        for (size_t s = 0; s < devices[d].sources.size(); ++s)
            out << (s ? "," : "") << (devices[d].sources[s].isMonitor ? "*" : "") << devices[d].sources[s].name;
    }
    return out.str();
}

struct GroupingCase {
    const char* what;
    PulseObjects objects;
    const char* expected;
};

void PrintTo(const GroupingCase& c, std::ostream* out)
{
    *out << c.what;
}

const GroupingCase kCases[] = {
    {"nothing on the server", {}, ""},
    {"card-less sink: its monitor is its one source",
     {{}, {{4, "null", "Loopback", kNone, 7}}, {Monitor(7, "null", kNone)}},
     "sink:null|Loopback|*null.monitor"},
    {"card: monitors by sink index first, then inputs by source index",
     {{{0, "alsa_card.pci", "Built-in Audio"}},
      {{9, "hdmi", "HDMI", 0, 11}, {2, "analog", "Analog", 0, 3}},
      {Input(12, "mic2", 0), Monitor(11, "hdmi", 0), Input(5, "mic1", 0), Monitor(3, "analog", 0)}},
     "card:alsa_card.pci|Built-in Audio|*analog.monitor,*hdmi.monitor,mic1,mic2"},
    {"cards by index, then card-less sinks, then card-less inputs",
     {{{3, "usb", "USB Headset"}, {1, "pci", ""}},
      {{8, "remap", "Remapped", kNone, 20}, {0, "usb_out", "USB out", 3, 1}, {6, "pci_out", "", 1, 7}},
      {Input(30, "net_in", kNone), Monitor(1, "usb_out", 3), Monitor(7, "pci_out", 1), Monitor(20, "remap", kNone),
       Input(2, "usb_mic", 3)}},
     "card:pci|pci|*pci_out.monitor;card:usb|USB Headset|*usb_out.monitor,usb_mic;"
     "sink:remap|Remapped|*remap.monitor;source:net_in|net_in input|net_in"},
    {"a card without sinks or sources is still a device",
     {{{2, "off_card", "Switched Off"}}, {}, {}},
     "card:off_card|Switched Off|"},
    {"objects of a card not (yet) listed are left out",
     {{}, {{1, "half", "Half", 5, 2}}, {Monitor(2, "half", 5), Input(3, "half_mic", 5)}},
     ""},
    {"same description twice: two devices, two keys",
     {{}, {{1, "a", "Twin", kNone, 1}, {2, "b", "Twin", kNone, 2}}, {Monitor(1, "a", kNone), Monitor(2, "b", kNone)}},
     "sink:a|Twin|*a.monitor;sink:b|Twin|*b.monitor"},
};

class GroupingTest : public testing::TestWithParam<GroupingCase> {};

TEST_P(GroupingTest, GroupsObjectsIntoDevices)
{
    EXPECT_EQ(Describe(GroupCaptureDevices(GetParam().objects)), GetParam().expected) << GetParam().what;
}

TEST_P(GroupingTest, OwnersNameTheSameDevicesInTheSameOrder)
{
    const auto devices = GroupCaptureDevices(GetParam().objects);
    const auto owners = CaptureDeviceOwners(GetParam().objects);
    ASSERT_EQ(owners.size(), devices.size());
    for (size_t i = 0; i < owners.size(); ++i)
        EXPECT_EQ(owners[i].key, devices[i].key);
}

INSTANTIATE_TEST_SUITE_P(Cases, GroupingTest, testing::ValuesIn(kCases));

TEST(Grouping, OwnersAreTheObjectsWhoseRemovalTakesTheDeviceAway)
{
    const PulseObjects objects{{{3, "usb", "USB"}},
                               {{0, "usb_out", "", 3, 1}, {8, "null", "", kNone, 9}},
                               {Monitor(1, "usb_out", 3), Monitor(9, "null", kNone), Input(4, "net", kNone)}};
    const auto owners = CaptureDeviceOwners(objects);
    ASSERT_EQ(owners.size(), 3u);
    EXPECT_EQ(owners[0].facility, PulseFacility::Card);
    EXPECT_EQ(owners[0].index, 3u);
    EXPECT_EQ(owners[1].facility, PulseFacility::Sink);
    EXPECT_EQ(owners[1].index, 8u);
    EXPECT_EQ(owners[2].facility, PulseFacility::Source);
    EXPECT_EQ(owners[2].index, 4u);
}

TEST(Grouping, SourceKeepsItsDescriptionAndSampleFormat)
{
    const PulseObjects objects{{}, {{0, "null", "", kNone, 1}}, {{1, "null.monitor", "", kNone, true, "F32LE", 96000, 6}}};
    const auto devices = GroupCaptureDevices(objects);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].friendlyName, "null"); // no description: the name stands in
    ASSERT_EQ(devices[0].sources.size(), 1u);
    const CaptureSource& pin = devices[0].sources[0];
    EXPECT_EQ(pin.description, "null.monitor");
    EXPECT_EQ(pin.format, "F32LE");
    EXPECT_EQ(pin.rate, 96000u);
    EXPECT_EQ(pin.channels, 6u);
}

} // namespace
