#pragma once
// CDialog: a window built from a dialog template and run modally.
// Imitates: DoModal creating the window from its template, attaching this object before
// the controls exist, OnInitDialog (data exchange into the controls), the modal loop
// ended by EndDialog or a quit message, the window destroyed before DoModal returns;
// OnOK (data exchange out of the controls, then end with IDOK) and OnCancel (end with
// IDCANCEL) for Enter and Esc; a dialog without a parent owned by the main window.
// Leaves out: modeless dialogs (Create), dialog templates from memory.

#include "platform/Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDHelp(templateId), m_pParentWnd(parent) {}

    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int result);
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    LRESULT HandleInitDialog(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()

protected:
    UINT m_nIDHelp;
    CWnd* m_pParentWnd;
};
