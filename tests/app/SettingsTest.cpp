// The settings the program keeps between runs: defaults, when they are saved, and what
// happens to a damaged settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "mainwindow/ConverterDialog.h"
#include "platform/ProfileStore.h"
#include "platform/User.h"
#include "platform/WinApp.h"
#include "platform/testing/UiDriver.h"
#include "res/ResourceIds.h"
#include "tests/harness/ProgramRun.h"

using namespace platform::testing;
using harness::RunProgram;
using harness::ScratchHome;
using harness::CloseProgram;
using harness::TextOf;

namespace {

ProfileStore Settings() { return ProfileStore("VarnoltStudio", AfxGetApp()->m_pszAppName.str()); }

}  // namespace

TEST(Settings, FirstRunUsesTheDefaultsAndWritesNothingBeforeClosing) {
    ScratchHome home;
    ASSERT_FALSE(home.SettingsExist());
    RunProgram([&](HWND window) {
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_OUTPUT)), home.home()) << "the default output folder";
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_INPUT_LIST))) << "no loopback line found yet";
        EXPECT_FALSE(home.SettingsExist()) << "reading the settings must not create the file";
        CloseProgram(window);
    });
    ASSERT_TRUE(home.SettingsExist());
    EXPECT_EQ(home.SettingsPath(), std::string(getenv("XDG_CONFIG_HOME")) + "/VarnoltStudio/" +
                                       AfxGetApp()->m_pszAppName.str() + ".ini");
    std::string text = home.ReadSettings();
    EXPECT_EQ(text.find("[Option]"), 0u) << text;
    ProfileStore saved = Settings();
    EXPECT_EQ(saved.GetInt("Option", "nSoundCaptureIndex", -99), 0);
    EXPECT_EQ(saved.GetInt("Option", "nCapturePinIndex", -99), 0);
    EXPECT_EQ(saved.GetInt("Option", "nSearchFlag", -99), 0);
    EXPECT_EQ(saved.GetString("Option", "last_output_folder", "?"), home.home());
    EXPECT_EQ(saved.GetString("Option", "b_only_once", "absent"), "absent") << "only the hint dialog writes it";
}

TEST(Settings, SavedValuesComeBackAndTheTitleBarCloseSavesThem) {
    ScratchHome home;
    std::string folder = home.home() + "Music Out/";
    ProfileStore before = Settings();
    // The test run's one capture device with its one line: what start-up keeps as it is.
    before.WriteInt("Option", "nSoundCaptureIndex", 0);
    before.WriteInt("Option", "nCapturePinIndex", 0);
    before.WriteInt("Option", "nSearchFlag", 1);
    before.WriteString("Option", "last_output_folder", folder);
    before.WriteString("Option", "LastPhotoFolder", "/somewhere/else/");
    RunProgram([&](HWND window) {
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_OUTPUT)), folder);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_INPUT_LIST))) << "the loopback line was found before";
        // Change the stored values behind the program's back: the close writes its own.
        Settings().WriteInt("Option", "nSoundCaptureIndex", 7);
        Settings().WriteString("Option", "last_output_folder", "/elsewhere/");
        CloseProgram(window);
    });
    ProfileStore after = Settings();
    EXPECT_EQ(after.GetInt("Option", "nSoundCaptureIndex", -1), 0);
    EXPECT_EQ(after.GetInt("Option", "nCapturePinIndex", -1), 0);
    EXPECT_EQ(after.GetInt("Option", "nSearchFlag", -1), 1);
    EXPECT_EQ(after.GetString("Option", "last_output_folder", ""), folder);
    EXPECT_EQ(after.GetString("Option", "LastPhotoFolder", ""), "/somewhere/else/") << "other keys stay";
}

TEST(Settings, EnterAndEscEndTheProgramWithoutSaving) {
    struct Case {
        const char* what;
        int focus;             // the control that has the focus
        bool fileControlsOn;   // as after a MIDI file was opened
        const char* key;
    };
    const Case cases[] = {
        {"Esc", IDC_OPEN, false, "Escape"},
        {"Enter in the input-line list", IDC_INPUT_LIST, false, "Return"},
        {"Enter on the slider", IDC_LEVEL, false, "Return"},
        {"Enter in the output box", IDC_OUTPUT, true, "Return"},
        {"Enter on the keypad in the output box", IDC_OUTPUT, true, "KP_Enter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchHome home;
        bool ended = RunProgram([&](HWND window) {
            auto* dialog = static_cast<ConverterDialog*>(CWnd::FromHandlePermanent(window));
            if (c.fileControlsOn) dialog->EnableControls(TRUE);
            SetFocus(GetDlgItem(window, c.focus));
            Pump(20);
            PressKey(c.key);
            harness::WaitForProgramEnd(window);
        });
        EXPECT_TRUE(ended);
        EXPECT_FALSE(home.SettingsExist());
    }
}

TEST(Settings, EnterOnAFocusedButtonPressesItInsteadOfEnding) {
    ScratchHome home;
    RunProgram([&](HWND window) {
        HWND help = GetDlgItem(window, IDC_HELP_BUTTON);
        SetFocus(help);
        Pump(20);
        PressKey("Return");
        Pump(50);
        EXPECT_FALSE(harness::ProgramEnded(window));
        CloseProgram(window);
    });
    EXPECT_TRUE(home.SettingsExist());
}

TEST(Settings, DamagedSettingsFileGivesDefaultsAndIsWrittenCleanOnClose) {
    struct Case {
        const char* what;
        std::string contents;
        int searchFlag;          // what start-up must have read
        std::string folder;      // "" means the default (the home folder)
    };
    const Case cases[] = {
        {"binary garbage", std::string("\x00\xff\xfe[Opt\x01ion]\nnSearch", 20), 0, ""},
        {"not numbers", "[Option]\nnSearchFlag=yes\nnSoundCaptureIndex=1x\n", 0, ""},
        {"a broken line among good ones", "[Option]\nnSearchFlag=1\nthis is not a setting\nlast_output_folder=/kept/\n", 1,
         "/kept/"},
        {"a group header cut short", "[Option\nnSearchFlag=1\n", 0, ""},
        {"empty", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchHome home;
        home.WriteSettings(c.contents);
        RunProgram([&](HWND window) {
            std::string folder = c.folder.empty() ? home.home() : c.folder;
            EXPECT_EQ(TextOf(GetDlgItem(window, IDC_OUTPUT)), folder);
            EXPECT_EQ(IsWindowVisible(GetDlgItem(window, IDC_INPUT_LIST)) == FALSE, c.searchFlag == 1);
            CloseProgram(window);
        });
        std::string text = home.ReadSettings();
        EXPECT_EQ(text.find("[Option]"), 0u) << text;
        ProfileStore saved = Settings();
        EXPECT_EQ(saved.GetInt("Option", "nSearchFlag", -1), c.searchFlag);
        EXPECT_EQ(saved.GetInt("Option", "nSoundCaptureIndex", -1), 0);
    }
}
