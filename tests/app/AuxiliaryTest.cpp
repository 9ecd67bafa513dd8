// About, the input-device hint, Homepage and Help, through the real window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "app/Settings.h"
#include "platform/ProfileStore.h"
#include "platform/Shell.h"
#include "platform/Testing.h"
#include "platform/User.h"
#include "platform/WinApp.h"
#include "platform/testing/UiDriver.h"
#include "res/ResourceIds.h"
#include "tests/harness/ProgramRun.h"
#include "tests/support/PrivateSoundServer.h"
#include "tests/support/PulseServer.h"

using namespace platform::testing;
using harness::CloseProgram;
using harness::RunProgram;
using harness::ScratchHome;
using harness::TextOf;

namespace {

HWND FindWindowTitled(const std::string& title) {
    for (HWND h : TopLevelWindows())
        if (IsWindowVisible(h) && WindowTitle(h) == title) return h;
    return nullptr;
}

// Runs `action` (which opens a modal dialog titled `title`), then `inside` once the dialog is
// on screen; `inside` must end the dialog. Returns whether the dialog appeared.
bool WithDialog(const std::string& title, const std::function<void()>& action, const std::function<void(HWND)>& inside) {
    bool appeared = false;
    unsigned job = RunWhen([&]() { return FindWindowTitled(title) != nullptr; }, [&]() {
        appeared = true;
        HWND dialog = FindWindowTitled(title);
        WaitUntilShown(dialog);
        inside(dialog);
    });
    action();
    Pump(300);
    if (!appeared) CancelRunWhen(job);
    return appeared;
}

std::string OnlyOnceSetting() {
    ProfileStore store("VarnoltStudio", AfxGetApp()->m_pszAppName.str());
    int value = store.GetInt(kSettingsSection, kKeyHintOnlyOnce, -1);
    return value == -1 ? "absent" : std::to_string(value);
}

// The user picks the other of the two capture devices (a choice that changes something).
void ChooseDevice(HWND window) {
    HWND devices = GetDlgItem(window, IDC_DEVICE_LIST);
    int current = static_cast<int>(SendMessage(devices, CB_GETCURSEL, 0, 0));
    ChooseListEntry(devices, current == 1 ? 0 : 1);
}

constexpr const char* kHint = "How to select an input device";

}  // namespace

TEST(Auxiliary, AboutFromTheButtonAndTheSystemMenuIsTheSameBox) {
    ScratchHome home;
    RunProgram([&](HWND window) {
        std::vector<std::string> seen;
        auto look = [&](HWND about) {
            HWND home = GetDlgItem(about, IDC_LINK_HOME), support = GetDlgItem(about, IDC_LINK_SUPPORT);
            seen.push_back(TextOf(home) + " | " + TextOf(support));
            CaptureScreen(about).SavePng("about-box.png");
            PressKey("Escape");
        };
        EXPECT_TRUE(WithDialog("About SONOVERT", [&]() { Click(GetDlgItem(window, IDC_ABOUT)); }, look));
        EXPECT_TRUE(WithDialog("About SONOVERT", [&]() { SendMessage(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }, look));
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0], std::string(kMakerSite) + " | Support Email: Click here");
        EXPECT_EQ(seen[1], seen[0]);
        EXPECT_EQ(FindWindowTitled("About SONOVERT"), nullptr) << "closed again";
        CloseProgram(window);
    });
}

TEST(Auxiliary, TheHintComesUntilItIsLeftTickedOnOk) {
    struct Case {
        const char* what;
        std::function<void(HWND)> answer;
        const char* written;  // b_only_once afterwards
        bool again;           // shown at the next choice
    };
    const Case cases[] = {
        {"OK with the box ticked", [](HWND hint) { Click(GetDlgItem(hint, IDOK)); }, "1", false},
        {"OK after unticking", [](HWND hint) {
             Click(GetDlgItem(hint, IDC_ONLY_ONCE));
             Click(GetDlgItem(hint, IDOK));
         }, "0", true},
        {"Esc", [](HWND) { PressKey("Escape"); }, "absent", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchHome home;
        // Two devices, so that the device list is there to choose from.
        PrivateSoundServer server(false);
        SoundServerScope scope(server);
        ScopedNullSink a("card_a", "Card A"), b("card_b", "Card B");
        RunProgram([&](HWND window) {
            bool ticked = false;
            EXPECT_TRUE(WithDialog(kHint, [&]() { ChooseDevice(window); }, [&](HWND hint) {
                ticked = SendMessage(GetDlgItem(hint, IDC_ONLY_ONCE), BM_GETCHECK, 0, 0) == BST_CHECKED;
                CaptureScreen(hint).SavePng("input-hint.png");
                c.answer(hint);
            })) << "the first choice after start-up shows the hint";
            EXPECT_TRUE(ticked) << "its box starts ticked";
            EXPECT_EQ(OnlyOnceSetting(), c.written);
            EXPECT_EQ(WithDialog(kHint, [&]() { ChooseDevice(window); }, [](HWND) { PressKey("Escape"); }), c.again);
            CloseProgram(window);
        });
        // And after a restart.
        RunProgram([&](HWND window) {
            EXPECT_EQ(WithDialog(kHint, [&]() { ChooseDevice(window); }, [](HWND) { PressKey("Escape"); }), c.again);
            CloseProgram(window);
        });
    }
}

TEST(Auxiliary, HomepageAndHelpStartTheRightThing) {
    ScratchHome home;
    CaptureLaunches(true);
    ClearLaunches();
    RunProgram([&](HWND window) {
        Click(GetDlgItem(window, IDC_HOMEPAGE));
        Click(GetDlgItem(window, IDC_HELP_BUTTON));
        CloseProgram(window);
    });
    CaptureLaunches(false);
    char self[4096] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    ASSERT_GT(n, 0);
    std::string folder(self, static_cast<size_t>(n));
    folder = folder.substr(0, folder.rfind('/') + 1);
    ASSERT_EQ(Launches().size(), 2u);
    EXPECT_TRUE(Launches()[0].shell);
    EXPECT_EQ(Launches()[0].argv, std::vector<std::string>{kMakerIndexPage});
    EXPECT_FALSE(Launches()[1].shell);
    EXPECT_EQ(Launches()[1].argv, (std::vector<std::string>{"hh.exe", folder + "help.chm::/Introduction.htm"}));
    ClearLaunches();
}
