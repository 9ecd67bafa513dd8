// Hand-written UTF-8 <-> UTF-16 conversion, so ill-formed input can be replaced
// character by character. What is imitated and left out is listed in Unicode.h.

#include "platform/Unicode.h"

#include <climits>
#include <cstddef>
#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point from s[0..n), n >= 1, and returns how many bytes it used.
// An ill-formed sequence yields U+FFFD and consumes its maximal valid prefix (at
// least one byte), so one bad sequence becomes one replacement character.
size_t DecodeUtf8(const unsigned char* s, size_t n, char32_t* cp, bool* valid)
{
    const unsigned char b0 = s[0];
    *valid = false;
    *cp = kReplacement;
    if (b0 < 0x80) {
        *cp = b0;
        *valid = true;
        return 1;
    }
    size_t trail = 0;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the first trail byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        trail = 1;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        trail = 2;
        if (b0 == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (b0 == 0xED)
            hi = 0x9F; // no encoded surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        trail = 3;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return 1; // stray trail byte, C0/C1 or F5..FF
    }
    char32_t value = b0 & (0x3F >> trail);
    for (size_t k = 1; k <= trail; ++k) {
        if (k >= n)
            return k;
        const unsigned char b = s[k];
        if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF))
            return k;
        value = (value << 6) | (b & 0x3F);
    }
    *cp = value;
    *valid = true;
    return trail + 1;
}

// Decodes one code point from s[0..n), n >= 1; a lone surrogate yields U+FFFD.
size_t DecodeUtf16(const char16_t* s, size_t n, char32_t* cp, bool* valid)
{
    const char16_t u = s[0];
    if (u < 0xD800 || u > 0xDFFF) {
        *cp = u;
        *valid = true;
        return 1;
    }
    if (u <= 0xDBFF && n >= 2 && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
        *cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (s[1] - 0xDC00);
        *valid = true;
        return 2;
    }
    *cp = kReplacement;
    *valid = false;
    return 1;
}

size_t EncodeUtf16(char32_t cp, char16_t out[2])
{
    if (cp < 0x10000) {
        out[0] = static_cast<char16_t>(cp);
        return 1;
    }
    cp -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    return 2;
}

size_t EncodeUtf8(char32_t cp, char out[4])
{
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

bool IsUtf8CodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_UTF8; }

// The argument checks both directions share.
bool ArgumentsValid(const void* src, int srcLen, const void* dst, int dstLen)
{
    return src != nullptr && srcLen != 0 && srcLen >= -1 && dstLen >= 0 && (dstLen == 0 || dst != nullptr);
}

// Appends units to dst when a buffer was given; false when they do not fit or the
// running total no longer fits in an int.
template <class Unit>
bool Emit(const Unit* units, size_t count, Unit* dst, int dstLen, size_t* total)
{
    if (dstLen > 0) {
        if (*total + count > static_cast<size_t>(dstLen))
            return false;
        std::memcpy(dst + *total, units, count * sizeof(Unit));
    }
    *total += count;
    return *total <= static_cast<size_t>(INT_MAX);
}

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, WCHAR* dst, int dstLen)
{
    if (!IsUtf8CodePage(codePage) || !ArgumentsValid(src, srcLen, dst, dstLen))
        return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(src);
    const size_t n = srcLen == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLen);
    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    size_t total = 0;
    for (size_t i = 0; i < n;) {
        char32_t cp = 0;
        bool valid = false;
        i += DecodeUtf8(bytes + i, n - i, &cp, &valid);
        if (!valid && strict)
            return 0;
        char16_t units[2];
        if (!Emit(units, EncodeUtf16(cp, units), dst, dstLen, &total))
            return 0;
    }
    return static_cast<int>(total);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* src, int srcLen, char* dst, int dstLen,
                        const char* defaultChar, BOOL* usedDefault)
{
    if (!IsUtf8CodePage(codePage) || !ArgumentsValid(src, srcLen, dst, dstLen))
        return 0;
    if (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefault != nullptr))
        return 0;
    if (usedDefault != nullptr)
        *usedDefault = FALSE;
    const size_t n = srcLen == -1 ? std::char_traits<char16_t>::length(src) + 1 : static_cast<size_t>(srcLen);
    const bool strict = (flags & WC_ERR_INVALID_CHARS) != 0;
    const bool customDefault = defaultChar != nullptr && defaultChar[0] != '\0';
    size_t total = 0;
    for (size_t i = 0; i < n;) {
        char32_t cp = 0;
        bool valid = false;
        i += DecodeUtf16(src + i, n - i, &cp, &valid);
        if (!valid && strict)
            return 0;
        if (!valid && usedDefault != nullptr)
            *usedDefault = TRUE;
        bool fits = true;
        if (!valid && customDefault) {
            fits = Emit(defaultChar, std::strlen(defaultChar), dst, dstLen, &total);
        } else {
            char bytes[4];
            fits = Emit(bytes, EncodeUtf8(cp, bytes), dst, dstLen, &total);
        }
        if (!fits)
            return 0;
    }
    return static_cast<int>(total);
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        bool valid = false;
        i += DecodeUtf8(bytes + i, utf8.size() - i, &cp, &valid);
        char16_t units[2];
        out.append(units, EncodeUtf16(cp, units));
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size();) {
        char32_t cp = 0;
        bool valid = false;
        i += DecodeUtf16(utf16.data() + i, utf16.size() - i, &cp, &valid);
        char bytes[4];
        out.append(bytes, EncodeUtf8(cp, bytes));
    }
    return out;
}

size_t Utf8PrefixLength(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text.size();
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}
