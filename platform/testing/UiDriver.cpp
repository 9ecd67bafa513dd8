#include "platform/testing/UiDriver.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/MessageLoop.h"
#include "platform/Resources.h"
#include "platform/Testing.h"
#include "platform/User.h"
#include "platform/WindowObject.h"

namespace platform::testing {
namespace {

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

WindowObject* Window(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) {
        fprintf(stderr, "UiDriver: %p is not a window\n", static_cast<void*>(hwnd));
        abort();
    }
    return w;
}

GtkWidget* TopLevelWidget(WindowObject* w) {
    return w->kind == WindowKind::TopLevel ? w->widget : gtk_widget_get_toplevel(w->widget);
}

// Screen position of a point given in a window's client coordinates, as laid out now.
POINT ScreenPoint(HWND hwnd, int x, int y) {
    WindowObject* w = Window(hwnd);
    GtkWidget* top = TopLevelWidget(w);
    int ox = 0, oy = 0;
    if (GdkWindow* gw = gtk_widget_get_window(top)) gdk_window_get_origin(gw, &ox, &oy);
    GtkAllocation a;
    gtk_widget_get_allocation(w->kind == WindowKind::TopLevel ? w->client : w->widget, &a);
    return POINT{ox + a.x + x, oy + a.y + y};
}

// Lets the X server deliver what we sent and the toolkit handle it.
void Settle() {
    XSync(XDisplay(), False);
    Pump(30);
}

// The top-level window that takes keyboard input: the newest one on screen.
GtkWidget* ActiveTopLevel() {
    GtkWidget* found = nullptr;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next) {
        GtkWidget* w = GTK_WIDGET(l->data);
        if (gtk_widget_get_mapped(w) && gtk_window_get_window_type(GTK_WINDOW(w)) == GTK_WINDOW_TOPLEVEL &&
            (!found || gtk_window_get_modal(GTK_WINDOW(w)) || gtk_window_get_transient_for(GTK_WINDOW(w)) == GTK_WINDOW(found)))
            found = w;
    }
    g_list_free(list);
    return found;
}

// Without a window manager the program's window gets the keyboard the way one would
// give it: the X input focus goes to the active window.
void FocusActiveWindow() {
    GtkWidget* top = ActiveTopLevel();
    if (!top) return;
    GdkWindow* gw = gtk_widget_get_window(top);
    XSetInputFocus(XDisplay(), gdk_x11_window_get_xid(gw), RevertToParent, CurrentTime);
    Settle();
}

KeyCode Code(KeySym sym) { return XKeysymToKeycode(XDisplay(), sym); }

void SendKey(KeySym sym, bool shift) {
    Display* d = XDisplay();
    KeyCode code = Code(sym);
    if (!code) return;
    KeyCode shiftCode = Code(XK_Shift_L);
    if (shift) XTestFakeKeyEvent(d, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(d, shiftCode, False, CurrentTime);
    XFlush(d);
}

struct WatchdogState {
    guint source = 0;
    std::string what;
};
WatchdogState& Watchdog() {
    static WatchdogState state;
    return state;
}

Image FromSurface(cairo_surface_t* s) {
    Image image;
    if (!s) return image;
    cairo_surface_flush(s);
    image.width = cairo_image_surface_get_width(s);
    image.height = cairo_image_surface_get_height(s);
    image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            uint32_t px;
            memcpy(&px, data + y * stride + 4 * x, 4);
            image.pixels[static_cast<size_t>(y * image.width + x)] = px & 0x00FFFFFF;
        }
    return image;
}

Image FromPixbuf(GdkPixbuf* p) {
    Image image;
    if (!p) return image;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p));
    cairo_t* cr = cairo_create(s);
    gdk_cairo_set_source_pixbuf(cr, p, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    image = FromSurface(s);
    cairo_surface_destroy(s);
    return image;
}

}  // namespace

void InitToolkitForTests(int* argc, char*** argv) {
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(argc, argv)) {
        fprintf(stderr, "The tests need an X display (DISPLAY is '%s').\n", getenv("DISPLAY") ? getenv("DISPLAY") : "");
        exit(2);
    }
    MarkGuiThread();
}

void Pump(int ms) {
    bool fired = false;
    guint id = g_timeout_add(static_cast<guint>(std::max(ms, 1)), [](gpointer p) -> gboolean {
        *static_cast<bool*>(p) = true;
        return G_SOURCE_REMOVE;
    }, &fired);
    while (!fired) g_main_context_iteration(nullptr, TRUE);
    (void)id;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    gint64 end = g_get_monotonic_time() + static_cast<gint64>(timeoutMs) * 1000;
    while (!done()) {
        if (g_get_monotonic_time() > end) return done();
        Pump(5);
    }
    return true;
}

bool WaitUntilShown(HWND window, int timeoutMs) {
    return WaitUntil([window]() {
        WindowObject* w = FromHandle(window);
        return w && IsMappedOnScreen(window) && w->backing;
    }, timeoutMs);
}

void MovePointer(HWND window, int x, int y) {
    POINT p = ScreenPoint(window, x, y);
    XTestFakeMotionEvent(XDisplay(), -1, p.x, p.y, CurrentTime);
    Settle();
}

void MovePointerToScreen(int x, int y) {
    XTestFakeMotionEvent(XDisplay(), -1, x, y, CurrentTime);
    Settle();
}

void PressPointer() {
    XTestFakeButtonEvent(XDisplay(), 1, True, CurrentTime);
    Settle();
}

void ReleasePointer() {
    XTestFakeButtonEvent(XDisplay(), 1, False, CurrentTime);
    Settle();
}

void ClickAt(HWND window, int x, int y) {
    MovePointer(window, x, y);
    PressPointer();
    ReleasePointer();
}

void DoubleClickAt(HWND window, int x, int y) {
    MovePointer(window, x, y);
    Display* d = XDisplay();
    for (int i = 0; i < 2; ++i) {
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
    }
    Settle();
}

void Click(HWND control) {
    RECT r = ControlRect(control);
    ClickAt(control, (r.right - r.left) / 2, (r.bottom - r.top) / 2);
}

void PressKey(const char* keysymName, bool alt, bool shift, bool control) {
    FocusActiveWindow();
    Display* d = XDisplay();
    KeySym sym = XStringToKeysym(keysymName);
    KeyCode code = Code(sym);
    if (!code) {
        fprintf(stderr, "UiDriver: no key for '%s'\n", keysymName);
        abort();
    }
    std::vector<KeyCode> held;
    if (control) held.push_back(Code(XK_Control_L));
    if (alt) held.push_back(Code(XK_Alt_L));
    if (shift) held.push_back(Code(XK_Shift_L));
    for (KeyCode k : held) XTestFakeKeyEvent(d, k, True, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    for (auto it = held.rbegin(); it != held.rend(); ++it) XTestFakeKeyEvent(d, *it, False, CurrentTime);
    Settle();
}

void TypeInto(HWND control, const std::string& text) {
    Click(control);
    FocusActiveWindow();
    Display* d = XDisplay();
    std::string pending;  // letters the keyboard map cannot type, inserted as an input method would
    auto flushPending = [&]() {
        if (pending.empty()) return;
        Settle();
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(ActiveTopLevel()));
        if (focus && GTK_IS_ENTRY(focus)) g_signal_emit_by_name(focus, "insert-at-cursor", pending.c_str());
        pending.clear();
    };
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            flushPending();
            KeySym sym = c;  // printable ASCII keysyms equal their codes
            KeyCode code = Code(sym);
            bool shift = code && XkbKeycodeToKeysym(d, code, 0, 0) != sym;
            SendKey(sym, shift);
        } else {
            pending += static_cast<char>(c);
        }
    }
    flushPending();
    Settle();
}

void ChooseListEntry(HWND combo, int index) {
    WindowObject* w = Window(combo);
    // What the drop-down list does when the user picks an entry: the toolkit's own change.
    gtk_combo_box_set_active(GTK_COMBO_BOX(w->widget), index);
    Settle();
}

void DragTrackbarTo(HWND trackbar, int position) {
    WindowObject* w = Window(trackbar);
    GtkRange* range = GTK_RANGE(w->widget);
    gtk_range_set_value(range, position);  // the drag itself
    Settle();
    int start = 0, end = 0;
    gtk_range_get_slider_range(range, &start, &end);
    GtkAllocation a;
    gtk_widget_get_allocation(w->widget, &a);
    MovePointer(trackbar, (start + end) / 2, a.height / 2);
    PressPointer();
    ReleasePointer();
}

void CloseFromTitleBar(HWND window) {
    WindowObject* w = Window(window);
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w->widget)));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
    Pump(10);
}

RECT ControlRect(HWND control) {
    WindowObject* w = Window(control);
    if (!gtk_widget_get_visible(Placed(w))) return w->rect;  // hidden controls are not laid out
    GtkAllocation a, client;
    gtk_widget_get_allocation(w->widget, &a);
    WindowObject* parent = FromHandle(w->parent);
    gtk_widget_get_allocation(parent ? parent->client : w->widget, &client);
    if (!parent) client.x = client.y = 0;
    return RECT{a.x - client.x, a.y - client.y, a.x - client.x + a.width, a.y - client.y + a.height};
}

bool HasFocus(HWND control) { return gtk_widget_has_focus(Window(control)->widget); }

bool IsMappedOnScreen(HWND window) {
    WindowObject* w = Window(window);
    GtkWidget* top = TopLevelWidget(w);
    GdkWindow* gw = gtk_widget_get_window(top);
    return gtk_widget_get_mapped(w->widget) && gw && gdk_window_is_viewable(gw);
}

bool HasWindowIcon(HWND window) {
    GList* icons = gtk_window_get_icon_list(GTK_WINDOW(Window(window)->widget));
    bool has = icons != nullptr;
    g_list_free(icons);
    return has;
}

bool IsTopmost(HWND window) { return Window(window)->topmost; }

std::string WindowTitle(HWND window) {
    const char* title = gtk_window_get_title(GTK_WINDOW(Window(window)->widget));
    return title ? title : "";
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> out;
    for (HWND h : AllWindows())
        if (FromHandle(h)->kind == WindowKind::TopLevel) out.push_back(h);
    return out;
}

COLORREF Image::At(int x, int y) const {
    uint32_t px = pixels.at(static_cast<size_t>(y * width + x));
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

bool Image::SavePng(const std::string& path) const {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < height; ++y) memcpy(data + y * stride, &pixels[static_cast<size_t>(y * width)], 4 * static_cast<size_t>(width));
    cairo_surface_mark_dirty(s);
    bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

Image CaptureOwnPainting(HWND window) { return FromSurface(Window(window)->backing.get()); }

Image RenderClient(HWND window) {
    WindowObject* w = Window(window);
    GtkWidget* client = w->kind == WindowKind::TopLevel ? w->client : w->widget;
    int width = gtk_widget_get_allocated_width(client), height = gtk_widget_get_allocated_height(client);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(width, 1), std::max(height, 1));
    cairo_t* cr = cairo_create(s);
    if (w->kind == WindowKind::TopLevel) {
        // The window's own background first, as the toolkit draws it under the client area.
        GtkStyleContext* style = gtk_widget_get_style_context(w->widget);
        gtk_render_background(style, cr, 0, 0, width, height);
    }
    gtk_widget_draw(client, cr);
    cairo_destroy(cr);
    Image image = FromSurface(s);
    cairo_surface_destroy(s);
    return image;
}

Image CaptureScreen(HWND window) {
    WindowObject* w = Window(window);
    Settle();
    GdkWindow* gw = gtk_widget_get_window(TopLevelWidget(w));
    if (!gw) return Image{};
    GdkPixbuf* p = gdk_pixbuf_get_from_window(gw, 0, 0, gdk_window_get_width(gw), gdk_window_get_height(gw));
    Image image = FromPixbuf(p);
    if (p) g_object_unref(p);
    return image;
}

Image Image::Crop(const RECT& r) const {
    Image out;
    int left = std::max<int>(r.left, 0), top = std::max<int>(r.top, 0);
    int right = std::min<int>(r.right, width), bottom = std::min<int>(r.bottom, height);
    if (right <= left || bottom <= top) return out;
    out.width = right - left;
    out.height = bottom - top;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) out.pixels.push_back(pixels[static_cast<size_t>(y * width + x)]);
    return out;
}

Image CaptureControlOnScreen(HWND control) {
    WindowObject* w = Window(control);
    Image screen = CaptureScreen(control);
    GtkWidget* top = TopLevelWidget(w);
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(w->widget, top, 0, 0, &x, &y);
    return screen.Crop(RECT{x, y, x + gtk_widget_get_allocated_width(w->widget), y + gtk_widget_get_allocated_height(w->widget)});
}

PointerShape CurrentCursor() {
    Settle();
    PointerShape shape;
    XFixesCursorImage* image = XFixesGetCursorImage(XDisplay());
    if (!image) return shape;
    shape.width = image->width;
    shape.height = image->height;
    shape.hotX = image->xhot;
    shape.hotY = image->yhot;
    for (int i = 0; i < image->width * image->height; ++i) shape.pixels.push_back(static_cast<uint32_t>(image->pixels[i]));
    XFree(image);
    return shape;
}

int BellsRung() {
    // A connection of its own hears the server's bell notifications.
    static Display* watch = nullptr;
    static int xkbEvent = 0;
    static int rung = 0;
    if (!watch) {
        watch = XOpenDisplay(nullptr);
        if (!watch) return 0;
        int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
        XkbQueryExtension(watch, &opcode, &xkbEvent, &error, &major, &minor);
        XkbSelectEvents(watch, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
        XSync(watch, False);
        return 0;
    }
    Settle();
    XSync(watch, False);
    while (XPending(watch)) {
        XEvent e;
        XNextEvent(watch, &e);
        if (e.type == xkbEvent && reinterpret_cast<XkbEvent*>(&e)->any.xkb_type == XkbBellNotify) ++rung;
    }
    return rung;
}

namespace {
std::string FirstLabelText(GtkWidget* widget) {
    if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
    std::string found;
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* l = children; l && found.empty(); l = l->next) found = FirstLabelText(GTK_WIDGET(l->data));
        g_list_free(children);
    }
    return found;
}
}  // namespace

std::string ShownTooltip() {
    std::string text;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l && text.empty(); l = l->next) {
        GtkWidget* w = GTK_WIDGET(l->data);
        if (gtk_widget_get_mapped(w) && gtk_window_get_window_type(GTK_WINDOW(w)) == GTK_WINDOW_POPUP &&
            strcmp(G_OBJECT_TYPE_NAME(w), "GtkTooltipWindow") == 0)
            text = FirstLabelText(w);
    }
    g_list_free(list);
    return text;
}

Image ResourceImage(const char* kind, int id, int size) {
    GdkPixbuf* p = gdk_pixbuf_new_from_resource(ImageResourcePath(kind, id, size).c_str(), nullptr);
    Image image = FromPixbuf(p);
    if (p) g_object_unref(p);
    return image;
}

std::string AccessibleRole(HWND control) {
    AtkObject* a = gtk_widget_get_accessible(Window(control)->widget);
    return atk_role_get_name(atk_object_get_role(a));
}

std::string AccessibleName(HWND control) {
    const char* name = atk_object_get_name(gtk_widget_get_accessible(Window(control)->widget));
    return name ? name : "";
}

bool AccessiblePress(HWND control) {
    AtkObject* a = gtk_widget_get_accessible(Window(control)->widget);
    if (!ATK_IS_ACTION(a) || atk_action_get_n_actions(ATK_ACTION(a)) < 1) return false;
    bool ok = atk_action_do_action(ATK_ACTION(a), 0);
    Pump(50);  // the toolkit carries the action out from its loop
    return ok;
}

void RunWhenIdle(std::function<void()> work) {
    auto* heap = new std::function<void()>(std::move(work));
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, [](gpointer p) -> gboolean {
        (*static_cast<std::function<void()>*>(p))();
        return G_SOURCE_REMOVE;
    }, heap, [](gpointer p) { delete static_cast<std::function<void()>*>(p); });
}

unsigned RunWhen(std::function<bool()> ready, std::function<void()> work) {
    struct Pending {
        std::function<bool()> ready;
        std::function<void()> work;
    };
    auto* pending = new Pending{std::move(ready), std::move(work)};
    return g_timeout_add_full(G_PRIORITY_DEFAULT, 10, [](gpointer p) -> gboolean {
        auto* job = static_cast<Pending*>(p);
        if (!job->ready()) return G_SOURCE_CONTINUE;
        // The work may run loops of its own; this source must not fire again meanwhile.
        std::function<void()> work = std::move(job->work);
        job->ready = []() { return false; };
        work();
        return G_SOURCE_REMOVE;
    }, pending, [](gpointer p) { delete static_cast<Pending*>(p); });
}

void CancelRunWhen(unsigned handle) {
    if (handle) g_source_remove(handle);
}

void ArmWatchdog(int ms, std::string what) {
    DisarmWatchdog();
    Watchdog().what = std::move(what);
    Watchdog().source = g_timeout_add(static_cast<guint>(ms), [](gpointer) -> gboolean {
        fprintf(stderr, "Watchdog: %s did not finish in time.\n", Watchdog().what.c_str());
        for (const ShownBox& box : ShownBoxes())
            fprintf(stderr, "  message box shown: [%s] %s\n", box.caption.c_str(), box.text.c_str());
        fflush(stderr);
        _exit(3);
    }, nullptr);
}

void DisarmWatchdog() {
    if (Watchdog().source) g_source_remove(Watchdog().source);
    Watchdog().source = 0;
}

}  // namespace platform::testing
