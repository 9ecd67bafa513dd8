// The MIDI file to convert and the WAV file to write: Open, Browse, Play, and unloading.
#include <cstring>

#include "app/Settings.h"
#include "mainwindow/ConverterDialog.h"
#include "platform/CommonDialogs.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/WinApp.h"
#include "player/PreviewPlayer.h"

CString FolderOf(const CString& path) {
    int slash = path.ReverseFind('/');
    return slash < 0 ? CString() : path.Left(slash + 1);
}

void ConverterDialog::OnOpen() {
    m_szMidiFile[0] = '\0';
    CWinApp* app = AfxGetApp();
    CString initialFolder = app->GetProfileString(kSettingsSection, kKeyLastMidiFolder, "");
    OPENFILENAME ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = "MIDI files (*.midi;*.mid;*.rmi)\0*.midi;*.mid;*.rmi\0Any Files (*.*)\0*.*;\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = m_szMidiFile;
    ofn.nMaxFile = sizeof(m_szMidiFile);
    ofn.lpstrInitialDir = initialFolder;
    ofn.lpstrTitle = "Select an MIDI file";
    ofn.Flags = OFN_HIDEREADONLY;
    if (!GetOpenFileName(&ofn)) return;

    int64_t length = 0;
    if (!ProbeMidiLength(m_szMidiFile, &length)) {
        MessageBox("Cannot open the file and get the total time. \nOr the file May be corrupt.", "Error", MB_OK);
        return;
    }
    m_llMidiLength = length;
    m_nMidiSeconds = static_cast<int>(m_llMidiLength / 10000000);

    CString name;
    MakeDisplayName(m_szMidiFile, name);
    int hours = m_nMidiSeconds / 3600;
    int minutes = (m_nMidiSeconds - 3600 * hours) / 60;
    int seconds = m_nMidiSeconds - 3600 * hours - 60 * minutes;
    CString caption;
    caption.Format("%s   %02d:%02d:%02d", static_cast<LPCSTR>(name), hours, minutes, seconds);
    SetWindowText(caption);

    CString stem = name;
    int dot = stem.ReverseFind('.');
    if (dot >= 0) stem = stem.Left(dot);
    CString outputName;
    outputName.Format("%s.wav", static_cast<LPCSTR>(stem));
    m_strOutput = m_strLastFolder + outputName;
    m_editOutput.SetWindowText(m_strOutput);

    ReleasePlayer();
    CreatePlayer(m_szMidiFile);
    EnableControls(TRUE);
    app->WriteProfileString(kSettingsSection, kKeyLastMidiFolder, FolderOf(CString(m_szMidiFile)));
}

BOOL ConverterDialog::ProbeMidiLength(LPCSTR path, int64_t* length) {
    IGraphBuilder* graph = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(&graph))))
        return FALSE;
    WCHAR wide[260];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, 260) <= 0) wide[0] = 0;
    BOOL ok = FALSE;
    IMediaSeeking* seeking = nullptr;
    if (SUCCEEDED(graph->RenderFile(wide, nullptr)) &&
        SUCCEEDED(graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking))) &&
        SUCCEEDED(seeking->GetStopPosition(length)))
        ok = TRUE;
    if (seeking) seeking->Release();
    graph->Release();
    return ok;
}

BOOL ConverterDialog::MakeDisplayName(LPCSTR path, CString& name) {
    if (!path || !*path) return FALSE;
    size_t length = strlen(path);
    if ((length > 3 && path[3] == ':') || (length > 4 && path[4] == ':')) {
        name = path;  // an address with a scheme
        return TRUE;
    }
    const char* start = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') start = p + 1;
    if (start == path && length > 1 && path[1] == ':') start = path + 2;
    name = start;
    return TRUE;
}

BOOL ConverterDialog::CreatePlayer(char* path) {
    g_pPlayer = new PreviewPlayer(m_hInstance, m_hWnd);
    memcpy(g_pPlayer->m_szFile, path, sizeof(g_pPlayer->m_szFile));
    g_pPlayer->m_szFile[sizeof(g_pPlayer->m_szFile) - 1] = '\0';
    if (g_pPlayer->OpenMedia()) return TRUE;
    path[0] = '\0';
    ReleasePlayer();
    return FALSE;
}

void ConverterDialog::ReleasePlayer() {
    if (g_pPlayer) {
        if (g_pPlayer->m_eState != NoMedia) g_pPlayer->CloseMedia();
        delete g_pPlayer;
        g_pPlayer = nullptr;
    }
    InvalidateRect(nullptr, FALSE);
}

void ConverterDialog::OnCloseMidi() {
    ReleasePlayer();
    m_llMidiLength = 0;
    m_szMidiFile[0] = '\0';
    SetWindowText("SONOVERT");
    DisableFileControls();
    m_strOutput = m_strLastFolder;
    UpdateData(FALSE);
}

void ConverterDialog::OnBrowse() {
    char file[512] = "*.*";
    CString folder = m_strOutput;
    int slash = folder.ReverseFind('/');
    folder = slash < 0 ? CString(".") : folder.Left(slash);
    OPENFILENAME ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = "Wav file\0*.wav\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrInitialDir = folder;
    ofn.lpstrTitle = "Select Output";
    ofn.Flags = OFN_HIDEREADONLY;
    if (!GetSaveFileName(&ofn)) return;
    CString chosen = file;
    int lastSlash = chosen.ReverseFind('/');
    int dot = chosen.ReverseFind('.');
    if (dot > lastSlash) chosen = chosen.Left(dot);
    m_strOutput.Format("%s.wav", static_cast<LPCSTR>(chosen));
    m_strLastFolder = FolderOf(m_strOutput);
    AfxGetApp()->WriteProfileString(kSettingsSection, kKeyLastOutputFolder, m_strLastFolder);
    m_editOutput.SetWindowText(m_strOutput);
}

void ConverterDialog::OnPlay() {
    char path[260];
    m_editOutput.GetWindowText(path, sizeof(path));
    if (!FileExists(path)) {
        CString text;
        text.Format("%s does not exist!", path);
        ::MessageBox(nullptr, text, "Error", MB_OK);
        return;
    }
    // A player the program knows by path comes first; on this system there is none, and
    // the desktop's own player for the file takes it.
    char temp[260];
    GetTempPath(sizeof(temp), temp);
    CString player = CString(temp).Left(1) + "Program Files/Windows Media Player/mplayer2.exe";
    if (FileExists(player)) {
        CString command;
        command.Format("%s %s", static_cast<LPCSTR>(player), path);
        WinExec(command, SW_SHOW);
    } else {
        ShellExecute(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    }
}
