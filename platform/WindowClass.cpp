#include "platform/WindowClass.h"

#include <gtk/gtk.h>

#include <map>
#include <string>

#include "platform/Gdi.h"
#include "platform/Tooltip.h"
#include "platform/User.h"
#include "platform/WindowObject.h"

namespace platform {
namespace {

std::map<std::string, WNDCLASS>& Classes() {
    static std::map<std::string, WNDCLASS> classes;
    return classes;
}
thread_local DWORD g_lastError = 0;

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    SendMessage(static_cast<HWND>(data), WM_CLOSE, 0, 0);
    return TRUE;  // the window goes only when the program destroys it
}


LPARAM ClientPoint(double x, double y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)), static_cast<WORD>(static_cast<int16_t>(y)));
}

gboolean OnButton(GtkWidget*, GdkEventButton* e, gpointer data) {
    UINT msg = 0;
    bool press = e->type == GDK_BUTTON_PRESS, release = e->type == GDK_BUTTON_RELEASE;
    if (e->button == 1) msg = press ? WM_LBUTTONDOWN : release ? WM_LBUTTONUP : 0;
    if (e->button == 2) msg = release ? WM_MBUTTONUP : 0;
    if (e->button == 3) msg = press ? WM_RBUTTONDOWN : release ? WM_RBUTTONUP : 0;
    if (msg) SendMessage(static_cast<HWND>(data), msg, 0, ClientPoint(e->x, e->y));
    return FALSE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
    SendMessage(static_cast<HWND>(data), WM_MOUSEMOVE, 0, ClientPoint(e->x, e->y));
    return FALSE;
}

gboolean OnKeyUp(GtkWidget*, GdkEventKey* e, gpointer data) {
    SendMessage(static_cast<HWND>(data), WM_KEYUP, e->keyval, 0);
    return FALSE;
}

// The window moved or changed size: WM_MOVE with the client's screen position, WM_SIZE
// with the client's size.
gboolean OnConfigure(GtkWidget*, GdkEventConfigure* e, gpointer data) {
    HWND hwnd = static_cast<HWND>(data);
    SendMessage(hwnd, WM_MOVE, 0, ClientPoint(e->x, e->y));
    SendMessage(hwnd, WM_SIZE, 0, ClientPoint(e->width, e->height));
    return FALSE;
}

}  // namespace
}  // namespace platform

using namespace platform;

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD error) { g_lastError = error; }

ATOM RegisterClass(const WNDCLASS* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) return 0;
    auto& classes = Classes();
    if (classes.count(windowClass->lpszClassName)) {
        g_lastError = ERROR_CLASS_ALREADY_EXISTS;
        return 0;
    }
    classes[windowClass->lpszClassName] = *windowClass;
    return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClass(LPCSTR className, HINSTANCE) { return className && Classes().erase(className) > 0; }

HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                    HWND parent, HMENU, HINSTANCE instance, LPVOID param) {
    if (className && std::string(className) == TOOLTIPS_CLASS) return CreateTooltipWindow(parent, style);
    auto it = className ? Classes().find(className) : Classes().end();
    if (it == Classes().end()) return nullptr;
    const WNDCLASS& cls = it->second;
    WindowObject* w = NewWindowObject();
    HWND hwnd = ToHandle(w);
    w->kind = WindowKind::TopLevel;
    w->className = className;
    w->proc = cls.lpfnWndProc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->text = windowName ? windowName : "";
    w->owner = parent;
    w->widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_set_data(G_OBJECT(w->widget), "sonovert-hwnd", hwnd);
    GtkWindow* window = GTK_WINDOW(w->widget);
    gtk_window_set_title(window, w->text.c_str());
    gtk_window_set_resizable(window, (style & WS_THICKFRAME) != 0);
    w->client = gtk_fixed_new();
    gtk_widget_set_has_window(w->client, FALSE);
    gtk_widget_set_app_paintable(w->client, TRUE);
    int cx = width == CW_USEDEFAULT ? 320 : width, cy = height == CW_USEDEFAULT ? 240 : height;
    gtk_widget_set_size_request(w->client, std::max(cx, 1), std::max(cy, 1));
    gtk_container_add(GTK_CONTAINER(w->widget), w->client);
    gtk_widget_show(w->client);
    if (x != CW_USEDEFAULT) gtk_window_move(window, x, y);
    w->background = cls.hbrBackground;
    gtk_widget_add_events(w->widget, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                         GDK_KEY_RELEASE_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(w->widget, "button-press-event", G_CALLBACK(OnButton), hwnd);
    g_signal_connect(w->widget, "button-release-event", G_CALLBACK(OnButton), hwnd);
    g_signal_connect(w->widget, "motion-notify-event", G_CALLBACK(OnMotion), hwnd);
    g_signal_connect(w->widget, "key-release-event", G_CALLBACK(OnKeyUp), hwnd);
    g_signal_connect(w->widget, "configure-event", G_CALLBACK(OnConfigure), hwnd);
    g_signal_connect(w->widget, "delete-event", G_CALLBACK(OnDelete), hwnd);
    g_signal_connect(w->client, "draw", G_CALLBACK(PaintClientArea), hwnd);
    if (cls.hIcon) SendMessage(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(cls.hIcon));

    CREATESTRUCT create;
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hwndParent = parent;
    create.cx = cx;
    create.cy = cy;
    create.x = x;
    create.y = y;
    create.style = style;
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    if (SendMessage(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}
