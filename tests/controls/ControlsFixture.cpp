#include "tests/controls/ControlsFixture.h"

#include <gtest/gtest.h>

#include "platform/DataExchange.h"
#include "platform/DialogManager.h"
#include "platform/MessageLoop.h"
#include "platform/Resources.h"
#include "platform/Testing.h"

using namespace platform::testing;

namespace controls_test {

namespace {

constexpr int kTemplate = 9101;
constexpr int kPatternWidth = 600, kPatternHeight = 400;

void RegisterTemplate() {
    platform::DialogTemplate t;
    t.id = kTemplate;
    t.cx = 220;
    t.cy = 110;
    t.caption = "Controls";
    t.fontFace = "Sans";
    t.fontPoints = 8;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.exStyle = 0;
    t.controls = {
        {kEdit, "Edit", "", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 7, 80, 80, 14, "Text"},
        {kIcon, "Button", "Convert", WS_TABSTOP | BS_PUSHBUTTON, 7, 7, 68, 26, nullptr},
        {kFlat, "Button", "Browse", WS_TABSTOP | BS_PUSHBUTTON, 90, 7, 48, 14, nullptr},
        {kDefault, "Button", "Default", WS_TABSTOP | BS_DEFPUSHBUTTON, 90, 25, 48, 14, nullptr},
        {kNext, "Button", "Next", WS_TABSTOP | BS_PUSHBUTTON, 150, 25, 40, 14, nullptr},
        {kLabel, "Static", "Output:", SS_LEFT, 7, 45, 40, 8, nullptr},
        {kMulti, "Static", "first\nsecond", SS_LEFT, 7, 56, 60, 20, nullptr},
        {kWide, "Static", "WWWWWWWWWW", SS_CENTER, 60, 45, 16, 8, nullptr},
        {kRight, "Static", "Max", SS_RIGHT, 100, 45, 40, 8, nullptr},
    };
    platform::RegisterDialogTemplate(t);
}

}  // namespace

COLORREF PatternAt(int x, int y, int shift) {
    int bx = x / 4 + shift, by = y / 4;
    return RGB(static_cast<BYTE>(40 + (bx * 23) % 150), static_cast<BYTE>(40 + (by * 37) % 150),
               static_cast<BYTE>(100 + ((bx + by) % 2) * 30));
}

BEGIN_MESSAGE_MAP(ControlsDialog, CDialog)
    ON_WM_PAINT()
    ON_BN_CLICKED(kIcon, OnIcon)
    ON_BN_CLICKED(kFlat, OnFlat)
    ON_BN_CLICKED(kDefault, OnDefault)
    ON_BN_CLICKED(kNext, OnNext)
END_MESSAGE_MAP()

ControlsDialog::ControlsDialog() : CDialog(kTemplate) {}

void ControlsDialog::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kIcon, m_icon);
    DDX_Control(dx, kFlat, m_flat);
    DDX_Control(dx, kDefault, m_default);
    DDX_Control(dx, kLabel, m_label);
    DDX_Control(dx, kMulti, m_multi);
    DDX_Control(dx, kWide, m_wide);
    DDX_Control(dx, kRight, m_right);
}

BOOL ControlsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    CClientDC screen(this);
    m_patternDc.CreateCompatibleDC(&screen);
    m_pattern.CreateCompatibleBitmap(&m_patternDc, kPatternWidth, kPatternHeight);
    m_previous = m_patternDc.SelectObject(&m_pattern);
    Repattern(0);

    // As the main window styles its buttons.
    m_icon.LoadIcons(141, 0);
    m_icon.UseParentBackground(FALSE);
    m_icon.SetHoverCursor(140, TRUE);
    m_icon.SetTip("Start converting", TRUE);
    m_icon.SetImagePlacement(ImageButton::ImageLeft, TRUE);
    m_icon.SetFlatStyle(FALSE, TRUE);
    m_flat.UseParentBackground(FALSE);
    m_flat.SetHoverCursor(140, TRUE);
    m_flat.SetTip("Browse", TRUE);
    m_flat.SetImagePlacement(ImageButton::ImageAbove, TRUE);
    m_default.SetFlatStyle(FALSE, TRUE);
    return TRUE;
}

void ControlsDialog::Repattern(int shift) {
    for (int y = 0; y < kPatternHeight; y += 4)
        for (int x = 0; x < kPatternWidth; x += 4) m_patternDc.FillSolidRect(x, y, 4, 4, PatternAt(x, y, shift));
    if (m_hWnd) Invalidate();
}

void ControlsDialog::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.BitBlt(0, 0, client.Width(), client.Height(), &m_patternDc, 0, 0, SRCCOPY);
}

void RunTestDialog(CDialog& dialog, const std::function<void(HWND)>& script) {
    platform::ResetQuit();
    ArmWatchdog(30000, "the test dialog");
    RunWhenIdle([&]() {
        ASSERT_TRUE(WaitUntil([&]() { return dialog.m_hWnd && WaitUntilShown(dialog.m_hWnd, 0); }));
        Pump(100);
        script(dialog.m_hWnd);
        if (!platform::DialogEnded(dialog.m_hWnd)) dialog.EndDialog(IDABORT);
    });
    dialog.DoModal();
    DisarmWatchdog();
    ClearQueuedAnswers();
    // The pointer goes back to a neutral place for the next test.
    MovePointerToScreen(1200, 1000);
}

void RunControlsDialog(ControlsDialog& dialog, const std::function<void(HWND)>& script) {
    RegisterTemplate();
    RunTestDialog(dialog, script);
}

Image OnScreen(HWND control) { return CaptureControlOnScreen(control); }

Image Beneath(HWND control) {
    RECT r = ControlRect(control);
    return CaptureOwnPainting(GetParent(control)).Crop(r);
}

}  // namespace controls_test
