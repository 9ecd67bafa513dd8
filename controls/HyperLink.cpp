#include "controls/HyperLink.h"

#include <cstdio>
#include <cstring>

#include "platform/MessageBox.h"
#include "platform/Shell.h"

BEGIN_MESSAGE_MAP(HyperLink, CStatic)
    ON_WM_CTLCOLOR_REFLECT()
    ON_WM_SETCURSOR()
    ON_WM_MOUSEMOVE()
    ON_WM_TIMER()
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
    ON_MESSAGE(WM_ERASEBKGND, OnEraseBackground)
END_MESSAGE_MAP()

HyperLink::~HyperLink() {
    // The copied cursor goes with the link.
    if (m_hLinkCursor) ::DestroyCursor(m_hLinkCursor);
}

void HyperLink::SetLink(LPCSTR address) {
    m_strAddress = address;
    if (m_hWnd) {
        FitToText();
        m_tip.UpdateTipText(m_strAddress, this, 1);
    }
}

void HyperLink::SetUnderlineMode(int mode) {
    if (mode == m_nUnderline) return;
    if (m_hWnd) {
        SetFont(mode == UnderlineAlways ? m_underlineFont : m_plainFont, TRUE);
        Invalidate();
    }
    m_nUnderline = mode;
}

void HyperLink::MarkVisited(BOOL visited) {
    m_bVisited = visited;
    if (m_hWnd) Invalidate();
}

void HyperLink::PreSubclassWindow() {
    ModifyStyle(0, SS_NOTIFY);
    if (m_strAddress.IsEmpty()) GetWindowText(m_strAddress);
    CString text;
    GetWindowText(text);
    if (text.IsEmpty()) SetWindowText(m_strAddress);

    HFONT font = GetFontHandle();
    if (!font) font = reinterpret_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if (!font) font = reinterpret_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
    LOGFONT logFont;
    ::GetObject(reinterpret_cast<HGDIOBJ>(font), sizeof(logFont), &logFont);
    m_plainFont.CreateFontIndirect(&logFont);
    logFont.lfUnderline = TRUE;
    m_underlineFont.CreateFontIndirect(&logFont);

    FitToText();
    LoadHandCursor();
    SetUnderlineMode(UnderlineOnHover);

    m_tip.Create(this, 0);
    CRect client;
    GetClientRect(&client);
    m_tip.AddTool(this, m_strAddress, &client, 1);
    CStatic::PreSubclassWindow();
}

void HyperLink::FitToText() {
    if (!m_hWnd) return;
    CWnd* parent = GetParent();
    CRect window, client;
    GetWindowRect(&window);
    GetClientRect(&client);
    if (parent) parent->ScreenToClient(&window);

    // Always measured with the underlined font, whatever the mode.
    CString text;
    GetWindowText(text);
    CClientDC dc(this);
    HGDIOBJ previous = dc.SelectObject(&m_underlineFont);
    SIZE extent = dc.GetTextExtent(text, text.GetLength());
    dc.SelectObject(previous);
    extent.cx += window.Width() - client.Width();
    extent.cy += window.Height() - client.Height();

    DWORD style = GetStyle();
    if (style & SS_CENTERIMAGE) {
        int d = (window.Height() - extent.cy) / 2;
        window.top += d;
        window.bottom -= d;
    } else {
        window.bottom = window.top + extent.cy;
    }
    if (style & SS_CENTER) {
        int d = (window.Width() - extent.cx) / 2;
        window.left += d;
        window.right -= d;
    } else if (style & SS_RIGHT) {
        window.left = window.right - extent.cx;
    } else {
        window.right = window.left + extent.cx;
    }
    SetWindowPos(nullptr, window.left, window.top, window.Width(), window.Height(), SWP_NOZORDER);
}

void HyperLink::LoadHandCursor() {
    if (m_hLinkCursor) return;
    char folder[MAX_PATH + 1] = {};
    ::GetWindowsDirectory(folder, MAX_PATH);
    CString path = CString(folder) + "/winhlp32.exe";
    HINSTANCE module = ::LoadLibrary(path);
    if (module) {
        if (HCURSOR hand = ::LoadCursor(module, MAKEINTRESOURCE(106))) {
            m_hLinkCursor = reinterpret_cast<HCURSOR>(::CopyIcon(reinterpret_cast<HICON>(hand)));
            ::DestroyCursor(hand);
        }
        ::FreeLibrary(module);
    }
}

BOOL HyperLink::DestroyWindow() {
    KillTimer(m_nTimerId);
    return CStatic::DestroyWindow();
}

BOOL HyperLink::PreTranslateMessage(MSG* msg) {
    if (m_tip.GetSafeHwnd()) m_tip.RelayEvent(msg);
    return CStatic::PreTranslateMessage(msg);
}

HBRUSH HyperLink::CtlColor(HDC dc, UINT) {
    ::SetTextColor(dc, m_bOver ? m_crHover : m_bVisited ? m_crVisited : m_crLink);
    ::SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

BOOL HyperLink::OnSetCursor(HWND, UINT, UINT) {
    if (!m_hLinkCursor) return FALSE;
    ::SetCursor(m_hLinkCursor);
    return TRUE;
}

void HyperLink::OnMouseMove(UINT flags, CPoint point) {
    if (!m_bOver) {
        m_bOver = TRUE;
        if (m_nUnderline == UnderlineOnHover) SetFont(m_underlineFont, TRUE);
        Invalidate();
        SetTimer(m_nTimerId, 100, nullptr);
    }
    CStatic::OnMouseMove(flags, point);
}

void HyperLink::OnTimer(UINT_PTR id) {
    DWORD pos = ::GetMessagePos();
    CPoint point(static_cast<int16_t>(LOWORD(pos)), static_cast<int16_t>(HIWORD(pos)));
    ScreenToClient(&point);
    CRect client;
    GetClientRect(&client);
    if (point.x < client.left || point.y < client.top || point.x >= client.right || point.y >= client.bottom) {
        m_bOver = FALSE;
        KillTimer(m_nTimerId);
        if (m_nUnderline != UnderlineAlways) SetFont(m_plainFont, TRUE);
        // Repaint a little below the link too, where an underline may have reached.
        client.bottom += 10;
        InvalidateRect(&client);
    }
    CStatic::OnTimer(id);
}

void HyperLink::OnClicked() {
    m_bOver = FALSE;
    auto result = reinterpret_cast<intptr_t>(OpenLink(m_strAddress, SW_SHOW));
    m_bVisited = result > static_cast<intptr_t>(HINSTANCE_ERROR);
    if (!m_bVisited) {
        ::MessageBeep(MB_ICONEXCLAMATION);
        ShowLinkError(static_cast<int>(result));
    } else {
        MarkVisited(TRUE);
    }
}

LRESULT HyperLink::OnEraseBackground(WPARAM wParam, LPARAM) {
    CRect client;
    GetClientRect(&client);
    ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_3DFACE));
    return TRUE;
}

LONG HyperLink::ReadClassKey(HKEY root, LPCSTR subKey, LPSTR value) {
    HKEY key = nullptr;
    LONG result = ::RegOpenKeyEx(root, subKey, 0, KEY_QUERY_VALUE, &key);
    if (result == ERROR_SUCCESS) {
        char data[MAX_PATH] = {};
        LONG size = MAX_PATH;
        // A value that cannot be read or does not fit reads as empty.
        if (::RegQueryValue(key, nullptr, data, &size) != ERROR_SUCCESS) data[0] = '\0';
        strcpy(value, data);
        ::RegCloseKey(key);
    }
    return result;
}

HINSTANCE HyperLink::OpenLink(LPCSTR address, int show) {
    HINSTANCE result = ::ShellExecute(nullptr, "open", address, nullptr, nullptr, show);
    if (reinterpret_cast<uintptr_t>(result) > HINSTANCE_ERROR) return result;

    // The desktop could not open it: ask the browser registered for web pages directly.
    char command[2 * MAX_PATH] = {};
    if (ReadClassKey(HKEY_CLASSES_ROOT, ".htm", command) != ERROR_SUCCESS) return result;
    strncat(command, "\\shell\\open\\command", sizeof(command) - strlen(command) - 1);
    if (ReadClassKey(HKEY_CLASSES_ROOT, command, command) != ERROR_SUCCESS) return result;
    char* placeholder = strstr(command, "\"%1\"");
    if (!placeholder) placeholder = strstr(command, "%1");
    if (placeholder) *placeholder = '\0';
    std::string line = std::string(command) + " " + (address ? address : "");
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(::WinExec(line.c_str(), static_cast<UINT>(show))));
}

void HyperLink::ShowLinkError(int code) {
    CString reason;
    switch (code) {
    case 0: reason = "The operating system is out\nof memory or resources."; break;
    case SE_ERR_FNF: reason = "The specified file was not found."; break;
    case SE_ERR_PNF: reason = "The specified path was not found."; break;
    case SE_ERR_ACCESSDENIED: reason = "The operating system denied\naccess to the specified file."; break;
    case SE_ERR_OOM: reason = "There was not enough memory to complete the operation."; break;
    case ERROR_BAD_FORMAT: reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case SE_ERR_SHARE: reason = "A sharing violation occurred. "; break;
    case SE_ERR_ASSOCINCOMPLETE: reason = "The filename association is\nincomplete or invalid."; break;
    case SE_ERR_DDETIMEOUT: reason = "The DDE transaction could not\nbe completed because the request timed out."; break;
    case SE_ERR_DDEFAIL: reason = "The DDE transaction failed."; break;
    case SE_ERR_DDEBUSY:
        reason = "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
        break;
    case SE_ERR_NOASSOC: reason = "There is no application associated\nwith the given filename extension."; break;
    case SE_ERR_DLLNOTFOUND: reason = "The specified dynamic-link library was not found."; break;
    default: reason.Format("Unknown Error (%d) occurred.", code); break;
    }
    AfxMessageBox(CString("Unable to open hyperlink:\n\n") + reason, MB_ICONEXCLAMATION);
}
