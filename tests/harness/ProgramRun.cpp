#include "tests/harness/ProgramRun.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/DialogManager.h"
#include "platform/MessageLoop.h"
#include "platform/Testing.h"
#include "platform/User.h"
#include "platform/WinApp.h"
#include "platform/testing/UiDriver.h"

namespace harness {

ScratchHome::ScratchHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sonovert-run.XXXXXX").string();
    m_root = mkdtemp(pattern.data());
    m_home = m_root + "/home/";
    std::filesystem::create_directories(m_home);
    std::filesystem::create_directories(m_root + "/config");
    setenv("HOME", (m_root + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
}

ScratchHome::~ScratchHome() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

std::string ScratchHome::SettingsPath() const {
    return m_root + "/config/VarnoltStudio/" + AfxGetApp()->m_pszAppName.str() + ".ini";
}

bool ScratchHome::SettingsExist() const { return std::filesystem::exists(SettingsPath()); }

std::string ScratchHome::ReadSettings() const {
    std::ifstream in(SettingsPath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ScratchHome::WriteSettings(const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(SettingsPath()).parent_path());
    std::ofstream(SettingsPath(), std::ios::binary) << text;
}

bool RunProgram(const std::function<void(HWND)>& script, int timeoutMs) {
    using namespace platform::testing;
    CWinApp* app = AfxGetApp();
    if (!app) {
        ADD_FAILURE() << "no application object";
        return false;
    }
    platform::ResetQuit();
    ArmWatchdog(timeoutMs, "the program run");
    bool scriptRan = false;
    bool endedByItself = true;
    unsigned scheduled = 0;
    auto shown = [app]() {
        CWnd* main = app->m_pMainWnd;
        return main && main->m_hWnd && IsWindowVisible(main->m_hWnd) && WaitUntilShown(main->m_hWnd, 0);
    };
    scheduled = RunWhen(shown, [&]() {
        scheduled = 0;
        HWND window = app->m_pMainWnd->m_hWnd;
        scriptRan = true;
        script(window);
        Pump(20);
        if (!ProgramEnded(window)) {
            endedByItself = false;
            ADD_FAILURE() << "the program was still running when the test script ended";
            ::EndDialog(window, IDCANCEL);
        }
    });
    if (app->InitInstance()) app->Run();
    // A program that ended without showing its window never ran the script.
    CancelRunWhen(scheduled);
    DisarmWatchdog();
    platform::testing::ClearQueuedAnswers();
    (void)scriptRan;
    return endedByItself;
}

bool ProgramEnded(HWND mainWindow) { return platform::DialogEnded(mainWindow); }

bool WaitForProgramEnd(HWND mainWindow, int timeoutMs) {
    return platform::testing::WaitUntil([mainWindow]() { return ProgramEnded(mainWindow); }, timeoutMs);
}

void CloseProgram(HWND mainWindow) {
    platform::testing::CloseFromTitleBar(mainWindow);
    WaitForProgramEnd(mainWindow);
}

std::string TextOf(HWND hwnd) {
    int length = GetWindowTextLength(hwnd);
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    int n = GetWindowText(hwnd, buffer.data(), length + 1);
    return buffer.substr(0, static_cast<size_t>(n));
}

}  // namespace harness
