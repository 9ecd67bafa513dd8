// The standard controls of dialog templates on GTK widgets.
// Imitates: push buttons and automatic check boxes (BN_CLICKED on a user's click only,
// owner-draw through WM_DRAWITEM to the parent), single-line edit boxes (EN_CHANGE only
// for the user's edits), statics (left/centre/right, sunken, icon), drop-down lists
// (CB_* messages, item data, CBN_SELCHANGE only for the user's choice), horizontal
// trackbars (TBM_* messages, NM_RELEASEDCAPTURE when the mouse lets go of the slider,
// none for keyboard moves), focus and mouse messages for every control (WM_SETCURSOR
// before each WM_MOUSEMOVE, WM_MOUSELEAVE only when asked for with TrackMouseEvent, mouse
// messages passing the framework's PreTranslateMessage first), statics painted by the
// program over what their parent painted beneath them.
// Leaves out: multi-line edits, sorted or editable combo boxes, list boxes, radio buttons,
// WM_HSCROLL from trackbars.

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>

#include "platform/Gdi.h"
#include "platform/MessageLoop.h"
#include "platform/User.h"
#include "platform/WindowObject.h"

namespace platform {
namespace {

// The toolkit window whose pointer shape a WM_SETCURSOR handler may set, while it runs.
GdkWindow* g_cursorTarget = nullptr;
HCURSOR g_cursor = nullptr;

HWND HandleOf(gpointer data) { return static_cast<HWND>(data); }

void NotifyParent(WindowObject* w, UINT code) {
    if (w->codeChange > 0 || !w->parent) return;
    SendMessage(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), static_cast<WORD>(code)),
                reinterpret_cast<LPARAM>(ToHandle(w)));
}

bool IsCheckBox(const WindowObject* w) { return (w->style & BS_TYPEMASK) == BS_AUTOCHECKBOX; }

LPARAM PointParam(double x, double y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)), static_cast<WORD>(static_cast<int16_t>(y)));
}

WPARAM MouseKeys(guint state) {
    WPARAM keys = 0;
    if (state & GDK_BUTTON1_MASK) keys |= 0x0001;
    if (state & GDK_BUTTON3_MASK) keys |= 0x0002;
    if (state & GDK_SHIFT_MASK) keys |= 0x0004;
    if (state & GDK_CONTROL_MASK) keys |= 0x0008;
    return keys;
}

// Coordinates of an event relative to the control's own top-left corner.
void ControlPoint(GtkWidget* widget, GdkEvent* event, double* x, double* y) {
    double ex = 0, ey = 0;
    gdk_event_get_coords(event, &ex, &ey);
    GdkWindow* from = gdk_event_get_window(event);
    GdkWindow* to = gtk_widget_get_window(widget);
    int dx = 0, dy = 0;
    if (from && to && from != to) {
        int fx, fy, tx, ty;
        gdk_window_get_origin(from, &fx, &fy);
        gdk_window_get_origin(to, &tx, &ty);
        dx = fx - tx;
        dy = fy - ty;
    }
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    if (!gtk_widget_get_has_window(widget)) {
        dx -= a.x;
        dy -= a.y;
    }
    *x = ex + dx;
    *y = ey + dy;
}

gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    SendMessage(HandleOf(data), WM_SETFOCUS, 0, 0);
    return FALSE;
}
gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
    SendMessage(HandleOf(data), WM_KILLFOCUS, 0, 0);
    return FALSE;
}

// The pointer moved over the control: first the window chooses the pointer's shape
// (unanswered, the arrow stays), then it hears the move.
void PointerMoved(GtkWidget* widget, GdkEvent* e, GdkWindow* window, guint state, HWND hwnd) {
    double x, y;
    ControlPoint(widget, e, &x, &y);
    GdkWindow* previousTarget = g_cursorTarget;
    g_cursorTarget = window;
    LRESULT shaped = SendMessage(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    if (!shaped && IsWindow(hwnd)) SetCursor(nullptr);
    g_cursorTarget = previousTarget;
    if (IsWindow(hwnd)) DeliverInput(hwnd, WM_MOUSEMOVE, MouseKeys(state), PointParam(x, y));
}

gboolean OnMotion(GtkWidget* widget, GdkEventMotion* e, gpointer data) {
    PointerMoved(widget, reinterpret_cast<GdkEvent*>(e), e->window, e->state, HandleOf(data));
    return FALSE;
}

// Arriving over the control is a move too (the toolkit may send no motion for a jump).
gboolean OnEnter(GtkWidget* widget, GdkEventCrossing* e, gpointer data) {
    if (e->detail == GDK_NOTIFY_INFERIOR || e->mode == GDK_CROSSING_GRAB) return FALSE;
    PointerMoved(widget, reinterpret_cast<GdkEvent*>(e), e->window, e->state, HandleOf(data));
    return FALSE;
}

gboolean OnLeave(GtkWidget*, GdkEventCrossing* e, gpointer data) {
    // Leaving for a part of the control itself, or a grab's bookkeeping, is no leave.
    if (e->detail == GDK_NOTIFY_INFERIOR || e->mode == GDK_CROSSING_GRAB) return FALSE;
    WindowObject* w = FromHandle(HandleOf(data));
    if (!w || !w->trackLeave) return FALSE;
    w->trackLeave = false;
    SendMessage(HandleOf(data), WM_MOUSELEAVE, 0, 0);
    return FALSE;
}

gboolean OnButton(GtkWidget* widget, GdkEventButton* e, gpointer data) {
    HWND hwnd = HandleOf(data);
    double x, y;
    ControlPoint(widget, reinterpret_cast<GdkEvent*>(e), &x, &y);
    UINT msg = 0;
    if (e->button == 1) {
        if (e->type == GDK_BUTTON_PRESS) msg = WM_LBUTTONDOWN;
        else if (e->type == GDK_2BUTTON_PRESS) msg = WM_LBUTTONDBLCLK;
        else if (e->type == GDK_BUTTON_RELEASE) msg = WM_LBUTTONUP;
    } else if (e->button == 3) {
        if (e->type == GDK_BUTTON_PRESS) msg = WM_RBUTTONDOWN;
        else if (e->type == GDK_BUTTON_RELEASE) msg = WM_RBUTTONUP;
    }
    if (msg) DeliverInput(hwnd, msg, MouseKeys(e->state), PointParam(x, y));
    WindowObject* w = FromHandle(hwnd);
    if (w && w->kind == WindowKind::Static && (w->style & SS_NOTIFY) && e->button == 1 && e->type == GDK_BUTTON_RELEASE &&
        !(w->style & WS_DISABLED)) {
        // A click on a static that asked for them: released over it.
        GtkAllocation a;
        gtk_widget_get_allocation(widget, &a);
        if (x >= 0 && y >= 0 && x < a.width && y < a.height) NotifyParent(w, STN_CLICKED);
    }
    if (w && w->kind == WindowKind::Trackbar && e->button == 1 && e->type == GDK_BUTTON_RELEASE && w->parent) {
        // The trackbar lets go of the mouse: the parent hears NM_RELEASEDCAPTURE.
        NMHDR header;
        header.hwndFrom = hwnd;
        header.idFrom = static_cast<UINT_PTR>(w->id);
        header.code = NM_RELEASEDCAPTURE;
        SendMessage(w->parent, WM_NOTIFY, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&header));
    }
    return FALSE;
}

// A static asks its parent for its text colour (WM_CTLCOLORSTATIC) each time it draws.
void AskStaticColour(WindowObject* w) {
    HWND hwnd = ToHandle(w);
    HDC dc = CreateDcOnSurface(nullptr, hwnd);
    LRESULT brush = SendMessage(w->parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
    // Unanswered, the label keeps the theme's colour.
    COLORREF colour = brush ? GetTextColor(dc) : 0xFFFFFFFF;
    DeleteDC(dc);
    if (IsWindow(hwnd) && colour != w->textColor) {
        w->textColor = colour;
        ApplyStaticLook(w);
    }
}

gboolean OnControlDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    HWND hwnd = HandleOf(data);
    WindowObject* w = FromHandle(hwnd);
    if (w && w->kind == WindowKind::Static && !w->ownerDrawn && GTK_IS_LABEL(widget) && w->parent) AskStaticColour(w);
    if (!w || !w->ownerDrawn) return FALSE;
    int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
    cairo_surface_t* surface = EnsureBacking(w, width, height);
    HDC dc = CreateDcOnSurface(surface, hwnd);
    w->paintDc = dc;
    if (w->kind == WindowKind::Button && (w->style & BS_TYPEMASK) == BS_OWNERDRAW) {
        GtkStateFlags state = gtk_widget_get_state_flags(widget);
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = static_cast<UINT>(w->id);
        dis.itemAction = ODA_DRAWENTIRE;
        if (state & GTK_STATE_FLAG_ACTIVE) dis.itemState |= ODS_SELECTED;
        if (gtk_widget_has_focus(widget)) dis.itemState |= ODS_FOCUS;
        if (w->style & WS_DISABLED) dis.itemState |= ODS_DISABLED;
        dis.hwndItem = hwnd;
        dis.hDC = dc;
        dis.rcItem = RECT{0, 0, width, height};
        SendMessage(w->parent, WM_DRAWITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&dis));
    } else {
        // What the control does not paint shows what its parent painted beneath it.
        if (WindowObject* parent = FromHandle(w->parent); parent && parent->backing) {
            cairo_t* under = cairo_create(surface);
            cairo_set_operator(under, CAIRO_OPERATOR_SOURCE);
            cairo_set_source_surface(under, parent->backing.get(), -w->rect.left, -w->rect.top);
            cairo_paint(under);
            cairo_destroy(under);
        }
        SendMessage(hwnd, WM_PAINT, 0, 0);
    }
    w->paintDc = nullptr;
    DeleteDC(dc);
    cairo_surface_flush(surface);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    return TRUE;
}

gboolean OnSunkenDraw(GtkWidget* widget, cairo_t* cr, gpointer) {
    int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
    cairo_set_line_width(cr, 1);
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
    cairo_set_source_rgb(cr, GetRValue(shadow) / 255.0, GetGValue(shadow) / 255.0, GetBValue(shadow) / 255.0);
    cairo_move_to(cr, 0.5, height - 0.5);
    cairo_line_to(cr, 0.5, 0.5);
    cairo_line_to(cr, width - 0.5, 0.5);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, GetRValue(light) / 255.0, GetGValue(light) / 255.0, GetBValue(light) / 255.0);
    cairo_move_to(cr, width - 0.5, 0.5);
    cairo_line_to(cr, width - 0.5, height - 0.5);
    cairo_line_to(cr, 0.5, height - 0.5);
    cairo_stroke(cr);
    return FALSE;
}

void OnClicked(GtkButton*, gpointer data) {
    if (WindowObject* w = FromHandle(HandleOf(data))) NotifyParent(w, BN_CLICKED);
}

void OnEditChanged(GtkEditable*, gpointer data) {
    if (WindowObject* w = FromHandle(HandleOf(data))) NotifyParent(w, EN_CHANGE);
}

void OnComboChanged(GtkComboBox*, gpointer data) {
    if (WindowObject* w = FromHandle(HandleOf(data))) NotifyParent(w, CBN_SELCHANGE);
}

// `mouse` takes the pointer's events: the control itself, or the box around a label.
void ConnectCommonEvents(GtkWidget* widget, GtkWidget* mouse, HWND hwnd) {
    gtk_widget_add_events(widget, GDK_FOCUS_CHANGE_MASK);
    gtk_widget_add_events(mouse, GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_ENTER_NOTIFY_MASK |
                                     GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnFocusIn), hwnd);
    g_signal_connect(widget, "focus-out-event", G_CALLBACK(OnFocusOut), hwnd);
    g_signal_connect(mouse, "motion-notify-event", G_CALLBACK(OnMotion), hwnd);
    g_signal_connect(mouse, "enter-notify-event", G_CALLBACK(OnEnter), hwnd);
    g_signal_connect(mouse, "leave-notify-event", G_CALLBACK(OnLeave), hwnd);
    g_signal_connect(mouse, "button-press-event", G_CALLBACK(OnButton), hwnd);
    g_signal_connect(mouse, "button-release-event", G_CALLBACK(OnButton), hwnd);
    g_signal_connect(widget, "draw", G_CALLBACK(OnControlDraw), hwnd);
}

LRESULT CopyText(const std::string& text, WPARAM size, LPARAM buffer) {
    if (size == 0 || !buffer) return 0;
    auto* out = reinterpret_cast<char*>(buffer);
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

LRESULT ComboProc(WindowObject* w, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    auto* combo = GTK_COMBO_BOX_TEXT(w->widget);
    int count = static_cast<int>(w->items.size());
    *handled = true;
    switch (msg) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
        const char* text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        int index = msg == CB_ADDSTRING ? count : static_cast<int>(wParam);
        if (index < 0 || index > count) index = count;
        ++w->codeChange;
        gtk_combo_box_text_insert_text(combo, index, text);
        --w->codeChange;
        w->items.insert(w->items.begin() + index, ComboItem{text, 0});
        return index;
    }
    case CB_DELETESTRING: {
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= count) return CB_ERR;
        ++w->codeChange;
        gtk_combo_box_text_remove(combo, index);
        --w->codeChange;
        w->items.erase(w->items.begin() + index);
        return count - 1;
    }
    case CB_RESETCONTENT:
        ++w->codeChange;
        gtk_combo_box_text_remove_all(combo);
        --w->codeChange;
        w->items.clear();
        return 0;
    case CB_GETCOUNT:
        return count;
    case CB_GETCURSEL:
        return gtk_combo_box_get_active(GTK_COMBO_BOX(combo));
    case CB_SETCURSEL: {
        int index = static_cast<int>(static_cast<intptr_t>(wParam));
        bool valid = index >= 0 && index < count;
        ++w->codeChange;
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), valid ? index : -1);
        --w->codeChange;
        return valid ? index : CB_ERR;
    }
    case CB_GETITEMDATA: {
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= count) return CB_ERR;
        return static_cast<LRESULT>(w->items[static_cast<size_t>(index)].data);
    }
    case CB_SETITEMDATA: {
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= count) return CB_ERR;
        w->items[static_cast<size_t>(index)].data = static_cast<uintptr_t>(lParam);
        return 0;
    }
    case CB_GETLBTEXTLEN:
    case CB_GETLBTEXT: {
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= count) return CB_ERR;
        const std::string& text = w->items[static_cast<size_t>(index)].text;
        if (msg == CB_GETLBTEXTLEN) return static_cast<LRESULT>(text.size());
        if (!lParam) return CB_ERR;
        memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
        return static_cast<LRESULT>(text.size());
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        int sel = gtk_combo_box_get_active(GTK_COMBO_BOX(combo));
        std::string text = sel >= 0 && sel < count ? w->items[static_cast<size_t>(sel)].text : "";
        return msg == WM_GETTEXT ? CopyText(text, wParam, lParam) : static_cast<LRESULT>(text.size());
    }
    default:
        *handled = false;
        return 0;
    }
}

LRESULT TrackbarProc(WindowObject* w, UINT msg, WPARAM, LPARAM lParam, bool* handled) {
    GtkRange* range = GTK_RANGE(w->widget);
    *handled = true;
    auto apply = [&]() {
        ++w->codeChange;
        double value = gtk_range_get_value(range);
        gtk_range_set_range(range, w->trackMin, std::max(w->trackMax, w->trackMin + 1));
        gtk_range_set_increments(range, 1, std::max(1, (w->trackMax - w->trackMin) / 5));
        gtk_range_set_value(range, std::clamp(value, static_cast<double>(w->trackMin), static_cast<double>(w->trackMax)));
        --w->codeChange;
    };
    switch (msg) {
    case TBM_SETRANGE:
        w->trackMin = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
        w->trackMax = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)));
        apply();
        return 0;
    case TBM_SETRANGEMIN:
        w->trackMin = static_cast<int>(lParam);
        apply();
        return 0;
    case TBM_SETRANGEMAX:
        w->trackMax = static_cast<int>(lParam);
        apply();
        return 0;
    case TBM_GETRANGEMIN:
        return w->trackMin;
    case TBM_GETRANGEMAX:
        return w->trackMax;
    case TBM_SETPOS:
        ++w->codeChange;
        gtk_range_set_value(range, std::clamp(static_cast<int>(lParam), w->trackMin, w->trackMax));
        --w->codeChange;
        return 0;
    case TBM_GETPOS:
        return static_cast<LRESULT>(gtk_range_get_value(range) + 0.5);
    default:
        *handled = false;
        return 0;
    }
}

LRESULT ButtonProc(WindowObject* w, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    *handled = true;
    switch (msg) {
    case BM_GETCHECK:
        return IsCheckBox(w) && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w->widget)) ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        if (IsCheckBox(w)) {
            ++w->codeChange;
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w->widget), wParam == BST_CHECKED);
            --w->codeChange;
        }
        return 0;
    case BM_GETSTATE: {
        LRESULT state = 0;
        if (gtk_widget_get_state_flags(w->widget) & GTK_STATE_FLAG_ACTIVE) state |= BST_PUSHED;
        if (gtk_widget_has_focus(w->widget)) state |= BST_FOCUS;
        return state;
    }
    case BM_SETSTYLE:
        w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFF);
        w->ownerDrawn = (w->style & BS_TYPEMASK) == BS_OWNERDRAW || w->ownerDrawn;
        if (lParam) gtk_widget_queue_draw(w->widget);
        return 0;
    case BM_CLICK:
        // A click from the program presses the button as the user would.
        gtk_button_clicked(GTK_BUTTON(w->widget));
        return 0;
    case WM_GETDLGCODE:
        switch (w->style & BS_TYPEMASK) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        default: return DLGC_BUTTON;  // check boxes; owner-drawn buttons answer for themselves
        }
    default:
        *handled = false;
        return 0;
    }
}

LRESULT EditProc(WindowObject* w, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    *handled = true;
    switch (msg) {
    case WM_GETTEXT:
        return CopyText(gtk_entry_get_text(GTK_ENTRY(w->widget)), wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(strlen(gtk_entry_get_text(GTK_ENTRY(w->widget))));
    case EM_LIMITTEXT:
        gtk_entry_set_max_length(GTK_ENTRY(w->widget), static_cast<gint>(wParam));
        return 0;
    case EM_SETSEL:
        gtk_editable_select_region(GTK_EDITABLE(w->widget), static_cast<gint>(wParam), static_cast<gint>(lParam));
        return 0;
    default:
        *handled = false;
        return 0;
    }
}

}  // namespace

GtkWidget* CreateControlWidget(WindowObject* w) {
    HWND hwnd = ToHandle(w);
    GtkWidget* widget = nullptr;
    const std::string& cls = w->className;
    if (cls == "Button") {
        if (IsCheckBox(w)) {
            widget = gtk_check_button_new_with_label(w->text.c_str());
            g_signal_connect(widget, "toggled", G_CALLBACK(+[](GtkToggleButton* b, gpointer data) {
                OnClicked(GTK_BUTTON(b), data);
            }), hwnd);
        } else {
            widget = gtk_button_new_with_label(w->text.c_str());
            g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), hwnd);
        }
        w->kind = WindowKind::Button;
        w->ownerDrawn = (w->style & BS_TYPEMASK) == BS_OWNERDRAW;
    } else if (cls == "Edit") {
        widget = gtk_entry_new();
        gtk_entry_set_text(GTK_ENTRY(widget), w->text.c_str());
        gtk_entry_set_has_frame(GTK_ENTRY(widget), (w->style & WS_BORDER) != 0);
        g_signal_connect(widget, "changed", G_CALLBACK(OnEditChanged), hwnd);
        w->kind = WindowKind::Edit;
    } else if (cls == "ComboBox") {
        widget = gtk_combo_box_text_new();
        // An empty list still takes the focus and opens, as a drop-down list does.
        gtk_combo_box_set_button_sensitivity(GTK_COMBO_BOX(widget), GTK_SENSITIVITY_ON);
        g_signal_connect(widget, "changed", G_CALLBACK(OnComboChanged), hwnd);
        w->kind = WindowKind::ComboBox;
    } else if (cls == "msctls_trackbar32") {
        widget = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 100, 1);
        gtk_scale_set_draw_value(GTK_SCALE(widget), FALSE);
        w->trackMin = 0;
        w->trackMax = 100;
        w->kind = WindowKind::Trackbar;
    } else {
        // Statics, and any class this layer does not know, show their text.
        if ((w->style & SS_TYPEMASK) == SS_ICON) {
            widget = gtk_image_new();
        } else {
            widget = gtk_label_new(w->text.c_str());
            DWORD align = w->style & 0x3;
            gtk_label_set_xalign(GTK_LABEL(widget), align == SS_CENTER ? 0.5f : align == SS_RIGHT ? 1.0f : 0.0f);
            gtk_label_set_yalign(GTK_LABEL(widget), (w->style & SS_CENTERIMAGE) ? 0.5f : 0.0f);
            gtk_label_set_line_wrap(GTK_LABEL(widget), TRUE);
            // Breaking inside a long word keeps the label at its template size.
            gtk_label_set_line_wrap_mode(GTK_LABEL(widget), PANGO_WRAP_WORD_CHAR);
            gtk_label_set_justify(GTK_LABEL(widget), align == SS_CENTER ? GTK_JUSTIFY_CENTER
                                                     : align == SS_RIGHT ? GTK_JUSTIFY_RIGHT
                                                                         : GTK_JUSTIFY_LEFT);
            if (w->style & SS_SUNKEN) {
                gtk_widget_set_margin_start(widget, 0);
                gtk_style_context_add_class(gtk_widget_get_style_context(widget), "sunken");
                g_signal_connect(widget, "draw", G_CALLBACK(OnSunkenDraw), hwnd);
            }
        }
        w->kind = WindowKind::Static;
    }
    g_object_set_data(G_OBJECT(widget), "sonovert-hwnd", hwnd);
    GtkWidget* mouse = widget;
    if (w->kind == WindowKind::Static) {
        // A label has no window of its own to take the pointer: an invisible box does.
        w->outer = gtk_event_box_new();
        gtk_event_box_set_visible_window(GTK_EVENT_BOX(w->outer), FALSE);
        gtk_container_add(GTK_CONTAINER(w->outer), widget);
        mouse = w->outer;
    }
    ConnectCommonEvents(widget, mouse, hwnd);
    if (w->kind == WindowKind::ComboBox) {
        // The list's own button takes the focus; the list itself is no stop of its own.
        gtk_widget_set_can_focus(ComboButton(widget), (w->style & WS_TABSTOP) != 0);
    } else {
        gtk_widget_set_can_focus(widget, (w->style & WS_TABSTOP) != 0);
    }
    return widget;
}

LRESULT ControlDefaultProc(WindowObject* w, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    *handled = false;
    switch (w->kind) {
    case WindowKind::ComboBox: return ComboProc(w, msg, wParam, lParam, handled);
    case WindowKind::Trackbar: return TrackbarProc(w, msg, wParam, lParam, handled);
    case WindowKind::Button: return ButtonProc(w, msg, wParam, lParam, handled);
    case WindowKind::Edit: return EditProc(w, msg, wParam, lParam, handled);
    case WindowKind::Static:
        if (msg == STM_SETICON && GTK_IS_IMAGE(w->widget)) {
            *handled = true;
            GdkPixbuf* p = IconPixbuf(reinterpret_cast<HICON>(wParam), 32);
            gtk_image_set_from_pixbuf(GTK_IMAGE(w->widget), p);
            return 0;
        }
        return 0;
    case WindowKind::TopLevel:
    case WindowKind::Tooltip: return 0;
    }
    return 0;
}

}  // namespace platform

HCURSOR SetCursor(HCURSOR cursor) {
    using namespace platform;
    HCURSOR previous = g_cursor;
    g_cursor = cursor;
    if (!g_cursorTarget) return previous;
    // One toolkit cursor for the last shape asked for; the pointer asks on every move.
    static HCURSOR cachedHandle = nullptr;
    static GdkPixbuf* cachedPicture = nullptr;
    static GdkCursor* cached = nullptr;
    POINT hot;
    GdkPixbuf* picture = cursor ? CursorPixbuf(cursor, &hot) : nullptr;
    GdkCursor* shape = nullptr;
    if (picture) {
        if (cursor != cachedHandle || picture != cachedPicture || !cached) {
            if (cached) g_object_unref(cached);
            cached = gdk_cursor_new_from_pixbuf(gdk_window_get_display(g_cursorTarget), picture, hot.x, hot.y);
            cachedHandle = cursor;
            cachedPicture = picture;
        }
        shape = cached;
    }
    if (gdk_window_get_cursor(g_cursorTarget) != shape) gdk_window_set_cursor(g_cursorTarget, shape);
    return previous;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
    if (!track) return FALSE;
    platform::WindowObject* w = platform::FromHandle(track->hwndTrack);
    if (!w) return FALSE;
    if (track->dwFlags & TME_LEAVE) w->trackLeave = !(track->dwFlags & TME_CANCEL);
    return TRUE;
}

DWORD GetMessagePos() {
    GdkDisplay* display = gdk_display_get_default();
    int x = 0, y = 0;
    if (display) gdk_device_get_position(gdk_seat_get_pointer(gdk_display_get_default_seat(display)), nullptr, &x, &y);
    return static_cast<DWORD>(MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void platform::FitLabelWidth(WindowObject* w, int width) {
    if (!w || !GTK_IS_LABEL(w->widget)) return;
    // A wrapping label wants as many characters per line as its place holds, no more:
    // a long text then makes neither it nor its dialog wider than the template says.
    PangoFontMetrics* metrics = pango_context_get_metrics(gtk_widget_get_pango_context(w->widget), nullptr, nullptr);
    int charWidth = std::max(1, pango_font_metrics_get_approximate_char_width(metrics) / PANGO_SCALE);
    pango_font_metrics_unref(metrics);
    gtk_label_set_max_width_chars(GTK_LABEL(w->widget), std::max(1, width / charWidth));
}

void platform::ApplyStaticLook(WindowObject* w) {
    if (!w || !GTK_IS_LABEL(w->widget)) return;
    PangoAttrList* attrs = pango_attr_list_new();
    std::string description;
    bool underline = false;
    if (FontLook(w->font, &description, &underline)) {
        PangoFontDescription* desc = pango_font_description_from_string(description.c_str());
        pango_attr_list_insert(attrs, pango_attr_font_desc_new(desc));
        pango_font_description_free(desc);
        if (underline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    }
    if (w->textColor != 0xFFFFFFFF) {
        pango_attr_list_insert(attrs, pango_attr_foreground_new(static_cast<guint16>(GetRValue(w->textColor) * 257),
                                                                static_cast<guint16>(GetGValue(w->textColor) * 257),
                                                                static_cast<guint16>(GetBValue(w->textColor) * 257)));
    }
    gtk_label_set_attributes(GTK_LABEL(w->widget), attrs);
    pango_attr_list_unref(attrs);
}

void SetOwnerPainted(HWND hwnd, BOOL painted) {
    if (platform::WindowObject* w = platform::FromHandle(hwnd)) {
        w->ownerDrawn = painted != FALSE;
        gtk_widget_queue_draw(w->widget);
    }
}
