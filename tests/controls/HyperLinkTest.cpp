// The link label on a real window: fitted to its text, its colours and underline by state,
// the hand cursor and the address as tooltip, and what a click opens or says.
#include <gtest/gtest.h>

#include <string>

#include "controls/HyperLink.h"
#include "platform/DataExchange.h"
#include "platform/Dialog.h"
#include "platform/DialogManager.h"
#include "platform/MessageLoop.h"
#include "platform/Resources.h"
#include "platform/Shell.h"
#include "platform/Testing.h"
#include "platform/User.h"
#include "platform/testing/UiDriver.h"
#include "tests/controls/ControlsFixture.h"

using namespace platform::testing;

namespace {

constexpr int kTemplate = 9102;
enum : int { kLeft = 40, kRight = 41, kCenter = 42, kCenterImage = 43, kEmpty = 44, kOk = IDOK };
constexpr const char* kAddress = "https://www.varnolt.example/contact.htm";
const RECT kBox{10, 10, 130, 30};  // every link's template place, in dialog units (left, top, right, bottom)

void RegisterTemplate() {
    platform::DialogTemplate t;
    t.id = kTemplate;
    t.cx = 300;
    t.cy = 160;
    t.caption = "Links";
    t.fontFace = "Sans";
    t.fontPoints = 8;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.exStyle = 0;
    int w = kBox.right - kBox.left, h = kBox.bottom - kBox.top;
    t.controls = {
        {kLeft, "Static", "Left link", SS_LEFT, 10, 10, w, h, nullptr},
        {kRight, "Static", "Left link", SS_RIGHT, 10, 40, w, h, nullptr},
        {kCenter, "Static", "Left link", SS_CENTER, 10, 70, w, h, nullptr},
        {kCenterImage, "Static", "Left link", SS_LEFT | SS_CENTERIMAGE, 10, 100, w, h, nullptr},
        {kEmpty, "Static", "", SS_LEFT, 150, 10, w, h, nullptr},
        {kOk, "Button", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 150, 130, 50, 14, nullptr},
    };
    platform::RegisterDialogTemplate(t);
}

class LinkDialog : public CDialog {
public:
    LinkDialog() : CDialog(kTemplate) { m_empty.SetLink(kAddress); }
    HyperLink m_left, m_right, m_center, m_centerImage, m_empty;
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, kLeft, m_left);
        DDX_Control(dx, kRight, m_right);
        DDX_Control(dx, kCenter, m_center);
        DDX_Control(dx, kCenterImage, m_centerImage);
        DDX_Control(dx, kEmpty, m_empty);
    }
};

void RunLinkDialog(LinkDialog& dialog, const std::function<void(HWND)>& script) {
    RegisterTemplate();
    controls_test::RunTestDialog(dialog, script);
}

bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 40 && std::abs(GetGValue(a) - GetGValue(b)) <= 40 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 40;
}

int Count(const Image& image, COLORREF colour) {
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) n += Near(image.At(x, y), colour);
    return n;
}

// The longest horizontal run of ink (anything but the dialog's face colour): an underline
// spans most of the text, a letter does not.
int LongestRun(const Image& image, COLORREF) {
    int best = 0;
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int y = 0; y < image.height; ++y) {
        int run = 0;
        for (int x = 0; x < image.width; ++x) {
            COLORREF c = image.At(x, y);
            bool ink = std::abs(GetRValue(c) - GetRValue(face)) + std::abs(GetGValue(c) - GetGValue(face)) +
                           std::abs(GetBValue(c) - GetBValue(face)) > 60;
            run = ink ? run + 1 : 0;
            best = std::max(best, run);
        }
    }
    return best;
}

std::string TextOf(HWND hwnd) {
    char buffer[256];
    GetWindowText(hwnd, buffer, sizeof(buffer));
    return buffer;
}

const COLORREF kLink = RGB(0, 0, 238), kHover = RGB(255, 0, 0), kVisited = RGB(85, 26, 139);

}  // namespace

TEST(HyperLink, FitsItsWindowToTheTextKeepingItsAlignment) {
    LinkDialog dialog;
    RunLinkDialog(dialog, [&](HWND d) {
        RECT box{kBox.left, kBox.top, kBox.right, kBox.bottom};
        MapDialogRect(d, &box);
        int templateWidth = box.right - box.left, templateHeight = box.bottom - box.top;
        auto rectOf = [&](int id) {
            RECT r;
            GetWindowRect(GetDlgItem(d, id), &r);
            POINT a{r.left, r.top}, b{r.right, r.bottom};
            ScreenToClient(d, &a);
            ScreenToClient(d, &b);
            return RECT{a.x, a.y, b.x, b.y};
        };
        RECT left = rectOf(kLeft), right = rectOf(kRight), center = rectOf(kCenter), image = rectOf(kCenterImage);
        int width = left.right - left.left, height = left.bottom - left.top;
        ASSERT_GT(width, 10);
        EXPECT_LT(width, templateWidth) << "narrowed to the text";
        EXPECT_LT(height, templateHeight);
        struct Case {
            const char* what;
            RECT r;
            int keptLeft, keptRight, keptCentreX2, keptTop, keptMiddleY2;  // -1: not checked
        };
        auto pixelsY = [&](int dlu) {
            RECT r{0, dlu, 0, dlu};
            MapDialogRect(d, &r);
            return r.top;
        };
        const int h = templateHeight;
        const Case cases[] = {
            {"SS_LEFT keeps its left edge and top", left, box.left, -1, -1, pixelsY(10), -1},
            {"SS_RIGHT keeps its right edge", right, -1, box.right, -1, pixelsY(40), -1},
            {"SS_CENTER keeps its centre", center, -1, -1, box.left + box.right, pixelsY(70), -1},
            {"SS_CENTERIMAGE keeps its middle", image, box.left, -1, -1, -1, 2 * pixelsY(100) + h},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            // Centring halves the spare room on both sides, so an odd remainder stays.
            EXPECT_LE(std::abs(c.r.right - c.r.left - width), 1) << "the same text, the same width";
            EXPECT_LE(std::abs(c.r.bottom - c.r.top - height), 1);
            if (c.keptLeft >= 0) {
                EXPECT_EQ(c.r.left, c.keptLeft);
            }
            if (c.keptRight >= 0) {
                EXPECT_EQ(c.r.right, c.keptRight);
            }
            if (c.keptCentreX2 >= 0) {
                EXPECT_LE(std::abs(c.r.left + c.r.right - c.keptCentreX2), 1);
            }
            if (c.keptTop >= 0) {
                EXPECT_EQ(c.r.top, c.keptTop);
            }
            if (c.keptMiddleY2 >= 0) {
                EXPECT_LE(std::abs(c.r.top + c.r.bottom - c.keptMiddleY2), 1);
            }
        }
        EXPECT_EQ(TextOf(GetDlgItem(d, kEmpty)), kAddress) << "an empty link shows its address";
        EXPECT_EQ(std::string(dialog.m_left.GetLink()), "Left link") << "a link without an address uses its text";
    });
}

TEST(HyperLink, ColoursAndUnderlineFollowTheMouse) {
    LinkDialog dialog;
    RunLinkDialog(dialog, [&](HWND d) {
        HWND link = GetDlgItem(d, kLeft);
        MovePointer(d, 1, 1);
        Image rest = CaptureControlOnScreen(link);
        int width = rest.width;
        EXPECT_GT(Count(rest, kLink), 5) << "link colour";
        EXPECT_LT(LongestRun(rest, kLink), width / 2) << "underlined only under the mouse";

        MovePointer(link, 3, 3);
        ASSERT_TRUE(WaitUntil([&]() { return dialog.m_left.IsOver() != FALSE; }, 1000));
        Pump(50);
        Image over = CaptureControlOnScreen(link);
        EXPECT_GT(Count(over, kHover), 5) << "red under the mouse";
        EXPECT_EQ(Count(over, kLink), 0);
        EXPECT_GT(LongestRun(over, kHover), width / 2) << "and underlined";
        MovePointer(link, 4, 4);
        PointerShape pointer = CurrentCursor();
        EXPECT_EQ(pointer.hotX, 5);
        EXPECT_EQ(pointer.hotY, 0);
        EXPECT_TRUE(WaitUntil([&]() { return ShownTooltip() == "Left link"; }, 3000)) << "the address as its tip";

        // Leaving is noticed by the link's 100 ms timer, at its first tick after the pointer
        // went; the test gives that tick itself so that a busy machine cannot blur it.
        KillTimer(link, HyperLink::kHoverTimer);
        MovePointer(d, 1, 1);
        EXPECT_TRUE(dialog.m_left.IsOver()) << "nothing but the timer notices";
        SendMessage(link, WM_TIMER, HyperLink::kHoverTimer, 0);
        EXPECT_FALSE(dialog.m_left.IsOver()) << "one tick is enough";
        Pump(50);
        Image after = CaptureControlOnScreen(link);
        EXPECT_GT(Count(after, kLink), 5);
        EXPECT_LT(LongestRun(after, kLink), width / 2);

        // Always underlined: the mouse changes only the colour.
        dialog.m_left.SetUnderlineMode(HyperLink::UnderlineAlways);
        Pump(50);
        EXPECT_GT(LongestRun(CaptureControlOnScreen(link), kLink), width / 2);
        MovePointer(link, 3, 3);
        ASSERT_TRUE(WaitUntil([&]() { return dialog.m_left.IsOver() != FALSE; }, 1000));
        Pump(50);
        EXPECT_GT(LongestRun(CaptureControlOnScreen(link), kHover), width / 2);
        MovePointer(d, 1, 1);
        ASSERT_TRUE(WaitUntil([&]() { return !dialog.m_left.IsOver(); }, 1000));
        Pump(50);
        EXPECT_GT(LongestRun(CaptureControlOnScreen(link), kLink), width / 2) << "still underlined after leaving";

        dialog.m_left.MarkVisited(TRUE);
        Pump(50);
        EXPECT_GT(Count(CaptureControlOnScreen(link), kVisited), 5) << "the visited colour";
    });
}

TEST(HyperLink, AClickOpensTheAddressOrSaysWhyNot) {
    LinkDialog dialog;
    RunLinkDialog(dialog, [&](HWND d) {
        HWND link = GetDlgItem(d, kEmpty);
        // This test's environment has no handler for web addresses and no browser
        // registered for web pages: the open really fails.
        ClearShownBoxes();
        QueueMessageBoxAnswer(IDOK);
        int bells = BellsRung();
        Click(link);
        ASSERT_TRUE(WaitUntil([&]() { return !ShownBoxes().empty(); }, 3000));
        EXPECT_EQ(BellsRung(), bells + 1) << "the warning beep";
        EXPECT_EQ(ShownBoxes()[0].text,
                  "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
        EXPECT_FALSE(dialog.m_empty.IsVisited());

        CaptureLaunches(true);
        ClearLaunches();
        Click(link);
        CaptureLaunches(false);
        ASSERT_EQ(Launches().size(), 1u);
        EXPECT_TRUE(Launches()[0].shell);
        EXPECT_EQ(Launches()[0].argv, std::vector<std::string>{kAddress});
        EXPECT_TRUE(dialog.m_empty.IsVisited());
        ClearLaunches();
    });
}

TEST(HyperLink, ReasonsForEveryFailureCode) {
    struct Case {
        int code;
        const char* reason;
    };
    const Case cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {SE_ERR_FNF, "The specified file was not found."},
        {SE_ERR_SHARE, "A sharing violation occurred. "},
        {SE_ERR_NOASSOC, "There is no application associated\nwith the given filename extension."},
        {SE_ERR_DLLNOTFOUND, "The specified dynamic-link library was not found."},
        {99, "Unknown Error (99) occurred."},
    };
    LinkDialog dialog;
    RunLinkDialog(dialog, [&](HWND) {
        for (const Case& c : cases) {
            ClearShownBoxes();
            QueueMessageBoxAnswer(IDOK);
            HyperLink::ShowLinkError(c.code);
            ASSERT_EQ(ShownBoxes().size(), 1u);
            EXPECT_EQ(ShownBoxes()[0].text, std::string("Unable to open hyperlink:\n\n") + c.reason);
            EXPECT_EQ(ShownBoxes()[0].type & MB_ICONEXCLAMATION, MB_ICONEXCLAMATION);
        }
    });
}
