#include "platform/DataExchange.h"

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd) return;
    control.SubclassDlgItem(static_cast<UINT>(id), dx->m_pDlgWnd);
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    HWND hwnd = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (!hwnd) return;
    if (dx->m_bSaveAndValidate) {
        int length = ::GetWindowTextLength(hwnd);
        std::string buffer(static_cast<size_t>(length) + 1, '\0');
        int n = ::GetWindowText(hwnd, buffer.data(), length + 1);
        value = CString(buffer.data(), n);
    } else {
        ::SetWindowText(hwnd, value);
    }
}

void DDX_Check(CDataExchange* dx, int id, BOOL& value) {
    HWND hwnd = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (!hwnd) return;
    if (dx->m_bSaveAndValidate)
        value = ::SendMessage(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    else
        ::SendMessage(hwnd, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}
