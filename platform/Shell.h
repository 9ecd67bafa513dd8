#pragma once
// Starting other programs and opening files and addresses with the desktop's handlers.
// Imitates: ShellExecute "open" with a result above 32 on success (SE_ERR_NOASSOC when
// nothing handles the file), WinExec splitting its command line into a program and its
// arguments (here never through a shell) with a result above 31 on success,
// ERROR_FILE_NOT_FOUND when the program does not exist.
// The class part of the registry as far as the desktop knows it: ".htm" names the default
// handler of text/html, and "<handler>\shell\open\command" is its command line with the
// address as %1. The system's help viewer and the module it keeps its hand cursor in
// (winhlp32.exe, cursor 106) are stand-ins: the help opens as HTML in the browser (hh.exe
// <folder>help.chm::/<page> opens <folder>help/<page>), the cursor is our own hand.
// Leaves out: verbs other than "open", working folders, show commands (the desktop decides),
// writing to the registry, every other key.

#include <string>
#include <vector>

#include "platform/Messages.h"

constexpr UINT HINSTANCE_ERROR = 32;
constexpr UINT SE_ERR_FNF = 2;
constexpr UINT SE_ERR_PNF = 3;
constexpr UINT SE_ERR_ACCESSDENIED = 5;
constexpr UINT SE_ERR_OOM = 8;
constexpr UINT ERROR_BAD_FORMAT = 11;
constexpr UINT SE_ERR_SHARE = 26;
constexpr UINT SE_ERR_ASSOCINCOMPLETE = 27;
constexpr UINT SE_ERR_DDETIMEOUT = 28;
constexpr UINT SE_ERR_DDEFAIL = 29;
constexpr UINT SE_ERR_DDEBUSY = 30;
constexpr UINT SE_ERR_DLLNOTFOUND = 32;
constexpr UINT SE_ERR_NOASSOC = 31;
constexpr UINT ERROR_FILE_NOT_FOUND_CODE = 2;

struct HKEY__;
typedef HKEY__* HKEY;
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000));
constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
LONG RegOpenKeyEx(HKEY root, LPCSTR subKey, DWORD options, DWORD access, HKEY* key);
// The key's default value; `size` holds the buffer's size and receives the value's.
LONG RegQueryValue(HKEY key, LPCSTR subKey, LPSTR value, LONG* size);
LONG RegCloseKey(HKEY key);

UINT GetWindowsDirectory(LPSTR buffer, UINT size);
HINSTANCE LoadLibrary(LPCSTR path);
BOOL FreeLibrary(HINSTANCE module);
// A cursor from a module's resources (null module: the program's own).
HCURSOR LoadCursor(HINSTANCE module, LPCSTR name);

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
