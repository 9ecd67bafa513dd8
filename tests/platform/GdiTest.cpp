// Drawing on memory DCs, read back pixel by pixel.
#include <gtest/gtest.h>

#include "platform/AfxGdi.h"
#include "platform/Gdi.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A 20 x 20 white canvas.
struct Canvas {
    Canvas() {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, 20, 20);
        previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
        RECT all{0, 0, 20, 20};
        HBRUSH white = CreateSolidBrush(kWhite);
        FillRect(dc, &all, white);
        DeleteObject(reinterpret_cast<HGDIOBJ>(white));
    }
    ~Canvas() {
        SelectObject(dc, previous);
        DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
        DeleteDC(dc);
    }
    int Count(COLORREF color) const {
        int n = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                if (GetPixel(dc, x, y) == color) ++n;
        return n;
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
};

}  // namespace

TEST(Gdi, LineToLeavesItsEndPointOut) {
    struct Case {
        int x0, y0, x1, y1;
        int pixels;
    };
    const Case cases[] = {{2, 5, 10, 5, 8}, {5, 2, 5, 12, 10}, {10, 5, 2, 5, 8}, {3, 3, 3, 3, 0}, {0, 0, 4, 4, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x0) + "," + std::to_string(c.y0) + " to " + std::to_string(c.x1) + "," + std::to_string(c.y1));
        Canvas canvas;
        HPEN pen = CreatePen(PS_SOLID, 0, kRed);
        HGDIOBJ old = SelectObject(canvas.dc, reinterpret_cast<HGDIOBJ>(pen));
        MoveToEx(canvas.dc, c.x0, c.y0, nullptr);
        LineTo(canvas.dc, c.x1, c.y1);
        SelectObject(canvas.dc, old);
        DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
        EXPECT_EQ(canvas.Count(kRed), c.pixels);
        if (c.pixels) {
            EXPECT_EQ(GetPixel(canvas.dc, c.x0, c.y0), kRed);
            EXPECT_EQ(GetPixel(canvas.dc, c.x1, c.y1), kWhite);
        }
    }
}

TEST(Gdi, FrameRectDrawsOnePixelInsideTheRectangle) {
    Canvas canvas;
    RECT r{2, 3, 12, 9};
    HBRUSH red = CreateSolidBrush(kRed);
    FrameRect(canvas.dc, &r, red);
    DeleteObject(reinterpret_cast<HGDIOBJ>(red));
    EXPECT_EQ(canvas.Count(kRed), 2 * 10 + 2 * 4);
    EXPECT_EQ(GetPixel(canvas.dc, 2, 3), kRed);
    EXPECT_EQ(GetPixel(canvas.dc, 11, 8), kRed);
    EXPECT_EQ(GetPixel(canvas.dc, 12, 9), kWhite);
    EXPECT_EQ(GetPixel(canvas.dc, 5, 5), kWhite);
}

TEST(Gdi, ExcludedRectanglesAreNotPaintedOver) {
    Canvas canvas;
    EXPECT_EQ(ExcludeClipRect(canvas.dc, 0, 0, 10, 20), SIMPLEREGION);
    RECT all{0, 0, 20, 20};
    HBRUSH blue = CreateSolidBrush(kBlue);
    FillRect(canvas.dc, &all, blue);
    EXPECT_EQ(canvas.Count(kBlue), 10 * 20);
    EXPECT_EQ(GetPixel(canvas.dc, 9, 0), kWhite);
    EXPECT_EQ(GetPixel(canvas.dc, 10, 0), kBlue);
    EXPECT_EQ(ExcludeClipRect(canvas.dc, 0, 0, 20, 20), NULLREGION) << "excluding everything leaves nothing";
    FillRect(canvas.dc, &all, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(canvas.Count(RGB(0, 0, 0)), 0);
    DeleteObject(reinterpret_cast<HGDIOBJ>(blue));
}

TEST(Gdi, BitBltCopiesFromTheSourcePosition) {
    Canvas source, target;
    RECT spot{4, 4, 6, 6};
    HBRUSH red = CreateSolidBrush(kRed);
    FillRect(source.dc, &spot, red);
    DeleteObject(reinterpret_cast<HGDIOBJ>(red));
    EXPECT_TRUE(BitBlt(target.dc, 10, 12, 4, 4, source.dc, 3, 3, SRCCOPY));
    EXPECT_EQ(target.Count(kRed), 4);
    EXPECT_EQ(GetPixel(target.dc, 11, 13), kRed);
    EXPECT_EQ(GetPixel(target.dc, 12, 14), kRed);
    EXPECT_EQ(GetPixel(target.dc, 10, 12), kWhite);
}

TEST(Gdi, SelectObjectHandsBackWhatWasSelected) {
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CBitmap first, second;
    first.CreateCompatibleBitmap(&dc, 3, 3);
    second.CreateCompatibleBitmap(&dc, 5, 5);
    HGDIOBJ original = dc.SelectObject(&first);
    EXPECT_NE(original, nullptr);
    EXPECT_EQ(dc.SelectObject(&second), first.GetSafeHandle());
    EXPECT_EQ(dc.SelectObject(original), second.GetSafeHandle());
    BITMAP bm;
    ASSERT_EQ(second.GetBitmap(&bm), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, 5);
    EXPECT_EQ(bm.bmHeight, 5);
}
