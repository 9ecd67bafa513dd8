#include <gtk/gtk.h>

#include <cmath>

#include "platform/DialogManager.h"
#include "platform/Gdi.h"
#include "platform/MessageLoop.h"
#include "platform/Resources.h"
#include "platform/User.h"
#include "platform/WindowObject.h"

namespace platform {

void PopupSystemMenu(HWND hwnd);  // User.cpp

namespace {

// Dialog controls keep the sizes the template gives them, so the toolkit's minimum
// sizes (meant for touch-friendly layouts) must not grow them.
const char* kDialogCss =
    ".sonovert-dialog { font: 8pt Sans; }\n"
    ".sonovert-dialog button { min-height: 0; min-width: 0; padding: 0 2px; }\n"
    ".sonovert-dialog entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    ".sonovert-dialog combobox button { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    ".sonovert-dialog scale { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    ".sonovert-dialog label.sunken { padding: 1px 2px; }\n"
    ".sonovert-dialog checkbutton { min-height: 0; padding: 0; }\n";

void InstallCss() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kDialogCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

// Dialog base units as the dialog manager derives them from the dialog font: the average
// width of the 52 Latin letters and the font's line height.
void ComputeBaseUnits(WindowObject* w, const char* face, int points) {
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoContext* context = pango_font_map_create_context(map);
    pango_cairo_context_set_resolution(context, 96.0);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, face && *face ? face : "Sans");
    pango_font_description_set_size(desc, (points > 0 ? points : 8) * PANGO_SCALE);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, desc);
    pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    w->baseUnitX = (width / 26 + 1) / 2;
    w->baseUnitY = height;
    g_object_unref(layout);
    pango_font_description_free(desc);
    g_object_unref(context);
}


gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    SendMessage(static_cast<HWND>(data), WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;  // the window goes only when the program destroys it
}

int DefaultButtonId(WindowObject* d) {
    for (HWND child : d->children) {
        WindowObject* c = FromHandle(child);
        // Asked, not read from the style: an owner-drawn button says itself whether it is the default.
        if (c && c->kind == WindowKind::Button && (SendMessage(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) return c->id;
    }
    return IDOK;
}

gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer data) {
    HWND hwnd = static_cast<HWND>(data);
    WindowObject* d = FromHandle(hwnd);
    if (!d) return FALSE;
    guint mods = e->state & gtk_accelerator_get_default_mod_mask();
    switch (e->keyval) {
    case GDK_KEY_Escape:
        if (mods) return FALSE;
        SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
        return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: {
        if (mods) return FALSE;
        WindowObject* focus = FromHandle(GetFocus());
        if (focus && focus->parent == hwnd && focus->kind == WindowKind::Button &&
            (focus->style & BS_TYPEMASK) != BS_AUTOCHECKBOX)
            return FALSE;  // the focused push button takes Enter itself
        int id = DefaultButtonId(d);
        HWND button = GetDlgItem(hwnd, id);
        if (button && !IsWindowEnabled(button)) {
            MessageBeep(0);
            return TRUE;
        }
        SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), reinterpret_cast<LPARAM>(button));
        return TRUE;
    }
    case GDK_KEY_space:
        if (mods != GDK_MOD1_MASK) return FALSE;
        PopupSystemMenu(hwnd);
        return TRUE;
    case GDK_KEY_F4:
        if (mods != GDK_MOD1_MASK) return FALSE;
        SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

gboolean OnFocusChange(GtkWidget*, GdkEventFocus* e, gpointer data) {
    SendMessage(static_cast<HWND>(data), WM_ACTIVATE, e->in ? WA_ACTIVE : WA_INACTIVE, 0);
    return FALSE;
}

void SetFocusChain(WindowObject* d) {
    GList* chain = nullptr;
    for (HWND child : d->children)
        if (WindowObject* c = FromHandle(child)) chain = g_list_append(chain, c->widget);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(d->client), chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(chain);
}

HWND CreateChild(HWND dialog, const DialogControl& c) {
    WindowObject* d = FromHandle(dialog);
    WindowObject* w = NewWindowObject();
    HWND hwnd = ToHandle(w);
    w->className = c.className;
    int iconId = (c.style & SS_TYPEMASK) == SS_ICON ? ResourceId(c.text) : -1;
    w->text = c.text && iconId < 0 ? c.text : "";
    w->style = c.style | WS_CHILD | WS_VISIBLE;
    w->id = c.id;
    w->parent = dialog;
    w->proc = DefWindowProc;
    w->rect.left = DialogUnitsX(dialog, c.x);
    w->rect.top = DialogUnitsY(dialog, c.y);
    w->rect.right = w->rect.left + DialogUnitsX(dialog, c.cx);
    int height = DialogUnitsY(dialog, c.cy);
    w->widget = CreateControlWidget(w);
    if (w->kind == WindowKind::ComboBox) {
        // A drop-down list's template height includes its open list; closed it is one line.
        height = d->baseUnitY + 8;
    }
    w->rect.bottom = w->rect.top + height;
    if (w->kind == WindowKind::Button) {
        gtk_button_set_use_underline(GTK_BUTTON(w->widget), TRUE);
        SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w->text.c_str()));
    }
    AtkObject* accessible = gtk_widget_get_accessible(w->widget);
    if (c.accessibleName)
        atk_object_set_name(accessible, c.accessibleName);
    else if (!w->text.empty())
        atk_object_set_name(accessible, WithoutMnemonic(w->text).c_str());
    if (iconId >= 0) {
        w->ownedIcon = LoadIcon(nullptr, MAKEINTRESOURCE(iconId));
        SendMessage(hwnd, STM_SETICON, reinterpret_cast<WPARAM>(w->ownedIcon), 0);
    }
    gtk_widget_set_size_request(w->widget, w->rect.right - w->rect.left, height);
    FitLabelWidth(w, w->rect.right - w->rect.left);
    gtk_fixed_put(GTK_FIXED(d->client), Placed(w), w->rect.left, w->rect.top);
    gtk_widget_show(w->widget);
    gtk_widget_show(Placed(w));
    d->children.push_back(hwnd);
    return hwnd;
}

}  // namespace

HWND CreateDialogFromTemplate(int templateId, HWND owner, const std::function<void(HWND)>& attach) {
    const DialogTemplate* t = FindDialogTemplate(templateId);
    if (!t) return nullptr;
    InstallCss();
    WindowObject* d = NewWindowObject();
    HWND hwnd = ToHandle(d);
    d->kind = WindowKind::TopLevel;
    d->className = "#32770";
    d->proc = DefDlgProc;
    d->style = t->style & ~WS_VISIBLE;  // shown once initialised
    d->exStyle = t->exStyle;
    d->text = t->caption ? t->caption : "";
    d->owner = owner;
    d->id = t->id;
    ComputeBaseUnits(d, t->fontFace, t->fontPoints);

    d->widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_set_data(G_OBJECT(d->widget), "sonovert-hwnd", hwnd);
    GtkWindow* window = GTK_WINDOW(d->widget);
    gtk_window_set_title(window, d->text.c_str());
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_style_context_add_class(gtk_widget_get_style_context(d->widget), "sonovert-dialog");
    if (!(t->exStyle & WS_EX_APPWINDOW)) gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    if (WindowObject* o = FromHandle(owner)) {
        if (o->kind == WindowKind::TopLevel) gtk_window_set_transient_for(window, GTK_WINDOW(o->widget));
    }
    d->client = gtk_fixed_new();
    gtk_widget_set_has_window(d->client, FALSE);
    gtk_widget_set_size_request(d->client, DialogUnitsX(hwnd, t->cx), DialogUnitsY(hwnd, t->cy));
    gtk_container_add(GTK_CONTAINER(d->widget), d->client);
    gtk_widget_show(d->client);
    gtk_widget_set_app_paintable(d->client, TRUE);
    g_signal_connect(d->client, "draw", G_CALLBACK(PaintClientArea), hwnd);
    g_signal_connect(d->widget, "delete-event", G_CALLBACK(OnDelete), hwnd);
    g_signal_connect(d->widget, "key-press-event", G_CALLBACK(OnKey), hwnd);
    g_signal_connect(d->widget, "focus-in-event", G_CALLBACK(OnFocusChange), hwnd);
    g_signal_connect(d->widget, "focus-out-event", G_CALLBACK(OnFocusChange), hwnd);

    if (attach) attach(hwnd);
    for (const DialogControl& c : t->controls) CreateChild(hwnd, c);
    SetFocusChain(d);
    return hwnd;
}

INT_PTR RunDialogModal(HWND dialog) {
    WindowObject* d = FromHandle(dialog);
    if (!d) return -1;
    HFONT font = reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessage(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (HWND child : d->children) SendMessage(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    LRESULT setFocus = SendMessage(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), 0);
    d = FromHandle(dialog);
    if (!d) return -1;
    if (!d->modalEnded && !QuitRequested()) {
        d->style |= WS_VISIBLE;
        if (d->owner) gtk_window_set_modal(GTK_WINDOW(d->widget), TRUE);
        gtk_widget_show(d->widget);
        gtk_window_present(GTK_WINDOW(d->widget));
        if (setFocus) {
            // The first enabled tab stop, found after the dialog's own start-up.
            if (HWND target = GetNextDlgTabItem(dialog, nullptr, FALSE)) SetFocus(target);
        }
    }
    bool ended = RunModalLoop([dialog]() {
        WindowObject* w = FromHandle(dialog);
        return !w || w->modalEnded;
    });
    d = FromHandle(dialog);
    if (!ended || !d) return -1;
    return d->modalResult;
}

bool DialogEnded(HWND dialog) {
    WindowObject* d = FromHandle(dialog);
    return !d || d->modalEnded;
}

LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE:
        SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
        return 0;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

}  // namespace platform

BOOL EndDialog(HWND dialog, INT_PTR result) {
    platform::WindowObject* d = platform::FromHandle(dialog);
    if (!d) return FALSE;
    d->modalResult = static_cast<int>(result);
    d->modalEnded = true;
    gtk_widget_hide(d->widget);
    g_main_context_wakeup(nullptr);
    return TRUE;
}
