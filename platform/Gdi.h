#pragma once
// Drawing: device contexts, bitmaps, pens, brushes, fonts, text, on cairo and pango.
// Imitates: a window DC drawing into the window's client pixels (which stay readable, so
// GetDC + BitBlt copy what the window painted last), memory DCs with a selected bitmap,
// clipping regions (ExcludeClipRect, rectangular SelectClipRgn), SRCCOPY blits, 1-pixel
// pens whose LineTo leaves the end point out, FillRect/FrameRect, TRANSPARENT text with
// '&' prefixes underlining the next letter, system colours, icons and cursors from the
// program's pictures (LoadImage at the resource's own size, GetIconInfo's hot spot, the
// centre for icons), DrawState's embossed look for disabled icons.
// Leaves out: raster operations other than SRCCOPY, mapping modes, palettes, metafiles.

#include "platform/WinTypes.h"

struct LOGFONT {
    LONG lfHeight = 0;          // negative: the character height in pixels
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 400;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[32] = {};
};

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
constexpr int ANSI_VAR_FONT = 12;
constexpr int DEFAULT_GUI_FONT = 17;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;

// DrawText formats.
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_CALCRECT = 0x400;
constexpr UINT DT_NOPREFIX = 0x800;

// DrawState.
constexpr UINT DST_ICON = 0x0003;
constexpr UINT DSS_NORMAL = 0x0000;
constexpr UINT DSS_DISABLED = 0x0020;

// LoadImage.
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT IMAGE_ICON = 1;
constexpr UINT IMAGE_CURSOR = 2;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;

struct ICONINFO {
    BOOL fIcon = TRUE;
    DWORD xHotspot = 0;
    DWORD yHotspot = 0;
    HBITMAP hbmMask = nullptr;  // the caller deletes both bitmaps
    HBITMAP hbmColor = nullptr;
};

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
HFONT CreateFontIndirect(const LOGFONT* font);
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
COLORREF GetTextColor(HDC hdc);
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
// An icon or cursor of the program's resources; cx/cy 0 take the resource's first (largest)
// picture. The result is an HICON or HCURSOR; null when the resource has no such picture.
void* LoadImage(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);
BOOL GetIconInfo(HICON icon, ICONINFO* info);
HICON CopyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
// Draws an icon (DST_ICON, the HICON in `data`) at its own size; DSS_DISABLED embosses it:
// its shape in the highlight colour one pixel down and right, then in the shadow colour.
BOOL DrawState(HDC hdc, HBRUSH brush, void* callback, LPARAM data, WPARAM dataSize, int x, int y, int cx, int cy,
               UINT flags);
// The icon's pixel size (our stand-in for reading its information).
BOOL GetIconSize(HICON icon, SIZE* size);
