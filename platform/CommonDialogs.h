#pragma once
// The common open and save dialogs.
// Imitates: OPENFILENAME with its filter pairs ("description\0pattern;pattern\0...\0"),
// 1-based filter index, initial folder, title, file buffer of nMaxFile characters (a
// chosen path that does not fit fails with FNERR_BUFFERTOOSMALL), the default extension,
// OFN_FILEMUSTEXIST / OFN_OVERWRITEPROMPT, Cancel returning FALSE with no error, patterns
// matched without regard to letter case. The dialog runs a nested loop like every modal
// thing. Leaves out: hook procedures, templates, multiple selection, the read-only box.

#include "platform/Messages.h"

struct OPENFILENAME {
    DWORD lStructSize = sizeof(OPENFILENAME);
    HWND hwndOwner = nullptr;
    HINSTANCE hInstance = nullptr;
    LPCSTR lpstrFilter = nullptr;
    LPSTR lpstrCustomFilter = nullptr;
    DWORD nMaxCustFilter = 0;
    DWORD nFilterIndex = 0;
    LPSTR lpstrFile = nullptr;
    DWORD nMaxFile = 0;
    LPSTR lpstrFileTitle = nullptr;
    DWORD nMaxFileTitle = 0;
    LPCSTR lpstrInitialDir = nullptr;
    LPCSTR lpstrTitle = nullptr;
    DWORD Flags = 0;
    WORD nFileOffset = 0;
    WORD nFileExtension = 0;
    LPCSTR lpstrDefExt = nullptr;
};

constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;
constexpr DWORD CDERR_INITIALIZATION = 0x0002;

BOOL GetOpenFileName(OPENFILENAME* ofn);
BOOL GetSaveFileName(OPENFILENAME* ofn);
// The error of the last dialog that failed, 0 when it was cancelled or succeeded.
DWORD CommDlgExtendedError();
