#pragma once
// Numbers of the program's resources and of the controls in its dialogs.

// Dialogs.
constexpr int IDD_ABOUT = 100;
constexpr int IDD_MAIN = 102;
constexpr int IDD_INPUT_HINT = 144;

// Pictures and the string table.
constexpr int IDR_MAINFRAME = 103;     // application icon
constexpr int IDI_CONVERT = 141;
constexpr int IDI_STOP = 143;
constexpr int IDI_OPEN = 146;
constexpr int IDC_HAND_CURSOR = 140;
constexpr int IDB_BACKGROUND = 133;
constexpr int IDM_PLAYER = 145;
constexpr int IDS_ABOUTBOX = 101;

// The system menu's About item.
constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Controls of the main window.
constexpr int IDC_PLAY = 1001;
constexpr int IDC_OPEN = 1002;
constexpr int IDC_STOP = 1003;
constexpr int IDC_CONVERT = 1004;
constexpr int IDC_OUTPUT = 1008;
constexpr int IDC_DEVICE_LIST = 1009;
constexpr int IDC_INPUT_LIST = 1011;
constexpr int IDC_STATUS = 1035;
constexpr int IDC_LEVEL = 1038;
constexpr int IDC_BROWSE = 1039;
constexpr int IDC_DEVICE_LABEL = 1040;
constexpr int IDC_HOMEPAGE = 1046;
constexpr int IDC_ABOUT = 1047;
constexpr int IDC_HELP_BUTTON = 1048;
constexpr int IDC_INPUT_LABEL = 1051;
constexpr int IDC_VOLUME_LABEL = 1052;
constexpr int IDC_MAX_LABEL = 1053;
constexpr int IDC_OUTPUT_LABEL = 1054;
constexpr int IDC_CLOSE_MIDI = 1056;

// Controls of the About box and the input-device hint.
constexpr int IDC_LINK_HOME = 1049;
constexpr int IDC_LINK_SUPPORT = 1050;
constexpr int IDC_ONLY_ONCE = 1055;

// The maker's web site: its root, shown in the About box, and its pages.
inline constexpr const char* kMakerSite = "https://www.varnolt.example/";
inline constexpr const char* kMakerContactPage = "https://www.varnolt.example/contact.htm";
inline constexpr const char* kMakerIndexPage = "https://www.varnolt.example/index.htm";
