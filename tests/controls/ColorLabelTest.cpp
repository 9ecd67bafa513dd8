// The painted label on a real window: only its black text on the parent's background, at
// the place, lines and clipping it promises.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/AfxGdi.h"
#include "platform/User.h"
#include "tests/controls/ControlsFixture.h"

using namespace platform::testing;
using namespace controls_test;

namespace {

// What the label should show: the parent's pixels with the lines drawn in black from
// (x, 0), one pixel between a line's bottom and the next line's top, never on the top
// row or the left column. `xOf` places each line given its width.
Image Expected(HWND label, const std::vector<std::string>& lines, const std::function<int(int, int)>& xOf) {
    Image beneath = Beneath(label);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&dc, beneath.width, beneath.height);
    HGDIOBJ previous = dc.SelectObject(&bitmap);
    for (int y = 0; y < beneath.height; ++y)
        for (int x = 0; x < beneath.width; ++x) {
            COLORREF c = beneath.At(x, y);
            dc.FillSolidRect(x, y, 1, 1, c);
        }
    dc.SelectObject(reinterpret_cast<HGDIOBJ>(SendMessage(label, WM_GETFONT, 0, 0)));
    CRgn clip;
    clip.CreateRectRgn(1, 1, beneath.width, beneath.height);
    dc.SelectClipRgn(&clip);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
    int y = 0;
    for (const std::string& line : lines) {
        SIZE size = dc.GetTextExtent(line.c_str(), static_cast<int>(line.size()));
        dc.TextOut(xOf(beneath.width, size.cx), y, line.c_str(), static_cast<int>(line.size()));
        y += size.cy + 1;
    }
    Image out;
    out.width = beneath.width;
    out.height = beneath.height;
    for (int yy = 0; yy < out.height; ++yy)
        for (int x = 0; x < out.width; ++x) {
            COLORREF c = dc.GetPixel(x, yy);
            out.pixels.push_back((static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c));
        }
    dc.SelectObject(previous);
    return out;
}

int Left(int, int) { return 2; }

int DarkPixels(const Image& image) {
    int n = 0;
    for (uint32_t p : image.pixels)
        if (((p >> 16) & 0xFF) < 60 && ((p >> 8) & 0xFF) < 60 && (p & 0xFF) < 60) ++n;
    return n;
}

}  // namespace

TEST(ColorLabel, DrawsOnlyItsTextWhereTheAlignmentPutsIt) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        struct Case {
            const char* what;
            int id;
            std::vector<std::string> lines;
            std::function<int(int, int)> x;
        };
        const Case cases[] = {
            {"left: at x = 2, y = 0", kLabel, {"Output:"}, Left},
            {"right: 2 pixels from the right edge", kRight, {"Max"}, [](int width, int text) { return width - text - 2; }},
            {"centred", kWide, {"WWWWWWWWWW"}, [](int width, int text) { return (width - text) / 2; }},
            {"a template text of two lines: its first line only", kMulti, {"first"}, Left},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            HWND label = GetDlgItem(d, c.id);
            Image shown = OnScreen(label);
            Image expected = Expected(label, c.lines, c.x);
            ASSERT_EQ(shown.width, expected.width);
            EXPECT_GT(DarkPixels(shown), 10) << "black text";
            EXPECT_EQ(shown.pixels, expected.pixels);
        }
    });
}

TEST(ColorLabel, NeverPaintsItsTopRowOrLeftColumn) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        // Centred text wider than the label starts left of it, so without the clip its
        // letters would cover the left column.
        HWND label = GetDlgItem(d, kWide);
        Image shown = OnScreen(label), beneath = Beneath(label);
        for (int y = 0; y < shown.height; ++y) EXPECT_EQ(shown.At(0, y), beneath.At(0, y)) << "left column, row " << y;
        for (int x = 0; x < shown.width; ++x) EXPECT_EQ(shown.At(x, 0), beneath.At(x, 0)) << "top row, column " << x;
        int inkInSecondColumn = 0;
        for (int y = 0; y < shown.height; ++y) inkInSecondColumn += shown.At(1, y) != beneath.At(1, y);
        EXPECT_GT(inkInSecondColumn, 0) << "the text does reach the edge";
    });
}

TEST(ColorLabel, SetTextDrawsEveryLineOnePixelApart) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND label = GetDlgItem(d, kMulti);
        // Room for three lines.
        SetWindowPos(label, nullptr, 0, 0, 120, 60, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(SendMessage(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("one\ntwo\nthree")), 0);
        Pump(100);
        EXPECT_EQ(dialog.m_multi.GetLineCount(), 3);
        EXPECT_EQ(std::string(dialog.m_multi.LineAt(2)), "three");
        EXPECT_EQ(std::string(dialog.m_multi.LineAt(3)), "");
        Image shown = OnScreen(label);
        EXPECT_EQ(shown.pixels, Expected(label, {"one", "two", "three"}, Left).pixels);
        char kept[64];
        GetWindowText(label, kept, sizeof(kept));
        EXPECT_STREQ(kept, "first\nsecond") << "the window's own copy of the text is left alone";

        // A shorter text leaves nothing of the longer one behind.
        SendMessage(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x"));
        Pump(100);
        EXPECT_EQ(OnScreen(label).pixels, Expected(label, {"x"}, Left).pixels);

        // A disabled label draws each line twice, the copy one pixel down and right.
        EnableWindow(label, FALSE);
        Pump(50);
        Image disabled = OnScreen(label);
        EXPECT_GT(DarkPixels(disabled), DarkPixels(Expected(label, {"x"}, Left)));
    });
}

TEST(ColorLabel, LineAtKeepsCarriageReturnsAndCutsLongTexts) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND label = GetDlgItem(d, kLabel);
        SendMessage(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("a\r\nb"));
        EXPECT_EQ(std::string(dialog.m_label.LineAt(0)), "a\r");
        EXPECT_EQ(std::string(dialog.m_label.LineAt(1)), "b");
        std::string longText(3000, 'x');
        longText.replace(1022, 2, "\xC3\xA9");  // a two-byte letter across the 1023-byte limit
        SendMessage(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(longText.c_str()));
        EXPECT_EQ(std::string(dialog.m_label.LineAt(0)), std::string(1022, 'x')) << "cut before the letter, not inside it";
        Pump(50);
    });
}
