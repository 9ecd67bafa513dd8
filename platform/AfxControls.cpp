#include "platform/AfxControls.h"

#include <string>

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
