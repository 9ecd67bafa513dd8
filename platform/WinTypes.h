#pragma once
// The basic value types of the Windows API as the program's code uses them.
// Imitates: the integer widths (LONG is 32-bit, LPARAM pointer-sized), handles as
// distinct opaque pointer types, RECT/POINT/SIZE, COLORREF as 0x00BBGGRR.
// Leaves out: everything the program does not name.

#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int64_t LONGLONG;
typedef int64_t REFERENCE_TIME;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t DWORD_PTR;
typedef DWORD COLORREF;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef const char* LPCTSTR;
typedef void* LPVOID;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles are pointers to incomplete types so that they cannot be mixed up.
#define SONOVERT_DECLARE_HANDLE(name) \
    struct name##__;                  \
    typedef name##__* name
SONOVERT_DECLARE_HANDLE(HWND);
SONOVERT_DECLARE_HANDLE(HINSTANCE);
SONOVERT_DECLARE_HANDLE(HICON);
SONOVERT_DECLARE_HANDLE(HCURSOR);
SONOVERT_DECLARE_HANDLE(HMENU);
SONOVERT_DECLARE_HANDLE(HDC);
SONOVERT_DECLARE_HANDLE(HGDIOBJ);
SONOVERT_DECLARE_HANDLE(HBITMAP);
SONOVERT_DECLARE_HANDLE(HBRUSH);
SONOVERT_DECLARE_HANDLE(HPEN);
SONOVERT_DECLARE_HANDLE(HFONT);
SONOVERT_DECLARE_HANDLE(HRGN);
#undef SONOVERT_DECLARE_HANDLE

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

inline constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return static_cast<WPARAM>(lo) | (static_cast<WPARAM>(hi) << 16); }
inline constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16)); }
inline constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16); }
inline constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
inline constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
inline constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
inline const char* MAKEINTRESOURCE(UINT id) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(id)); }

constexpr int MAX_PATH = 260;
