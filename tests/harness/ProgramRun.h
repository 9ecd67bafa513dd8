#pragma once
// Runs SONOVERT in the test's own process, as a user would start it, and drives it.

#include <functional>
#include <string>

#include "platform/Messages.h"

namespace harness {

// A private settings folder and home folder for one test, removed afterwards.
class ScratchHome {
public:
    ScratchHome();
    ~ScratchHome();
    ScratchHome(const ScratchHome&) = delete;
    ScratchHome& operator=(const ScratchHome&) = delete;

    const std::string& home() const { return m_home; }    // with a trailing '/'
    std::string SettingsPath() const;                      // where the program keeps its settings
    bool SettingsExist() const;
    std::string ReadSettings() const;                      // the file's text, "" when absent
    void WriteSettings(const std::string& text) const;

private:
    std::string m_root;
    std::string m_home;
};

// Starts the program's application object. `script` runs inside the program once its
// main window is on screen, with that window; when the script returns the program must
// have ended (the run fails otherwise, and the program is then ended for it).
// Returns true when the program ended by itself within `timeoutMs`.
bool RunProgram(const std::function<void(HWND mainWindow)>& script, int timeoutMs = 30000);

// The program has ended its main window (it goes away once the test script returns).
bool ProgramEnded(HWND mainWindow);
// Waits until the program has ended its main window.
bool WaitForProgramEnd(HWND mainWindow, int timeoutMs = 5000);
// Closes the program from its title bar, as a user would, and waits until it has ended.
void CloseProgram(HWND mainWindow);

// The text of a window or control.
std::string TextOf(HWND hwnd);

}  // namespace harness
