// The filter graphs as the program uses them: devices and their mixers, MIDI playback,
// recording the sound card's output mix into a WAV file, device removal, bad input.
// Real GStreamer, the real private PulseAudio server of the test run, real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "media/DShow.h"
#include "media/midi/OfflineRender.h"
#include "media/testing/MediaFixtures.h"
#include "platform/ComPtr.h"
#include "platform/User.h"
#include "platform/WindowClass.h"
#include "platform/testing/UiDriver.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/GraphBuilders.h"
#include "tests/support/MidiWriter.h"
#include "tests/support/PulseServer.h"
#include "tests/support/WavFile.h"

using namespace testsupport;
using platform::testing::Pump;
using platform::testing::WaitUntil;

namespace {

constexpr UINT kGraphMessage = WM_APP + 2;
std::map<UINT, int> g_messages;

LRESULT NotifyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_APP) ++g_messages[msg];
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

HWND NotifyWindow() {
    static HWND window = nullptr;
    if (!window) {
        WNDCLASS cls;
        cls.lpfnWndProc = NotifyProc;
        cls.lpszClassName = "GraphTestWindow";
        RegisterClass(&cls);
        window = CreateWindowEx(0, "GraphTestWindow", "graph events", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    return window;
}

struct Player {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    HRESULT rendered;

    explicit Player(const std::string& file) {
        graph = NewGraph();
        rendered = graph->RenderFile(Wide(file).c_str(), nullptr);
        control = Query<IMediaControl>(graph.Get(), IID_IMediaControl);
        events = Query<IMediaEventEx>(graph.Get(), IID_IMediaEventEx);
        events->SetNotifyWindow(reinterpret_cast<OAHWND>(NotifyWindow()), kGraphMessage, 0);
    }
    // Waits for the end of the file: the posted message, then EC_COMPLETE among the events.
    bool WaitForComplete(double seconds) {
        bool complete = false;
        WaitUntil([&]() {
            long code;
            LONG_PTR p1, p2;
            while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
                events->FreeEventParams(code, p1, p2);
                if (code == EC_COMPLETE) complete = true;
            }
            return complete;
        }, static_cast<int>(seconds * 1000));
        return complete;
    }
};

struct Recording {
    support::WavInfo info;
    std::vector<float> mono;
    std::string problem;
    bool ok = false;
};

Recording ReadRecording(const std::string& path) {
    Recording r;
    std::vector<float> samples;
    r.ok = support::ReadWav(path, &r.info, &samples, &r.problem);
    if (r.ok) r.mono = support::ToMono(samples, r.info.channels);
    return r;
}

std::vector<float> Reference(const std::string& midi, int rate) {
    std::vector<int16_t> pcm;
    std::string error;
    EXPECT_TRUE(media::RenderMidiFile(midi, rate, &pcm, &error)) << error;
    std::vector<float> stereo(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) stereo[i] = pcm[i] / 32768.0f;
    return support::ToMono(stereo, 2);
}

}  // namespace

TEST(Devices, EachSoundCardOrSinkIsADeviceWithItsMonitorFirst) {
    ScopedNullSink a("sv_stereo_mix", "Stereo Mix");
    ScopedNullSink b("sv_other", "Other Card");
    ASSERT_TRUE(a.Loaded() && b.Loaded());
    std::vector<std::string> names = DeviceNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "Stereo Mix"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Other Card"), names.end());

    ComPtr<IBaseFilter> device = BindDevice("Stereo Mix");
    ASSERT_TRUE(device);
    ComPtr<IPin> line = NthPin(device.Get(), PINDIR_INPUT, 0);
    ASSERT_TRUE(line);
    EXPECT_EQ(PinName(line.Get()), "Monitor of Stereo Mix");
    EXPECT_FALSE(NthPin(device.Get(), PINDIR_INPUT, 1)) << "a null sink has one recording source";
    ComPtr<IPin> output = NthPin(device.Get(), PINDIR_OUTPUT, 0);
    ASSERT_TRUE(output);
    EXPECT_EQ(PinName(output.Get()), "Capture");

    ComPtr<IAMAudioInputMixer> mixer = Mixer(line.Get());
    ASSERT_TRUE(mixer);
    for (double level : {0.0, 0.25, 0.5, 0.733, 1.0}) {
        SCOPED_TRACE(level);
        EXPECT_EQ(mixer->put_MixLevel(level), S_OK);
        EXPECT_NEAR(SourceVolumeFromServer(a.Monitor()), level, 1.0 / 65536 + 1e-9) << "the server's own volume";
        double back = -1;
        EXPECT_EQ(mixer->get_MixLevel(&back), S_OK);
        EXPECT_NEAR(back, level, 1.0 / 65536 + 1e-9);
    }
    EXPECT_EQ(mixer->put_MixLevel(1.5), E_INVALIDARG);
    BOOL enabled = TRUE;
    mixer->get_Enable(&enabled);
    EXPECT_FALSE(enabled) << "no line records until one is enabled";
    mixer->put_Enable(TRUE);
    mixer->get_Enable(&enabled);
    EXPECT_TRUE(enabled);
}

TEST(Devices, TheSameNameTwiceGivesTwoDevices) {
    ScopedNullSink a("sv_twin_a", "Twin Card");
    ScopedNullSink b("sv_twin_b", "Twin Card");
    std::vector<std::string> names = DeviceNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Twin Card"), 2);
}

TEST(Playback, MidiLengthComesFromTheTempoMap) {
    Scratch scratch;
    testsupport::MidiWriter song = testsupport::MidiWriter::TestSong();
    std::string path = scratch.Path("tempo changes.mid");
    ASSERT_TRUE(song.Save(path));
    ComPtr<IGraphBuilder> graph = NewGraph();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
    ComPtr<IMediaSeeking> seeking = Query<IMediaSeeking>(graph.Get(), IID_IMediaSeeking);
    LONGLONG stop = 0;
    ASSERT_EQ(seeking->GetStopPosition(&stop), S_OK);
    EXPECT_NEAR(stop / 1e7, song.LengthSeconds(), 0.001);
    EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME), S_OK);
    // A MIDI file has no picture: the video window answers, but has nothing to show.
    long visible = 0;
    EXPECT_EQ(Query<IVideoWindow>(graph.Get(), IID_IVideoWindow)->get_Visible(&visible), E_NOINTERFACE);
}

TEST(Playback, BadFilesFailWithoutCrashing) {
    Scratch scratch;
    testsupport::MidiWriter song = testsupport::MidiWriter::TestSong();
    std::vector<uint8_t> bytes = song.Bytes();
    auto write = [&](const std::string& name, const std::string& data) {
        std::ofstream(scratch.Path(name), std::ios::binary) << data;
        return scratch.Path(name);
    };
    struct Case {
        std::string what;
        std::string path;
        bool ok;
    };
    std::string good = scratch.Path("Chansons d'été – ça va.mid");
    ASSERT_TRUE(song.Save(good));
    const Case cases[] = {
        {"a path with spaces and accents", good, true},
        {"truncated", write("cut.mid", std::string(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2))), false},
        {"text renamed", write("notes.mid", "These are not notes.\n"), false},
        {"empty", write("empty.mid", ""), false},
        {"missing", scratch.Path("nowhere.mid"), false},
        {"in a missing folder", scratch.Path("no/such/folder.mid"), false},
        {"a folder", scratch.dir, false},
        {"text with another extension", write("readme.txt", "plain text, nothing to play\n"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ComPtr<IGraphBuilder> graph = NewGraph();
        HRESULT hr = graph->RenderFile(Wide(c.path).c_str(), nullptr);
        EXPECT_EQ(SUCCEEDED(hr), c.ok) << std::hex << hr;
    }
}

TEST(Recording, CapturesThePlayedMidiFileWholeAndInTime) {
    Scratch scratch;
    testsupport::MidiWriter song = testsupport::MidiWriter::TestSong();
    std::string midi = scratch.Path("song.mid");
    std::string wav = scratch.Path("song.wav");
    ASSERT_TRUE(song.Save(midi));

    CaptureGraph capture("Loopback_Test", wav);
    ASSERT_EQ(capture.built, S_OK);
    Player player(midi);
    ASSERT_EQ(player.rendered, S_OK);
    g_messages.clear();

    ASSERT_EQ(capture.control->Run(), S_OK) << "the recording is live when Run returns";
    ASSERT_EQ(player.control->Run(), S_OK);
    ASSERT_TRUE(player.WaitForComplete(song.LengthSeconds() + 20)) << "EC_COMPLETE at the end of the music";
    EXPECT_TRUE(WaitUntil([]() { return g_messages[kGraphMessage] >= 1; }, 1000)) << "events are announced with the notify message";
    player.control->Stop();
    EXPECT_EQ(capture.control->StopWhenReady(), S_OK);

    Recording rec = ReadRecording(wav);
    ASSERT_TRUE(rec.ok) << rec.problem;
    auto format = SourceFormatFromServer("sonovert_test.monitor");
    ASSERT_TRUE(format.has_value());
    EXPECT_EQ(rec.info.sampleRate, format->rate) << "the file keeps the source's own format";
    EXPECT_EQ(rec.info.channels, format->channels);

    int rate = static_cast<int>(rec.info.sampleRate);
    std::vector<float> reference = Reference(midi, rate);
    support::Alignment at = support::Align(reference, rec.mono, rate, 5.0);
    EXPECT_GE(at.correlation, 0.999);
    EXPECT_GE(at.offsetFrames, 0);
    std::vector<float> aligned = support::AlignedCopy(rec.mono, at.offsetFrames, reference.size());
    EXPECT_TRUE(support::FindGaps(reference, aligned, rate).empty()) << "no dropouts";

    // The first note and the held last chord, with its ring-out, are whole.
    std::vector<testsupport::WrittenNote> notes = song.Notes();
    double first = notes.front().seconds;
    double lastStart = notes.back().seconds;
    double end = static_cast<double>(reference.size()) / rate;
    EXPECT_GE(support::SegmentCorrelation(reference, rec.mono, at, rate, first, 0.25), 0.999);
    EXPECT_GE(support::SegmentCorrelation(reference, rec.mono, at, rate, lastStart, end - lastStart), 0.999);

    // Every note sounds at its time.
    std::vector<double> expected = support::Onsets(reference, rate, -40, 0.05);
    std::vector<double> recorded = support::Onsets(aligned, rate, -40, 0.05);
    ASSERT_EQ(recorded.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(recorded[i], expected[i], 0.002) << "onset " << i;
}

TEST(Recording, NothingEnabledRecordsSilenceInAWellFormedFile) {
    Scratch scratch;
    std::string wav = scratch.Path("silence.wav");
    CaptureGraph capture("Loopback_Test", wav, -1);
    ASSERT_EQ(capture.built, S_OK);
    ASSERT_EQ(capture.control->Run(), S_OK);
    Pump(500);
    capture.control->StopWhenReady();
    Recording rec = ReadRecording(wav);
    ASSERT_TRUE(rec.ok) << rec.problem;
    EXPECT_GT(rec.info.frames, 0u);
    EXPECT_EQ(support::PeakDbfs(rec.mono), -INFINITY);
}

TEST(Recording, AHardStopStillLeavesACompleteFile) {
    Scratch scratch;
    std::string wav = scratch.Path("stopped.wav");
    CaptureGraph capture("Loopback_Test", wav);
    ASSERT_EQ(capture.built, S_OK);
    ASSERT_EQ(capture.control->Run(), S_OK);
    Pump(300);
    EXPECT_EQ(capture.control->Stop(), S_OK);
    Recording rec = ReadRecording(wav);
    EXPECT_TRUE(rec.ok) << rec.problem;
}

TEST(Recording, OutputThatCannotBeWrittenFailsToRun) {
    Scratch scratch;
    struct Case {
        std::string what;
        std::string path;
    };
    const Case cases[] = {
        {"a missing folder", scratch.Path("no such folder/out.wav")},
        {"a folder in the file's place", scratch.dir},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CaptureGraph capture("Loopback_Test", c.path);
        ASSERT_EQ(capture.built, S_OK);
        EXPECT_TRUE(FAILED(capture.control->Run()));
        OAFilterState state = -1;
        capture.control->GetState(0, &state);
        EXPECT_EQ(state, State_Stopped);
    }
    EXPECT_FALSE(std::filesystem::exists(scratch.Path("no such folder")));
}

TEST(DeviceRemoval, UnplugAndReturnArePosted) {
    auto sink = std::make_unique<ScopedNullSink>("sv_unplug", "Unplug Me");
    ASSERT_TRUE(sink->Loaded());
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<IBaseFilter> device = BindDevice("Unplug Me");
    ASSERT_TRUE(device);
    ASSERT_EQ(graph->AddFilter(device.Get(), u"Audio Capture"), S_OK);
    ComPtr<IMediaEventEx> events = Query<IMediaEventEx>(graph.Get(), IID_IMediaEventEx);
    events->SetNotifyWindow(reinterpret_cast<OAHWND>(NotifyWindow()), kGraphMessage, 0);
    auto waitFor = [&](long wantedCode, bool present) {
        bool seen = false;
        WaitUntil([&]() {
            long code;
            LONG_PTR p1, p2;
            while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
                events->FreeEventParams(code, p1, p2);
                if (code == wantedCode && (p2 != 0) == present) seen = true;
            }
            return seen;
        }, 3000);
        return seen;
    };
    g_messages.clear();
    ASSERT_TRUE(sink->Unload());
    EXPECT_TRUE(waitFor(EC_DEVICE_LOST, false)) << "the device went away: param2 0";
    EXPECT_TRUE(WaitUntil([]() { return g_messages[kGraphMessage] >= 1; }, 1000)) << "announced by the notify message";
    sink = std::make_unique<ScopedNullSink>("sv_unplug", "Unplug Me");
    ASSERT_TRUE(sink->Loaded());
    EXPECT_TRUE(waitFor(EC_DEVICE_LOST, true)) << "the device is back: param2 non-zero";
}

TEST(Graph, RenderConnectsThroughTheFiltersInTheGraph) {
    Scratch scratch;
    CaptureGraph capture("Loopback_Test", scratch.Path("x.wav"));
    ASSERT_EQ(capture.built, S_OK);
    ComPtr<IBaseFilter> wavDest, writer;
    ASSERT_EQ(capture.graph->FindFilterByName(u"WAV Dest", wavDest.GetAddressOf()), S_OK);
    ASSERT_EQ(capture.graph->FindFilterByName(u"File Writer", writer.GetAddressOf()), S_OK);
    ComPtr<IPin> connected;
    EXPECT_EQ(NthPin(capture.device.Get(), PINDIR_OUTPUT, 0)->ConnectedTo(connected.GetAddressOf()), S_OK);
    EXPECT_EQ(PinName(connected.Get()), "In");
    EXPECT_EQ(NthPin(wavDest.Get(), PINDIR_OUTPUT, 0)->ConnectedTo(connected.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(PinName(connected.Get()), "in");
    // Taking the writers out leaves the device alone in the graph, unconnected.
    EXPECT_EQ(capture.graph->RemoveFilter(wavDest.Get()), S_OK);
    EXPECT_EQ(capture.graph->RemoveFilter(writer.Get()), S_OK);
    EXPECT_EQ(NthPin(capture.device.Get(), PINDIR_OUTPUT, 0)->ConnectedTo(connected.ReleaseAndGetAddressOf()), VFW_E_NOT_CONNECTED);
    // With nothing to take the pin, Render fails and connects nothing.
    EXPECT_EQ(capture.graph->Render(NthPin(capture.device.Get(), PINDIR_OUTPUT, 0).Get()), VFW_E_CANNOT_RENDER);
    long code;
    LONG_PTR p1, p2;
    EXPECT_EQ(Query<IMediaEventEx>(capture.graph.Get(), IID_IMediaEventEx)->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

TEST(DeviceRemoval, UnplugDuringARecordingKeepsWhatWasRecorded) {
    Scratch scratch;
    std::string wav = scratch.Path("unplugged.wav");
    auto sink = std::make_unique<ScopedNullSink>("sv_recording", "Recorded Card");
    ASSERT_TRUE(sink->Loaded());
    CaptureGraph capture("Recorded Card", wav);
    ASSERT_EQ(capture.built, S_OK);
    ComPtr<IMediaEventEx> events = Query<IMediaEventEx>(capture.graph.Get(), IID_IMediaEventEx);
    ASSERT_EQ(capture.control->Run(), S_OK);
    Pump(400);
    ASSERT_TRUE(sink->Unload());
    std::vector<long> codes;
    WaitUntil([&]() {
        long code;
        LONG_PTR p1, p2;
        while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) codes.push_back(code);
        return std::find(codes.begin(), codes.end(), EC_DEVICE_LOST) != codes.end();
    }, 3000);
    EXPECT_NE(std::find(codes.begin(), codes.end(), EC_DEVICE_LOST), codes.end());
    EXPECT_EQ(capture.control->StopWhenReady(), S_OK);
    Recording rec = ReadRecording(wav);
    ASSERT_TRUE(rec.ok) << rec.problem;
    EXPECT_GT(rec.info.frames, rec.info.sampleRate / 10) << "what came before the unplug stays";
}

TEST(Playback, OtherFilesPlayAndVideoHasAPicture) {
    Scratch scratch;
    std::string video = scratch.Path("clip with picture.avi"), tone = scratch.Path("tone.wav");
    std::string error;
    ASSERT_TRUE(media::testing::WriteTestVideo(video, 160, 120, 1.0, true, &error)) << error;
    ASSERT_TRUE(media::testing::WriteTestTone(tone, 0.5, &error)) << error;
    struct Case {
        std::string path;
        bool video;
        double seconds;
    };
    const Case cases[] = {{video, true, 1.0}, {tone, false, 0.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Player player(c.path);
        ASSERT_EQ(player.rendered, S_OK);
        LONGLONG stop = 0;
        Query<IMediaSeeking>(player.graph.Get(), IID_IMediaSeeking)->GetStopPosition(&stop);
        EXPECT_NEAR(stop / 1e7, c.seconds, 0.1);
        ComPtr<IVideoWindow> window = Query<IVideoWindow>(player.graph.Get(), IID_IVideoWindow);
        long visible = 0, width = 0, height = 0;
        EXPECT_EQ(window->get_Visible(&visible), c.video ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(Query<IBasicVideo>(player.graph.Get(), IID_IBasicVideo)->GetVideoSize(&width, &height),
                  c.video ? S_OK : E_NOINTERFACE);
        if (c.video) {
            EXPECT_EQ(width, 160);
            EXPECT_EQ(height, 120);
            EXPECT_EQ(window->put_Owner(reinterpret_cast<OAHWND>(NotifyWindow())), S_OK);
        }
        ASSERT_EQ(player.control->Run(), S_OK);
        EXPECT_TRUE(player.WaitForComplete(c.seconds + 10));
        // Stopped and rewound, it plays again from the start.
        player.control->Stop();
        LONGLONG zero = 0;
        Query<IMediaSeeking>(player.graph.Get(), IID_IMediaSeeking)
            ->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        EXPECT_EQ(player.control->Pause(), S_OK);
        LONGLONG current = -1;
        Query<IMediaSeeking>(player.graph.Get(), IID_IMediaSeeking)->GetCurrentPosition(&current);
        EXPECT_LT(current, 1000000) << "cued at the start";
        ASSERT_EQ(player.control->Run(), S_OK);
        EXPECT_TRUE(player.WaitForComplete(c.seconds + 10)) << "a second run ends again";
    }
}
