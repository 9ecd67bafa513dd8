#pragma once
// A dialog with a patterned background and the custom controls on it, run modally while a
// test script drives it with real input.

#include <functional>
#include <string>
#include <vector>

#include "controls/ColorLabel.h"
#include "controls/ImageButton.h"
#include "platform/AfxGdi.h"
#include "platform/Dialog.h"
#include "platform/testing/UiDriver.h"

namespace controls_test {

enum : int {
    kEdit = 20,
    kIcon = 21,     // 3D icon button "Convert" over the parent's background
    kFlat = 22,     // flat text button "Browse" over the parent's background
    kDefault = 23,  // the template's default push button, painting its own background
    kNext = 24,     // a plain push button
    kLabel = 30,    // "Output:", left-aligned
    kMulti = 31,    // a template text of two lines
    kWide = 32,     // centred text wider than the label
    kRight = 33,    // "Max", right-aligned
};

class ControlsDialog : public CDialog {
public:
    ControlsDialog();

    ImageButton m_icon, m_flat, m_default;
    ColorLabel m_label, m_multi, m_wide, m_right;
    std::vector<int> clicks;  // BN_CLICKED the dialog heard, by control

    BOOL OnInitDialog() override;
    // Paints the background in other colours from now on (`shift` moves every colour).
    void Repattern(int shift);
    void DoDataExchange(CDataExchange* dx) override;
    void OnPaint();
    void OnIcon() { clicks.push_back(kIcon); }
    void OnFlat() { clicks.push_back(kFlat); }
    void OnDefault() { clicks.push_back(kDefault); }
    void OnNext() { clicks.push_back(kNext); }
    DECLARE_MESSAGE_MAP()

private:
    CDC m_patternDc;
    CBitmap m_pattern;
    HGDIOBJ m_previous = nullptr;
};

// The background's colour at a client point: 4-pixel blocks, never white, black or grey.
COLORREF PatternAt(int x, int y, int shift = 0);

// Runs a test dialog modally; `script` runs inside it once it is on screen.
void RunTestDialog(CDialog& dialog, const std::function<void(HWND)>& script);
// The same for the controls dialog, whose template it registers first.
void RunControlsDialog(ControlsDialog& dialog, const std::function<void(HWND)>& script);

// A control's pixels on screen, and the parent's own painting beneath it.
platform::testing::Image OnScreen(HWND control);
platform::testing::Image Beneath(HWND control);

}  // namespace controls_test
