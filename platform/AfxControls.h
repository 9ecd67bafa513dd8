#pragma once
// The framework's control classes: thin objects over the standard controls' messages.
// Imitates: CButton (check state, style, owner-draw requests reflected to DrawItem),
// CEdit, CStatic, CComboBox (items with data) and CSliderCtrl (range and position), each
// attached to a dialog's control by DDX_Control; CToolTipCtrl created for a window.
// Leaves out: creating controls from code, list boxes, spin and progress controls.

#include "platform/Tooltip.h"
#include "platform/Wnd.h"

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(::SendMessage(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int state) { ::SendMessage(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(state), 0); }
    UINT GetButtonStyle() const { return static_cast<UINT>(GetStyle() & 0xFF); }
    void SetButtonStyle(UINT style, BOOL redraw = TRUE) { ::SendMessage(m_hWnd, BM_SETSTYLE, style, redraw); }
    // Draws an owner-drawn button; the parent's WM_DRAWITEM comes back here.
    virtual void DrawItem(DRAWITEMSTRUCT*) {}
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CEdit : public CWnd {
public:
    void LimitText(int max) { ::SendMessage(m_hWnd, EM_LIMITTEXT, static_cast<WPARAM>(max), 0); }
    void SetSel(int start, int end) { ::SendMessage(m_hWnd, EM_SETSEL, static_cast<WPARAM>(start), end); }
};

class CStatic : public CWnd {
public:
    HICON SetIcon(HICON icon) { return reinterpret_cast<HICON>(::SendMessage(m_hWnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0)); }
};

class CComboBox : public CWnd {
public:
    int AddString(LPCSTR text) { return static_cast<int>(::SendMessage(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int InsertString(int index, LPCSTR text) {
        return static_cast<int>(::SendMessage(m_hWnd, CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
    }
    int DeleteString(int index) { return static_cast<int>(::SendMessage(m_hWnd, CB_DELETESTRING, static_cast<WPARAM>(index), 0)); }
    void ResetContent() { ::SendMessage(m_hWnd, CB_RESETCONTENT, 0, 0); }
    int GetCount() const { return static_cast<int>(::SendMessage(m_hWnd, CB_GETCOUNT, 0, 0)); }
    int GetCurSel() const { return static_cast<int>(::SendMessage(m_hWnd, CB_GETCURSEL, 0, 0)); }
    int SetCurSel(int index) { return static_cast<int>(::SendMessage(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0)); }
    DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(::SendMessage(m_hWnd, CB_GETITEMDATA, static_cast<WPARAM>(index), 0)); }
    int SetItemData(int index, DWORD_PTR data) {
        return static_cast<int>(::SendMessage(m_hWnd, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
    }
    void* GetItemDataPtr(int index) const;
    int SetItemDataPtr(int index, void* data) { return SetItemData(index, reinterpret_cast<DWORD_PTR>(data)); }
    void GetLBText(int index, CString& text) const;
};

class CSliderCtrl : public CWnd {
public:
    void SetRange(int min, int max, BOOL redraw = FALSE) {
        ::SendMessage(m_hWnd, TBM_SETRANGE, static_cast<WPARAM>(redraw), MAKELPARAM(static_cast<WORD>(min), static_cast<WORD>(max)));
    }
    int GetRangeMin() const { return static_cast<int>(::SendMessage(m_hWnd, TBM_GETRANGEMIN, 0, 0)); }
    int GetRangeMax() const { return static_cast<int>(::SendMessage(m_hWnd, TBM_GETRANGEMAX, 0, 0)); }
    void SetPos(int pos) { ::SendMessage(m_hWnd, TBM_SETPOS, TRUE, pos); }
    int GetPos() const { return static_cast<int>(::SendMessage(m_hWnd, TBM_GETPOS, 0, 0)); }
};

class CToolTipCtrl : public CWnd {
public:
    ~CToolTipCtrl() override { DestroyWindow(); }
    BOOL Create(CWnd* parent, DWORD style = 0);
    BOOL AddTool(CWnd* wnd, LPCSTR text, const RECT* rect = nullptr, UINT_PTR id = 0);
    void UpdateTipText(LPCSTR text, CWnd* wnd, UINT_PTR id = 0);
    void Activate(BOOL activate) { ::SendMessage(m_hWnd, TTM_ACTIVATE, static_cast<WPARAM>(activate), 0); }
    int SetMaxTipWidth(int width) { return static_cast<int>(::SendMessage(m_hWnd, TTM_SETMAXTIPWIDTH, 0, width)); }
    int GetToolCount() const { return static_cast<int>(::SendMessage(m_hWnd, TTM_GETTOOLCOUNT, 0, 0)); }
    void RelayEvent(MSG* msg) { ::SendMessage(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
};
