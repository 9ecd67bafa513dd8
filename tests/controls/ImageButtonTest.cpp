// The owner-drawn image button on a real window: its pixels in every state, hover, the
// hand cursor, the tooltip, clicks, focus and its result codes.
#include <gtest/gtest.h>

#include <string>

#include "platform/User.h"
#include "tests/controls/ControlsFixture.h"

using namespace platform::testing;
using namespace controls_test;

namespace {

const COLORREF kHighlight = GetSysColor(COLOR_BTNHIGHLIGHT);
const COLORREF kLight = GetSysColor(COLOR_3DLIGHT);
const COLORREF kDarkShadow = GetSysColor(COLOR_3DDKSHADOW);
const COLORREF kShadow = GetSysColor(COLOR_BTNSHADOW);

// Where a colour occurs in an image: its bounding box, empty when it does not.
RECT BoxOf(const Image& image, const std::function<bool(COLORREF)>& match, int inset = 0) {
    RECT box{image.width, image.height, -1, -1};
    for (int y = inset; y < image.height - inset; ++y)
        for (int x = inset; x < image.width - inset; ++x)
            if (match(image.At(x, y))) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}
bool Empty(const RECT& r) { return r.right <= r.left; }

// Within a few steps of a colour in every channel: the background's blue never is.
bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 12 && std::abs(GetGValue(a) - GetGValue(b)) <= 12 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 12;
}

// The border ring of the image (its outermost `depth` pixels) equals `beneath` there.
bool RingMatches(const Image& image, const Image& beneath, int depth) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            bool ring = x < depth || y < depth || x >= image.width - depth || y >= image.height - depth;
            if (ring && image.At(x, y) != beneath.At(x, y)) return false;
        }
    return true;
}

void Centre(HWND control) {
    RECT r = ControlRect(control);
    MovePointer(control, (r.right - r.left) / 2, (r.bottom - r.top) / 2);
}

void PointerOffAllControls(HWND dialog) { MovePointer(dialog, 2, 2); }

// The program's pointing hand: 32 x 32 with the fingertip at (5, 0).
bool IsHand(const PointerShape& c) { return c.width == 32 && c.height == 32 && c.hotX == 5 && c.hotY == 0; }

}  // namespace

TEST(ImageButton, ThreeDimensionalBorderAtRestAndPressed) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND button = GetDlgItem(d, kIcon);
        SetFocus(GetDlgItem(d, kEdit));
        Image rest = OnScreen(button);
        int w = rest.width, h = rest.height;
        ASSERT_GT(w, 10);
        struct Pixel {
            const char* what;
            int x, y;
            COLORREF colour;
        };
        const Pixel border[] = {
            {"top row: highlight", w / 2, 0, kHighlight},
            {"top-left corner: highlight", 0, 0, kHighlight},
            {"left column: highlight", 0, h / 2, kHighlight},
            {"second row: light", w / 2, 1, kLight},
            {"second column: light", 1, h / 2, kLight},
            {"bottom row: dark shadow", w / 2, h - 1, kDarkShadow},
            {"bottom-left corner: dark shadow", 0, h - 1, kDarkShadow},
            {"right column: dark shadow", w - 1, h / 2, kDarkShadow},
            {"top-right corner: dark shadow", w - 1, 0, kDarkShadow},
            {"row above the bottom: shadow", w / 2, h - 2, kShadow},
            {"column left of the right: shadow", w - 2, h / 2, kShadow},
            {"second row's end: shadow", w - 2, 1, kShadow},
        };
        for (const Pixel& p : border) EXPECT_EQ(rest.At(p.x, p.y), p.colour) << p.what;
        Image beneath = Beneath(button);
        EXPECT_EQ(rest.At(w / 2, 3), beneath.At(w / 2, 3)) << "inside the border the window's background shows";
        EXPECT_EQ(rest.At(3, h - 4), beneath.At(3, h - 4));

        // Pressed: one shadow frame, and the content moves right and down by one pixel.
        Centre(button);
        PressPointer();
        Image pressed = OnScreen(button);
        ReleasePointer();
        for (int x = 0; x < w; x += 7) {
            EXPECT_EQ(pressed.At(x, 0), kShadow);
            EXPECT_EQ(pressed.At(x, h - 1), kShadow);
        }
        EXPECT_EQ(pressed.At(0, h / 2), kShadow);
        EXPECT_EQ(pressed.At(w - 1, h / 2), kShadow);
        EXPECT_EQ(pressed.At(w / 2, 1), beneath.At(w / 2, 1)) << "no second border line while pressed";
        // The content: what is neither background nor focus rectangle, inside the border.
        auto content = [&](const Image& image) {
            Image copy = image;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (copy.At(x, y) == beneath.At(x, y)) copy.pixels[static_cast<size_t>(y * w + x)] = 0xFFFFFF;
            return BoxOf(copy, [](COLORREF c) { return c != RGB(255, 255, 255); }, 4);
        };
        RECT before = content(rest), after = content(pressed);
        ASSERT_FALSE(Empty(before));
        EXPECT_EQ(after.left, before.left + 1);
        EXPECT_EQ(after.top, before.top + 1);
        EXPECT_EQ(after.right, before.right + 1);
        EXPECT_EQ(after.bottom, before.bottom + 1);
    });
}

TEST(ImageButton, FlatButtonFramesFollowTheMouse) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND button = GetDlgItem(d, kFlat);
        PointerOffAllControls(d);
        Image beneath = Beneath(button);
        Image rest = OnScreen(button);
        int w = rest.width, h = rest.height;
        EXPECT_TRUE(RingMatches(rest, beneath, 3)) << "a flat button at rest has no frame";

        Centre(button);
        ASSERT_TRUE(WaitUntil([&]() { return dialog.m_flat.IsHovered() != FALSE; }, 2000));
        Image hovered = OnScreen(button);
        EXPECT_EQ(hovered.At(w / 2, 0), kHighlight) << "raised: light above";
        EXPECT_EQ(hovered.At(0, h / 2), kHighlight);
        EXPECT_EQ(hovered.At(w / 2, h - 1), kShadow) << "raised: shadow below";
        EXPECT_EQ(hovered.At(w - 1, h / 2), kShadow);
        EXPECT_EQ(hovered.At(w / 2, 1), beneath.At(w / 2, 1)) << "one pixel wide";

        PressPointer();
        Image pressed = OnScreen(button);
        ReleasePointer();
        EXPECT_EQ(pressed.At(w / 2, 0), kShadow) << "sunken: shadow above";
        EXPECT_EQ(pressed.At(0, h / 2), kShadow);
        EXPECT_EQ(pressed.At(w / 2, h - 1), kHighlight) << "sunken: light below";
        EXPECT_EQ(pressed.At(w - 1, h / 2), kHighlight);

        // Focused after the click, still no focus rectangle on a flat button.
        EXPECT_TRUE(HasFocus(button));
        PointerOffAllControls(d);
        ASSERT_TRUE(WaitUntil([&]() { return !dialog.m_flat.IsHovered(); }, 2000));
        Image focused = OnScreen(button);
        EXPECT_TRUE(RingMatches(focused, beneath, 4)) << "no frame and no focus rectangle";
    });
}

TEST(ImageButton, OnlyThreeDimensionalButtonsDrawAFocusRectangle) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND button = GetDlgItem(d, kIcon);
        SetFocus(GetDlgItem(d, kEdit));
        Image unfocused = OnScreen(button);
        SetFocus(button);
        Image focused = OnScreen(button);
        int w = focused.width, h = focused.height;
        // The dotted frame lies three pixels inside the button.
        EXPECT_NE(focused.At(3, 3), unfocused.At(3, 3));
        EXPECT_NE(focused.At(w - 4, h / 2 + (h / 2 - 3) % 2), unfocused.At(w - 4, h / 2 + (h / 2 - 3) % 2));
        EXPECT_EQ(focused.At(2, 2), unfocused.At(2, 2));
    });
}

TEST(ImageButton, DisabledButtonsAreEmbossed) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        for (int id : {kIcon, kFlat}) {
            SCOPED_TRACE("button " + std::to_string(id));
            HWND button = GetDlgItem(d, id);
            Image enabled = OnScreen(button);
            EnableWindow(button, FALSE);
            Image disabled = OnScreen(button);
            // The highlight copy lies one pixel down and right, under the shadow copy, so what
            // shows of it is a fringe whose shadow pixel sits up and left of it.
            int forward = 0, backward = 0;
            for (int y = 3; y < disabled.height - 3; ++y)
                for (int x = 3; x < disabled.width - 3; ++x) {
                    if (!Near(disabled.At(x, y), kHighlight)) continue;
                    forward += Near(disabled.At(x - 1, y - 1), kShadow);
                    backward += Near(disabled.At(x + 1, y + 1), kShadow);
                }
            EXPECT_GT(forward, 5) << "highlight below and right of the shadow";
            EXPECT_GT(forward, 3 * backward);
            EXPECT_TRUE(Empty(BoxOf(disabled, [](COLORREF c) { return c == RGB(0, 0, 0); }, 2))) << "no black caption";
            EXPECT_FALSE(Empty(BoxOf(enabled, [](COLORREF c) { return c == RGB(0, 0, 0); }, 2)));
            EnableWindow(button, TRUE);
        }
        // The icon of a disabled button keeps its shape but loses its colours.
        HWND icon = GetDlgItem(d, kIcon);
        auto reddish = [](COLORREF c) { return GetRValue(c) > 150 && GetGValue(c) < 80 && GetBValue(c) < 80; };
        EXPECT_FALSE(Empty(BoxOf(OnScreen(icon), reddish)));
        EnableWindow(icon, FALSE);
        EXPECT_TRUE(Empty(BoxOf(OnScreen(icon), reddish)));
    });
}

TEST(ImageButton, ImagePlacement) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND) {
        struct Case {
            const char* what;
            int placement;
            BOOL hasCaption, pressed;
            RECT image;   // expected top-left corner in left/top
            RECT caption; // expected caption rectangle
        };
        const RECT item{0, 0, 100, 40};
        const Case cases[] = {
            {"left, no caption: centred", ImageButton::ImageLeft, FALSE, FALSE, {34, 4, 0, 0}, {0, 0, 100, 40}},
            {"left, caption: margin, caption moves right", ImageButton::ImageLeft, TRUE, FALSE, {3, 4, 0, 0}, {35, 0, 100, 40}},
            {"left, caption, pressed", ImageButton::ImageLeft, TRUE, TRUE, {4, 5, 0, 0}, {35, 0, 100, 40}},
            {"above, no caption: centred", ImageButton::ImageAbove, FALSE, FALSE, {34, 4, 0, 0}, {0, 0, 100, 40}},
            {"above, caption: margin, caption moves down", ImageButton::ImageAbove, TRUE, FALSE, {34, 3, 0, 0}, {0, 32, 100, 40}},
            {"above, caption, pressed", ImageButton::ImageAbove, TRUE, TRUE, {35, 4, 0, 0}, {0, 32, 100, 40}},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            ASSERT_EQ(dialog.m_flat.SetImagePlacement(c.placement, FALSE), ImageButton::kDone);
            CRect caption(item);
            CRect image = dialog.m_flat.PlaceImage(c.hasCaption, &item, &caption, c.pressed, 32, 32);
            EXPECT_EQ(image.left, c.image.left);
            EXPECT_EQ(image.top, c.image.top);
            EXPECT_EQ(caption.left, c.caption.left);
            EXPECT_EQ(caption.top, c.caption.top);
            EXPECT_EQ(caption.right, c.caption.right);
        }
        EXPECT_EQ(dialog.m_flat.SetImagePlacement(4, TRUE), ImageButton::kBadPlacement);
        EXPECT_EQ(dialog.m_flat.GetImagePlacement(), ImageButton::ImageAbove) << "the old placement stays";
    });
}

TEST(ImageButton, HoverStartsOnMoveAndEndsWhenThePointerOrFocusGoes) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND flat = GetDlgItem(d, kFlat);
        ImageButton& b = dialog.m_flat;
        auto hoverNow = [&]() {
            PointerOffAllControls(d);
            Centre(flat);
            return WaitUntil([&]() { return b.IsHovered() != FALSE; }, 2000);
        };
        struct Case {
            const char* what;
            std::function<void()> end;
        };
        const Case cases[] = {
            {"the pointer leaves", [&]() { PointerOffAllControls(d); }},
            {"the focus goes", [&]() {
                 SetFocus(flat);
                 SetFocus(GetDlgItem(d, kEdit));
             }},
            {"the window is deactivated", [&]() { SendMessage(flat, WM_ACTIVATE, WA_INACTIVE, 0); }},
            {"the button is disabled", [&]() { EnableWindow(flat, FALSE); }},
            {"a mode is cancelled", [&]() { SendMessage(flat, WM_CANCELMODE, 0, 0); }},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            EnableWindow(flat, TRUE);
            ASSERT_TRUE(hoverNow()) << "a move onto the button starts the hover";
            c.end();
            EXPECT_TRUE(WaitUntil([&]() { return !b.IsHovered(); }, 1000));
        }
        EnableWindow(flat, TRUE);

        // Dragging in with the button held starts nothing.
        PointerOffAllControls(d);
        PressPointer();
        Centre(flat);
        Pump(100);
        EXPECT_FALSE(b.IsHovered());
        ReleasePointer();

        // 3D buttons never hover.
        Centre(GetDlgItem(d, kIcon));
        Pump(100);
        EXPECT_FALSE(dialog.m_icon.IsHovered());
    });
}

TEST(ImageButton, HandCursorAndTooltipOverTheButton) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        PointerOffAllControls(d);
        PointerShape outside = CurrentCursor();
        for (auto [id, tip] : {std::pair{kIcon, "Start converting"}, std::pair{kFlat, "Browse"}}) {
            SCOPED_TRACE(tip);
            Centre(GetDlgItem(d, id));
            MovePointer(GetDlgItem(d, id), 5, 5);
            PointerShape over = CurrentCursor();
            EXPECT_TRUE(IsHand(over)) << over.width << "x" << over.height << " hot spot " << over.hotX << "," << over.hotY;
            Image hand = ResourceImage("cursor", 140);
            ASSERT_EQ(static_cast<int>(over.pixels.size()), hand.width * hand.height);
            EXPECT_EQ(over.pixels[static_cast<size_t>(5)] & 0xFFFFFF, hand.pixels[5]) << "the picture is the hand's";
            EXPECT_TRUE(WaitUntil([&]() { return ShownTooltip() == tip; }, 3000)) << "shown: '" << ShownTooltip() << "'";
            PointerOffAllControls(d);
            EXPECT_TRUE(WaitUntil([&]() { return ShownTooltip().empty(); }, 3000));
        }
        EXPECT_FALSE(IsHand(CurrentCursor())) << "the arrow is back off the buttons";
        EXPECT_EQ(CurrentCursor().pixels, outside.pixels);
        // A button without a hover cursor leaves the pointer alone.
        EXPECT_EQ(dialog.m_default.SetHoverCursor(0, FALSE), ImageButton::kDone);
        Centre(GetDlgItem(d, kDefault));
        EXPECT_FALSE(IsHand(CurrentCursor()));
    });
}

TEST(ImageButton, ClicksReachTheParentAndDoubleClicksCountTwice) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND flat = GetDlgItem(d, kFlat);
        SetFocus(GetDlgItem(d, kEdit));
        Click(flat);
        EXPECT_EQ(dialog.clicks, std::vector<int>{kFlat});
        EXPECT_TRUE(HasFocus(flat)) << "a clicked button takes the focus";
        dialog.clicks.clear();
        RECT r = ControlRect(flat);
        DoubleClickAt(flat, (r.right - r.left) / 2, (r.bottom - r.top) / 2);
        Pump(100);
        EXPECT_EQ(dialog.clicks, (std::vector<int>{kFlat, kFlat}));
        EXPECT_EQ(AccessibleRole(flat), "push button");
        EXPECT_EQ(AccessibleName(flat), "Browse");
    });
}

TEST(ImageButton, DisablingMovesTheFocusOnEvenWithoutIt) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND edit = GetDlgItem(d, kEdit);
        SetFocus(edit);
        HWND next = GetNextDlgTabItem(d, GetDlgItem(d, kIcon), FALSE);
        ASSERT_EQ(next, GetDlgItem(d, kFlat));
        EnableWindow(GetDlgItem(d, kIcon), FALSE);
        EXPECT_TRUE(HasFocus(next)) << "the focus moved from the edit box to the stop after the disabled button";
    });
}

TEST(ImageButton, DefaultFlagFollowsTheTemplateAndSetStyle) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND def = GetDlgItem(d, kDefault), flat = GetDlgItem(d, kFlat);
        EXPECT_TRUE(dialog.m_default.IsDefault()) << "from the template's style";
        EXPECT_EQ(GetWindowLongPtr(def, GWL_STYLE) & 0x1F, static_cast<intptr_t>(BS_OWNERDRAW));
        EXPECT_TRUE(SendMessage(def, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
        EXPECT_TRUE(SendMessage(flat, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON);
        // Enter in the edit box presses the default button, which only says so when asked.
        SetFocus(GetDlgItem(d, kEdit));
        PressKey("Return");
        EXPECT_EQ(dialog.clicks, std::vector<int>{kDefault});

        // Painting its own background, the default 3D button has a black frame.
        Image own = OnScreen(def);
        EXPECT_EQ(own.At(own.width / 2, 0), RGB(0, 0, 0));
        EXPECT_EQ(own.At(own.width / 2, own.height / 2 - 6), GetSysColor(COLOR_BTNFACE));

        SendMessage(flat, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        SendMessage(def, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        EXPECT_TRUE(dialog.m_flat.IsDefault());
        EXPECT_FALSE(dialog.m_default.IsDefault());
        EXPECT_EQ(GetWindowLongPtr(flat, GWL_STYLE) & 0x1F, static_cast<intptr_t>(BS_OWNERDRAW)) << "still owner-drawn";
        dialog.clicks.clear();
        SetFocus(GetDlgItem(d, kEdit));
        PressKey("Return");
        EXPECT_EQ(dialog.clicks, std::vector<int>{kFlat});
    });
}

TEST(ImageButton, ResultCodesOfItsOperations) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND) {
        EXPECT_EQ(dialog.m_default.LoadIcons(9999, 0), ImageButton::kDone) << "no such icon: no icon, and done";
        EXPECT_EQ(dialog.m_default.SetHoverCursor(9999, FALSE), ImageButton::kLoadFailed);
        EXPECT_EQ(dialog.m_default.SetHoverCursor(140, FALSE), ImageButton::kDone);
        EXPECT_EQ(dialog.m_default.SetTip(nullptr, TRUE), ImageButton::kDone);
        EXPECT_EQ(dialog.m_default.SetFlatStyle(TRUE, TRUE), ImageButton::kDone);
        EXPECT_TRUE(dialog.m_default.IsFlat());
    });
}

TEST(ImageButton, TheBackgroundCopyIsTakenOnceAndAgainAfterAColourChange) {
    ControlsDialog dialog;
    RunControlsDialog(dialog, [&](HWND d) {
        HWND flat = GetDlgItem(d, kFlat);
        PointerOffAllControls(d);
        Image before = Beneath(flat);
        EXPECT_TRUE(RingMatches(OnScreen(flat), before, 3));
        // The window paints other tiles: the button keeps its first copy.
        dialog.Repattern(3);
        Pump(100);
        Image after = Beneath(flat);
        ASSERT_NE(after.pixels, before.pixels);
        InvalidateRect(flat, nullptr, TRUE);
        EXPECT_TRUE(RingMatches(OnScreen(flat), before, 3)) << "repainting the parent does not refresh the copy";
        // A colour change does.
        SendMessage(flat, WM_SYSCOLORCHANGE, 0, 0);
        Pump(100);
        EXPECT_TRUE(RingMatches(OnScreen(flat), after, 3)) << "a fresh copy after a colour change";
    });
}
