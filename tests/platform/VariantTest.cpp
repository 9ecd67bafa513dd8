#include "platform/Variant.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Bstr, AllocCopiesAndTerminates)
{
    const std::u16string cases[] = {u"", u"abc", u"caf\u00E9 \u65E5\u672C \U0001F600"};
    for (const auto& text : cases) {
        SCOPED_TRACE(Utf16ToUtf8(text));
        BSTR b = SysAllocString(text.c_str());
        ASSERT_NE(b, nullptr);
        EXPECT_NE(b, text.c_str()) << "a copy, not the caller's buffer";
        EXPECT_EQ(SysStringLen(b), text.size());
        EXPECT_EQ(std::u16string(b, SysStringLen(b)), text);
        EXPECT_EQ(b[text.size()], u'\0');
        SysFreeString(b);
    }
}

TEST(Bstr, LengthComesFromThePrefixNotTheTerminator)
{
    const WCHAR withNul[] = {u'a', u'\0', u'b'};
    BSTR b = SysAllocStringLen(withNul, 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(std::u16string(b, 3), std::u16string(withNul, 3));
    EXPECT_EQ(b[3], u'\0');
    SysFreeString(b);

    BSTR blank = SysAllocStringLen(nullptr, 2);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(SysStringLen(blank), 2u);
    EXPECT_EQ(blank[0], u'\0');
    EXPECT_EQ(blank[1], u'\0');
    SysFreeString(blank);
}

TEST(Bstr, NullIsAllowedEverywhere)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Variant, InitAndClear)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = 7;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);

    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"owned");
    EXPECT_EQ(VariantClear(&v), S_OK); // the BSTR is freed (a leak checker run sees it)
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(v.bstrVal, nullptr);

    v.vt = VT_I4;
    v.lVal = -5;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(VariantClear(&v), S_OK) << "clearing an empty VARIANT";
}

TEST(Variant, ClearRejectsWhatItCannotFree)
{
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    VARIANT v;
    VariantInit(&v);
    v.vt = 9; // VT_DISPATCH: not supported here
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    EXPECT_EQ(v.vt, 9) << "left as it was";
}

} // namespace
