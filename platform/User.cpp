#include "platform/User.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <deque>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/MessageLoop.h"
#include "platform/Resources.h"
#include "platform/Testing.h"
#include "platform/WindowObject.h"

namespace platform {
namespace {

std::set<WindowObject*>& LiveWindows() {
    static std::set<WindowObject*> live;
    return live;
}
std::vector<WindowObject*>& CreationOrder() {
    static std::vector<WindowObject*> order;
    return order;
}

}  // namespace

// Menus: the system menu and the program's popup menus. GUI thread only.
struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;
    HMENU submenu = nullptr;  // owned by this item
};
struct MenuObject {
    std::vector<MenuItem> items;
};
std::set<MenuObject*>& LiveMenus() {
    static std::set<MenuObject*> menus;
    return menus;
}
MenuObject* MenuFromHandle(HMENU h) {
    auto* m = reinterpret_cast<MenuObject*>(h);
    return LiveMenus().count(m) ? m : nullptr;
}
HMENU NewMenu() {
    auto* m = new MenuObject;
    LiveMenus().insert(m);
    return reinterpret_cast<HMENU>(m);
}

// A window's text as GTK shows it: '&' marks a mnemonic, "&&" a literal ampersand.
std::string ToMnemonic(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            ++i;
        } else if (text[i] == '&') {
            out += '_';
        } else if (text[i] == '_') {
            out += "__";
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string WithoutMnemonic(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

namespace {

void ApplyTextToWidget(WindowObject* w) {
    ++w->codeChange;
    if (w->kind == WindowKind::TopLevel) {
        gtk_window_set_title(GTK_WINDOW(w->widget), w->text.c_str());
    } else if (w->kind == WindowKind::Edit) {
        gtk_entry_set_text(GTK_ENTRY(w->widget), w->text.c_str());
    } else if (w->kind == WindowKind::Button) {
        gtk_button_set_label(GTK_BUTTON(w->widget), ToMnemonic(w->text).c_str());
        gtk_button_set_use_underline(GTK_BUTTON(w->widget), TRUE);
        atk_object_set_name(gtk_widget_get_accessible(w->widget), WithoutMnemonic(w->text).c_str());
    } else if (w->kind == WindowKind::Static) {
        GtkWidget* label = GTK_IS_LABEL(w->widget) ? w->widget : nullptr;
        if (label) gtk_label_set_text(GTK_LABEL(label), w->text.c_str());
        atk_object_set_name(gtk_widget_get_accessible(w->widget), w->text.c_str());
    }
    --w->codeChange;
}

void ShowSystemMenuItems(HMENU menu) {
    if (!GetMenuItemCount(menu)) {
        AppendMenu(menu, MF_STRING | MF_GRAYED, SC_RESTORE, "&Restore");
        AppendMenu(menu, MF_STRING, SC_MOVE, "&Move");
        AppendMenu(menu, MF_STRING, SC_MINIMIZE, "Mi&nimize");
        AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenu(menu, MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
    }
}

}  // namespace

GtkWidget* ComboButton(GtkWidget* combo) {
    struct Search {
        static void Visit(GtkWidget* child, gpointer found) {
            auto** result = static_cast<GtkWidget**>(found);
            if (*result) return;
            if (GTK_IS_TOGGLE_BUTTON(child))
                *result = child;
            else if (GTK_IS_CONTAINER(child))
                gtk_container_forall(GTK_CONTAINER(child), Visit, found);
        }
    };
    GtkWidget* button = nullptr;
    gtk_container_forall(GTK_CONTAINER(combo), Search::Visit, &button);
    return button ? button : combo;
}

WindowObject* FromHandle(HWND hwnd) {
    auto* w = reinterpret_cast<WindowObject*>(hwnd);
    if (!w || !LiveWindows().count(w) || w->destroyed) return nullptr;
    return w;
}

WindowObject* NewWindowObject() {
    auto* w = new WindowObject;
    LiveWindows().insert(w);
    CreationOrder().push_back(w);
    return w;
}

void DeleteWindowObject(WindowObject* w) {
    LiveWindows().erase(w);
    auto& order = CreationOrder();
    order.erase(std::remove(order.begin(), order.end(), w), order.end());
    delete w;
}

std::vector<HWND> AllWindows() {
    std::vector<HWND> out;
    for (WindowObject* w : CreationOrder())
        if (!w->destroyed) out.push_back(ToHandle(w));
    return out;
}

int DialogUnitsX(HWND dialog, int units) {
    WindowObject* w = FromHandle(dialog);
    int base = w ? w->baseUnitX : 6;
    return (units * base + 2) / 4;  // rounded, as MulDiv does
}

int DialogUnitsY(HWND dialog, int units) {
    WindowObject* w = FromHandle(dialog);
    int base = w ? w->baseUnitY : 13;
    return (units * base + 4) / 8;
}

cairo_surface_t* EnsureBacking(WindowObject* w, int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    cairo_surface_t* s = w->backing.get();
    if (!s || cairo_image_surface_get_width(s) != width || cairo_image_surface_get_height(s) != height)
        w->backing.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    return w->backing.get();
}

HMENU SystemMenuOf(WindowObject* w) {
    if (!w->systemMenu) {
        w->systemMenu = NewMenu();
        ShowSystemMenuItems(w->systemMenu);
    }
    return w->systemMenu;
}

// Pops the system menu up under the window's top-left corner (Alt+Space).
void PopupSystemMenu(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || w->kind != WindowKind::TopLevel) return;
    MenuObject* m = MenuFromHandle(SystemMenuOf(w));
    GtkWidget* popup = gtk_menu_new();
    for (const MenuItem& item : m->items) {
        GtkWidget* mi;
        if (item.flags & MF_SEPARATOR) {
            mi = gtk_separator_menu_item_new();
        } else {
            std::string label = item.text.substr(0, item.text.find('\t'));
            mi = gtk_menu_item_new_with_mnemonic(ToMnemonic(label).c_str());
            gtk_widget_set_sensitive(mi, !(item.flags & MF_GRAYED));
            g_object_set_data(G_OBJECT(mi), "sonovert-command", reinterpret_cast<gpointer>(item.id));
            g_signal_connect(mi, "activate", G_CALLBACK(+[](GtkMenuItem* self, gpointer data) {
                auto id = reinterpret_cast<UINT_PTR>(g_object_get_data(G_OBJECT(self), "sonovert-command"));
                PostMessage(static_cast<HWND>(data), WM_SYSCOMMAND, id, 0);
            }), hwnd);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(popup), mi);
    }
    gtk_widget_show_all(popup);
    g_signal_connect(popup, "deactivate", G_CALLBACK(+[](GtkMenuShell* shell, gpointer) {
        g_idle_add([](gpointer p) { gtk_widget_destroy(GTK_WIDGET(p)); return G_SOURCE_REMOVE; }, shell);
    }), nullptr);
    gtk_menu_attach_to_widget(GTK_MENU(popup), w->widget, nullptr);
    gtk_menu_popup_at_widget(GTK_MENU(popup), w->client ? w->client : w->widget, GDK_GRAVITY_NORTH_WEST,
                             GDK_GRAVITY_NORTH_WEST, nullptr);
}

}  // namespace platform

using namespace platform;

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(hwnd, msg, wParam, lParam);
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return 0;
    bool handled = false;
    LRESULT r = ControlDefaultProc(w, msg, wParam, lParam, &handled);
    if (handled) return r;
    switch (msg) {
    case WM_SETTEXT:
        w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        ApplyTextToWidget(w);
        return TRUE;
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        auto* out = reinterpret_cast<char*>(lParam);
        size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
        memcpy(out, w->text.data(), n);
        out[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        if (w->kind == WindowKind::Static) ApplyStaticLook(w);
        if (lParam && w->widget) gtk_widget_queue_draw(w->widget);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case WM_SETICON: {
        HICON old = wParam == ICON_BIG ? w->iconBig : w->iconSmall;
        (wParam == ICON_BIG ? w->iconBig : w->iconSmall) = reinterpret_cast<HICON>(lParam);
        if (w->kind == WindowKind::TopLevel) {
            // The desktop picks the size it needs from the window's icon list.
            GList* list = nullptr;
            for (HICON icon : {w->iconBig, w->iconSmall}) {
                for (int size : {32, 16}) {
                    GdkPixbuf* p = IconPixbuf(icon, size);
                    if (p && !g_list_find(list, p)) list = g_list_append(list, p);
                }
            }
            gtk_window_set_icon_list(GTK_WINDOW(w->widget), list);
            g_list_free(list);
        }
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessage(hwnd, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            if (w->kind == WindowKind::TopLevel) gtk_window_iconify(GTK_WINDOW(w->widget));
            break;
        case SC_RESTORE:
            if (w->kind == WindowKind::TopLevel) gtk_window_deiconify(GTK_WINDOW(w->widget));
            break;
        case SC_MOVE:
            if (w->kind == WindowKind::TopLevel) {
                // The window manager moves the window from the pointer position.
                GdkDisplay* display = gtk_widget_get_display(w->widget);
                GdkSeat* seat = gdk_display_get_default_seat(display);
                int x = 0, y = 0;
                gdk_device_get_position(gdk_seat_get_pointer(seat), nullptr, &x, &y);
                gtk_window_begin_move_drag(GTK_WINDOW(w->widget), 1, x, y, GDK_CURRENT_TIME);
            }
            break;
        default:
            break;
        }
        return 0;
    case WM_ERASEBKGND:
        if (w->background && wParam) {
            RECT client;
            GetClientRect(hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, w->background);
            return 1;
        }
        return 0;
    case WM_GETDLGCODE:
        return 0;
    default:
        return 0;
    }
}

BOOL IsWindow(HWND hwnd) { return FromHandle(hwnd) != nullptr; }

BOOL DestroyWindow(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return FALSE;
    // Parents hear WM_DESTROY before their children, and WM_NCDESTROY after them.
    SendMessage(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children = w->children;
    for (HWND child : children) DestroyWindow(child);
    // Tooltips go with the window that owns them.
    for (HWND other : AllWindows()) {
        WindowObject* o = FromHandle(other);
        if (o && o->owner == hwnd && o->kind == WindowKind::Tooltip) DestroyWindow(other);
    }
    ForgetWindowMessages(hwnd);
    SendMessage(hwnd, WM_NCDESTROY, 0, 0);
    w->destroyed = true;
    if (w->parent) {
        if (WindowObject* p = FromHandle(w->parent)) {
            auto& c = p->children;
            c.erase(std::remove(c.begin(), c.end(), hwnd), c.end());
        }
    }
    if (w->widget) {
        g_object_set_data(G_OBJECT(w->widget), "sonovert-hwnd", nullptr);
        if (w->kind == WindowKind::TopLevel) gtk_widget_destroy(w->widget);
    }
    if (w->ownedIcon) DestroyIcon(w->ownedIcon);
    if (w->systemMenu) {
        auto* m = reinterpret_cast<MenuObject*>(w->systemMenu);
        LiveMenus().erase(m);
        delete m;
    }
    DeleteWindowObject(w);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    WindowObject* w = FromHandle(dialog);
    if (!w) return nullptr;
    for (HWND child : w->children)
        if (FromHandle(child) && FromHandle(child)->id == id) return child;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    return w ? w->id : 0;
}

HWND GetParent(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return nullptr;
    return w->parent ? w->parent : w->owner;
}

BOOL SetWindowText(HWND hwnd, LPCSTR text) {
    if (!IsWindow(hwnd)) return FALSE;
    return static_cast<BOOL>(SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

int GetWindowText(HWND hwnd, LPSTR buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    buffer[0] = '\0';
    return static_cast<int>(SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND hwnd) { return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

BOOL ShowWindow(HWND hwnd, int cmd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return FALSE;
    BOOL wasVisible = (w->style & WS_VISIBLE) != 0;
    bool show = cmd != SW_HIDE;
    if (show)
        w->style |= WS_VISIBLE;
    else
        w->style &= ~WS_VISIBLE;
    if (w->kind == WindowKind::TopLevel) {
        if (show) {
            gtk_widget_show(w->widget);
            if (cmd == SW_SHOWNORMAL) gtk_window_deiconify(GTK_WINDOW(w->widget));
        } else {
            gtk_widget_hide(w->widget);
        }
    } else {
        gtk_widget_set_visible(Placed(w), show);
        if (!show && GetFocus() == hwnd && w->parent) {
            if (HWND next = GetNextDlgTabItem(w->parent, hwnd, FALSE)) SetFocus(next);
        }
    }
    return wasVisible;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
    bool hadFocus = !enable && GetFocus() == hwnd;
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    gtk_widget_set_sensitive(w->widget, enable ? TRUE : FALSE);
    if (wasDisabled != !enable) {
        if (hadFocus && w->parent) {
            // The dialog manager never leaves the focus on a disabled control.
            if (HWND next = GetNextDlgTabItem(w->parent, hwnd, FALSE)) SetFocus(next);
        }
        SendMessage(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    }
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL IsWindowVisible(HWND hwnd) {
    for (WindowObject* w = FromHandle(hwnd); w; w = FromHandle(w->parent))
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return IsWindow(hwnd);
}

BOOL IsIconic(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || w->kind != WindowKind::TopLevel) return FALSE;
    GdkWindow* gw = gtk_widget_get_window(w->widget);
    return gw && (gdk_window_get_state(gw) & GDK_WINDOW_STATE_ICONIFIED) != 0;
}

BOOL SetForegroundWindow(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || w->kind != WindowKind::TopLevel) return FALSE;
    if (gtk_widget_get_visible(w->widget)) gtk_window_present(GTK_WINDOW(w->widget));
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) { return IsWindow(hwnd); }

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return FALSE;
    GtkWidget* target = w->client ? w->client : w->widget;
    if (rect)
        gtk_widget_queue_draw_area(target, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    else
        gtk_widget_queue_draw(target);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || !rect) return FALSE;
    int width, height;
    if (w->kind == WindowKind::TopLevel) {
        // A fixed-size window is the size the program gave it at once; one the user may
        // resize is the size it was laid out at.
        gtk_widget_get_size_request(w->client, &width, &height);
        GtkAllocation a;
        gtk_widget_get_allocation(w->client, &a);
        if (gtk_window_get_resizable(GTK_WINDOW(w->widget)) && gtk_widget_get_realized(w->client) && a.width > 1) {
            width = a.width;
            height = a.height;
        }
    } else {
        width = w->rect.right - w->rect.left;
        height = w->rect.bottom - w->rect.top;
    }
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || !point) return FALSE;
    if (w->kind != WindowKind::TopLevel) {
        point->x += w->rect.left;
        point->y += w->rect.top;
        return ClientToScreen(w->parent, point);
    }
    int x = 0, y = 0;
    GdkWindow* gw = gtk_widget_get_window(w->widget);
    if (gw)
        gdk_window_get_origin(gw, &x, &y);
    else
        gtk_window_get_position(GTK_WINDOW(w->widget), &x, &y);
    point->x += x;
    point->y += y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    if (!point) return FALSE;
    POINT origin;
    if (!ClientToScreen(hwnd, &origin)) return FALSE;
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

HWND WindowFromPoint(POINT point) {
    auto inside = [&](HWND hwnd) {
        RECT r;
        return GetWindowRect(hwnd, &r) && point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom;
    };
    // The newest visible top-level window there (dialogs and boxes open above their owners),
    // then the deepest visible control under the point.
    std::vector<HWND> all = AllWindows();
    HWND found = nullptr;
    for (auto it = all.rbegin(); it != all.rend() && !found; ++it) {
        WindowObject* w = FromHandle(*it);
        if (w->kind == WindowKind::TopLevel && IsWindowVisible(*it) && gtk_widget_get_mapped(w->widget) && inside(*it))
            found = *it;
    }
    for (bool deeper = found != nullptr; deeper;) {
        deeper = false;
        for (HWND child : FromHandle(found)->children) {
            if (IsWindowVisible(child) && inside(child)) {
                found = child;
                deeper = true;
                break;
            }
        }
    }
    return found;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || !rect) return FALSE;
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin;
    ClientToScreen(hwnd, &origin);
    *rect = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return FALSE;
    if (w->kind == WindowKind::TopLevel) {
        GtkWindow* win = GTK_WINDOW(w->widget);
        if (!(flags & SWP_NOMOVE)) gtk_window_move(win, x, y);
        if (!(flags & SWP_NOSIZE)) {
            gtk_widget_set_size_request(w->client, cx, cy);
            gtk_window_resize(win, cx, cy);
        }
        if (!(flags & SWP_NOZORDER)) {
            if (insertAfter == HWND_TOPMOST) {
                gtk_window_set_keep_above(win, TRUE);
                w->topmost = true;
            } else if (insertAfter == HWND_NOTOPMOST) {
                gtk_window_set_keep_above(win, FALSE);
                w->topmost = false;
            }
            else if (gtk_widget_get_visible(w->widget))
                gtk_window_present(win);
        }
        if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOW);
        return TRUE;
    }
    int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
    if (!(flags & SWP_NOMOVE)) {
        w->rect.left = x;
        w->rect.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        width = cx;
        height = cy;
    }
    w->rect.right = w->rect.left + width;
    w->rect.bottom = w->rect.top + height;
    if (WindowObject* p = FromHandle(w->parent)) {
        gtk_fixed_move(GTK_FIXED(p->client), Placed(w), w->rect.left, w->rect.top);
        gtk_widget_set_size_request(w->widget, width, height);
        FitLabelWidth(w, width);
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOW);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER);
}

HWND SetFocus(HWND hwnd) {
    HWND previous = GetFocus();
    WindowObject* w = FromHandle(hwnd);
    if (!w) return previous;
    if (w->kind == WindowKind::TopLevel) {
        gtk_window_set_focus(GTK_WINDOW(w->widget), nullptr);
        gtk_widget_grab_focus(w->client);
    } else if (GTK_IS_COMBO_BOX(w->widget)) {
        // A drop-down list takes the focus on its own button.
        gtk_widget_grab_focus(ComboButton(w->widget));
    } else {
        gtk_widget_grab_focus(w->widget);
    }
    return previous;
}

HWND GetFocus() {
    // The focus lives in the most recent visible top-level window that is not disabled
    // by a modal child; without a window manager X focus is not reliable, GTK's is.
    std::vector<HWND> all = AllWindows();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        WindowObject* w = FromHandle(*it);
        if (!w || w->kind != WindowKind::TopLevel || !gtk_widget_get_visible(w->widget)) continue;
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(w->widget));
        while (focus) {
            if (auto* h = static_cast<HWND>(g_object_get_data(G_OBJECT(focus), "sonovert-hwnd"))) return h;
            focus = gtk_widget_get_parent(focus);
        }
        return *it;
    }
    return nullptr;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    WindowObject* d = FromHandle(dialog);
    if (!d || d->children.empty()) return nullptr;
    const auto& c = d->children;
    auto pos = std::find(c.begin(), c.end(), control);
    size_t n = c.size();
    size_t start = pos == c.end() ? (previous ? 0 : n - 1) : static_cast<size_t>(pos - c.begin());
    for (size_t step = 1; step <= n; ++step) {
        size_t i = previous ? (start + n - step) % n : (start + step) % n;
        WindowObject* w = FromHandle(c[i]);
        if (c[i] == control) continue;
        if (w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED)) return c[i];
    }
    return nullptr;
}

intptr_t GetWindowLongPtr(HWND hwnd, int index) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE: return static_cast<intptr_t>(w->style);
    case GWL_EXSTYLE: return static_cast<intptr_t>(w->exStyle);
    case GWL_ID: return w->id;
    case GWL_USERDATA: return w->userData;
    case GWL_WNDPROC: return reinterpret_cast<intptr_t>(w->proc);
    default: return 0;
    }
}

intptr_t SetWindowLongPtr(HWND hwnd, int index, intptr_t value) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return 0;
    intptr_t old = GetWindowLongPtr(hwnd, index);
    switch (index) {
    case GWL_STYLE:
        w->style = static_cast<DWORD>(value);
        // A button made owner-drawn is painted by the program from now on.
        if (w->kind == WindowKind::Button && (w->style & BS_TYPEMASK) == BS_OWNERDRAW && !w->ownerDrawn) {
            w->ownerDrawn = true;
            gtk_widget_queue_draw(w->widget);
        }
        break;
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); break;
    case GWL_ID: w->id = static_cast<int>(value); break;
    case GWL_USERDATA: w->userData = value; break;
    case GWL_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); break;
    default: break;
    }
    return old;
}

HMENU GetSystemMenu(HWND hwnd, BOOL) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || w->kind != WindowKind::TopLevel || !(w->style & WS_SYSMENU)) return nullptr;
    return SystemMenuOf(w);
}

BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
    MenuObject* m = MenuFromHandle(menu);
    if (!m) return FALSE;
    MenuItem item{flags, id, text ? text : "", nullptr};
    if (flags & MF_POPUP) item.submenu = reinterpret_cast<HMENU>(id);  // the item owns its popup now
    m->items.push_back(item);
    return TRUE;
}

int GetMenuItemCount(HMENU menu) {
    MenuObject* m = MenuFromHandle(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    MenuObject* m = MenuFromHandle(menu);
    if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return static_cast<UINT>(-1);
    const MenuItem& item = m->items[static_cast<size_t>(position)];
    return (item.flags & MF_SEPARATOR) ? 0 : static_cast<UINT>(item.id);
}

int GetMenuString(HMENU menu, UINT item, LPSTR buffer, int maxCount, UINT flags) {
    MenuObject* m = MenuFromHandle(menu);
    if (!m) return 0;
    const MenuItem* found = nullptr;
    if (flags & MF_BYPOSITION) {
        if (item < m->items.size()) found = &m->items[item];
    } else {
        for (const MenuItem& i : m->items)
            if (!(i.flags & MF_SEPARATOR) && i.id == item) found = &i;
    }
    if (!found) return 0;
    if (!buffer || maxCount <= 0) return static_cast<int>(found->text.size());
    size_t n = std::min(found->text.size(), static_cast<size_t>(maxCount - 1));
    memcpy(buffer, found->text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

BOOL MessageBeep(UINT) {
    if (GdkDisplay* d = gdk_display_get_default()) gdk_display_beep(d);
    return TRUE;
}

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXICON:
    case SM_CYICON: return 32;
    // The window manager draws frames and captions outside the client area we size.
    case SM_CXFRAME:
    case SM_CYFRAME:
    case SM_CYCAPTION: return 0;
    default: return 0;
    }
}

void* GetWindowAttachment(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    return w ? w->cwnd : nullptr;
}

void SetWindowAttachment(HWND hwnd, void* object) {
    if (WindowObject* w = FromHandle(hwnd)) w->cwnd = object;
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
    if (!FromHandle(dialog) || !rect) return FALSE;
    *rect = RECT{DialogUnitsX(dialog, rect->left), DialogUnitsY(dialog, rect->top), DialogUnitsX(dialog, rect->right),
                 DialogUnitsY(dialog, rect->bottom)};
    return TRUE;
}

uintptr_t GetNativeWindowId(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return 0;
    GtkWidget* top = w->kind == WindowKind::TopLevel ? w->widget : gtk_widget_get_toplevel(w->widget);
    gtk_widget_realize(top);
    GdkWindow* window = gtk_widget_get_window(top);
    if (!window || !GDK_IS_X11_WINDOW(window)) return 0;
    return static_cast<uintptr_t>(gdk_x11_window_get_xid(window));
}

namespace platform::testing {
namespace {
std::deque<UINT>& MenuAnswers() {
    static std::deque<UINT> answers;
    return answers;
}
std::vector<std::vector<ShownMenuItem>>& MenusShown() {
    static std::vector<std::vector<ShownMenuItem>> shown;
    return shown;
}
}  // namespace
void QueueMenuAnswer(UINT command) { MenuAnswers().push_back(command); }
const std::vector<std::vector<ShownMenuItem>>& ShownMenus() { return MenusShown(); }
void ClearShownMenus() { MenusShown().clear(); }
void ClearMenuAnswers() { MenuAnswers().clear(); }
}  // namespace platform::testing

namespace {

HMENU BuildMenu(const std::vector<platform::MenuTemplateItem>& items) {
    HMENU menu = platform::NewMenu();
    for (const platform::MenuTemplateItem& item : items) {
        if (!item.children.empty()) {
            HMENU sub = BuildMenu(item.children);
            AppendMenu(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item.text);
        } else if (!item.id && (!item.text || !*item.text)) {
            AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenu(menu, MF_STRING, item.id, item.text);
        }
    }
    return menu;
}

platform::MenuItem* FindItem(platform::MenuObject* m, UINT item, UINT flags) {
    if (flags & MF_BYPOSITION) return item < m->items.size() ? &m->items[item] : nullptr;
    for (platform::MenuItem& i : m->items)
        if (!(i.flags & (MF_SEPARATOR | MF_POPUP)) && i.id == item) return &i;
    return nullptr;
}

}  // namespace

HMENU LoadMenu(HINSTANCE, LPCSTR name) {
    const std::vector<platform::MenuTemplateItem>* items = platform::FindMenuTemplate(platform::ResourceId(name));
    return items ? BuildMenu(*items) : nullptr;
}

HMENU CreatePopupMenu() { return platform::NewMenu(); }

HMENU GetSubMenu(HMENU menu, int position) {
    platform::MenuObject* m = platform::MenuFromHandle(menu);
    if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return nullptr;
    return m->items[static_cast<size_t>(position)].submenu;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    platform::MenuObject* m = platform::MenuFromHandle(menu);
    platform::MenuItem* found = m ? FindItem(m, item, flags) : nullptr;
    if (!found) return static_cast<UINT>(-1);
    UINT previous = found->flags & MF_GRAYED;
    found->flags = (found->flags & ~MF_GRAYED) | (flags & MF_GRAYED);
    return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    platform::MenuObject* m = platform::MenuFromHandle(menu);
    platform::MenuItem* found = m ? FindItem(m, item, flags) : nullptr;
    return found ? found->flags : static_cast<UINT>(-1);
}

BOOL DestroyMenu(HMENU menu) {
    platform::MenuObject* m = platform::MenuFromHandle(menu);
    if (!m) return FALSE;
    for (platform::MenuItem& item : m->items)
        if (item.submenu) DestroyMenu(item.submenu);
    platform::LiveMenus().erase(m);
    delete m;
    return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    using namespace platform;
    MenuObject* m = MenuFromHandle(menu);
    WindowObject* o = FromHandle(owner);
    if (!m || !o) return FALSE;
    std::vector<testing::ShownMenuItem> record;
    struct State {
        bool done = false;
        UINT chosen = 0;
    } state;
    GtkWidget* popup = gtk_menu_new();
    for (const MenuItem& item : m->items) {
        testing::ShownMenuItem shown{static_cast<UINT>(item.id), item.text, (item.flags & MF_GRAYED) != 0,
                                     (item.flags & MF_SEPARATOR) != 0};
        record.push_back(shown);
        GtkWidget* mi;
        if (item.flags & MF_SEPARATOR) {
            mi = gtk_separator_menu_item_new();
        } else {
            mi = gtk_menu_item_new_with_mnemonic(ToMnemonic(item.text).c_str());
            gtk_widget_set_sensitive(mi, !(item.flags & MF_GRAYED));
            g_object_set_data(G_OBJECT(mi), "sonovert-command", reinterpret_cast<gpointer>(item.id));
            g_signal_connect(mi, "activate", G_CALLBACK(+[](GtkMenuItem* self, gpointer data) {
                static_cast<State*>(data)->chosen =
                    static_cast<UINT>(reinterpret_cast<UINT_PTR>(g_object_get_data(G_OBJECT(self), "sonovert-command")));
            }), &state);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(popup), mi);
    }
    testing::MenusShown().push_back(record);
    gtk_widget_show_all(popup);
    g_signal_connect(popup, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer data) {
        static_cast<State*>(data)->done = true;
    }), &state);
    gtk_menu_attach_to_widget(GTK_MENU(popup), o->widget, nullptr);
    POINT origin{0, 0};
    ClientToScreen(owner, &origin);
    GdkRectangle at{x - origin.x, y - origin.y, 1, 1};
    GtkWidget* anchor = o->client ? o->client : o->widget;
    gtk_menu_popup_at_rect(GTK_MENU(popup), gtk_widget_get_window(anchor), &at, GDK_GRAVITY_NORTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, nullptr);
    guint answerSource = 0;
    auto& answers = testing::MenuAnswers();
    if (!answers.empty()) {
        // The test's choice, made once the menu is up: as if the user clicked that item.
        state.chosen = answers.front();
        answers.pop_front();
        answerSource = g_timeout_add(30, [](gpointer p) -> gboolean {
            gtk_menu_shell_deactivate(GTK_MENU_SHELL(p));
            return G_SOURCE_REMOVE;
        }, popup);
    }
    RunModalLoop([&state]() { return state.done; });
    if (answerSource && !state.done) g_source_remove(answerSource);
    gtk_widget_destroy(popup);
    if (!state.chosen) return FALSE;
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(state.chosen);
    PostMessage(owner, WM_COMMAND, state.chosen, 0);
    return TRUE;
}

BOOL SystemParametersInfo(UINT action, UINT, void* value, UINT) {
    if (action != SPI_GETWORKAREA || !value) return FALSE;
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return FALSE;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    *static_cast<RECT*>(value) = RECT{area.x, area.y, area.x + area.width, area.y + area.height};
    return TRUE;
}
