#include "mainwindow/ConverterDialog.h"

#include <cstring>

#include "app/Settings.h"
#include "platform/DataExchange.h"
#include "platform/Files.h"
#include "platform/Resources.h"
#include "platform/WinApp.h"
#include "res/ResourceIds.h"

PreviewPlayer* g_pPlayer = nullptr;
CBitmap* g_pBackground = nullptr;
int g_nDeviceCount = 0;

BEGIN_MESSAGE_MAP(ConverterDialog, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_CLOSE()
ON_WM_DESTROY()
ON_CBN_SELCHANGE(IDC_DEVICE_LIST, SelectCaptureDevice)
ON_CBN_SELCHANGE(IDC_INPUT_LIST, SelectInputLine)
ON_BN_CLICKED(IDC_PLAY, OnPlay)
ON_BN_CLICKED(IDC_STOP, OnStop)
ON_BN_CLICKED(IDC_CONVERT, OnConvert)
ON_NOTIFY(NM_RELEASEDCAPTURE, IDC_LEVEL, OnLevelReleased)
ON_BN_CLICKED(IDC_BROWSE, OnBrowse)
ON_BN_CLICKED(IDC_HOMEPAGE, OnHomepage)
ON_BN_CLICKED(IDC_ABOUT, OnAbout)
ON_WM_TIMER()
ON_BN_CLICKED(IDC_HELP_BUTTON, OnHelpButton)
ON_BN_CLICKED(IDC_OPEN, OnOpen)
ON_BN_CLICKED(IDC_CLOSE_MIDI, OnCloseMidi)
END_MESSAGE_MAP()

ConverterDialog::ConverterDialog() : CDialog(IDD_MAIN) {
    m_hIcon = LoadIcon(AfxGetInstanceHandle(), MAKEINTRESOURCE(IDR_MAINFRAME));
    m_szMidiFile[0] = '\0';
    m_hInstance = AfxGetInstanceHandle();
    g_pPlayer = nullptr;
}

ConverterDialog::~ConverterDialog() {
    if (m_hIcon) DestroyIcon(m_hIcon);
}

void ConverterDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_OUTPUT, m_editOutput);
    DDX_Control(dx, IDC_CONVERT, m_btnConvert);
    DDX_Control(dx, IDC_OPEN, m_btnOpen);
    DDX_Control(dx, IDC_STOP, m_btnStop);
    DDX_Control(dx, IDC_PLAY, m_btnPlay);
    DDX_Control(dx, IDC_INPUT_LABEL, m_lblInputLine);
    DDX_Control(dx, IDC_STATUS, m_status);
    DDX_Control(dx, IDC_OUTPUT_LABEL, m_lblOutput);
    DDX_Control(dx, IDC_DEVICE_LIST, m_comboDevices);
    DDX_Control(dx, IDC_INPUT_LIST, m_comboInputLines);
    DDX_Control(dx, IDC_LEVEL, m_sliderLevel);
    DDX_Control(dx, IDC_BROWSE, m_btnBrowse);
    DDX_Control(dx, IDC_DEVICE_LABEL, m_lblDevice);
    DDX_Control(dx, IDC_HOMEPAGE, m_btnHomepage);
    DDX_Control(dx, IDC_ABOUT, m_btnAbout);
    DDX_Control(dx, IDC_HELP_BUTTON, m_btnHelp);
    DDX_Control(dx, IDC_VOLUME_LABEL, m_lblVolume);
    DDX_Control(dx, IDC_MAX_LABEL, m_lblMax);
    DDX_Text(dx, IDC_OUTPUT, m_strOutput);
}

void ConverterDialog::SetStatus(LPCSTR text) { m_status.SetWindowText(text); }

void ConverterDialog::EnableControls(BOOL enable) {
    m_btnConvert.EnableWindow(enable);
    m_btnStop.EnableWindow(enable);
    m_btnPlay.EnableWindow(enable);
    m_btnOpen.EnableWindow(enable);
    m_editOutput.EnableWindow(enable);
    m_btnBrowse.EnableWindow(enable);
}

void ConverterDialog::DisableFileControls() {
    m_btnConvert.EnableWindow(FALSE);
    m_btnStop.EnableWindow(FALSE);
    m_editOutput.EnableWindow(FALSE);
    m_btnBrowse.EnableWindow(FALSE);
    m_btnPlay.EnableWindow(FALSE);
}

BOOL ConverterDialog::OnInitDialog() {
    g_pBackground = new CBitmap;
    g_pBackground->LoadBitmap(IDB_BACKGROUND);

    CDialog::OnInitDialog();

    if (CMenu* systemMenu = GetSystemMenu(FALSE)) {
        std::string about = platform::LoadResourceString(IDS_ABOUTBOX);
        if (!about.empty()) {
            systemMenu->AppendMenu(MF_SEPARATOR);
            systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    g_nDeviceCount = 0;

    CWinApp* app = AfxGetApp();
    nSoundCaptureIndex = static_cast<int>(app->GetProfileInt(kSettingsSection, kKeySoundCaptureIndex, 0));
    nCapturePinIndex = static_cast<int>(app->GetProfileInt(kSettingsSection, kKeyCapturePinIndex, 0));
    nSearchFlag = static_cast<int>(app->GetProfileInt(kSettingsSection, kKeySearchFlag, 0));

    m_sliderLevel.SetRange(0, 200, FALSE);
    m_sliderLevel.SetPos(200);

    m_strLastFolder = app->GetProfileString(kSettingsSection, kKeyLastOutputFolder, GetHomeFolder());
    m_editOutput.SetWindowText(m_strLastFolder);
    m_strOutput = m_strLastFolder;

    m_bNoHint = TRUE;  // the capture start-up never shows the input-device hint
    if (FAILED(SetUpCaptureEngine())) {
        TearDownCaptureEngine();
        PostQuitMessage(0);
    }
    m_bNoHint = static_cast<BOOL>(app->GetProfileInt(kSettingsSection, kKeyHintOnlyOnce, 0));

    if (g_nDeviceCount <= 1) m_lblDevice.ShowWindow(SW_HIDE);
    StyleButtons();
    m_lblInputLine.ShowWindow(SW_HIDE);
    if (CWnd* closeButton = GetDlgItem(IDC_CLOSE_MIDI)) closeButton->ShowWindow(SW_HIDE);
    DisableFileControls();
    if (nSearchFlag == 1) m_comboInputLines.ShowWindow(SW_HIDE);
    return TRUE;
}

void ConverterDialog::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX)
        OnAbout();
    else
        CDialog::OnSysCommand(id, lParam);
}

void ConverterDialog::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        int iconWidth = GetSystemMetrics(SM_CXICON);
        int iconHeight = GetSystemMetrics(SM_CYICON);
        CRect client;
        GetClientRect(&client);
        int x = (client.Width() - iconWidth + 1) / 2;
        int y = (client.Height() - iconHeight + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR ConverterDialog::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(m_hIcon); }

void ConverterDialog::PaintTiledBackground(HDC hdc) {
    CDC* dc = CDC::FromHandle(hdc);
    CDC memory;
    memory.CreateCompatibleDC(dc);
    HGDIOBJ previous = memory.SelectObject(g_pBackground);
    BITMAP bm;
    g_pBackground->GetBitmap(&bm);
    CRect client;
    GetClientRect(&client);
    if (bm.bmWidth > 0 && bm.bmHeight > 0) {
        for (int y = 0; y < client.Height(); y += bm.bmHeight)
            for (int x = 0; x < client.Width(); x += bm.bmWidth)
                dc->BitBlt(x, y, bm.bmWidth, bm.bmHeight, &memory, 0, 0, SRCCOPY);
    }
    memory.SelectObject(previous);
    dc->ExcludeClipRect(&client);
}

LRESULT ConverterDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PLAYER_TICK) OnPlayerTick();
    if (msg == WM_GRAPHNOTIFY_CAPTURE && lParam == 0) DrainCaptureEvents();
    return CDialog::WindowProc(msg, wParam, lParam);
}

LRESULT ConverterDialog::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND && g_pBackground && g_pBackground->GetSafeHandle())
        PaintTiledBackground(reinterpret_cast<HDC>(wParam));
    return CDialog::DefWindowProc(msg, wParam, lParam);
}

void ConverterDialog::OnPlayerTick() {
    if (!g_pPlayer) SetWindowText("");
}

void ConverterDialog::OnClose() {
    if (m_pMC) m_pMC->Stop();
    TearDownCaptureEngine();
    ReleasePlayer();
    CoUninitialize();
    CWinApp* app = AfxGetApp();
    app->WriteProfileInt(kSettingsSection, kKeySoundCaptureIndex, nSoundCaptureIndex);
    app->WriteProfileInt(kSettingsSection, kKeyCapturePinIndex, nCapturePinIndex);
    app->WriteProfileInt(kSettingsSection, kKeySearchFlag, nSearchFlag);
    UpdateData(TRUE);
    app->WriteProfileString(kSettingsSection, kKeyLastOutputFolder, m_strLastFolder);
    CDialog::OnClose();
}

void ConverterDialog::OnDestroy() {
    TearDownCaptureEngine();
    CDialog::OnDestroy();
    delete g_pBackground;
    g_pBackground = nullptr;
}
