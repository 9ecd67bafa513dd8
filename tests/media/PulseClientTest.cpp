// PulseClient against a real, private sound server (PULSE_SERVER, started by scripts/test.sh).
// Null sinks are loaded and unloaded through pactl, and what the client says is checked
// against what pactl says.

#include "media/pulse/PulseClient.h"
#include "tests/support/PrivateSoundServer.h"
#include "tests/support/PulseServer.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr double kVolumeStep = 1.0 / 65536;
constexpr auto kWatchLimit = std::chrono::seconds(1);
constexpr auto kQuickFailure = std::chrono::milliseconds(500);

Millis Since(Clock::time_point start)
{
    return Clock::now() - start;
}

const CaptureDevice* FindDevice(const std::vector<CaptureDevice>& devices, const std::string& key)
{
    auto found = std::find_if(devices.begin(), devices.end(), [&](const CaptureDevice& d) { return d.key == key; });
    return found == devices.end() ? nullptr : &*found;
}

size_t PositionOf(const std::vector<CaptureDevice>& devices, const std::string& key)
{
    return static_cast<size_t>(std::find_if(devices.begin(), devices.end(),
                                            [&](const CaptureDevice& d) { return d.key == key; }) -
                               devices.begin());
}

// What the watch reported, and when.
class Reports {
public:
    struct Report {
        std::string key;
        bool present;
        Clock::time_point at;
    };

    PulseClient::DeviceCallback Callback()
    {
        return [this](const std::string& key, bool present) {
            std::lock_guard<std::mutex> guard(mutex_);
            reports_.push_back({key, present, Clock::now()});
            changed_.notify_all();
        };
    }

    // The time of the first report (key, present) at or after `since`, waiting up to `limit`.
    std::optional<Clock::time_point> WaitFor(const std::string& key, bool present, Clock::time_point since,
                                             std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        std::optional<Clock::time_point> at;
        changed_.wait_for(guard, limit, [&] {
            for (const Report& r : reports_)
                if (r.key == key && r.present == present && r.at >= since)
                    at = r.at;
            return at.has_value();
        });
        return at;
    }

    std::vector<Report> All()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return reports_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Report> reports_;
};

int OpenFileCount()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        closedir(dir);
    }
    return count - 1; // the directory stream itself
}

int ThreadCount()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    return -1;
}

class PulseClientTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Pactl({"info"})) << "no sound server answers: run through scripts/test.sh, or "
                                        "eval \"$(scripts/sound-server.sh start)\" first";
    }
};

TEST_F(PulseClientTest, ConnectsToTheDefaultServer)
{
    const auto start = Clock::now();
    PulseClient client;
    const Millis took = Since(start);
    EXPECT_TRUE(client.Connected());
    std::printf("[ figures  ] connect: %.2f ms\n", took.count());
}

TEST_F(PulseClientTest, ListsANullSinkAsADeviceOfItsOwnWithItsMonitor)
{
    ScopedNullSink sink("sv_list_one", "Stereo Mix");
    ASSERT_TRUE(sink.Loaded());
    PulseClient client;
    ASSERT_TRUE(client.Connected());

    const auto devices = client.ListCaptureDevices();
    const CaptureDevice* device = FindDevice(devices, "sink:sv_list_one");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->friendlyName, "Stereo Mix");
    ASSERT_EQ(device->sources.size(), 1u);
    const CaptureSource& pin = device->sources[0];
    EXPECT_EQ(pin.name, "sv_list_one.monitor");
    EXPECT_TRUE(pin.isMonitor);
    EXPECT_EQ(pin.description, "Monitor of Stereo Mix");
    EXPECT_EQ(SourceDescriptionFromServer(pin.name), pin.description);

    constexpr int kRounds = 20;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i)
        EXPECT_FALSE(client.ListCaptureDevices().empty());
    std::printf("[ figures  ] ListCaptureDevices: %.3f ms average over %d (%zu devices)\n",
                Since(start).count() / kRounds, kRounds, devices.size());
}

TEST_F(PulseClientTest, ListsTwoNullSinksInSinkOrderBesideTheDefaultSink)
{
    ScopedNullSink first("sv_list_a", "First Line");
    ScopedNullSink second("sv_list_b", "Second Line");
    ASSERT_TRUE(first.Loaded() && second.Loaded());
    const auto defaultSink = Pactl({"get-default-sink"});
    ASSERT_TRUE(defaultSink);
    const std::string defaultKey = "sink:" + defaultSink->substr(0, defaultSink->find('\n'));

    PulseClient client;
    const auto devices = client.ListCaptureDevices();
    ASSERT_NE(FindDevice(devices, defaultKey), nullptr) << defaultKey;
    const CaptureDevice* a = FindDevice(devices, "sink:sv_list_a");
    const CaptureDevice* b = FindDevice(devices, "sink:sv_list_b");
    ASSERT_TRUE(a && b);
    EXPECT_LT(PositionOf(devices, "sink:sv_list_a"), PositionOf(devices, "sink:sv_list_b"));
    EXPECT_EQ(a->friendlyName, "First Line");
    EXPECT_EQ(b->friendlyName, "Second Line");
    ASSERT_FALSE(b->sources.empty());
    EXPECT_EQ(b->sources[0].name, "sv_list_b.monitor");
    EXPECT_EQ(b->sources[0].description, "Monitor of Second Line");
}

TEST_F(PulseClientTest, SameDescriptionTwiceGivesTwoDevicesWithTheirOwnKeys)
{
    ScopedNullSink first("sv_twin_a", "Twin Line");
    ScopedNullSink second("sv_twin_b", "Twin Line");
    ASSERT_TRUE(first.Loaded() && second.Loaded());
    PulseClient client;
    std::vector<std::string> keys;
    for (const CaptureDevice& device : client.ListCaptureDevices())
        if (device.friendlyName == "Twin Line")
            keys.push_back(device.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"sink:sv_twin_a", "sink:sv_twin_b"}));
}

TEST_F(PulseClientTest, ADeviceGoneFromTheServerIsGoneFromTheList)
{
    ScopedNullSink sink("sv_list_gone", "Going");
    ASSERT_TRUE(sink.Loaded());
    PulseClient client;
    ASSERT_NE(FindDevice(client.ListCaptureDevices(), "sink:sv_list_gone"), nullptr);
    ASSERT_TRUE(sink.Unload());
    EXPECT_EQ(FindDevice(client.ListCaptureDevices(), "sink:sv_list_gone"), nullptr);
}

class DescriptionTest : public PulseClientTest, public testing::WithParamInterface<const char*> {};

TEST_P(DescriptionTest, ReachesTheServerAndTheListUnchanged)
{
    const std::string description = GetParam();
    ScopedNullSink sink("sv_described", description);
    ASSERT_TRUE(sink.Loaded()) << description;
    EXPECT_EQ(SinkDescriptionFromServer("sv_described"), description);

    PulseClient client;
    const auto devices = client.ListCaptureDevices();
    const CaptureDevice* device = FindDevice(devices, "sink:sv_described");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->friendlyName, description);
    ASSERT_EQ(device->sources.size(), 1u);
    EXPECT_EQ(device->sources[0].description, "Monitor of " + description);
}

INSTANTIATE_TEST_SUITE_P(Texts, DescriptionTest,
                         testing::Values("Loopback", "Stereo Mix", "Müsik Ünïcode ♪ 録音",
                                         "It's \"quoted\" and back\\slashed", "  spaced  out  "));

struct FormatCase {
    const char* serverFormat; // module-null-sink's and pactl's word
    uint32_t rate;
    uint32_t channels;
    const char* gstFormat;
};

void PrintTo(const FormatCase& c, std::ostream* out)
{
    *out << c.serverFormat << ' ' << c.channels << "ch " << c.rate << "Hz";
}

class SampleFormatTest : public PulseClientTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(SampleFormatTest, MatchesTheServer)
{
    const FormatCase& wanted = GetParam();
    ScopedNullSink sink("sv_format", "Format Line",
                        {std::string("format=") + wanted.serverFormat, "rate=" + std::to_string(wanted.rate),
                         "channels=" + std::to_string(wanted.channels)});
    ASSERT_TRUE(sink.Loaded());
    const auto server = SourceFormatFromServer(sink.Monitor());
    ASSERT_TRUE(server);
    EXPECT_EQ(server->format, wanted.serverFormat);
    EXPECT_EQ(server->rate, wanted.rate);
    EXPECT_EQ(server->channels, wanted.channels);

    PulseClient client;
    const auto devices = client.ListCaptureDevices();
    const CaptureDevice* device = FindDevice(devices, "sink:sv_format");
    ASSERT_TRUE(device && device->sources.size() == 1u);
    const CaptureSource& pin = device->sources[0];
    EXPECT_EQ(pin.format, wanted.gstFormat);
    EXPECT_EQ(pin.rate, server->rate);
    EXPECT_EQ(pin.channels, server->channels);
}

INSTANTIATE_TEST_SUITE_P(Formats, SampleFormatTest,
                         testing::Values(FormatCase{"s16le", 44100, 2, "S16LE"}, FormatCase{"s32le", 48000, 1, "S32LE"},
                                         FormatCase{"float32le", 96000, 6, "F32LE"},
                                         FormatCase{"s24le", 22050, 2, "S24LE"},
                                         FormatCase{"s24-32le", 32000, 4, "S24_32LE"}, FormatCase{"u8", 8000, 1, "U8"},
                                         FormatCase{"s16be", 16000, 2, "S16BE"}));

struct LevelCase {
    double asked;
    double expected;
};

void PrintTo(const LevelCase& c, std::ostream* out)
{
    *out << c.asked << " gives " << c.expected;
}

class VolumeTest : public PulseClientTest, public testing::WithParamInterface<LevelCase> {};

TEST_P(VolumeTest, SetLevelReadsBackHereAndOnTheServer)
{
    ScopedNullSink sink("sv_volume", "Volume Line");
    ASSERT_TRUE(sink.Loaded());
    PulseClient client;
    // Start from a level that differs from every expected one.
    ASSERT_TRUE(client.SetSourceVolume(sink.Monitor(), 0.1));

    const auto setStart = Clock::now();
    ASSERT_TRUE(client.SetSourceVolume(sink.Monitor(), GetParam().asked));
    const Millis setTook = Since(setStart);
    double level = -1;
    const auto getStart = Clock::now();
    ASSERT_TRUE(client.GetSourceVolume(sink.Monitor(), &level));
    const Millis getTook = Since(getStart);

    EXPECT_NEAR(level, GetParam().expected, kVolumeStep);
    EXPECT_NEAR(SourceVolumeFromServer(sink.Monitor()), GetParam().expected, kVolumeStep);
    std::printf("[ figures  ] level %.3f: set %.3f ms, get %.3f ms\n", GetParam().asked, setTook.count(),
                getTook.count());
}

INSTANTIATE_TEST_SUITE_P(Levels, VolumeTest,
                         testing::Values(LevelCase{0.0, 0.0}, LevelCase{0.25, 0.25}, LevelCase{0.5, 0.5},
                                         LevelCase{0.733, 0.733}, LevelCase{1.0, 1.0}, LevelCase{1.5, 1.0},
                                         LevelCase{7.0, 1.0}, LevelCase{-0.2, 0.0}));

TEST_F(PulseClientTest, VolumeOfEveryChannelIsSet)
{
    ScopedNullSink sink("sv_volume_six", "Six Channels", {"channels=6"});
    ASSERT_TRUE(sink.Loaded());
    PulseClient client;
    ASSERT_TRUE(client.SetSourceVolume(sink.Monitor(), 0.4));
    const auto output = Pactl({"get-source-volume", sink.Monitor()});
    ASSERT_TRUE(output);
    const std::string firstLine = output->substr(0, output->find('\n'));
    const std::string expected = std::to_string(std::lround(0.4 * 65536)) + " /";
    size_t seen = 0;
    for (size_t at = firstLine.find(expected); at != std::string::npos; at = firstLine.find(expected, at + 1))
        ++seen;
    EXPECT_EQ(seen, 6u) << firstLine;
}

TEST_F(PulseClientTest, NotANumberIsRefusedAndLeavesTheLevel)
{
    ScopedNullSink sink("sv_volume_nan", "NaN Line");
    ASSERT_TRUE(sink.Loaded());
    PulseClient client;
    ASSERT_TRUE(client.SetSourceVolume(sink.Monitor(), 0.5));
    EXPECT_FALSE(client.SetSourceVolume(sink.Monitor(), std::nan("")));
    EXPECT_NEAR(SourceVolumeFromServer(sink.Monitor()), 0.5, kVolumeStep);
}

TEST_F(PulseClientTest, MissingSourceFailsEveryLevelCall)
{
    ScopedNullSink sink("sv_exists", "Exists");
    ASSERT_TRUE(sink.Loaded());
    PulseClient client;
    EXPECT_TRUE(client.SourceExists(sink.Monitor()));
    double level = -1;
    for (const std::string& name : std::vector<std::string>{"sv_no_such_sink.monitor", ""}) {
        EXPECT_FALSE(client.SourceExists(name)) << name;
        EXPECT_FALSE(client.GetSourceVolume(name, &level)) << name;
        EXPECT_FALSE(client.SetSourceVolume(name, 0.5)) << name;
    }
    EXPECT_EQ(level, -1);
    EXPECT_FALSE(client.GetSourceVolume(sink.Monitor(), nullptr));
    EXPECT_TRUE(client.Connected()); // a failed request leaves the connection up
}

TEST_F(PulseClientTest, WatchReportsADeviceGoingAndComingBack)
{
    constexpr int kRounds = 5;
    auto sink = std::make_unique<ScopedNullSink>("sv_watch", "Watched");
    ASSERT_TRUE(sink->Loaded());
    Reports reports;
    PulseClient client;
    ASSERT_TRUE(client.StartWatch(reports.Callback()));

    // Times from the start of pactl (which itself takes a few ms) to the report; the
    // report may come before pactl has even exited.
    Millis gone{0}, back{0}, worst{0}, pactl{0};
    for (int round = 0; round < kRounds; ++round) {
        const auto unloading = Clock::now();
        ASSERT_TRUE(sink->Unload());
        pactl += Since(unloading);
        const auto goneAt = reports.WaitFor("sink:sv_watch", false, unloading, kWatchLimit);
        ASSERT_TRUE(goneAt) << "round " << round;

        const auto loading = Clock::now();
        sink = std::make_unique<ScopedNullSink>("sv_watch", "Watched");
        ASSERT_TRUE(sink->Loaded());
        pactl += Since(loading);
        const auto backAt = reports.WaitFor("sink:sv_watch", true, loading, kWatchLimit);
        ASSERT_TRUE(backAt) << "round " << round;

        gone += *goneAt - unloading;
        back += *backAt - loading;
        worst = std::max({worst, Millis(*goneAt - unloading), Millis(*backAt - loading)});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // nothing else may follow
    const auto all = reports.All();
    ASSERT_EQ(all.size(), 2u * kRounds);
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].key, "sink:sv_watch");
        EXPECT_EQ(all[i].present, i % 2 == 1) << i;
    }
    std::printf("[ figures  ] watch, from pactl start to report: gone avg %.2f ms, back avg %.2f ms, worst %.2f "
                "ms (one pactl run: avg %.2f ms)\n",
                gone.count() / kRounds, back.count() / kRounds, worst.count(), pactl.count() / (2 * kRounds));
}

TEST_F(PulseClientTest, WatchReportsANewDeviceButNotLevelChanges)
{
    ScopedNullSink existing("sv_watch_level", "Level Line");
    ASSERT_TRUE(existing.Loaded());
    Reports reports;
    PulseClient client;
    ASSERT_TRUE(client.StartWatch(reports.Callback()));
    ASSERT_TRUE(client.SetSourceVolume(existing.Monitor(), 0.3));
    ASSERT_TRUE(client.SetSourceVolume(existing.Monitor(), 0.6));
    Pactl({"set-sink-volume", existing.Name(), "50%"});

    const auto start = Clock::now();
    ScopedNullSink added("sv_watch_new", "New Line");
    ASSERT_TRUE(added.Loaded());
    ASSERT_TRUE(reports.WaitFor("sink:sv_watch_new", true, start, kWatchLimit));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto all = reports.All();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].key, "sink:sv_watch_new");
}

TEST_F(PulseClientTest, StoppedWatchReportsNothing)
{
    ScopedNullSink sink("sv_watch_stop", "Stopped");
    ASSERT_TRUE(sink.Loaded());
    Reports reports;
    PulseClient client;
    ASSERT_TRUE(client.StartWatch(reports.Callback()));
    EXPECT_FALSE(client.StartWatch(reports.Callback())); // one watch per client
    client.StopWatch();
    ASSERT_TRUE(sink.Unload());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(reports.All().empty());

    // The client goes on working, and can watch again.
    EXPECT_FALSE(client.ListCaptureDevices().empty());
    ASSERT_TRUE(client.StartWatch(reports.Callback()));
    const auto start = Clock::now();
    ScopedNullSink again("sv_watch_stop", "Stopped");
    EXPECT_TRUE(reports.WaitFor("sink:sv_watch_stop", true, start, kWatchLimit));
}

TEST_F(PulseClientTest, TwoClientsWatchSideBySide)
{
    ScopedNullSink sink("sv_watch_two", "Two Watchers");
    ASSERT_TRUE(sink.Loaded());
    Reports firstReports, secondReports;
    PulseClient first, second;
    ASSERT_TRUE(first.StartWatch(firstReports.Callback()));
    ASSERT_TRUE(second.StartWatch(secondReports.Callback()));
    ASSERT_TRUE(sink.Unload());
    const auto start = Clock::now() - std::chrono::milliseconds(50);
    EXPECT_TRUE(firstReports.WaitFor("sink:sv_watch_two", false, start, kWatchLimit));
    EXPECT_TRUE(secondReports.WaitFor("sink:sv_watch_two", false, start, kWatchLimit));
    EXPECT_FALSE(first.ListCaptureDevices().empty());
    EXPECT_FALSE(second.ListCaptureDevices().empty());
}

TEST_F(PulseClientTest, CallbackMayUseTheClientAndStopTheWatch)
{
    ScopedNullSink sink("sv_watch_inside", "Inside");
    ScopedNullSink other("sv_watch_other", "Other");
    ASSERT_TRUE(sink.Loaded() && other.Loaded());
    PulseClient client;
    std::mutex mutex;
    std::condition_variable done;
    int calls = 0;
    bool listed = false, goneExists = true, otherExists = false, restarted = true;
    ASSERT_TRUE(client.StartWatch([&](const std::string&, bool) {
        const bool list = client.ListCaptureDevices().size() > 0;
        const bool gone = client.SourceExists("sv_watch_inside.monitor");
        const bool stays = client.SourceExists("sv_watch_other.monitor");
        const bool again = client.StartWatch([](const std::string&, bool) {});
        client.StopWatch(); // must not wait for itself
        std::lock_guard<std::mutex> guard(mutex);
        ++calls;
        listed = list;
        goneExists = gone;
        otherExists = stays;
        restarted = again;
        done.notify_all();
    }));
    ASSERT_TRUE(sink.Unload());
    {
        std::unique_lock<std::mutex> guard(mutex);
        ASSERT_TRUE(done.wait_for(guard, kWatchLimit, [&] { return calls > 0; }));
        EXPECT_TRUE(listed);
        EXPECT_FALSE(goneExists);
        EXPECT_TRUE(otherExists);
        EXPECT_FALSE(restarted);
    }
    ASSERT_TRUE(other.Unload()); // the watch is stopped: no second call
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::lock_guard<std::mutex> guard(mutex);
    EXPECT_EQ(calls, 1);
}

class ServerGoneTest : public PulseClientTest, public testing::WithParamInterface<int> {};

TEST_P(ServerGoneTest, ReportsEveryDeviceGoneAndEveryCallFails)
{
    PrivateSoundServer server;
    ASSERT_TRUE(server.Running());
    Reports reports;
    PulseClient client(server.ServerString());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.StartWatch(reports.Callback()));
    const auto devices = client.ListCaptureDevices();
    ASSERT_NE(FindDevice(devices, "sink:sv_private"), nullptr);

    const auto start = Clock::now();
    ASSERT_TRUE(server.Stop(GetParam()));
    const auto goneAt = reports.WaitFor("sink:sv_private", false, start, kWatchLimit);
    ASSERT_TRUE(goneAt);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto all = reports.All();
    EXPECT_EQ(all.size(), devices.size());
    EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](const Reports::Report& r) { return !r.present; }));

    EXPECT_FALSE(client.Connected());
    const auto callsStart = Clock::now();
    double level = 0;
    EXPECT_TRUE(client.ListCaptureDevices().empty());
    EXPECT_FALSE(client.SourceExists("sv_private.monitor"));
    EXPECT_FALSE(client.GetSourceVolume("sv_private.monitor", &level));
    EXPECT_FALSE(client.SetSourceVolume("sv_private.monitor", 0.5));
    EXPECT_FALSE(client.StartWatch(reports.Callback()));
    EXPECT_LT(Since(callsStart), kQuickFailure);
    std::printf("[ figures  ] server ended by signal %d: reported gone after %.2f ms\n", GetParam(),
                Millis(*goneAt - start).count());
}

INSTANTIATE_TEST_SUITE_P(Signals, ServerGoneTest, testing::Values(SIGTERM, SIGKILL));

// Every call of a client that never connected fails, quickly.
void ExpectEveryCallFails(PulseClient& client)
{
    const auto start = Clock::now();
    double level = 0;
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(client.ListCaptureDevices().empty());
    EXPECT_FALSE(client.SourceExists("sv_anything.monitor"));
    EXPECT_FALSE(client.GetSourceVolume("sv_anything.monitor", &level));
    EXPECT_FALSE(client.SetSourceVolume("sv_anything.monitor", 0.5));
    EXPECT_FALSE(client.StartWatch([](const std::string&, bool) {}));
    client.StopWatch();
    EXPECT_LT(Since(start), kQuickFailure);
}

TEST_F(PulseClientTest, UnreachableServerFailsQuicklyAndCleanly)
{
    const auto start = Clock::now();
    {
        PulseClient client("unix:/nonexistent/sonovert/native");
        EXPECT_LT(Since(start), kQuickFailure);
        ExpectEveryCallFails(client);
    }
    std::printf("[ figures  ] unreachable server: constructed, tried and destroyed in %.2f ms\n",
                Since(start).count());
}

TEST_F(PulseClientTest, DefaultServerComesFromPulseServer)
{
    const char* saved = std::getenv("PULSE_SERVER");
    ASSERT_NE(saved, nullptr);
    const std::string server = saved;
    setenv("PULSE_SERVER", "unix:/nonexistent/sonovert/native", 1);
    {
        PulseClient client;
        ExpectEveryCallFails(client);
    }
    setenv("PULSE_SERVER", server.c_str(), 1);
    PulseClient client;
    EXPECT_TRUE(client.Connected());
}

// A socket that takes connections and never answers: the connection wait must end.
class SilentServer {
public:
    SilentServer()
    {
        char dir[] = "/tmp/sonovert-silent.XXXXXX";
        if (!mkdtemp(dir))
            return;
        dir_ = dir;
        path_ = dir_ + "/native";
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 8) != 0)
            path_.clear();
    }
    ~SilentServer()
    {
        if (fd_ >= 0)
            close(fd_);
        if (!dir_.empty()) {
            unlink((dir_ + "/native").c_str());
            rmdir(dir_.c_str());
        }
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string dir_;
    std::string path_;
};

TEST_F(PulseClientTest, ServerThatNeverAnswersTimesOut)
{
    SilentServer server;
    ASSERT_FALSE(server.Path().empty());
    const auto start = Clock::now();
    PulseClient client("unix:" + server.Path());
    const Millis took = Since(start);
    EXPECT_FALSE(client.Connected());
    EXPECT_GE(took, std::chrono::milliseconds(2500));
    EXPECT_LT(took, std::chrono::milliseconds(5000));
    ExpectEveryCallFails(client);
    std::printf("[ figures  ] silent server: gave up after %.0f ms\n", took.count());
}

TEST_F(PulseClientTest, ManyClientsLeaveNoFilesOrThreadsBehind)
{
    constexpr int kCycles = 200;
    auto cycle = [] {
        PulseClient client;
        return client.Connected() && !client.ListCaptureDevices().empty();
    };
    ASSERT_TRUE(cycle()); // libpulse's one-time set-up happens here
    const int filesBefore = OpenFileCount();
    const int threadsBefore = ThreadCount();
    int failed = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kCycles; ++i)
        failed += cycle() ? 0 : 1;
    const Millis took = Since(start);
    const int filesAfter = OpenFileCount();
    // A joined thread can still show in /proc for a moment after the join returned; one
    // that stays behind shows for good.
    int threadsAfter = ThreadCount();
    for (int i = 0; i < 100 && threadsAfter != threadsBefore; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        threadsAfter = ThreadCount();
    }
    std::printf("[ figures  ] %d create/list/destroy cycles in %.0f ms (%.2f ms each): open files %d -> %d, "
                "threads %d -> %d\n",
                kCycles, took.count(), took.count() / kCycles, filesBefore, filesAfter, threadsBefore, threadsAfter);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(filesAfter, filesBefore);
    EXPECT_EQ(threadsAfter, threadsBefore);
}

} // namespace
