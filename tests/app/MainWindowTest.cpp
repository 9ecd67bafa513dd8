// The main window as the user first sees it: layout, looks, start-up state, accessibility.
#include <gtest/gtest.h>

#include <string>

#include "platform/Gdi.h"
#include "platform/Resources.h"
#include "platform/User.h"
#include "platform/testing/UiDriver.h"
#include "res/ResourceIds.h"
#include "tests/harness/ProgramRun.h"

using namespace platform::testing;
using harness::RunProgram;
using harness::ScratchHome;
using harness::CloseProgram;
using harness::TextOf;


TEST(MainWindow, ShowsCaptionIconAndAboutItemInTheSystemMenu) {
    ScratchHome home;
    RunProgram([](HWND window) {
        EXPECT_EQ(WindowTitle(window), "SONOVERT");
        EXPECT_TRUE(HasWindowIcon(window));
        HMENU menu = GetSystemMenu(window, FALSE);
        ASSERT_NE(menu, nullptr);
        int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_EQ(GetMenuItemID(menu, count - 2), 0u) << "a separator comes before the About item";
        EXPECT_EQ(GetMenuItemID(menu, count - 1), IDM_ABOUTBOX);
        char text[64];
        GetMenuString(menu, IDM_ABOUTBOX, text, sizeof(text), MF_BYCOMMAND);
        EXPECT_STREQ(text, "&About SONOVERT");
        RenderClient(window).SavePng("main-window-at-start.png");
        CloseProgram(window);
    });
}

TEST(MainWindow, ClientAreaAndControlsFollowTheTemplate) {
    ScratchHome home;
    RunProgram([](HWND window) {
        const platform::DialogTemplate* t = platform::FindDialogTemplate(IDD_MAIN);
        ASSERT_NE(t, nullptr);
        RECT size{0, 0, t->cx, t->cy};
        MapDialogRect(window, &size);
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        EXPECT_EQ(CaptureScreen(window).width, size.right) << "the window on screen has the template's size";
        for (const platform::DialogControl& c : t->controls) {
            SCOPED_TRACE("control " + std::to_string(c.id));
            HWND control = GetDlgItem(window, c.id);
            ASSERT_NE(control, nullptr);
            RECT expected{c.x, c.y, c.cx, c.cy};  // each value converted on its own
            MapDialogRect(window, &expected);
            RECT actual = ControlRect(control);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            EXPECT_EQ(actual.right - actual.left, expected.right);
            // A drop-down list's template height includes its open list.
            bool comboBox = std::string(c.className) == "ComboBox";
            if (!comboBox) {
                EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
                if (c.text && *c.text) {
                    EXPECT_EQ(TextOf(control), c.text);
                }
            }
        }
        // Tab order is template order over what can take the focus: after Open come the
        // disabled Stop and Play and the device list, hidden with the test run's one device.
        HWND open = GetDlgItem(window, IDC_OPEN);
        EXPECT_EQ(GetNextDlgTabItem(window, open, FALSE), GetDlgItem(window, IDC_INPUT_LIST));
        CloseProgram(window);
    });
}

TEST(MainWindow, StartsWithOnlyWhatWorksWithoutAMidiFile) {
    struct Case {
        int id;
        bool enabled;
        bool visible;
    };
    const Case cases[] = {
        {IDC_CONVERT, false, true}, {IDC_STOP, false, true},        {IDC_PLAY, false, true},
        {IDC_OUTPUT, false, true},  {IDC_BROWSE, false, true},      {IDC_OPEN, true, true},
        {IDC_HOMEPAGE, true, true}, {IDC_ABOUT, true, true},        {IDC_HELP_BUTTON, true, true},
        {IDC_LEVEL, true, true},    {IDC_INPUT_LIST, true, true},   {IDC_INPUT_LABEL, true, false},
        {IDC_CLOSE_MIDI, true, false}, {IDC_DEVICE_LABEL, true, false},
    };
    ScratchHome home;
    RunProgram([&](HWND window) {
        for (const Case& c : cases) {
            SCOPED_TRACE("control " + std::to_string(c.id));
            HWND control = GetDlgItem(window, c.id);
            EXPECT_EQ(IsWindowEnabled(control) != FALSE, c.enabled);
            EXPECT_EQ(IsWindowVisible(control) != FALSE, c.visible);
        }
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_STATUS)), "Status : Ready");
        EXPECT_EQ(SendMessage(GetDlgItem(window, IDC_LEVEL), TBM_GETPOS, 0, 0), 200);
        EXPECT_EQ(SendMessage(GetDlgItem(window, IDC_LEVEL), TBM_GETRANGEMAX, 0, 0), 200);
        EXPECT_TRUE(HasFocus(GetDlgItem(window, IDC_OPEN))) << "the first enabled tab stop has the focus";
        CloseProgram(window);
    });
}

TEST(MainWindow, BackgroundTileCoversTheWholeClientArea) {
    ScratchHome home;
    RunProgram([](HWND window) {
        Image tile = ResourceImage("bitmap", IDB_BACKGROUND);
        ASSERT_EQ(tile.width, 14);
        ASSERT_EQ(tile.height, 58);
        Image painted = CaptureOwnPainting(window);
        RECT client;
        GetClientRect(window, &client);
        ASSERT_EQ(painted.width, client.right);
        ASSERT_EQ(painted.height, client.bottom);
        // Neither size is a multiple of the tile, so the last row and column are cut tiles.
        EXPECT_NE(client.right % tile.width, 0);
        EXPECT_NE(client.bottom % tile.height, 0);
        int wrong = 0;
        for (int y = 0; y < painted.height; ++y)
            for (int x = 0; x < painted.width; ++x)
                if (painted.At(x, y) != tile.At(x % tile.width, y % tile.height)) ++wrong;
        EXPECT_EQ(wrong, 0) << "pixels that are not the tile's";
        // On screen, a spot no control covers shows the tile too.
        Image screen = CaptureScreen(window);
        EXPECT_EQ(screen.At(client.right - 3, 2), tile.At((client.right - 3) % 14, 2));
        CloseProgram(window);
    });
}

TEST(MainWindow, ControlsTellAssistiveTechnologyWhatTheyAre) {
    struct Case {
        int id;
        const char* role;
        const char* name;
    };
    const Case cases[] = {
        {IDC_OPEN, "push button", "Open"},
        {IDC_CONVERT, "push button", "Convert"},
        {IDC_HELP_BUTTON, "push button", "Help"},
        {IDC_STATUS, "label", "Status : Ready"},
        {IDC_VOLUME_LABEL, "label", "Volume:"},
        {IDC_OUTPUT, "text", "Output file"},
        {IDC_DEVICE_LIST, "combo box", "Capture device"},
        {IDC_INPUT_LIST, "combo box", "Input line"},
        {IDC_LEVEL, "slider", "Recording level"},
    };
    ScratchHome home;
    RunProgram([&](HWND window) {
        for (const Case& c : cases) {
            SCOPED_TRACE("control " + std::to_string(c.id));
            HWND control = GetDlgItem(window, c.id);
            EXPECT_EQ(AccessibleRole(control), c.role);
            EXPECT_EQ(AccessibleName(control), c.name);
        }
        // A status change is what a screen reader reads next.
        SetWindowText(GetDlgItem(window, IDC_STATUS), "Status : Converting - Used Time: 00:00:01");
        EXPECT_EQ(AccessibleName(GetDlgItem(window, IDC_STATUS)), "Status : Converting - Used Time: 00:00:01");
        CloseProgram(window);
    });
}

TEST(MainWindow, ButtonsAndCaptionsTakeTheirLookOverTheTiles) {
    struct Case {
        int id;
        bool threeD;
        const char* tip;
    };
    const Case buttons[] = {
        {IDC_OPEN, true, "Open an MIDI file"}, {IDC_CONVERT, true, "Start converting"}, {IDC_STOP, true, "Stop converting"},
        {IDC_BROWSE, false, "Browse"},         {IDC_PLAY, false, "Play the wave file"}, {IDC_HOMEPAGE, false, "Homepage"},
        {IDC_ABOUT, false, "About"},           {IDC_HELP_BUTTON, false, "Help"},
    };
    ScratchHome home;
    RunProgram([&](HWND window) {
        Image tiles = CaptureOwnPainting(window);
        MovePointer(window, 2, 2);
        Image screen = CaptureScreen(window);
        screen.SavePng("main-window-ready.png");
        auto tileUnder = [&](HWND control, int x, int y) {
            RECT r = ControlRect(control);
            return tiles.At(r.left + x, r.top + y);
        };
        for (const Case& c : buttons) {
            SCOPED_TRACE(c.tip);
            HWND button = GetDlgItem(window, c.id);
            Image shown = CaptureControlOnScreen(button);
            int w = shown.width, h = shown.height;
            if (c.threeD) {
                EXPECT_EQ(shown.At(w / 2, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
                EXPECT_EQ(shown.At(w / 2, h - 1), GetSysColor(COLOR_3DDKSHADOW));
            } else {
                EXPECT_EQ(shown.At(w / 2, 0), tileUnder(button, w / 2, 0)) << "flat: no frame at rest";
                EXPECT_EQ(shown.At(w / 2, h - 1), tileUnder(button, w / 2, h - 1));
            }
            EXPECT_EQ(shown.At(w - 3, 2), tileUnder(button, w - 3, 2)) << "the tiles show through";

            // Under the mouse: the pointing hand (a disabled button takes no mouse, as the
            // window beneath it does) and the button's tooltip.
            MovePointer(button, w / 2, h / 2);
            PointerShape pointer = CurrentCursor();
            bool hand = pointer.hotX == 5 && pointer.hotY == 0;
            EXPECT_EQ(hand, IsWindowEnabled(button) != FALSE);
            EXPECT_TRUE(WaitUntil([&]() { return ShownTooltip() == c.tip; }, 3000)) << "shown: '" << ShownTooltip() << "'";
            MovePointer(window, 2, 2);
            WaitUntil([&]() { return ShownTooltip().empty(); }, 3000);
        }
        // Captions: black text straight on the tiles.
        for (int id : {IDC_OUTPUT_LABEL, IDC_VOLUME_LABEL, IDC_MAX_LABEL}) {
            SCOPED_TRACE("caption " + std::to_string(id));
            HWND label = GetDlgItem(window, id);
            Image shown = CaptureControlOnScreen(label);
            int dark = 0, lighter = 0;
            for (int y = 0; y < shown.height; ++y)
                for (int x = 0; x < shown.width; ++x) {
                    COLORREF c = shown.At(x, y), tile = tileUnder(label, x, y);
                    if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) ++dark;
                    // Black text only ever darkens the tiles it stands on.
                    if (GetRValue(c) > GetRValue(tile) || GetGValue(c) > GetGValue(tile) || GetBValue(c) > GetBValue(tile))
                        ++lighter;
                }
            EXPECT_GT(dark, 10) << "black text";
            EXPECT_EQ(lighter, 0) << "nothing but text on the tiles";
        }
        CloseProgram(window);
    });
}
