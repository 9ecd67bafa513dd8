#include "player/PreviewPlayer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "mainwindow/ConverterDialog.h"
#include "platform/CommonDialogs.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"
#include "platform/User.h"
#include "platform/WindowClass.h"
#include "res/ResourceIds.h"

namespace {

// Shared by every player's own open dialog.
OPENFILENAME g_clipDialog;
bool g_clipDialogUsed = false;

const char kRenderFailure[] =
    "Cannot play the file.  The file is either corrupt or\nthe player does not support the format you are trying to play.\n"
    "If you want more decoders, please visit our website.";

}  // namespace

PreviewPlayer::PreviewPlayer(HINSTANCE instance, HWND mainWindow) : m_hMainWnd(mainWindow), m_hInstance(instance) {
    m_szFile[0] = '\0';
}

PreviewPlayer::~PreviewPlayer() = default;

void PreviewPlayer::ShowPlayerMessage(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    MessageBox(nullptr, text, "Message", MB_OK);
}

bool PreviewPlayer::GetClipFileName(char* file) {
    static char buffer[260];
    buffer[0] = '\0';
    g_clipDialog = OPENFILENAME();
    g_clipDialog.hwndOwner = m_hMainWnd;
    g_clipDialog.lpstrFilter = "Any Files (*.*)\0*.*;\0";
    g_clipDialog.nFilterIndex = 1;
    g_clipDialog.lpstrFile = buffer;
    g_clipDialog.nMaxFile = sizeof(buffer);
    g_clipDialog.lpstrTitle = "Open Media File...";
    g_clipDialog.lpstrDefExt = "*";
    g_clipDialog.Flags = OFN_READONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    // The first dialog of the process starts at the top of the file system.
    g_clipDialog.lpstrInitialDir = g_clipDialogUsed ? nullptr : "/";
    g_clipDialogUsed = true;
    if (!GetOpenFileName(&g_clipDialog)) return false;
    strcpy(file, buffer);
    return true;
}

bool PreviewPlayer::OpenMedia() {
    if (m_szFile[0] == '\0') {
        ShowWindow(m_hMainWnd, SW_SHOWNORMAL);
        SetForegroundWindow(m_hMainWnd);
        char chosen[260];
        if (!GetClipFileName(chosen)) {
            if (CommDlgExtendedError()) ShowPlayerMessage("GetClipFileName Failed! Error=0x%x\r\n", static_cast<unsigned>(GetLastError()));
            return false;
        }
        // Playlists are refused whatever the letter case; file names on this system are
        // case-sensitive, so the path itself keeps its letters.
        std::string lower = chosen;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (lower.find(".asx") != std::string::npos) {
            ShowPlayerMessage("ASX Playlists are not supported by this application.\n\nPlease select a valid media file.");
            return false;
        }
        strcpy(m_szFile, chosen);
    }
    m_eState = Stopped;
    CreatePlayerWindow();
    if (FAILED(BuildPlaybackGraph())) {
        CloseMedia();
        return false;
    }
    return true;
}

void PreviewPlayer::CreatePlayerWindow() {
    WNDCLASS cls;
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = PlayerWindowProc;
    cls.hInstance = m_hInstance;
    cls.hIcon = LoadIcon(m_hInstance, MAKEINTRESOURCE(IDR_MAINFRAME));
    cls.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cls.lpszClassName = "PreviewWindow";
    if (!RegisterClass(&cls) && cls.hIcon) DestroyIcon(cls.hIcon);  // already known: its icon stays with the class

    RECT work{0, 0, 800, 600};
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    RECT main{0, 0, 0, 0};
    GetWindowRect(m_hMainWnd, &main);
    RECT r;
    r.left = work.left + 100;
    r.top = work.top + 5;
    r.bottom = main.top;
    r.right = work.left + (4 * (r.bottom - r.top)) / 3;
    // A main window at the very top leaves no room above it: the window still gets a size.
    int width = r.right - r.left > 0 ? r.right - r.left : 160;
    int height = r.bottom - r.top > 0 ? r.bottom - r.top : 120;
    m_hWnd = CreateWindowEx(0, "PreviewWindow", "Video Window", WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                            r.left, r.top, width, height, nullptr, nullptr, m_hInstance, this);
    SetWindowLongPtr(m_hWnd, GWL_USERDATA, reinterpret_cast<intptr_t>(this));
    m_bWindowCreated = true;
}

HRESULT PreviewPlayer::BuildPlaybackGraph() {
    WCHAR path[260];
    if (MultiByteToWideChar(CP_ACP, 0, m_szFile, -1, path, 260) <= 0) path[0] = 0;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(&pGB));
    if (FAILED(hr)) {
        ShowPlayerMessage("FAILED(hr=0x%x) in CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void **)&pGB)\n",
                          static_cast<unsigned>(hr));
        return hr;
    }
    hr = pGB->RenderFile(path, nullptr);
    if (FAILED(hr)) {
        MessageBox(nullptr, kRenderFailure, "Error", MB_OK);
        return hr;
    }
    struct Query {
        const IID& iid;
        void** out;
        const char* text;
    };
    const Query queries[] = {
        {IID_IMediaControl, reinterpret_cast<void**>(&pMC), "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IMediaControl, (void **)&pMC)\n"},
        {IID_IMediaEventEx, reinterpret_cast<void**>(&pME), "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IMediaEventEx, (void **)&pME)\n"},
        {IID_IMediaSeeking, reinterpret_cast<void**>(&pMS), "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IMediaSeeking, (void **)&pMS)\n"},
        {IID_IVideoWindow, reinterpret_cast<void**>(&pVW), "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IVideoWindow, (void **)&pVW)\n"},
        {IID_IBasicVideo, reinterpret_cast<void**>(&pBV), "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IBasicVideo, (void **)&pBV)\n"},
        {IID_IBasicAudio, reinterpret_cast<void**>(&pBA), "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IBasicAudio, (void **)&pBA)\n"},
    };
    for (const Query& q : queries) {
        hr = pGB->QueryInterface(q.iid, q.out);
        if (FAILED(hr)) {
            ShowPlayerMessage(q.text, static_cast<unsigned>(hr));
            return hr;
        }
    }
    DetectAudioOnly();
    hr = pME->SetNotifyWindow(reinterpret_cast<OAHWND>(m_hWnd), WM_GRAPHNOTIFY_PLAYER, 0);
    if (FAILED(hr)) {
        ShowPlayerMessage("FAILED(hr=0x%x) in pME->SetNotifyWindow(reinterpret_cast<OAHWND>(m_hWnd), WM_GRAPHNOTIFY_PLAYER, 0)\n",
                          static_cast<unsigned>(hr));
        return hr;
    }
    if (!m_bAudioOnly) {
        HRESULT attached = AttachVideoWindow();
        if (FAILED(attached)) return attached;
        m_bVideoShown = TRUE;
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
    } else {
        ShowWindow(m_hWnd, SW_HIDE);
    }
    UpdateWindow(m_hWnd);
    SetForegroundWindow(m_hWnd);
    SetFocus(m_hWnd);
    RefreshCaption();
    SetTimer(m_hWnd, kPlayerTimer, 1000, nullptr);
    return hr;
}

void PreviewPlayer::DetectAudioOnly() {
    if (!pVW || !pBV) {
        m_bAudioOnly = TRUE;
        return;
    }
    m_bAudioOnly = FALSE;
    long visible = 0;
    HRESULT hr = pVW->get_Visible(&visible);
    if (SUCCEEDED(hr)) return;
    if (hr == E_NOINTERFACE) {
        m_bAudioOnly = TRUE;
        return;
    }
    ShowPlayerMessage("Failed(%08lx) in pVW->get_Visible()!\r\n", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
}

void PreviewPlayer::PlayMedia() {
    if (!pMC) return;
    if (m_eState == Stopped || m_eState == Paused) {
        if (SUCCEEDED(pMC->Run())) m_eState = Running;
    }
    if (FAILED(pMS->SetRate(1.0))) return;
    RefreshCaption();
}

void PreviewPlayer::PauseMedia() {
    if (!pMC) return;
    if (m_eState != Paused && m_eState != Stopped) {
        if (SUCCEEDED(pMC->Pause())) m_eState = Paused;
    }
    RefreshCaption();
}

void PreviewPlayer::StopMedia() {
    if (!pMC || !pMS) return;
    if (m_eState == Paused || m_eState == Running) {
        pMC->Stop();
        m_eState = Stopped;
        LONGLONG start = 0;
        pMS->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        pMC->Pause();  // cued at the start; the state stays Stopped
    }
    RefreshCaption();
}

void PreviewPlayer::CloseMedia() {
    if (pMC) pMC->Stop();
    m_bAudioOnly = TRUE;
    if (m_bWindowCreated) DestroyPlayerWindow();
    ReleasePlaybackGraph();
    m_szFile[0] = '\0';
    m_eState = NoMedia;
    InvalidateRect(m_hMainWnd, nullptr, TRUE);
}

void PreviewPlayer::DestroyPlayerWindow() {
    if (pVW) {
        ShowWindow(m_hWnd, SW_HIDE);
        pVW->put_Visible(OAFALSE);
    }
    UpdateWindow(m_hMainWnd);
    if (m_hWnd) DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

void PreviewPlayer::ReleasePlaybackGraph() {
    if (pVW) {
        pVW->put_Visible(OAFALSE);
        pVW->put_Owner(0);
    }
    if (pME) pME->SetNotifyWindow(0, 0, 0);
    auto release = [](auto*& pointer) {
        if (pointer) {
            pointer->Release();
            pointer = nullptr;
        }
    };
    release(pME);
    release(pMS);
    release(pMC);
    release(pBA);
    release(pBV);
    release(pVW);
    release(pGB);
}

void PreviewPlayer::DrainPlayerEvents() {
    if (!pME) return;
    long code;
    LONG_PTR param1, param2;
    while (SUCCEEDED(pME->GetEvent(&code, &param1, &param2, 0))) {
        pME->FreeEventParams(code, param1, param2);
        if (code == EC_COMPLETE) {
            StopMedia();
            PostMessage(m_hMainWnd, WM_COMMAND, IDC_STOP, 0);
        }
    }
}

void PreviewPlayer::PollPosition() {
    if (!pMS || pMS->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME) != S_OK) return;
    GUID saved;
    if (FAILED(pMS->GetTimeFormat(&saved))) return;
    if (FAILED(pMS->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME))) return;
    bool ok = SUCCEEDED(pMS->GetStopPosition(&m_llStop)) && SUCCEEDED(pMS->GetCurrentPosition(&m_llCurrent));
    if (saved != TIME_FORMAT_MEDIA_TIME) pMS->SetTimeFormat(&saved);
    if (!ok) return;
    RECT client;
    if (m_hMainWnd && GetClientRect(m_hMainWnd, &client)) PostMessage(m_hMainWnd, WM_PLAYER_TICK, 0, 0);
}

void PreviewPlayer::RefreshCaption() {
    char caption[264];
    if (m_szFile[0] == '\0') {
        strcpy(caption, "PREVIEW");
    } else {
        const char* base = m_szFile;
        for (const char* p = m_szFile; *p; ++p)
            if (*p == '/' || *p == '\\') base = p + 1;
        // A base name too long for the caption is cut: the caption shows what fits.
        std::string text = std::string(base) + "  " + (m_eState == Paused ? "(Paused)" : "");
        strncpy(caption, text.c_str(), sizeof(caption) - 1);
        caption[sizeof(caption) - 1] = '\0';
    }
    SetWindowText(m_hWnd, caption);
}

LRESULT PlayerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* player = reinterpret_cast<PreviewPlayer*>(GetWindowLongPtr(hwnd, GWL_USERDATA));
    if (!player) {
        if (msg == WM_CREATE) {
            auto* create = reinterpret_cast<CREATESTRUCT*>(lParam);
            SetWindowLongPtr(hwnd, GWL_USERDATA, reinterpret_cast<intptr_t>(create->lpCreateParams));
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    auto forward = [&]() {
        if (player->pVW) player->pVW->NotifyOwnerMessage(reinterpret_cast<OAHWND>(hwnd), static_cast<long>(msg), wParam, lParam);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    };
    switch (msg) {
    case WM_GRAPHNOTIFY_PLAYER:
        player->DrainPlayerEvents();
        return forward();
    case WM_TIMER:
        if (wParam == kPlayerTimer) {
            player->PollPosition();
            return 0;
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_CLOSE:
        return PostMessage(player->m_hMainWnd, WM_COMMAND, IDC_CLOSE_MIDI, 0);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kPlayerPlay: player->PlayMedia(); break;
        case kPlayerPause: player->PauseMedia(); break;
        case kPlayerStop: player->StopMedia(); break;
        case kPlayerClose: SendMessage(hwnd, WM_CLOSE, 0, 0); break;
        default: break;
        }
        return forward();
    case WM_MOVE:
    case WM_SIZE:
        if (player->m_bVideoShown) {
            player->FitVideoToClient();
            return 0;
        }
        return forward();
    case WM_LBUTTONUP:
        player->ToggleTopmost();
        return 0;
    case WM_RBUTTONUP:
        player->ShowPlayerMenu(static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),
                               static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam))));
        return 0;
    case WM_MOUSEMOVE:
    case WM_MBUTTONUP:
    case WM_KEYUP:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    default:
        return forward();
    }
}
