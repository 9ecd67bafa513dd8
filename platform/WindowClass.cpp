#include "platform/WindowClass.h"

#include <gtk/gtk.h>

#include <map>
#include <string>

#include "platform/Gdi.h"
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

gboolean OnClientDraw(GtkWidget* client, cairo_t* cr, gpointer data) {
    HWND hwnd = static_cast<HWND>(data);
    WindowObject* w = FromHandle(hwnd);
    if (!w) return FALSE;
    int width = gtk_widget_get_allocated_width(client), height = gtk_widget_get_allocated_height(client);
    cairo_surface_t* surface = EnsureBacking(w, width, height);
    HDC erase = CreateDcOnSurface(surface, hwnd);
    SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(erase), 0);
    DeleteDC(erase);
    HDC paint = CreateDcOnSurface(surface, hwnd);
    w->paintDc = paint;
    SendMessage(hwnd, WM_PAINT, 0, 0);
    w->paintDc = nullptr;
    DeleteDC(paint);
    cairo_surface_flush(surface);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
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
    g_signal_connect(w->widget, "delete-event", G_CALLBACK(OnDelete), hwnd);
    g_signal_connect(w->client, "draw", G_CALLBACK(OnClientDraw), hwnd);
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
