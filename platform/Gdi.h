#pragma once
// Drawing: device contexts, bitmaps, pens, brushes, fonts, text, on cairo and pango.
// Imitates: a window DC drawing into the window's client pixels (which stay readable, so
// GetDC + BitBlt copy what the window painted last), memory DCs with a selected bitmap,
// clipping regions (ExcludeClipRect), SRCCOPY blits, 1-pixel pens whose LineTo leaves the
// end point out, FillRect/FrameRect, TRANSPARENT text, system colours.
// Leaves out: raster operations other than SRCCOPY, mapping modes, palettes, metafiles.

#include "platform/WinTypes.h"

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint;
};

struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 24;
    void* bmBits = nullptr;
};

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int PS_SOLID = 0;
constexpr int PS_DOT = 2;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int ERROR_REGION = 0;

// System colours.
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int DEFAULT_GUI_FONT = 17;

// DrawText formats.
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_CALCRECT = 0x400;

HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
HWND WindowFromDC(HDC hdc);

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP LoadBitmap(HINSTANCE instance, LPCSTR name);
HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
int GetObject(HGDIOBJ object, int size, void* out);

COLORREF GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int SelectClipRgn(HDC hdc, HRGN region);
HRGN CreateRectRgn(int left, int top, int right, int bottom);
int GetClipBox(HDC hdc, RECT* rect);

int SetBkMode(HDC hdc, int mode);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF SetBkColor(HDC hdc, COLORREF color);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL LineTo(HDC hdc, int x, int y);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
BOOL TextOut(HDC hdc, int x, int y, LPCSTR text, int length);
int DrawText(HDC hdc, LPCSTR text, int length, RECT* rect, UINT format);
BOOL GetTextExtentPoint32(HDC hdc, LPCSTR text, int length, SIZE* size);
COLORREF GetPixel(HDC hdc, int x, int y);
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);

HICON LoadIcon(HINSTANCE instance, LPCSTR name);
BOOL DestroyIcon(HICON icon);
// The icon's pixel size (our stand-in for reading its information).
BOOL GetIconSize(HICON icon, SIZE* size);
