// The capture engine in the running program: devices, input lines, the loopback search,
// the recording level and the recording chain, on sound servers of the tests' own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "mainwindow/ConverterDialog.h"
#include "platform/ComPtr.h"
#include "platform/ProfileStore.h"
#include "platform/Testing.h"
#include "platform/WinApp.h"
#include "platform/testing/UiDriver.h"
#include "res/ResourceIds.h"
#include "tests/app/FakeLineDevice.h"
#include "tests/harness/ProgramRun.h"
#include "tests/support/PrivateSoundServer.h"
#include "tests/support/PulseServer.h"

using namespace platform::testing;
using harness::CloseProgram;
using harness::RunProgram;
using harness::ScratchHome;
using harness::TextOf;

namespace {

ConverterDialog* Dialog(HWND window) { return static_cast<ConverterDialog*>(CWnd::FromHandlePermanent(window)); }

ProfileStore Settings() { return ProfileStore("VarnoltStudio", AfxGetApp()->m_pszAppName.str()); }

std::vector<std::string> Entries(HWND combo) {
    std::vector<std::string> out;
    int count = static_cast<int>(SendMessage(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[260] = "";
        SendMessage(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        out.push_back(text);
    }
    return out;
}

int Selection(HWND combo) { return static_cast<int>(SendMessage(combo, CB_GETCURSEL, 0, 0)); }

BOOL LineEnabled(ConverterDialog* dialog, int line) {
    ComPtr<IPin> pin;
    if (FAILED(dialog->FindNthPin(dialog->m_pDeviceFilter, PINDIR_INPUT, line, pin.GetAddressOf()))) return FALSE;
    ComPtr<IAMAudioInputMixer> mixer;
    pin->QueryInterface(IID_IAMAudioInputMixer, reinterpret_cast<void**>(mixer.GetAddressOf()));
    BOOL enabled = FALSE;
    if (mixer) mixer->get_Enable(&enabled);
    return enabled;
}

std::vector<std::string> FilterNames(IGraphBuilder* graph) {
    std::vector<std::string> names;
    ComPtr<IEnumFilters> filters;
    graph->EnumFilters(filters.GetAddressOf());
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        FILTER_INFO info;
        filter->QueryFilterInfo(&info);
        if (info.pGraph) info.pGraph->Release();
        names.push_back(Utf16ToUtf8(info.achName));
    }
    return names;
}

std::string CurrentFile(IBaseFilter* writer) {
    ComPtr<IFileSinkFilter2> sink;
    writer->QueryInterface(IID_IFileSinkFilter2, reinterpret_cast<void**>(sink.GetAddressOf()));
    LPOLESTR name = nullptr;
    sink->GetCurFile(&name, nullptr);
    std::string out = name ? Utf16ToUtf8(name) : "";
    CoTaskMemFree(name);
    return out;
}

size_t OpenFiles() {
    size_t n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd"); it != std::filesystem::directory_iterator(); ++it) ++n;
    return n;
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

TEST(CaptureEngine, FindsTheLoopbackLineAtTheFirstStartAndRemembersIt) {
    ScratchHome home;
    PrivateSoundServer server(false);
    ASSERT_TRUE(server.Running());
    SoundServerScope scope(server);
    ScopedNullSink sink("stereo_mix", "Stereo Mix");
    ASSERT_TRUE(sink.Loaded());
    ASSERT_TRUE(Pactl({"set-source-volume", sink.Monitor(), std::to_string(static_cast<int>(std::lround(0.733 * 65536)))}));

    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        HWND lines = GetDlgItem(window, IDC_INPUT_LIST);
        EXPECT_EQ(Entries(lines), std::vector<std::string>{"Monitor of Stereo Mix"});
        EXPECT_EQ(Selection(lines), 0);
        EXPECT_FALSE(IsWindowVisible(lines)) << "found at once: the list hides in this very run";
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_DEVICE_LIST))) << "one device";
        EXPECT_EQ(nSearchFlag, 1);
        EXPECT_TRUE(LineEnabled(dialog, 0));
        EXPECT_EQ(SendMessage(GetDlgItem(window, IDC_LEVEL), TBM_GETPOS, 0, 0), 146) << "0.733 of the level shows as 146";
        CloseProgram(window);
    });
    EXPECT_EQ(Settings().GetInt("Option", "nSearchFlag", -1), 1);
    EXPECT_EQ(Settings().GetInt("Option", "nCapturePinIndex", -1), 0);
    RunProgram([&](HWND window) {
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_INPUT_LIST))) << "the next start hides it too";
        CloseProgram(window);
    });
}

TEST(CaptureEngine, LoopbackSearchByLineNames) {
    struct Case {
        std::vector<std::string> lines;
        int found;  // -1: no line matches
    };
    const Case cases[] = {
        {{"Microphone", "Line In", "Stereo Mix", "Wave Out Mix"}, 2},
        {{"STEREO MIX"}, 0},
        {{"What U Hear"}, 0},
        {{"Mono Mix"}, 0},
        {{"Mixer"}, 0},
        {{"Output", "Wave"}, 0},
        {{"Aux", "Monitor of Built-in Audio Analog Stereo"}, 1},
        {{"Microphone", "Line In", "CD Audio"}, -1},
        {{}, -1},
    };
    ScratchHome home;
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.lines.empty() ? std::string("no lines") : c.lines.front());
            harness::FakeLineDevice* device = harness::MakeFakeLineDevice(c.lines);
            nSearchFlag = 0;
            nCapturePinIndex = 7;  // the saved line, kept when nothing matches
            EXPECT_EQ(dialog->ListInputLines(harness::AsFilter(device), PINDIR_INPUT, dialog->m_comboInputLines), S_FALSE);
            EXPECT_EQ(Entries(GetDlgItem(window, IDC_INPUT_LIST)), c.lines);
            EXPECT_EQ(nSearchFlag, c.found >= 0 ? 1 : 0);
            EXPECT_EQ(nCapturePinIndex, c.found >= 0 ? c.found : 7);
            // Once found, the search never runs again.
            if (c.found >= 0) {
                nCapturePinIndex = 5;
                dialog->ListInputLines(harness::AsFilter(device), PINDIR_INPUT, dialog->m_comboInputLines);
                EXPECT_EQ(nCapturePinIndex, 5);
            }
            harness::AsFilter(device)->Release();
        }
        CloseProgram(window);
    });
}

TEST(CaptureEngine, ExactlyTheChosenLineIsEnabledAndTheSliderSetsItsLevel) {
    ScratchHome home;
    Settings().WriteInt("Option", "b_only_once", 1);  // the input-device hint was dismissed for good
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        harness::FakeLineDevice* device = harness::MakeFakeLineDevice({"Microphone", "Line In", "Stereo Mix"});
        std::vector<harness::FakeLine>& lines = harness::LinesOf(device);
        lines[1].level = 0.25;
        // Put the fake in the real device's place for this test.
        IBaseFilter* real = dialog->m_pDeviceFilter;
        dialog->m_pDeviceFilter = harness::AsFilter(device);
        dialog->ListInputLines(dialog->m_pDeviceFilter, PINDIR_INPUT, dialog->m_comboInputLines);
        ChooseListEntry(GetDlgItem(window, IDC_INPUT_LIST), 1);
        EXPECT_EQ(nCapturePinIndex, 1);
        EXPECT_FALSE(lines[0].enabled);
        EXPECT_TRUE(lines[1].enabled);
        EXPECT_FALSE(lines[2].enabled);
        EXPECT_EQ(SendMessage(GetDlgItem(window, IDC_LEVEL), TBM_GETPOS, 0, 0), 50) << "the chosen line's level shows";

        DragTrackbarTo(GetDlgItem(window, IDC_LEVEL), 0);
        EXPECT_EQ(lines[1].level, 0.0);
        EXPECT_TRUE(lines[1].enabled) << "level 0 keeps the line enabled";
        DragTrackbarTo(GetDlgItem(window, IDC_LEVEL), 146);
        EXPECT_DOUBLE_EQ(lines[1].level, 0.73);

        // No line chosen: every line off, no level set.
        lines[2].level = 0.9;
        SendMessage(GetDlgItem(window, IDC_INPUT_LIST), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        dialog->ApplyRecordingLevel(0.1);
        EXPECT_EQ(nCapturePinIndex, -1);
        for (const harness::FakeLine& line : lines) EXPECT_FALSE(line.enabled) << line.name;
        EXPECT_EQ(lines[2].level, 0.9);

        // A line without a mixer is passed over.
        lines[0].hasMixer = false;
        SendMessage(GetDlgItem(window, IDC_INPUT_LIST), CB_SETCURSEL, 0, 0);
        EXPECT_EQ(dialog->ActivateInputLine(), S_OK);
        dialog->m_pDeviceFilter = real;
        harness::AsFilter(device)->Release();
        CloseProgram(window);
    });
}

TEST(CaptureEngine, SliderReleasedAtHundredSetsHalfTheServersVolume) {
    ScratchHome home;
    PrivateSoundServer server(false);
    SoundServerScope scope(server);
    ScopedNullSink sink("stereo_mix", "Stereo Mix");
    RunProgram([&](HWND window) {
        DragTrackbarTo(GetDlgItem(window, IDC_LEVEL), 100);
        EXPECT_NEAR(SourceVolumeFromServer(sink.Monitor()), 0.5, 1.0 / 65536);
        // The keyboard moves the thumb but releases nothing: the level stays.
        SetFocus(GetDlgItem(window, IDC_LEVEL));
        PressKey("Right");
        EXPECT_NEAR(SourceVolumeFromServer(sink.Monitor()), 0.5, 1.0 / 65536);
        CloseProgram(window);
    });
}

TEST(CaptureEngine, TwoDevicesShowTheListAndEitherCanBeChosen) {
    ScratchHome home;
    Settings().WriteInt("Option", "b_only_once", 1);  // the input-device hint was dismissed for good
    PrivateSoundServer server(false);
    SoundServerScope scope(server);
    ScopedNullSink a("card_a", "Card A"), b("card_b", "Card B");
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        HWND devices = GetDlgItem(window, IDC_DEVICE_LIST);
        EXPECT_TRUE(IsWindowVisible(devices));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_DEVICE_LABEL)));
        EXPECT_EQ(Entries(devices), (std::vector<std::string>{"Card A", "Card B"}));
        EXPECT_EQ(Selection(devices), 0);
        EXPECT_EQ(Entries(GetDlgItem(window, IDC_INPUT_LIST)), std::vector<std::string>{"Monitor of Card A"});
        ChooseListEntry(devices, 1);
        EXPECT_EQ(nSoundCaptureIndex, 1);
        EXPECT_EQ(Entries(GetDlgItem(window, IDC_INPUT_LIST)), std::vector<std::string>{"Monitor of Card B"});
        EXPECT_NE(dialog->m_pGB, nullptr);
        EXPECT_EQ(FilterNames(dialog->m_pGB), std::vector<std::string>{"Audio Capture"});
        // The level goes to Card B's line now.
        DragTrackbarTo(GetDlgItem(window, IDC_LEVEL), 40);
        EXPECT_NEAR(SourceVolumeFromServer(b.Monitor()), 0.2, 1.0 / 65536);
        EXPECT_NEAR(SourceVolumeFromServer(a.Monitor()), 1.0, 1.0 / 65536);
        CloseProgram(window);
    });
    EXPECT_EQ(Settings().GetInt("Option", "nSoundCaptureIndex", -1), 1);
}

TEST(CaptureEngine, TheSameNameTwiceBindsEachDevice) {
    ScratchHome home;
    Settings().WriteInt("Option", "b_only_once", 1);  // the input-device hint was dismissed for good
    PrivateSoundServer server(false);
    SoundServerScope scope(server);
    ScopedNullSink a("twin_a", "Twin"), b("twin_b", "Twin");
    RunProgram([&](HWND window) {
        HWND devices = GetDlgItem(window, IDC_DEVICE_LIST);
        EXPECT_EQ(Entries(devices), (std::vector<std::string>{"Twin", "Twin"}));
        for (int i : {1, 0}) {
            SCOPED_TRACE(i);
            ChooseListEntry(devices, i);
            DragTrackbarTo(GetDlgItem(window, IDC_LEVEL), 20 + 100 * i);
            EXPECT_NEAR(SourceVolumeFromServer((i ? b : a).Monitor()), (20 + 100 * i) / 200.0, 1.0 / 65536);
        }
        CloseProgram(window);
    });
}

TEST(CaptureEngine, ASavedDeviceBeyondTheListBindsNothing) {
    ScratchHome home;
    Settings().WriteInt("Option", "b_only_once", 1);  // the input-device hint was dismissed for good
    PrivateSoundServer server(false);
    SoundServerScope scope(server);
    ScopedNullSink a("card_a", "Card A"), b("card_b", "Card B");
    Settings().WriteInt("Option", "nSoundCaptureIndex", 5);
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        EXPECT_EQ(Selection(GetDlgItem(window, IDC_DEVICE_LIST)), -1);
        EXPECT_EQ(dialog->m_pDeviceFilter, nullptr);
        EXPECT_TRUE(Entries(GetDlgItem(window, IDC_INPUT_LIST)).empty());
        // Choosing one in the list then works.
        ChooseListEntry(GetDlgItem(window, IDC_DEVICE_LIST), 0);
        EXPECT_NE(dialog->m_pDeviceFilter, nullptr);
        CloseProgram(window);
    });
}

TEST(CaptureEngine, NoCaptureDeviceEndsTheProgramWithAMessage) {
    struct Case {
        const char* what;
        bool server;
    };
    for (const Case& c : {Case{"a sound server with nothing to record", true}, Case{"no sound server at all", false}}) {
        SCOPED_TRACE(c.what);
        ScratchHome home;
        PrivateSoundServer server(false);
        SoundServerScope scope(server);
        if (!c.server) setenv("PULSE_SERVER", "unix:/nonexistent/sonovert/native", 1);
        ClearShownBoxes();
        QueueMessageBoxAnswer(IDOK);
        bool scriptRan = false;
        EXPECT_TRUE(RunProgram([&](HWND window) {
            scriptRan = true;
            CloseProgram(window);
        }));
        EXPECT_FALSE(scriptRan) << "the window never comes up";
        ASSERT_EQ(ShownBoxes().size(), 1u);
        EXPECT_EQ(ShownBoxes()[0].caption, "No audio capture hardware!");
        EXPECT_EQ(ShownBoxes()[0].text.rfind("There were no audio capture devices detected on this system.\r\n", 0), 0u);
        EXPECT_NE(ShownBoxes()[0].text.find("This program will now exit."), std::string::npos);
        EXPECT_FALSE(home.SettingsExist()) << "nothing is saved";
    }
}

TEST(CaptureEngine, RecordingChainComesAndGoes) {
    ScratchHome home;
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        ASSERT_NE(dialog->m_pGB, nullptr);
        // The output box as Open leaves it.
        dialog->EnableControls(TRUE);
        SetWindowText(GetDlgItem(window, IDC_OUTPUT), (home.home() + "take 1.wav").c_str());
        ASSERT_EQ(dialog->AttachWavWriter(), S_OK);
        EXPECT_EQ(FilterNames(dialog->m_pGB), (std::vector<std::string>{"Audio Capture", "WAV Dest", "File Writer"}));
        ComPtr<IPin> output, connected;
        dialog->FindNthPin(dialog->m_pDeviceFilter, PINDIR_OUTPUT, 0, output.GetAddressOf());
        EXPECT_EQ(output->ConnectedTo(connected.GetAddressOf()), S_OK);
        EXPECT_EQ(CurrentFile(dialog->m_pFileWriterFilter), home.home() + "take 1.wav");
        ComPtr<IBaseFilter> firstWriter(dialog->m_pFileWriterFilter);
        EXPECT_EQ(dialog->DetachWavWriter(), S_OK);
        EXPECT_EQ(FilterNames(dialog->m_pGB), std::vector<std::string>{"Audio Capture"});
        EXPECT_EQ(dialog->m_pWavDestFilter, nullptr);

        // A second attach builds new writers; an empty box records to the default file.
        SetWindowText(GetDlgItem(window, IDC_OUTPUT), "");
        ASSERT_EQ(dialog->AttachWavWriter(), S_OK);
        EXPECT_NE(dialog->m_pFileWriterFilter, firstWriter.Get());
        EXPECT_EQ(CurrentFile(dialog->m_pFileWriterFilter), home.home() + "sonovert.wav");
        dialog->DetachWavWriter();

        // A name of 300 characters is cut to 259.
        std::string longName = home.home() + std::string(300 - home.home().size(), 'x');
        SetWindowText(GetDlgItem(window, IDC_OUTPUT), longName.c_str());
        ASSERT_EQ(dialog->AttachWavWriter(), S_OK);
        EXPECT_EQ(CurrentFile(dialog->m_pFileWriterFilter), longName.substr(0, 259));
        dialog->DetachWavWriter();
        EXPECT_EQ(dialog->DetachWavWriter(), S_OK) << "nothing attached: nothing to do";
        CloseProgram(window);
    });
}

TEST(CaptureEngine, TearDownLeavesNothingBehind) {
    ScratchHome home;
    Settings().WriteInt("Option", "b_only_once", 1);  // each set-up chooses a line: no hint in between
    RunProgram([&](HWND window) {
        ConverterDialog* dialog = Dialog(window);
        dialog->TearDownCaptureEngine();
        dialog->TearDownCaptureEngine();  // harmless the second time
        EXPECT_EQ(dialog->m_pGB, nullptr);
        EXPECT_EQ(dialog->m_pDeviceFilter, nullptr);
        EXPECT_TRUE(Entries(GetDlgItem(window, IDC_DEVICE_LIST)).empty());
        EXPECT_TRUE(Entries(GetDlgItem(window, IDC_INPUT_LIST)).empty());

        auto cycle = [&](int times) {
            for (int i = 0; i < times; ++i) {
                ASSERT_EQ(dialog->SetUpCaptureEngine(), S_OK);
                ASSERT_EQ(dialog->AttachWavWriter(), S_OK);
                dialog->TearDownCaptureEngine();
            }
        };
        cycle(20);  // let caches and the sound server connection pools settle
        Pump(100);
        size_t filesBefore = OpenFiles();
        long memoryBefore = ResidentKb();
        cycle(200);
        Pump(100);
        size_t filesAfter = OpenFiles();
        long memoryAfter = ResidentKb();
        printf("200 set-up/teardown cycles: open files %zu -> %zu, resident memory %ld -> %ld KiB\n", filesBefore,
               filesAfter, memoryBefore, memoryAfter);
        EXPECT_EQ(filesAfter, filesBefore);
        EXPECT_LT(memoryAfter - memoryBefore, 4096) << "KiB grown over 200 cycles";
        ASSERT_EQ(dialog->SetUpCaptureEngine(), S_OK);
        CloseProgram(window);
    });
}
