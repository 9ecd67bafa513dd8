// The player window of a clip with a picture: the video inside it, sized to the video, the
// topmost toggle on a left click and the context menu on a right click.
#include "mainwindow/ConverterDialog.h"
#include "platform/MessageBox.h"
#include "platform/User.h"
#include "player/PreviewPlayer.h"

namespace {

// Shared by every player of the process and kept when one is discarded.
BOOL g_bTopmostNext = TRUE;

}  // namespace

HRESULT PreviewPlayer::AttachVideoWindow() {
    long style = 0;
    pVW->get_WindowStyle(&style);
    style = (style | VIDEO_WS_CHILD) & ~(VIDEO_WS_CAPTION | VIDEO_WS_THICKFRAME);
    pVW->put_WindowStyle(style);
    pVW->put_Owner(reinterpret_cast<OAHWND>(m_hWnd));
    pVW->put_MessageDrain(reinterpret_cast<OAHWND>(m_hWnd));
    HRESULT hr = InitVideoWindow(1, 1);
    if (FAILED(hr)) ShowPlayerMessage("FAILED(hr=0x%x) in InitVideoWindow(1, 1)\n", static_cast<unsigned>(hr));
    return hr;
}

HRESULT PreviewPlayer::InitVideoWindow(int multiplier, int divider) {
    if (!pBV) return S_OK;
    long width = 0, height = 0;
    HRESULT hr = pBV->GetVideoSize(&width, &height);
    if (hr == E_NOINTERFACE) return S_OK;
    if (FAILED(hr) || width <= 0 || height <= 0) return FAILED(hr) ? hr : E_FAIL;  // no size to show the picture at
    width = width * multiplier / divider;
    height = height * multiplier / divider;
    SetWindowPos(m_hWnd, HWND_TOP, 0, 0, static_cast<int>(width + 2 * GetSystemMetrics(SM_CXFRAME)),
                 static_cast<int>(height + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME)),
                 SWP_NOMOVE | SWP_NOOWNERZORDER);
    RECT rect;
    GetClientRect(m_hWnd, &rect);
    hr = pVW->SetWindowPosition(rect.left, rect.top, rect.right, rect.bottom);
    if (FAILED(hr))
        ShowPlayerMessage("FAILED(hr=0x%x) in pVW->SetWindowPosition(rect.left, rect.top, rect.right, rect.bottom)\n",
                          static_cast<unsigned>(hr));
    return hr;
}

void PreviewPlayer::FitVideoToClient() {
    RECT client;
    GetClientRect(m_hWnd, &client);
    if (pVW) pVW->SetWindowPosition(0, 0, client.right - client.left, client.bottom - client.top);
}

void PreviewPlayer::ToggleTopmost() {
    if (!pVW) return;
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW;
    if (g_bTopmostNext) {
        SetWindowPos(m_hMainWnd, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, flags);
    } else {
        SetWindowPos(m_hMainWnd, HWND_TOPMOST, 0, 0, 0, 0, flags);
    }
    g_bTopmostNext = !g_bTopmostNext;
}

void PreviewPlayer::ShowPlayerMenu(int x, int y) {
    HMENU menu = LoadMenu(m_hInstance, MAKEINTRESOURCE(kPlayerMenu));
    if (!menu) {
        MessageBox(nullptr, "error", "error", MB_OK);
        return;
    }
    HMENU popup = GetSubMenu(menu, 0);
    switch (m_eState) {
    case Stopped:
        EnableMenuItem(popup, kPlayerPause, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(popup, kPlayerStop, MF_BYCOMMAND | MF_GRAYED);
        break;
    case Paused:
        EnableMenuItem(popup, kPlayerPause, MF_BYCOMMAND | MF_GRAYED);
        break;
    case Running:
        EnableMenuItem(popup, kPlayerPlay, MF_BYCOMMAND | MF_GRAYED);
        break;
    case NoMedia:
        break;
    }
    POINT at{x, y};
    ClientToScreen(m_hWnd, &at);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
}
