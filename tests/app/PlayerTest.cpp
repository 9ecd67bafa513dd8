// The media player and its window, with real files played into the test sound server.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "mainwindow/ConverterDialog.h"
#include "media/testing/MediaFixtures.h"
#include "platform/ComPtr.h"
#include "platform/Testing.h"
#include "platform/WindowClass.h"
#include "platform/testing/UiDriver.h"
#include "player/PreviewPlayer.h"
#include "res/ResourceIds.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/GraphBuilders.h"
#include "tests/support/MidiWriter.h"
#include "tests/support/WavFile.h"

using namespace platform::testing;
using testsupport::Scratch;

namespace {

// Stands in for the main window: counts the messages the player sends it.
std::map<std::pair<UINT, WPARAM>, int> g_received;

LRESULT OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND || msg == WM_PLAYER_TICK) ++g_received[{msg, msg == WM_COMMAND ? LOWORD(wParam) : 0}];
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

HWND Owner() {
    static HWND window = nullptr;
    if (!window) {
        WNDCLASS cls;
        cls.lpfnWndProc = OwnerProc;
        cls.lpszClassName = "PlayerTestOwner";
        RegisterClass(&cls);
        window = CreateWindowEx(0, "PlayerTestOwner", "owner", WS_CAPTION, 300, 500, 200, 100, nullptr, nullptr, nullptr, nullptr);
        ShowWindow(window, SW_SHOW);
        WaitUntil([]() { return IsMappedOnScreen(window); });
    }
    return window;
}

int Received(UINT msg, WPARAM command = 0) { return g_received[{msg, command}]; }

std::string ShortSong(const Scratch& scratch, const std::string& name, double seconds) {
    testsupport::MidiWriter song(0, 480);
    int track = song.AddTrack();
    song.ProgramChange(track, 0, 0, 0);
    uint32_t ticks = static_cast<uint32_t>(seconds * 960);  // 120 bpm: 960 ticks a second
    song.Chord(track, 0, ticks, 0, {60, 64, 67}, 100);
    std::string path = scratch.Path(name);
    song.Save(path);
    return path;
}

// Records the test sound server's monitor for a while, as the program would.
std::vector<float> RecordMonitor(const Scratch& scratch, const std::function<void()>& during) {
    std::string wav = scratch.Path("monitor.wav");
    testsupport::CaptureGraph capture("Loopback_Test", wav);
    EXPECT_EQ(capture.built, S_OK);
    EXPECT_EQ(capture.control->Run(), S_OK);
    during();
    capture.control->StopWhenReady();
    support::WavInfo info;
    std::vector<float> samples;
    std::string problem;
    EXPECT_TRUE(support::ReadWav(wav, &info, &samples, &problem)) << problem;
    return support::ToMono(samples, info.channels);
}

std::string Caption(HWND window) {
    char text[300] = "";
    GetWindowText(window, text, sizeof(text));
    return text;
}

// The player runs on the program's thread with COM started, as the main window starts it.
class Player : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ArmWatchdog(60000, "the player test");
    }
    void TearDown() override {
        DisarmWatchdog();
        ClearQueuedAnswers();
        CoUninitialize();
    }
};
using PlayerWindow = Player;

}  // namespace

TEST_F(Player, MidiFilePlaysOnlyWhenAskedAndNeverShowsItsWindow) {
    Scratch scratch;
    std::string song = ShortSong(scratch, "song.mid", 1.0);
    PreviewPlayer player(nullptr, Owner());
    strcpy(player.m_szFile, song.c_str());
    ASSERT_TRUE(player.OpenMedia());
    EXPECT_TRUE(player.m_bAudioOnly);
    EXPECT_EQ(player.m_eState, Stopped);
    ASSERT_TRUE(IsWindow(player.m_hWnd));
    EXPECT_FALSE(IsWindowVisible(player.m_hWnd));
    EXPECT_EQ(Caption(player.m_hWnd), "song.mid  ");

    std::vector<float> before = RecordMonitor(scratch, []() { Pump(800); });
    EXPECT_EQ(support::PeakDbfs(before), -INFINITY) << "nothing sounds before PlayMedia";
    std::vector<float> during = RecordMonitor(scratch, [&]() {
        player.PlayMedia();
        Pump(800);
    });
    EXPECT_GT(support::PeakDbfs(during), -30) << "the music once PlayMedia ran";
    EXPECT_FALSE(IsWindowVisible(player.m_hWnd));
    player.CloseMedia();
}

TEST_F(Player, PlayingToTheEndStopsRewindsAndTellsTheMainWindowOnce) {
    Scratch scratch;
    std::string song = ShortSong(scratch, "short.mid", 0.5);
    PreviewPlayer player(nullptr, Owner());
    strcpy(player.m_szFile, song.c_str());
    ASSERT_TRUE(player.OpenMedia());
    g_received.clear();
    player.PlayMedia();
    EXPECT_EQ(player.m_eState, Running);
    ASSERT_TRUE(WaitUntil([]() { return Received(WM_COMMAND, IDC_STOP) > 0; }, 10000));
    Pump(1500);  // a second end-of-file message would come in this time
    EXPECT_EQ(Received(WM_COMMAND, IDC_STOP), 1);
    EXPECT_EQ(player.m_eState, Stopped);
    LONGLONG current = -1;
    player.pMS->GetCurrentPosition(&current);
    EXPECT_LT(current, 100000) << "rewound to the start";
    // Played again it ends again.
    player.PlayMedia();
    EXPECT_TRUE(WaitUntil([]() { return Received(WM_COMMAND, IDC_STOP) == 2; }, 10000));
    player.CloseMedia();
}

TEST_F(Player, StatesAndCaptions) {
    Scratch scratch;
    std::string song = ShortSong(scratch, "song.mid", 5.0);
    struct Step {
        const char* action;
        PlayerState state;
        const char* caption;
    };
    const Step steps[] = {
        {"pause", Stopped, "song.mid  "},  {"stop", Stopped, "song.mid  "},         {"play", Running, "song.mid  "},
        {"play", Running, "song.mid  "},   {"pause", Paused, "song.mid  (Paused)"}, {"pause", Paused, "song.mid  (Paused)"},
        {"play", Running, "song.mid  "},   {"stop", Stopped, "song.mid  "},         {"play", Running, "song.mid  "},
    };
    PreviewPlayer player(nullptr, Owner());
    // Without media every action does nothing.
    player.PlayMedia();
    player.PauseMedia();
    player.StopMedia();
    EXPECT_EQ(player.m_eState, NoMedia);
    strcpy(player.m_szFile, song.c_str());
    ASSERT_TRUE(player.OpenMedia());
    for (const Step& s : steps) {
        SCOPED_TRACE(s.action);
        std::string action = s.action;
        if (action == "play") player.PlayMedia();
        if (action == "pause") player.PauseMedia();
        if (action == "stop") player.StopMedia();
        EXPECT_EQ(player.m_eState, s.state);
        EXPECT_EQ(Caption(player.m_hWnd), s.caption);
    }
    // Ticks come every second whatever the state, and stop with the media.
    player.StopMedia();
    g_received.clear();
    Pump(2300);
    EXPECT_GE(Received(WM_PLAYER_TICK), 2) << "stopped";
    player.PlayMedia();
    player.PauseMedia();
    g_received.clear();
    Pump(1200);
    EXPECT_GE(Received(WM_PLAYER_TICK), 1) << "paused";
    player.CloseMedia();
    EXPECT_EQ(player.m_eState, NoMedia);
    EXPECT_EQ(player.m_hWnd, nullptr);
    g_received.clear();
    Pump(1300);
    EXPECT_EQ(Received(WM_PLAYER_TICK), 0) << "none after the media is closed";
    player.PlayMedia();
    EXPECT_EQ(player.m_eState, NoMedia);
}

TEST_F(Player, AFileThatCannotBePlayedShowsOneErrorBox) {
    Scratch scratch;
    std::string text = scratch.Path("readme.txt");
    std::ofstream(text) << "nothing to play here\n";
    ClearShownBoxes();
    QueueMessageBoxAnswer(IDOK);
    PreviewPlayer player(nullptr, Owner());
    strcpy(player.m_szFile, text.c_str());
    EXPECT_FALSE(player.OpenMedia());
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].caption, "Error");
    EXPECT_EQ(ShownBoxes()[0].text,
              "Cannot play the file.  The file is either corrupt or\nthe player does not support the format you are trying to play.\n"
              "If you want more decoders, please visit our website.");
    EXPECT_EQ(player.m_eState, NoMedia);
    EXPECT_EQ(player.m_hWnd, nullptr);
    EXPECT_EQ(player.pGB, nullptr);
}

TEST_F(Player, ItsOwnDialogRefusesPlaylists) {
    Scratch scratch;
    std::string song = ShortSong(scratch, "Song.MID", 0.5);
    struct Case {
        std::string answer;
        bool opens;
    };
    const Case cases[] = {
        {scratch.Path("list.ASX"), false},
        {scratch.Path("my.asx files/song.mid"), false},
        {"", false},
        {song, true},  // accepted, with its own letters kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ClearShownBoxes();
        QueueFileDialogAnswer(c.answer);
        if (!c.answer.empty() && !c.opens) QueueMessageBoxAnswer(IDOK);
        PreviewPlayer player(nullptr, Owner());
        EXPECT_EQ(player.OpenMedia(), c.opens);
        if (!c.answer.empty() && !c.opens) {
            ASSERT_EQ(ShownBoxes().size(), 1u);
            EXPECT_EQ(ShownBoxes()[0].caption, "Message");
            EXPECT_EQ(ShownBoxes()[0].text, "ASX Playlists are not supported by this application.\n\nPlease select a valid media file.");
            EXPECT_EQ(player.m_eState, NoMedia);
        }
        if (c.opens) {
            EXPECT_EQ(std::string(player.m_szFile), song);
            player.CloseMedia();
        }
        ClearQueuedAnswers();
    }
}

TEST_F(PlayerWindow, AClipWithAPictureIsShownWithItsMenuAndToggle) {
    Scratch scratch;
    std::string clip = scratch.Path("clip.avi");
    std::string error;
    ASSERT_TRUE(media::testing::WriteTestVideo(clip, 160, 120, 3.0, false, &error)) << error;
    PreviewPlayer player(nullptr, Owner());
    strcpy(player.m_szFile, clip.c_str());
    ASSERT_TRUE(player.OpenMedia());
    EXPECT_FALSE(player.m_bAudioOnly);
    EXPECT_TRUE(player.m_bVideoShown);
    ASSERT_TRUE(WaitUntil([&]() { return IsMappedOnScreen(player.m_hWnd); }));
    RECT client;
    GetClientRect(player.m_hWnd, &client);
    EXPECT_EQ(client.right, 160);
    EXPECT_EQ(client.bottom, 120);
    RECT work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    RECT placed;
    GetWindowRect(player.m_hWnd, &placed);
    EXPECT_EQ(placed.left, work.left + 100);
    EXPECT_EQ(placed.top, work.top + 5);
    EXPECT_EQ(Caption(player.m_hWnd), "clip.avi  ");

    // The picture is drawn inside the player window: the test clip's white ball on black.
    player.PlayMedia();
    Pump(700);
    Image shown = CaptureScreen(player.m_hWnd);
    int bright = 0;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x)
            if (GetRValue(shown.At(x, y)) > 200 && GetGValue(shown.At(x, y)) > 200) ++bright;
    EXPECT_GT(bright, 100) << "pixels of the moving ball";
    player.StopMedia();

    // The context menu grays by state.
    struct Case {
        const char* play;
        PlayerState state;
        std::vector<UINT> grayed;
    };
    const Case cases[] = {{"stopped", Stopped, {kPlayerPause, kPlayerStop}},
                          {"running", Running, {kPlayerPlay}},
                          {"paused", Paused, {kPlayerPause}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.play);
        if (c.state == Running) player.PlayMedia();
        if (c.state == Paused) player.PauseMedia();
        ClearShownMenus();
        QueueMenuAnswer(0);
        ClickAt(player.m_hWnd, 40, 40);  // the first click: the topmost toggle (below)
        player.ShowPlayerMenu(20, 20);
        ASSERT_EQ(ShownMenus().size(), 1u);
        std::vector<UINT> grayed;
        for (const ShownMenuItem& item : ShownMenus()[0])
            if (item.grayed) grayed.push_back(item.id);
        EXPECT_EQ(grayed, c.grayed);
        EXPECT_EQ(ShownMenus()[0].back().text, "Close");
    }
    // Choosing "pause" from the menu pauses.
    player.PlayMedia();
    QueueMenuAnswer(kPlayerPause);
    player.ShowPlayerMenu(20, 20);
    Pump(100);
    EXPECT_EQ(player.m_eState, Paused);

    // Left clicks alternate: main window not topmost and the player on top, then topmost.
    bool first = IsTopmost(Owner());
    player.ToggleTopmost();
    EXPECT_NE(IsTopmost(Owner()), first);
    player.ToggleTopmost();
    EXPECT_EQ(IsTopmost(Owner()), first);

    // Close asks the main window to unload the file.
    g_received.clear();
    QueueMenuAnswer(kPlayerClose);
    player.ShowPlayerMenu(20, 20);
    EXPECT_TRUE(WaitUntil([]() { return Received(WM_COMMAND, IDC_CLOSE_MIDI) == 1; }, 2000));
    CloseFromTitleBar(player.m_hWnd);
    EXPECT_TRUE(WaitUntil([]() { return Received(WM_COMMAND, IDC_CLOSE_MIDI) == 2; }, 2000));
    EXPECT_TRUE(IsWindow(player.m_hWnd)) << "the window stays until the main window discards the player";
    player.CloseMedia();
    EXPECT_EQ(player.m_hWnd, nullptr);
}
