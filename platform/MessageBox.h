#pragma once
// Message boxes: a modal box with a text, a caption, an icon and buttons.
// Imitates: MessageBox with its owner (null: no owner), caption "Error" when none is
// given, MB_OK / MB_OKCANCEL / MB_YESNO buttons, the information, warning and error icons,
// the result as IDOK/IDCANCEL/IDYES/IDNO; the box runs a nested loop, so posted messages,
// timers and paints go on while it is open; AfxMessageBox captioned with the program name.
// Leaves out: help buttons, system-modal boxes, the default-button flags.

#include "platform/Messages.h"

constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONASTERISK = 0x40;

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int AfxMessageBox(LPCSTR text, UINT type = 0);
