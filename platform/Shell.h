#pragma once
// Starting other programs and opening files and addresses with the desktop's handlers.
// Imitates: ShellExecute "open" with a result above 32 on success (SE_ERR_NOASSOC when
// nothing handles the file), WinExec splitting its command line into a program and its
// arguments (here never through a shell) with a result above 31 on success,
// ERROR_FILE_NOT_FOUND when the program does not exist.
// Leaves out: verbs other than "open", working folders, show commands (the desktop decides).

#include <string>
#include <vector>

#include "platform/Messages.h"

constexpr UINT SE_ERR_FNF = 2;
constexpr UINT SE_ERR_NOASSOC = 31;
constexpr UINT ERROR_FILE_NOT_FOUND_CODE = 2;

HINSTANCE ShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, int show);
UINT WinExec(LPCSTR commandLine, UINT show);

namespace platform::testing {
// While capturing, nothing is started: each launch is only recorded, and succeeds.
struct Launch {
    bool shell = false;             // ShellExecute (else WinExec)
    std::vector<std::string> argv;  // WinExec: the program and its arguments; ShellExecute: the file
};
void CaptureLaunches(bool capture);
const std::vector<Launch>& Launches();
void ClearLaunches();
}  // namespace platform::testing
