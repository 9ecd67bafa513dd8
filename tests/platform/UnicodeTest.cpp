#include "platform/Unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr WCHAR kSentinel = 0xABCD;
constexpr char kByteSentinel = '\x5A';

// Converts through the Windows-shaped API with an explicit length and a sized buffer.
std::u16string Widen(std::string_view bytes, DWORD flags = 0)
{
    const int n = MultiByteToWideChar(CP_UTF8, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n), n);
    }
    return out;
}

std::string Narrow(std::u16string_view units)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, units.data(), static_cast<int>(units.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, units.data(), static_cast<int>(units.size()), out.data(), n, nullptr,
                                      nullptr),
                  n);
    }
    return out;
}

const struct WellFormed {
    const char* name;
    std::string utf8;
    std::u16string utf16;
} kWellFormed[] = {
    {"ASCII", "Hello, world", u"Hello, world"},
    {"accents", "caf\xC3\xA9 na\xC3\xAFve \xC3\x9C", u"caf\u00E9 na\u00EFve \u00DC"},
    {"CJK", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", u"\u65E5\u672C\u8A9E"},
    {"emoji needs a surrogate pair", "a\xF0\x9F\x98\x80z", u"a\xD83D\xDE00z"},
    {"highest code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
    {"three-byte edge", "\xEF\xBF\xBF\xEE\x80\x80", u"\uFFFF\uE000"},
    {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
};

TEST(Unicode, WellFormedTextRoundTrips)
{
    for (const auto& c : kWellFormed) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Widen(c.utf8), c.utf16);
        EXPECT_EQ(Narrow(c.utf16), c.utf8);
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
        // CP_ACP is UTF-8 too.
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, c.utf8.data(), static_cast<int>(c.utf8.size()), nullptr, 0),
                  static_cast<int>(c.utf16.size()));
        BOOL usedDefault = TRUE;
        EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, c.utf16.data(), static_cast<int>(c.utf16.size()), nullptr, 0,
                                      nullptr, &usedDefault),
                  static_cast<int>(c.utf8.size()));
        EXPECT_EQ(usedDefault, FALSE);
    }
}

TEST(Unicode, MinusOneConvertsAndCountsTheTerminator)
{
    for (const auto& c : kWellFormed) {
        if (c.utf8.find('\0') != std::string::npos)
            continue; // -1 would stop at the embedded NUL
        SCOPED_TRACE(c.name);
        const int wide = static_cast<int>(c.utf16.size());
        ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.utf8.c_str(), -1, nullptr, 0), wide + 1);
        std::vector<WCHAR> w(wide + 2, kSentinel);
        ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.utf8.c_str(), -1, w.data(), wide + 1), wide + 1);
        EXPECT_EQ(std::u16string(w.data()), c.utf16);
        EXPECT_EQ(w[wide], u'\0');
        EXPECT_EQ(w[wide + 1], kSentinel);

        const int narrow = static_cast<int>(c.utf8.size());
        ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, c.utf16.c_str(), -1, nullptr, 0, nullptr, nullptr), narrow + 1);
        std::vector<char> n(narrow + 2, kByteSentinel);
        ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, c.utf16.c_str(), -1, n.data(), narrow + 1, nullptr, nullptr),
                  narrow + 1);
        EXPECT_EQ(std::string(n.data()), c.utf8);
        EXPECT_EQ(n[narrow + 1], kByteSentinel);
    }
}

TEST(Unicode, ExplicitLengthWritesNoTerminator)
{
    std::vector<WCHAR> w(4, kSentinel);
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, w.data(), 4), 3);
    EXPECT_EQ(w[3], kSentinel);
    std::vector<char> n(4, kByteSentinel);
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"abc", 3, n.data(), 4, nullptr, nullptr), 3);
    EXPECT_EQ(n[3], kByteSentinel);
}

TEST(Unicode, IllFormedUtf8BecomesReplacementCharacters)
{
    const struct {
        const char* name;
        std::string bytes;
        std::u16string expected;
    } cases[] = {
        {"invalid byte", "a\xFF" "b", u"a\uFFFD" "b"},
        {"stray continuation bytes", "\x80\xBF", u"\uFFFD\uFFFD"},
        {"cut two-byte sequence at the end", "caf\xC3", u"caf\uFFFD"},
        {"cut three-byte sequence", "\xE6\x97x", u"\uFFFDx"},
        {"cut four-byte sequence", "\xF0\x9F\x98", u"\uFFFD"},
        {"overlong two-byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid lead F8", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"good text around", "\xC3\xA9\xFE\xE6\x97\xA5", u"\u00E9\uFFFD\u65E5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Widen(c.bytes), c.expected);
        EXPECT_EQ(Utf8ToUtf16(c.bytes), c.expected);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(), static_cast<int>(c.bytes.size()),
                                      nullptr, 0),
                  0)
            << "strict conversion fails instead";
    }
}

TEST(Unicode, NeverReadsPastSrcLen)
{
    // Exactly-sized heap buffers without a terminator; a sanitizer build reports any overread.
    const std::vector<char> bytes = {'\xE6', '\x97'}; // first two bytes of U+65E5
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), 2, nullptr, 0), 1);
    WCHAR one = 0;
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), 2, &one, 1), 1);
    EXPECT_EQ(one, u'\uFFFD');

    const std::vector<WCHAR> high = {0xD83D}; // first half of a pair
    char out[4] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, high.data(), 1, out, 4, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(out, 3), "\xEF\xBF\xBD");
}

TEST(Unicode, LoneSurrogatesInUtf16)
{
    const struct {
        const char* name;
        std::u16string units;
        std::string expected;
    } cases[] = {
        {"lone high", u"\xD800", "\xEF\xBF\xBD"},
        {"lone low between letters", u"a\xDC00z", "a\xEF\xBF\xBDz"},
        {"two highs", u"\xD800\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"reversed pair", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Narrow(c.units), c.expected);
        EXPECT_EQ(Utf16ToUtf8(c.units), c.expected);
        const int len = static_cast<int>(c.units.size());
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, c.units.data(), len, nullptr, 0, nullptr, nullptr),
                  0);

        BOOL usedDefault = FALSE;
        EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, c.units.data(), len, nullptr, 0, nullptr, &usedDefault),
                  static_cast<int>(c.expected.size()));
        EXPECT_EQ(usedDefault, TRUE);
    }
}

TEST(Unicode, AnsiDefaultCharacterReplacesWhatCannotBeConverted)
{
    char out[8] = {};
    BOOL usedDefault = FALSE;
    const std::u16string text = u"a\xD800z";
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text.data(), 3, out, sizeof out, "?", &usedDefault), 3);
    EXPECT_EQ(std::string(out, 3), "a?z");
    EXPECT_EQ(usedDefault, TRUE);
    // CP_UTF8 refuses these arguments, as Windows does.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text.data(), 3, out, sizeof out, "?", nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text.data(), 3, out, sizeof out, nullptr, &usedDefault), 0);
}

TEST(Unicode, TooSmallBufferFailsWithoutOverrunning)
{
    const struct {
        const char* name;
        std::string utf8;
        int srcLen;
        int dstLen;
    } wide[] = {
        {"terminator does not fit", "abc", -1, 3},
        {"one unit short", "abcd", 4, 3},
        {"surrogate pair does not fit", "\xF0\x9F\x98\x80", 4, 1},
        {"pair after text", "ab\xF0\x9F\x98\x80", 6, 3},
    };
    for (const auto& c : wide) {
        SCOPED_TRACE(c.name);
        std::vector<WCHAR> buf(c.dstLen + 4, kSentinel);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.utf8.c_str(), c.srcLen, buf.data(), c.dstLen), 0);
        for (size_t i = c.dstLen; i < buf.size(); ++i)
            EXPECT_EQ(buf[i], kSentinel) << "wrote past dstLen at " << i;
        EXPECT_GT(MultiByteToWideChar(CP_UTF8, 0, c.utf8.c_str(), c.srcLen, nullptr, 0), c.dstLen);
    }

    const struct {
        const char* name;
        std::u16string utf16;
        int srcLen;
        int dstLen;
    } narrow[] = {
        {"terminator does not fit", u"abc", -1, 3},
        {"two-byte character cut", u"\u00E9", 1, 1},
        {"three-byte character cut", u"a\u65E5", 2, 3},
        {"four-byte character cut", u"\xD83D\xDE00", 2, 3},
    };
    for (const auto& c : narrow) {
        SCOPED_TRACE(c.name);
        std::vector<char> buf(c.dstLen + 4, kByteSentinel);
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, c.utf16.c_str(), c.srcLen, buf.data(), c.dstLen, nullptr, nullptr),
                  0);
        for (size_t i = c.dstLen; i < buf.size(); ++i)
            EXPECT_EQ(buf[i], kByteSentinel) << "wrote past dstLen at " << i;
        EXPECT_GT(WideCharToMultiByte(CP_UTF8, 0, c.utf16.c_str(), c.srcLen, nullptr, 0, nullptr, nullptr), c.dstLen);
    }
}

TEST(Unicode, BadArgumentsGiveZero)
{
    WCHAR w[4];
    char n[4];
    const struct {
        const char* name;
        UINT codePage;
        bool nullSrc;
        int srcLen;
        bool nullDst;
        int dstLen;
    } cases[] = {
        {"null source", CP_UTF8, true, 3, false, 4},
        {"empty source", CP_UTF8, false, 0, false, 4},
        {"length below -1", CP_UTF8, false, -2, false, 4},
        {"negative buffer size", CP_UTF8, false, 3, false, -1},
        {"null buffer with a size", CP_UTF8, false, 3, true, 4},
        {"unsupported code page", 1252, false, 3, false, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, c.nullSrc ? nullptr : "abc", c.srcLen, c.nullDst ? nullptr : w,
                                      c.dstLen),
                  0);
        EXPECT_EQ(WideCharToMultiByte(c.codePage, 0, c.nullSrc ? nullptr : u"abc", c.srcLen, c.nullDst ? nullptr : n,
                                      c.dstLen, nullptr, nullptr),
                  0);
    }
}

} // namespace
