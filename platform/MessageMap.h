#pragma once
// Message maps: static tables that route messages, commands and notifications to named
// handlers, with a base map to fall back on.
// Imitates: ON_WM_xxx entries, ON_MESSAGE, ON_COMMAND / ON_BN_CLICKED / ON_CBN_SELCHANGE,
// ON_NOTIFY, and reflection back to the control that sent a notification
// (ON_CONTROL_REFLECT_EX, ON_NOTIFY_REFLECT, ON_WM_CTLCOLOR_REFLECT). Each entry holds a
// small captureless function that calls the named handler with its own argument types.
// Leaves out: command ranges, update-UI handlers, run-time class information.

#include "platform/Messages.h"

class CCmdTarget;

enum class MapKind : UINT {
    Message,        // a window message; `message` says which
    Command,        // WM_COMMAND with notification `code` from control `id`
    Notify,         // WM_NOTIFY with `code` from control `id`
    ReflectCommand, // WM_COMMAND `code`, reflected to the control itself
    ReflectNotify,  // WM_NOTIFY `code`, reflected to the control itself
    ReflectMessage, // another message (WM_DRAWITEM, WM_CTLCOLOR...), reflected to the control
};

// `handled` starts TRUE; an "_EX" handler may set it FALSE to let the message go on.
typedef LRESULT (*MapHandler)(CCmdTarget* self, WPARAM wParam, LPARAM lParam, BOOL* handled);

struct MessageMapEntry {
    UINT message;
    UINT code;
    UINT id;
    MapKind kind;
    MapHandler handler;  // null ends the table
};

struct MessageMap {
    const MessageMap* (*base)();
    const MessageMapEntry* entries;
};

#define DECLARE_MESSAGE_MAP()                              \
public:                                                    \
    static const MessageMap* GetThisMessageMap();          \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                              \
    const MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }       \
    const MessageMap* theClass::GetThisMessageMap() {                                       \
        typedef theClass ThisClass [[maybe_unused]];                                        \
        typedef baseClass TheBaseClass;                                                     \
        static const MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                            \
        {0, 0, 0, MapKind::Message, nullptr}};                                       \
        static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries};   \
        return &map;                                                                 \
    }

#define SONOVERT_THIS(self) static_cast<ThisClass*>(self)
#define SONOVERT_ENTRY(msg, code, id, kind, body) \
    {msg, code, id, kind, [](CCmdTarget* self, WPARAM wParam, LPARAM lParam, BOOL* handled) -> LRESULT { \
        (void)self; (void)wParam; (void)lParam; (void)handled; body }},

// Window messages.
#define ON_WM_PAINT() SONOVERT_ENTRY(WM_PAINT, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnPaint(); return 0;)
#define ON_WM_CLOSE() SONOVERT_ENTRY(WM_CLOSE, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnClose(); return 0;)
#define ON_WM_DESTROY() SONOVERT_ENTRY(WM_DESTROY, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnDestroy(); return 0;)
#define ON_WM_SYSCOMMAND() \
    SONOVERT_ENTRY(WM_SYSCOMMAND, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;)
#define ON_WM_QUERYDRAGICON() \
    SONOVERT_ENTRY(WM_QUERYDRAGICON, 0, 0, MapKind::Message, return reinterpret_cast<LRESULT>(SONOVERT_THIS(self)->OnQueryDragIcon());)
#define ON_WM_TIMER() SONOVERT_ENTRY(WM_TIMER, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnTimer(static_cast<UINT_PTR>(wParam)); return 0;)
#define ON_WM_MOUSEMOVE()                                                                                      \
    SONOVERT_ENTRY(WM_MOUSEMOVE, 0, 0, MapKind::Message,                                                       \
                   SONOVERT_THIS(self)->OnMouseMove(static_cast<UINT>(wParam),                                 \
                       CPoint(static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),                     \
                              static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam))))); return 0;)
#define ON_WM_KILLFOCUS() SONOVERT_ENTRY(WM_KILLFOCUS, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnKillFocus(reinterpret_cast<HWND>(wParam)); return 0;)
#define ON_WM_ENABLE() SONOVERT_ENTRY(WM_ENABLE, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnEnable(static_cast<BOOL>(wParam)); return 0;)
#define ON_WM_CANCELMODE() SONOVERT_ENTRY(WM_CANCELMODE, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnCancelMode(); return 0;)
#define ON_WM_SYSCOLORCHANGE() SONOVERT_ENTRY(WM_SYSCOLORCHANGE, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnSysColorChange(); return 0;)
#define ON_WM_GETDLGCODE() SONOVERT_ENTRY(WM_GETDLGCODE, 0, 0, MapKind::Message, return static_cast<LRESULT>(SONOVERT_THIS(self)->OnGetDlgCode());)
#define ON_WM_ACTIVATE() \
    SONOVERT_ENTRY(WM_ACTIVATE, 0, 0, MapKind::Message, SONOVERT_THIS(self)->OnActivate(LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam) != 0); return 0;)
#define ON_WM_SETCURSOR()                                                                                  \
    SONOVERT_ENTRY(WM_SETCURSOR, 0, 0, MapKind::Message,                                                   \
                   return SONOVERT_THIS(self)->OnSetCursor(reinterpret_cast<HWND>(wParam),                 \
                       LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam)));)
#define ON_MESSAGE(msg, fn) SONOVERT_ENTRY(msg, 0, 0, MapKind::Message, return SONOVERT_THIS(self)->fn(wParam, lParam);)

// Commands and notifications from controls.
#define ON_COMMAND(id, fn) SONOVERT_ENTRY(WM_COMMAND, 0, id, MapKind::Command, SONOVERT_THIS(self)->fn(); return 0;)
#define ON_BN_CLICKED(id, fn) ON_COMMAND(id, fn)
#define ON_CBN_SELCHANGE(id, fn) SONOVERT_ENTRY(WM_COMMAND, CBN_SELCHANGE, id, MapKind::Command, SONOVERT_THIS(self)->fn(); return 0;)
#define ON_EN_CHANGE(id, fn) SONOVERT_ENTRY(WM_COMMAND, EN_CHANGE, id, MapKind::Command, SONOVERT_THIS(self)->fn(); return 0;)
#define ON_NOTIFY(code, id, fn) \
    SONOVERT_ENTRY(WM_NOTIFY, code, id, MapKind::Notify, LRESULT result = 0; SONOVERT_THIS(self)->fn(reinterpret_cast<NMHDR*>(lParam), &result); return result;)

// Reflection: the control handles what it told its parent.
#define ON_CONTROL_REFLECT(code, fn) SONOVERT_ENTRY(WM_COMMAND, code, 0, MapKind::ReflectCommand, SONOVERT_THIS(self)->fn(); return 0;)
#define ON_CONTROL_REFLECT_EX(code, fn) \
    SONOVERT_ENTRY(WM_COMMAND, code, 0, MapKind::ReflectCommand, *handled = SONOVERT_THIS(self)->fn(); return 0;)
#define ON_NOTIFY_REFLECT(code, fn) \
    SONOVERT_ENTRY(WM_NOTIFY, code, 0, MapKind::ReflectNotify, LRESULT result = 0; SONOVERT_THIS(self)->fn(reinterpret_cast<NMHDR*>(lParam), &result); return result;)
#define ON_WM_CTLCOLOR_REFLECT() \
    SONOVERT_ENTRY(WM_CTLCOLORSTATIC, 0, 0, MapKind::ReflectMessage, return reinterpret_cast<LRESULT>(SONOVERT_THIS(self)->CtlColor(reinterpret_cast<HDC>(wParam), 0));)
