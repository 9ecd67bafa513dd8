#include "platform/Dialog.h"

#include "platform/DialogManager.h"
#include "platform/WinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
    CWnd* parent = m_pParentWnd;
    if (!parent) {
        CWinApp* app = AfxGetApp();
        parent = app ? app->m_pMainWnd : nullptr;
        if (parent == this) parent = nullptr;
    }
    HWND owner = parent ? parent->m_hWnd : nullptr;
    HWND hwnd = platform::CreateDialogFromTemplate(static_cast<int>(m_nIDHelp), owner,
                                                   [this](HWND created) { SubclassWindow(created); });
    if (!hwnd) return -1;
    INT_PTR result = platform::RunDialogModal(hwnd);
    if (IsWindow(hwnd)) ::DestroyWindow(hwnd);
    return result;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

LRESULT CDialog::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProc(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return platform::DefDlgProc(m_hWnd, msg, wParam, lParam);
}
