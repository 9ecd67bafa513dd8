#pragma once
// A static text that is a link: link colours, sized to its text, the hand cursor and a
// tooltip with the address, red under the mouse; a click opens the address in the browser.

#include "platform/AfxControls.h"
#include "platform/AfxGdi.h"
#include "platform/Shell.h"

class HyperLink : public CStatic {
public:
    enum UnderlineMode { UnderlineNever = 0, UnderlineAlways = 1, UnderlineOnHover = -1 };
    static constexpr UINT kHoverTimer = 100;

    HyperLink() = default;
    ~HyperLink() override;

    void SetLink(LPCSTR address);
    void SetUnderlineMode(int mode);
    void MarkVisited(BOOL visited);
    BOOL IsVisited() const { return m_bVisited; }
    BOOL IsOver() const { return m_bOver; }
    const CString& GetLink() const { return m_strAddress; }

    void PreSubclassWindow() override;
    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    HBRUSH CtlColor(HDC dc, UINT ctlColor);
    BOOL OnSetCursor(HWND wnd, UINT hitTest, UINT message);
    void OnMouseMove(UINT flags, CPoint point);
    void OnTimer(UINT_PTR id);
    void OnClicked();
    LRESULT OnEraseBackground(WPARAM wParam, LPARAM lParam);

    // Opens an address with the desktop's handler, else with the browser registered for
    // ".htm"; returns the launcher's result (above 32: done).
    static HINSTANCE OpenLink(LPCSTR address, int show);
    static void ShowLinkError(int code);

    DECLARE_MESSAGE_MAP()

private:
    void FitToText();
    void LoadHandCursor();
    static LONG ReadClassKey(HKEY root, LPCSTR subKey, LPSTR value);

    COLORREF m_crLink = RGB(0, 0, 238);
    COLORREF m_crVisited = RGB(85, 26, 139);
    COLORREF m_crHover = RGB(255, 0, 0);
    BOOL m_bOver = FALSE;
    BOOL m_bVisited = FALSE;
    int m_nUnderline = UnderlineOnHover;
    CString m_strAddress;
    CFont m_underlineFont;
    CFont m_plainFont;
    HCURSOR m_hLinkCursor = nullptr;
    CToolTipCtrl m_tip;
    UINT m_nTimerId = kHoverTimer;
};
