#include "res/ProgramResources.h"

#include "platform/Messages.h"
#include "platform/Resources.h"
#include "res/ResourceIds.h"

namespace {

using platform::DialogControl;
using platform::DialogTemplate;

constexpr DWORD kPush = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDropList = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;

DialogTemplate MainWindowTemplate() {
    DialogTemplate t;
    t.id = IDD_MAIN;
    t.cx = 244;
    t.cy = 148;
    t.caption = "SONOVERT";
    t.fontFace = "MS Shell Dlg";
    t.fontPoints = 8;
    t.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME;
    t.exStyle = WS_EX_APPWINDOW;
    // In template order, which is the tab order.
    t.controls = {
        {IDC_OUTPUT, "Edit", "", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 7, 90, 152, 14, "Output file"},
        {IDC_CONVERT, "Button", "Convert", kPush, 87, 7, 68, 26, nullptr},
        {IDC_OPEN, "Button", "Open", kPush, 7, 7, 68, 26, nullptr},
        {IDC_STOP, "Button", "Stop", kPush, 167, 6, 68, 26, nullptr},
        {IDC_PLAY, "Button", "Play", kPush, 203, 90, 32, 14, nullptr},
        {IDC_INPUT_LABEL, "Static", "", SS_LEFT, 117, 39, 8, 8, nullptr},
        {IDC_STATUS, "Static", "Status : Ready", SS_LEFT | SS_SUNKEN, 7, 135, 228, 10, nullptr},
        {IDC_OUTPUT_LABEL, "Static", "Output:", SS_LEFT, 7, 79, 28, 8, nullptr},
        {IDC_DEVICE_LIST, "ComboBox", "", kDropList, 130, 37, 106, 49, "Capture device"},
        {IDC_INPUT_LIST, "ComboBox", "", kDropList, 7, 37, 110, 97, "Input line"},
        {IDC_LEVEL, "msctls_trackbar32", "", TBS_HORZ | TBS_NOTICKS | TBS_BOTH | WS_TABSTOP, 39, 54, 174, 15,
         "Recording level"},
        {IDC_BROWSE, "Button", "Browse", kPush, 165, 90, 32, 14, nullptr},
        {IDC_DEVICE_LABEL, "Static", "", SS_LEFT, 236, 38, 8, 10, nullptr},
        {IDC_HOMEPAGE, "Button", "Homepage", kPush, 67, 113, 48, 14, nullptr},
        {IDC_ABOUT, "Button", "About", kPush, 127, 113, 48, 14, nullptr},
        {IDC_HELP_BUTTON, "Button", "Help", kPush, 187, 113, 48, 14, nullptr},
        {IDC_VOLUME_LABEL, "Static", "Volume:", SS_LEFT, 7, 57, 31, 8, nullptr},
        {IDC_MAX_LABEL, "Static", "Max", SS_LEFT, 218, 56, 16, 8, nullptr},
        {IDC_CLOSE_MIDI, "Button", "Close", kPush, 225, 69, 8, 14, nullptr},
    };
    return t;
}

DialogTemplate AboutTemplate() {
    DialogTemplate t;
    t.id = IDD_ABOUT;
    t.cx = 212;
    t.cy = 102;
    t.caption = "About SONOVERT";
    t.fontFace = "MS Sans Serif";
    t.fontPoints = 8;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.exStyle = 0;
    t.controls = {
        {-1, "Static", MAKEINTRESOURCE(IDR_MAINFRAME), SS_ICON, 12, 18, 20, 20, "SONOVERT"},
        {-1, "Static", "SONOVERT Version 2.1", SS_LEFT, 48, 10, 157, 8, nullptr},
        {-1, "Static", "Copyright (C) Varnolt Studio. MIDI to WAV converter.", SS_LEFT, 48, 25, 157, 8, nullptr},
        {IDOK, "Button", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 78, 81, 50, 14, nullptr},
        {IDC_LINK_HOME, "Static", kMakerSite, SS_LEFT, 48, 42, 151, 8, nullptr},
        {IDC_LINK_SUPPORT, "Static", "Support Email: Click here", SS_LEFT, 48, 58, 156, 8, nullptr},
    };
    return t;
}

DialogTemplate InputHintTemplate() {
    DialogTemplate t;
    t.id = IDD_INPUT_HINT;
    t.cx = 237;
    t.cy = 133;
    t.caption = "How to select an input device";
    t.fontFace = "MS Sans Serif";
    t.fontPoints = 8;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.exStyle = 0;
    t.controls = {
        {IDOK, "Button", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 91, 110, 50, 14, nullptr},
        {-1, "Static",
         "If you want to convert MIDI to wav file, please select an input device with \"Wave Out Mix\", which might "
         "appear as \"Stereo Mixer\", \"What U Hear\", \"Output\", \"Mixer\", \"Wave\".",
         SS_LEFT, 7, 7, 223, 28, nullptr},
        {IDC_ONLY_ONCE, "Button", "Do not show the message in the future", WS_TABSTOP | BS_AUTOCHECKBOX, 7, 87, 223, 10,
         nullptr},
        {-1, "Static", "For more details, please read help.", SS_LEFT, 7, 71, 223, 8, nullptr},
        {-1, "Static",
         "(When the program launches at the first time, it will select the item as possible as it can. If succeed, the "
         "list will hide. If not, it will show. please select the item manually.)",
         SS_LEFT, 7, 35, 223, 32, nullptr},
    };
    return t;
}

}  // namespace

// Made by glib-compile-resources with --manual-register: registers the picture bundle.
extern "C" void sonovert_res_register_resource(void);

void RegisterProgramResources() {
    platform::RegisterMenuTemplate(IDM_PLAYER, {{"PREVIEW", 0, {{"Play", 32771, {}}, {"pause", 32772, {}}, {"Stop", 32773, {}},
                                                             {nullptr, 0, {}}, {"Close", 32774, {}}}}});
    platform::RegisterDialogTemplate(MainWindowTemplate());
    platform::RegisterString(IDS_ABOUTBOX, "&About SONOVERT");
    platform::RegisterImageBundle("/org/varnolt/sonovert", &sonovert_res_register_resource);
    // The pointing hand's fingertip, also for the help viewer's hand that links show.
    platform::RegisterCursorHotSpot(IDC_HAND_CURSOR, 5, 0);
    platform::RegisterCursorHotSpot(106, 5, 0);
    platform::RegisterDialogTemplate(AboutTemplate());
    platform::RegisterDialogTemplate(InputHintTemplate());
}
