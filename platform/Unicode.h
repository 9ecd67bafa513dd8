#pragma once
// Conversions between the program's narrow strings (UTF-8, which stands in for the
// "ANSI code page") and the UTF-16 strings that cross into COM.
// Imitates: MultiByteToWideChar/WideCharToMultiByte — srcLen -1 converts and counts
// the terminator, dstLen 0 asks for the size, a short buffer gives 0 (at most dstLen
// units are written), ill-formed input becomes U+FFFD one maximal bad subsequence at
// a time, MB_ERR_INVALID_CHARS/WC_ERR_INVALID_CHARS make it fail instead, and
// CP_UTF8 refuses defaultChar/usedDefault.
// Leaves out: every other code page (0 is returned), the other MB_/WC_ flags
// (ignored) and SetLastError.

#include "platform/WinTypes.h"

#include <string>
#include <string_view>

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

// Returns the number of WCHARs written (or needed when dstLen is 0); 0 on failure.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, WCHAR* dst, int dstLen);
// Returns the number of bytes written (or needed when dstLen is 0); 0 on failure.
// With CP_ACP a lone surrogate becomes defaultChar (U+FFFD when null) and sets *usedDefault.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* src, int srcLen, char* dst, int dstLen,
                        const char* defaultChar, BOOL* usedDefault);

// How many bytes of `text` fit in `limit` without splitting a UTF-8 letter in two.
size_t Utf8PrefixLength(std::string_view text, size_t limit);

// Ill-formed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
