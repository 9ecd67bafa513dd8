#include "platform/AfxControls.h"

#include <string>

#include "platform/WindowClass.h"

BOOL CButton::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        if (result) *result = TRUE;
        return TRUE;
    }
    return CWnd::OnChildNotify(msg, wParam, lParam, result);
}

void* CComboBox::GetItemDataPtr(int index) const {
    LRESULT data = ::SendMessage(m_hWnd, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? reinterpret_cast<void*>(static_cast<intptr_t>(-1)) : reinterpret_cast<void*>(data);
}

void CComboBox::GetLBText(int index, CString& text) const {
    LRESULT length = ::SendMessage(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        text.Empty();
        return;
    }
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    ::SendMessage(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    text = CString(buffer.c_str());
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    HWND hwnd = ::CreateWindowEx(0, TOOLTIPS_CLASS, nullptr, WS_POPUP | style, 0, 0, 0, 0, parent ? parent->m_hWnd : nullptr,
                                 nullptr, nullptr, nullptr);
    if (!hwnd) return FALSE;
    return SubclassWindow(hwnd);
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, LPCSTR text, const RECT* rect, UINT_PTR id) {
    if (!wnd) return FALSE;
    TOOLINFO info;
    info.hwnd = wnd->m_hWnd;
    info.uId = id;
    if (rect)
        info.rect = *rect;
    else
        ::GetClientRect(wnd->m_hWnd, &info.rect);
    info.lpszText = const_cast<LPSTR>(text);
    return static_cast<BOOL>(::SendMessage(m_hWnd, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::UpdateTipText(LPCSTR text, CWnd* wnd, UINT_PTR id) {
    if (!wnd) return;
    TOOLINFO info;
    info.hwnd = wnd->m_hWnd;
    info.uId = id;
    info.lpszText = const_cast<LPSTR>(text);
    ::SendMessage(m_hWnd, TTM_UPDATETIPTEXT, 0, reinterpret_cast<LPARAM>(&info));
}
