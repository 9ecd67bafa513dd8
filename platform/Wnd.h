#pragma once
// CCmdTarget and CWnd: an object attached to a window that handles its messages through
// a message map.
// Imitates: subclassing an existing window (PreSubclassWindow, then the object's window
// procedure in front of the old one), WindowProc -> message map -> DefWindowProc (the old
// procedure), Default() for the message being handled, reflection of a control's
// notifications to the control's own object first, commands a dialog does not handle
// going on to the application, UpdateData through DoDataExchange, temporary objects for
// windows nobody attached.
// Leaves out: window creation by the program (dialogs create their windows), hooks,
// frame windows, document/view.

#include <string>

#include "platform/CString.h"
#include "platform/Gdi.h"
#include "platform/MessageLoop.h"
#include "platform/MessageMap.h"
#include "platform/User.h"

class CDataExchange;

struct CPoint : POINT {
    CPoint() = default;
    CPoint(int px, int py) {
        x = px;
        y = py;
    }
};

struct CRect : RECT {
    CRect() = default;
    CRect(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    CRect(const RECT& r) : RECT(r) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CPoint TopLeft() const { return CPoint(left, top); }
    SIZE Size() const { return SIZE{Width(), Height()}; }
    void OffsetRect(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
    void InflateRect(int dx, int dy) {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }
    operator RECT*() { return this; }
    operator const RECT*() const { return this; }
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;
    // Finds a command handler in this object's maps; true when one ran.
    BOOL OnCmdMsg(UINT id, UINT code);
};

class CMenu {
public:
    HMENU m_hMenu = nullptr;
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr) { return ::AppendMenu(m_hMenu, flags, id, text); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    int GetMenuString(UINT item, CString& text, UINT flags) const;
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object attached to a window, or a temporary one that lives as long as the window.
    static CWnd* FromHandle(HWND hwnd);
    static CWnd* FromHandlePermanent(HWND hwnd);

    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A notification this control sent its parent, offered back to the control first.
    virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void PreSubclassWindow() {}
    virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }
    virtual void PostNcDestroy() {}
    virtual BOOL DestroyWindow();
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    LRESULT Default();

    // Handlers the framework gives every window: they do what the window would do alone.
    void OnPaint() { Default(); }
    void OnClose() { Default(); }
    void OnDestroy() { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
    void OnTimer(UINT_PTR) { Default(); }
    void OnKillFocus(HWND) { Default(); }
    void OnEnable(BOOL) { Default(); }
    void OnCancelMode() { Default(); }
    void OnSysColorChange() { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnActivate(UINT, HWND, BOOL) { Default(); }
    UINT OnGetDlgCode() { return static_cast<UINT>(Default()); }
    BOOL OnSetCursor(HWND, UINT, UINT) { return static_cast<BOOL>(Default()); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessage(m_hWnd, msg, wParam, lParam); }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    void SetWindowText(LPCSTR text) { ::SetWindowText(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    int GetWindowText(LPSTR buffer, int maxCount) const { return ::GetWindowText(m_hWnd, buffer, maxCount); }
    int GetWindowTextLength() const { return ::GetWindowTextLength(m_hWnd); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ScreenToClient(RECT* rect) const;
    void ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }
    void ScreenToClient(POINT* point) const { ::ScreenToClient(m_hWnd, point); }
    void MoveWindow(const RECT* rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void SetFont(HFONT font, BOOL redraw = TRUE) { ::SendMessage(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
    HFONT GetFontHandle() const { return reinterpret_cast<HFONT>(::SendMessage(m_hWnd, WM_GETFONT, 0, 0)); }
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc) { return ::SetTimer(m_hWnd, id, elapse, proc); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    CMenu* GetSystemMenu(BOOL revert);
    HICON SetIcon(HICON icon, BOOL big);
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtr(m_hWnd, GWL_STYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    CWnd* GetNextDlgTabItem(CWnd* control, BOOL previous = FALSE) const;
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = 0);

    DECLARE_MESSAGE_MAP()

protected:
    WNDPROC m_pfnSuper = nullptr;  // the window's procedure before this object subclassed it

private:
    friend LRESULT AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    CMenu m_systemMenu;
};

// The window procedure of every window that has an object attached.
LRESULT AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
