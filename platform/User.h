#pragma once
// Window functions: sending messages, texts, visibility, enabling, geometry, focus.
// Imitates: SendMessage calling the window procedure at once on the caller's stack,
// DefWindowProc doing a control's own work, WM_ENABLE/WM_SETTEXT sent by the helpers,
// texts set by the program never notifying the parent (only the user's edits do),
// disabling the focused control moving the focus to the next tab stop.
// Leaves out: cross-thread SendMessage (everything runs on the GUI thread), window
// classes registered by the program other than the player window, non-client messages.

#include "platform/Messages.h"

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

BOOL IsWindow(HWND hwnd);
BOOL DestroyWindow(HWND hwnd);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hwnd);
HWND GetParent(HWND hwnd);

BOOL SetWindowText(HWND hwnd, LPCSTR text);
int GetWindowText(HWND hwnd, LPSTR buffer, int maxCount);
int GetWindowTextLength(HWND hwnd);

BOOL ShowWindow(HWND hwnd, int cmd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL SetForegroundWindow(HWND hwnd);
BOOL UpdateWindow(HWND hwnd);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);

BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<intptr_t>(-2));
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);

// Mouse tracking: WM_MOUSELEAVE once, when the pointer next leaves the window.
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_CANCEL = 0x80000000;
struct TRACKMOUSEEVENT {
    DWORD cbSize = sizeof(TRACKMOUSEEVENT);
    DWORD dwFlags = 0;
    HWND hwndTrack = nullptr;
    DWORD dwHoverTime = 0;
};
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
// The deepest visible window of this program at a screen point, or null.
HWND WindowFromPoint(POINT point);
// Sets the pointer's shape over the window whose WM_SETCURSOR is being handled (null:
// the window's default arrow); returns the previous cursor set that way.
HCURSOR SetCursor(HCURSOR cursor);
// The screen position of the pointer at the last input message, x in the low word.
DWORD GetMessagePos();
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr UINT HTCLIENT = 1;

HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);

intptr_t GetWindowLongPtr(HWND hwnd, int index);
intptr_t SetWindowLongPtr(HWND hwnd, int index, intptr_t value);

// The system menu of a top-level window; the window pops it up with Alt+Space.
HMENU GetSystemMenu(HWND hwnd, BOOL revert);
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
int GetMenuString(HMENU menu, UINT item, LPSTR buffer, int maxCount, UINT flags);
// Popup menus: loaded from the program's menu templates or built, shown at a screen point.
// TrackPopupMenu runs a nested loop until the menu closes, then posts the chosen command
// to the owner as WM_COMMAND (or returns it with TPM_RETURNCMD).
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RETURNCMD = 0x0100;
HMENU LoadMenu(HINSTANCE instance, LPCSTR name);
HMENU CreatePopupMenu();
HMENU GetSubMenu(HMENU menu, int position);
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
BOOL DestroyMenu(HMENU menu);

constexpr UINT SPI_GETWORKAREA = 0x0030;
BOOL SystemParametersInfo(UINT action, UINT param, void* value, UINT winIni);

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
BOOL MessageBeep(UINT type);

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_CYCAPTION = 4;
int GetSystemMetrics(int index);

// The control is painted by the program (a WM_PAINT handler), not by the toolkit.
void SetOwnerPainted(HWND hwnd, BOOL painted);

// The framework object attached to a window (a CWnd), or null.
void* GetWindowAttachment(HWND hwnd);
void SetWindowAttachment(HWND hwnd, void* object);

// Converts a rectangle in dialog units of the dialog's font into pixels.
BOOL MapDialogRect(HWND dialog, RECT* rect);

// The X window a video sink may draw into for this window (its top-level window's), or 0.
uintptr_t GetNativeWindowId(HWND hwnd);
