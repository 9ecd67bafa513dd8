#pragma once
// Window classes registered by the program and plain top-level windows made from them.
// Imitates: RegisterClass failing with ERROR_CLASS_ALREADY_EXISTS for a known name,
// CreateWindowEx sending WM_CREATE with the creation parameter before it returns, the
// class procedure receiving every message, CW_USEDEFAULT positions, windows created
// hidden unless WS_VISIBLE is given. Leaves out: child windows of program classes, class
// and window extra bytes, menus attached at creation.

#include "platform/Messages.h"

typedef WORD ATOM;

struct WNDCLASS {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    LPCSTR lpszMenuName = nullptr;
    LPCSTR lpszClassName = nullptr;
};

struct CREATESTRUCT {
    LPVOID lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0, cx = 0, y = 0, x = 0;
    DWORD style = 0;
    LPCSTR lpszName = nullptr;
    LPCSTR lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

constexpr UINT CS_VREDRAW = 0x1;
constexpr UINT CS_HREDRAW = 0x2;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;

ATOM RegisterClass(const WNDCLASS* windowClass);
BOOL UnregisterClass(LPCSTR className, HINSTANCE instance);
HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                    HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
DWORD GetLastError();
void SetLastError(DWORD error);
