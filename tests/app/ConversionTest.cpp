// Converting a MIDI file into a WAV file through the real window, as a user does it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mainwindow/ConverterDialog.h"
#include "media/midi/OfflineRender.h"
#include "platform/MessageBox.h"
#include "platform/ProfileStore.h"
#include "platform/Shell.h"
#include "platform/Testing.h"
#include "platform/WinApp.h"
#include "player/PreviewPlayer.h"
#include "platform/testing/UiDriver.h"
#include "res/ResourceIds.h"
#include "tests/harness/ProgramRun.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/MidiWriter.h"
#include "tests/support/PrivateSoundServer.h"
#include "tests/support/PulseServer.h"
#include "tests/support/WavFile.h"

using namespace platform::testing;
using harness::CloseProgram;
using harness::RunProgram;
using harness::ScratchHome;
using harness::TextOf;

namespace {

ConverterDialog* Dialog(HWND window) { return static_cast<ConverterDialog*>(CWnd::FromHandlePermanent(window)); }

std::string Status(HWND window) { return TextOf(GetDlgItem(window, IDC_STATUS)); }

std::vector<float> ReferenceMono(const std::string& midi, int rate) {
    std::vector<int16_t> pcm;
    std::string error;
    EXPECT_TRUE(media::RenderMidiFile(midi, rate, &pcm, &error)) << error;
    std::vector<float> stereo(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) stereo[i] = pcm[i] / 32768.0f;
    return support::ToMono(stereo, 2);
}

void OpenFile(HWND window, const std::string& path) {
    QueueFileDialogAnswer(path);
    Click(GetDlgItem(window, IDC_OPEN));
    Pump(50);
}

}  // namespace

TEST(Conversion, TheWholeRoadFromMidiFileToWavFile) {
    ScratchHome home;
    std::filesystem::create_directories(home.home() + "My Songs");
    // A name with spaces, a quote, a semicolon and letters beyond ASCII reaches no shell.
    std::string midi = home.home() + "My Songs/Chanson d'été; take \"1\".mid";
    testsupport::MidiWriter song = testsupport::MidiWriter::TestSong();
    ASSERT_TRUE(song.Save(midi));
    std::string wav = home.home() + "Chanson d'été; take \"1\".wav";
    CaptureLaunches(true);
    ClearLaunches();
    RunProgram([&](HWND window) {
        OpenFile(window, midi);
        int seconds = static_cast<int>(song.LengthSeconds());
        char caption[128];
        snprintf(caption, sizeof(caption), "Chanson d'été; take \"1\".mid   00:00:%02d", seconds);
        EXPECT_EQ(WindowTitle(window), caption);
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_OUTPUT)), wav);
        EXPECT_NE(g_pPlayer, nullptr);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_CONVERT)));

        Click(GetDlgItem(window, IDC_CONVERT));
        EXPECT_EQ(Status(window), "Status : Converting - Used Time: 00:00:00");
        for (int id : {IDC_CONVERT, IDC_PLAY, IDC_OPEN}) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, id))) << id;
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_STOP)));
        EXPECT_TRUE(WaitUntil([&]() { return Status(window) == "Status : Converting - Used Time: 00:00:02"; }, 4000));
        CaptureScreen(window).SavePng("main-window-converting.png");
        // The recording ends by itself when the music has ended.
        ASSERT_TRUE(WaitUntil([&]() { return Status(window) == "Status : Ready"; }, static_cast<int>(song.LengthSeconds() * 1000) + 15000));
        for (int id : {IDC_CONVERT, IDC_PLAY, IDC_OPEN, IDC_STOP}) EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, id))) << id;

        Click(GetDlgItem(window, IDC_PLAY));
        CloseProgram(window);
    });
    CaptureLaunches(false);

    support::WavInfo info;
    std::vector<float> samples;
    std::string problem;
    ASSERT_TRUE(support::ReadWav(wav, &info, &samples, &problem)) << problem;
    int rate = static_cast<int>(info.sampleRate);
    std::vector<float> recording = support::ToMono(samples, info.channels);
    std::vector<float> reference = ReferenceMono(midi, rate);
    support::Alignment at = support::Align(reference, recording, rate, 5.0);
    EXPECT_GE(at.correlation, 0.999);
    double seconds = static_cast<double>(info.frames) / rate;
    double ringOut = static_cast<double>(reference.size()) / rate - song.LengthSeconds();
    EXPECT_GE(seconds, song.LengthSeconds() + ringOut) << "the whole music with its ring-out";
    EXPECT_LE(seconds, song.LengthSeconds() + ringOut + 2.0) << "and not much more than the start latency";
    std::vector<testsupport::WrittenNote> notes = song.Notes();
    double end = static_cast<double>(reference.size()) / rate;
    EXPECT_GE(support::SegmentCorrelation(reference, recording, at, rate, notes.front().seconds, 0.25), 0.999);
    EXPECT_GE(support::SegmentCorrelation(reference, recording, at, rate, notes.back().seconds, end - notes.back().seconds), 0.999);

    ASSERT_EQ(Launches().size(), 1u) << "Play opens the WAV file in the desktop's player";
    EXPECT_TRUE(Launches()[0].shell);
    EXPECT_EQ(Launches()[0].argv, std::vector<std::string>{wav});
}

TEST(Conversion, StopInTheMiddleKeepsWhatWasPlayed) {
    ScratchHome home;
    std::string midi = home.home() + "song.mid";
    testsupport::MidiWriter song = testsupport::MidiWriter::TestSong();
    ASSERT_TRUE(song.Save(midi));
    RunProgram([&](HWND window) {
        OpenFile(window, midi);
        Click(GetDlgItem(window, IDC_CONVERT));
        Pump(3000);
        Click(GetDlgItem(window, IDC_STOP));
        EXPECT_EQ(Status(window), "Status : Ready");
        EXPECT_EQ(g_pPlayer->m_eState, Stopped);
        // A second Stop, or the player's end of file arriving late, changes nothing.
        SetWindowText(GetDlgItem(window, IDC_STATUS), "unchanged");
        Click(GetDlgItem(window, IDC_STOP));
        PostMessage(window, WM_COMMAND, IDC_STOP, 0);
        Pump(100);
        EXPECT_EQ(Status(window), "unchanged");
        CloseProgram(window);
    });
    support::WavInfo info;
    std::string problem;
    ASSERT_TRUE(support::ReadWav(home.home() + "song.wav", &info, nullptr, &problem)) << problem;
    double seconds = static_cast<double>(info.frames) / info.sampleRate;
    EXPECT_GT(seconds, 2.5);
    EXPECT_LT(seconds, 5.0);
}

TEST(Conversion, UsedTimeCountsTimerTicks) {
    struct Case {
        int before;
        const char* shown;
    };
    const Case cases[] = {{0, "00:00:01"}, {59, "00:01:00"}, {3722, "01:02:03"}, {359999, "100:00:00"}};
    ScratchHome home;
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        for (const Case& c : cases) {
            dialog->m_nElapsed = c.before;
            SendMessage(window, WM_TIMER, kConversionTimer, 0);
            EXPECT_EQ(Status(window), std::string("Status : Converting - Used Time: ") + c.shown);
        }
        CloseProgram(window);
    });
}

TEST(Conversion, ARecordingThatCannotStartSaysWhyAndReturnsToReady) {
    ScratchHome home;
    std::string midi = home.home() + "song.mid";
    testsupport::MidiWriter::TestSong().Save(midi);
    RunProgram([&](HWND window) {
        OpenFile(window, midi);
        SetWindowText(GetDlgItem(window, IDC_OUTPUT), (home.home() + "no such folder/out.wav").c_str());
        ClearShownBoxes();
        QueueMessageBoxAnswer(IDOK);
        Click(GetDlgItem(window, IDC_CONVERT));
        EXPECT_TRUE(WaitUntil([&]() { return Status(window) == "Status : Ready"; }, 3000));
        ASSERT_EQ(ShownBoxes().size(), 1u);
        EXPECT_EQ(ShownBoxes()[0].caption, "Start Converting Error");
        EXPECT_EQ(ShownBoxes()[0].text,
                  "1. Your audio hardware may be used by other program. Please exit the program.\n"
                  "2. Or your audio hardware has unknown problem. The program can not start converting.\n"
                  "3. Or the output wav file is played by other program now. Please exit the program.\n"
                  "4. Or the output wav file has incorrect directory name.");
        EXPECT_EQ(g_pPlayer->m_eState, Stopped) << "the music started is stopped at once";
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_CONVERT)));
        CloseProgram(window);
    });
}

TEST(Conversion, OpenProposesTheOutputAndKeepsTheOldFileOnFailure) {
    ScratchHome home;
    std::string good = home.home() + "Song.Final.mid";
    testsupport::MidiWriter::TestSong().Save(good);
    std::string broken = home.home() + "broken.mid";
    std::ofstream(broken) << "MThd but nothing else";
    RunProgram([&](HWND window) {
        OpenFile(window, good);
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_OUTPUT)), home.home() + "Song.Final.wav") << "only the last extension goes";
        std::string caption = WindowTitle(window);
        PreviewPlayer* player = g_pPlayer;
        ClearShownBoxes();
        QueueMessageBoxAnswer(IDOK);
        OpenFile(window, broken);
        ASSERT_EQ(ShownBoxes().size(), 1u);
        EXPECT_EQ(ShownBoxes()[0].caption, "Error");
        EXPECT_EQ(ShownBoxes()[0].text, "Cannot open the file and get the total time. \nOr the file May be corrupt.");
        EXPECT_EQ(WindowTitle(window), caption) << "the file loaded before stays loaded";
        EXPECT_EQ(g_pPlayer, player);

        // Play with a missing output file says so.
        SetWindowText(GetDlgItem(window, IDC_OUTPUT), (home.home() + "gone.wav").c_str());
        ClearShownBoxes();
        QueueMessageBoxAnswer(IDOK);
        Click(GetDlgItem(window, IDC_PLAY));
        ASSERT_EQ(ShownBoxes().size(), 1u);
        EXPECT_EQ(ShownBoxes()[0].text, home.home() + "gone.wav does not exist!");

        // Browse appends .wav and remembers the folder at once.
        std::filesystem::create_directories(home.home() + "My.Music");
        QueueFileDialogAnswer(home.home() + "My.Music/take1.mp3");
        Click(GetDlgItem(window, IDC_BROWSE));
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_OUTPUT)), home.home() + "My.Music/take1.wav");
        ProfileStore settings("VarnoltStudio", AfxGetApp()->m_pszAppName.str());
        EXPECT_EQ(settings.GetString("Option", "last_output_folder", ""), home.home() + "My.Music/");

        // The player's Close unloads the file.
        PostMessage(window, WM_COMMAND, IDC_CLOSE_MIDI, 0);
        Pump(50);
        EXPECT_EQ(WindowTitle(window), "SONOVERT");
        EXPECT_EQ(g_pPlayer, nullptr);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_CONVERT)));
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_OUTPUT)), home.home() + "My.Music/");
        CloseProgram(window);
    });
}

TEST(Conversion, DisplayNamesAndFolders) {
    struct Case {
        const char* path;
        const char* name;
        const char* folder;
    };
    const Case cases[] = {
        {"/home/u/Music/Song.mid", "Song.mid", "/home/u/Music/"},
        {"/home/u/Music/Song", "Song", "/home/u/Music/"},
        {"Song.mid", "Song.mid", ""},
        {"http://example.org/a.mid", "http://example.org/a.mid", "http://example.org/"},
        {"file:///tmp/a.mid", "file:///tmp/a.mid", "file:///tmp/"},
        {"C:\\Music\\Song.mid", "Song.mid", ""},
    };
    ScratchHome home;
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.path);
            CString name;
            EXPECT_TRUE(dialog->MakeDisplayName(c.path, name));
            EXPECT_EQ(name.str(), c.name);
            EXPECT_EQ(FolderOf(CString(c.path)).str(), c.folder);
        }
        CString untouched = "kept";
        EXPECT_FALSE(dialog->MakeDisplayName("", untouched));
        EXPECT_EQ(untouched.str(), "kept");
        CloseProgram(window);
    });
}

TEST(Conversion, UnpluggingTheDeviceStopsAndKeepsWhatWasRecorded) {
    ScratchHome home;
    PrivateSoundServer server(false);
    ASSERT_TRUE(server.Running());
    SoundServerScope scope(server);
    auto sink = std::make_unique<ScopedNullSink>("stereo_mix", "Stereo Mix");
    ASSERT_TRUE(sink->Loaded());
    std::string midi = home.home() + "song.mid";
    testsupport::MidiWriter::TestSong().Save(midi);
    RunProgram([&](HWND window) {
        OpenFile(window, midi);
        Click(GetDlgItem(window, IDC_CONVERT));
        Pump(1500);
        ClearShownBoxes();
        QueueMessageBoxAnswer(IDOK);
        ASSERT_TRUE(sink->Unload());
        ASSERT_TRUE(WaitUntil([]() { return !ShownBoxes().empty(); }, 5000));
        EXPECT_EQ(ShownBoxes()[0].caption, "DirectShow Audio Capture Sample");
        EXPECT_EQ(ShownBoxes()[0].text, "The selected input device was removed!");
        EXPECT_EQ(ShownBoxes()[0].type & 0xF0, static_cast<UINT>(MB_ICONWARNING));
        EXPECT_TRUE(WaitUntil([&]() { return Status(window) == "Status : Ready"; }, 3000));
        EXPECT_EQ(SendMessage(GetDlgItem(window, IDC_DEVICE_LIST), CB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessage(GetDlgItem(window, IDC_INPUT_LIST), CB_GETCOUNT, 0, 0), 0);
        // Convert then records nothing, says nothing and leaves the recording alone.
        Pump(100);
        ClearShownBoxes();
        Click(GetDlgItem(window, IDC_CONVERT));
        Pump(200);
        EXPECT_TRUE(ShownBoxes().empty());
        EXPECT_EQ(Status(window), "Status : Ready");
        CloseProgram(window);
    });
    support::WavInfo info;
    std::string problem;
    ASSERT_TRUE(support::ReadWav(home.home() + "song.wav", &info, nullptr, &problem)) << problem;
    double seconds = static_cast<double>(info.frames) / info.sampleRate;
    EXPECT_GT(seconds, 1.0) << "what was recorded up to the unplug stays, in a complete file";
}

namespace {

// The sound server reports a device's return only to a graph that did not see it go (the
// program closes its graph when the device goes), so the return is scripted here: an event
// source that hands out one "device back" event and stands where the graph's own one was.
class ReturnEvent final : public IMediaEventEx {
public:
    explicit ReturnEvent(IMediaEventEx* real) : m_real(real) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override { return m_real->QueryInterface(riid, ppv); }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG left = --m_refs;
        if (!left) {
            m_real->Release();
            delete this;
        }
        return left;
    }
    HRESULT GetEvent(long* code, LONG_PTR* p1, LONG_PTR* p2, long timeout) override {
        if (m_given) return m_real->GetEvent(code, p1, p2, timeout);
        m_given = true;
        *code = EC_DEVICE_LOST;
        *p1 = 0;
        *p2 = 1;
        return S_OK;
    }
    HRESULT FreeEventParams(long, LONG_PTR, LONG_PTR) override { return S_OK; }
    HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) override {
        return m_real->SetNotifyWindow(window, message, instance);
    }

private:
    IMediaEventEx* m_real;
    ULONG m_refs = 1;
    bool m_given = false;
};

}  // namespace

TEST(Conversion, ADeviceThatComesBackSetsTheEngineUpAgain) {
    ScratchHome home;
    // The engine's new set-up chooses a line again; the input-device hint was dismissed before.
    ProfileStore("VarnoltStudio", AfxGetApp()->m_pszAppName.str()).WriteInt("Option", "b_only_once", 1);
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        int devices = static_cast<int>(SendMessage(GetDlgItem(window, IDC_DEVICE_LIST), CB_GETCOUNT, 0, 0));
        ASSERT_GT(devices, 0);
        dialog->m_pME = new ReturnEvent(dialog->m_pME);
        ClearShownBoxes();
        QueueMessageBoxAnswer(IDOK);
        PostMessage(window, WM_GRAPHNOTIFY_CAPTURE, 0, 0);
        ASSERT_TRUE(WaitUntil([]() { return !ShownBoxes().empty(); }, 3000));
        EXPECT_EQ(ShownBoxes()[0].caption, "DirectShow Audio Capture Sample");
        EXPECT_EQ(ShownBoxes()[0].text, "The audio input device has been reattached!");
        EXPECT_EQ(ShownBoxes()[0].type & 0xF0, static_cast<UINT>(MB_ICONINFORMATION));
        Pump(50);
        EXPECT_EQ(SendMessage(GetDlgItem(window, IDC_DEVICE_LIST), CB_GETCOUNT, 0, 0), devices) << "one set of entries";
        EXPECT_NE(dialog->m_pDeviceFilter, nullptr) << "the saved device is bound again";
        EXPECT_EQ(SendMessage(GetDlgItem(window, IDC_INPUT_LIST), CB_GETCURSEL, 0, 0), 0);
        CloseProgram(window);
    });
}
