#pragma once
// Tooltip controls: a window of class TOOLTIPS_CLASS that shows a short text while the
// pointer rests on one of its tools.
// Imitates: tools added with TTM_ADDTOOL for a window (a rectangle of it and an id),
// their texts replaced with TTM_UPDATETIPTEXT, TTM_ACTIVATE switching all tips off and on,
// TTM_SETMAXTIPWIDTH wrapping longer texts, TTM_GETTOOLCOUNT, the tooltip going with
// its owner window.
// Leaves out: balloon and tracking tips, callbacks for texts, delay settings.
// TTM_RELAYEVENT is accepted and does nothing: the toolkit watches the pointer itself.

#include "platform/Messages.h"

inline constexpr const char* TOOLTIPS_CLASS = "tooltips_class32";

constexpr UINT TTM_ACTIVATE = WM_USER + 1;
constexpr UINT TTM_ADDTOOL = WM_USER + 4;
constexpr UINT TTM_RELAYEVENT = WM_USER + 7;
constexpr UINT TTM_UPDATETIPTEXT = WM_USER + 12;
constexpr UINT TTM_GETTOOLCOUNT = WM_USER + 13;
constexpr UINT TTM_SETMAXTIPWIDTH = WM_USER + 24;

struct TOOLINFO {
    UINT cbSize = sizeof(TOOLINFO);
    UINT uFlags = 0;
    HWND hwnd = nullptr;      // the window the tool lies in
    UINT_PTR uId = 0;
    RECT rect;                // in the window's client coordinates
    HINSTANCE hinst = nullptr;
    LPSTR lpszText = nullptr;
    LPARAM lParam = 0;
};

namespace platform {
// Made by CreateWindowEx for TOOLTIPS_CLASS; `owner` is the window that owns the tooltip.
HWND CreateTooltipWindow(HWND owner, DWORD style);
}  // namespace platform
