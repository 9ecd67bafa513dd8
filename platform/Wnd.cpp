#include "platform/Wnd.h"

#include <map>
#include <memory>
#include <vector>

#include "platform/DataExchange.h"
#include "platform/MessageBox.h"
#include "platform/MessageLoop.h"
#include "platform/WinApp.h"

namespace {

// The message each window procedure call is handling, for Default().
struct CurrentMessage {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<CurrentMessage>& MessageStack() {
    static std::vector<CurrentMessage> stack;
    return stack;
}

// Objects for windows nobody attached; each lives until its window is gone.
std::map<HWND, std::unique_ptr<CWnd>>& Temporaries() {
    static std::map<HWND, std::unique_ptr<CWnd>> temporaries;
    return temporaries;
}

const MessageMapEntry* FindEntry(const MessageMap* map, MapKind kind, UINT msg, UINT code, UINT id) {
    for (; map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e && e->handler; ++e) {
            if (e->kind != kind || e->message != msg) continue;
            switch (kind) {
            case MapKind::Message:
            case MapKind::ReflectMessage:
                return e;
            case MapKind::Command:
                if (e->id == id && (e->code == code || (e->code == 0 && code == BN_CLICKED))) return e;
                break;
            case MapKind::Notify:
                if (e->id == id && e->code == code) return e;
                break;
            case MapKind::ReflectCommand:
            case MapKind::ReflectNotify:
                if (e->code == code) return e;
                break;
            }
        }
    }
    return nullptr;
}

// Mouse messages pass the framework first: the window's object, then its parents' up to
// the dialog, may look at (and change or take) the message.
bool PreTranslateThroughParents(MSG* msg) {
    for (HWND h = msg->hwnd; h && IsWindow(h); h = (::GetWindowLongPtr(h, GWL_STYLE) & WS_CHILD) ? ::GetParent(h) : nullptr) {
        if (CWnd* w = CWnd::FromHandlePermanent(h))
            if (w->PreTranslateMessage(msg)) return true;
    }
    return false;
}

const bool g_filterInstalled = (platform::SetInputFilter(&PreTranslateThroughParents), true);

}  // namespace

const MessageMap* CCmdTarget::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, MapKind::Message, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CCmdTarget::OnCmdMsg(UINT id, UINT code) {
    const MessageMapEntry* e = FindEntry(GetMessageMap(), MapKind::Command, WM_COMMAND, code, id);
    if (!e) return FALSE;
    BOOL handled = TRUE;
    e->handler(this, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)), 0, &handled);
    return handled;
}

int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
    char buffer[256];
    int n = ::GetMenuString(m_hMenu, item, buffer, sizeof(buffer), flags);
    text = n > 0 ? buffer : "";
    return n;
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd() {
    // An object going away before its window leaves the window to its old procedure.
    if (m_hWnd && GetWindowAttachment(m_hWnd) == this) UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) { return static_cast<CWnd*>(GetWindowAttachment(hwnd)); }

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (!hwnd || !IsWindow(hwnd)) return nullptr;
    if (CWnd* w = FromHandlePermanent(hwnd)) return w;
    auto& temps = Temporaries();
    for (auto it = temps.begin(); it != temps.end();) {
        if (!IsWindow(it->first))
            it = temps.erase(it);
        else
            ++it;
    }
    auto& slot = temps[hwnd];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = hwnd;
    }
    return slot.get();
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (!IsWindow(hwnd) || m_hWnd) return FALSE;
    m_hWnd = hwnd;
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(::SetWindowLongPtr(hwnd, GWL_WNDPROC, reinterpret_cast<intptr_t>(&AfxWndProc)));
    SetWindowAttachment(hwnd, this);
    Temporaries().erase(hwnd);
    // A control whose object paints it takes the painting over from the toolkit.
    if (FindEntry(GetMessageMap(), MapKind::Message, WM_PAINT, 0, 0)) SetOwnerPainted(hwnd, TRUE);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent) return FALSE;
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    if (hwnd && IsWindow(hwnd)) {
        ::SetWindowLongPtr(hwnd, GWL_WNDPROC, reinterpret_cast<intptr_t>(m_pfnSuper));
        SetWindowAttachment(hwnd, nullptr);
    }
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    return hwnd;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(msg, wParam, lParam, &result)) result = DefWindowProc(msg, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProc(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProc(m_hWnd, msg, wParam, lParam);
}

BOOL CWnd::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (msg) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam)) {
            *result = 0;
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(wParam, lParam, result);
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC: {
        HWND child = msg == WM_DRAWITEM ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem : reinterpret_cast<HWND>(lParam);
        if (CWnd* c = FromHandlePermanent(child))
            if (c->OnChildNotify(msg, wParam, lParam, result)) return TRUE;
        break;
    }
    default:
        break;
    }
    const MessageMapEntry* e = FindEntry(GetMessageMap(), MapKind::Message, msg, 0, 0);
    if (!e) return FALSE;
    BOOL handled = TRUE;
    *result = e->handler(this, wParam, lParam, &handled);
    return handled;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam), code = HIWORD(wParam);
    HWND child = reinterpret_cast<HWND>(lParam);
    if (child) {
        if (CWnd* c = FromHandlePermanent(child)) {
            LRESULT ignored = 0;
            if (c->OnChildNotify(WM_COMMAND, wParam, lParam, &ignored)) return TRUE;
        }
    }
    if (OnCmdMsg(id, code)) return TRUE;
    // Commands the window does not handle go on to the application.
    if (CWinApp* app = AfxGetApp()) return app->OnCmdMsg(id, code);
    return FALSE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header) return FALSE;
    if (CWnd* c = FromHandlePermanent(header->hwndFrom))
        if (c->OnChildNotify(WM_NOTIFY, static_cast<WPARAM>(header->idFrom), lParam, result)) return TRUE;
    const MessageMapEntry* e = FindEntry(GetMessageMap(), MapKind::Notify, WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom));
    if (!e) return FALSE;
    BOOL handled = TRUE;
    *result = e->handler(this, static_cast<WPARAM>(header->idFrom), lParam, &handled);
    return handled;
}

BOOL CWnd::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const MessageMapEntry* e = nullptr;
    if (msg == WM_COMMAND)
        e = FindEntry(GetMessageMap(), MapKind::ReflectCommand, WM_COMMAND, HIWORD(wParam), 0);
    else if (msg == WM_NOTIFY)
        e = FindEntry(GetMessageMap(), MapKind::ReflectNotify, WM_NOTIFY, reinterpret_cast<NMHDR*>(lParam)->code, 0);
    else
        e = FindEntry(GetMessageMap(), MapKind::ReflectMessage, msg, 0, 0);
    if (!e) return FALSE;
    BOOL handled = TRUE;
    LRESULT r = e->handler(this, wParam, lParam, &handled);
    if (handled && result) *result = r;
    return handled;
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

LRESULT CWnd::Default() {
    auto& stack = MessageStack();
    if (stack.empty()) return 0;
    const CurrentMessage& m = stack.back();
    return DefWindowProc(m.msg, m.wParam, m.lParam);
}

BOOL CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return ::PostMessage(m_hWnd, msg, wParam, lParam); }

void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLength(m_hWnd);
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    int n = ::GetWindowText(m_hWnd, buffer.data(), length + 1);
    text = CString(buffer.data(), n);
}

void CWnd::ScreenToClient(RECT* rect) const {
    POINT a{rect->left, rect->top}, b{rect->right, rect->bottom};
    ::ScreenToClient(m_hWnd, &a);
    ::ScreenToClient(m_hWnd, &b);
    *rect = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::MoveWindow(const RECT* rect, BOOL repaint) {
    ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy, flags);
}

CMenu* CWnd::GetSystemMenu(BOOL revert) {
    m_systemMenu.m_hMenu = ::GetSystemMenu(m_hWnd, revert);
    return m_systemMenu.m_hMenu ? &m_systemMenu : nullptr;
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    DWORD style = GetStyle();
    DWORD updated = (style & ~remove) | add;
    if (style == updated) return FALSE;
    ::SetWindowLongPtr(m_hWnd, GWL_STYLE, static_cast<intptr_t>(updated));
    if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

CWnd* CWnd::GetNextDlgTabItem(CWnd* control, BOOL previous) const {
    return FromHandle(::GetNextDlgTabItem(m_hWnd, control ? control->m_hWnd : nullptr, previous));
}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type) {
    return ::MessageBox(m_hWnd, text, caption ? caption : "Error", type);
}

LRESULT AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd) return ::DefWindowProc(hwnd, msg, wParam, lParam);
    auto& stack = MessageStack();
    stack.push_back(CurrentMessage{hwnd, msg, wParam, lParam});
    LRESULT result = wnd->WindowProc(msg, wParam, lParam);
    stack.pop_back();
    if (msg == WM_NCDESTROY) {
        // The window is gone: the object lets go of it and may end itself.
        wnd->UnsubclassWindow();
        wnd->PostNcDestroy();
    }
    return result;
}
