#include "platform/Tooltip.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/User.h"
#include "platform/WindowObject.h"

namespace platform {
namespace {

struct Tool {
    HWND window = nullptr;
    UINT_PTR id = 0;
    RECT rect;
    std::string text;
};

struct TooltipState {
    std::vector<Tool> tools;
    bool active = true;
    int maxWidth = -1;  // pixels; -1: no wrapping width of its own
};

std::map<HWND, TooltipState>& Tooltips() {
    static std::map<HWND, TooltipState> tooltips;
    return tooltips;
}

// The toolkit asks a tool's window what to show while the pointer rests at (x, y).
gboolean OnQueryTooltip(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip* tip, gpointer data) {
    HWND window = static_cast<HWND>(data);
    for (auto& [tooltip, state] : Tooltips()) {
        if (!state.active) continue;
        for (const Tool& tool : state.tools) {
            if (tool.window != window || tool.text.empty()) continue;
            if (!keyboard && (x < tool.rect.left || x >= tool.rect.right || y < tool.rect.top || y >= tool.rect.bottom))
                continue;
            GtkWidget* label = gtk_label_new(tool.text.c_str());
            gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
            if (state.maxWidth > 0) {
                // The widest line the tip may have, in characters of the tip's font.
                PangoContext* context = gtk_widget_get_pango_context(label);
                PangoFontMetrics* metrics = pango_context_get_metrics(context, nullptr, nullptr);
                int charWidth = std::max(1, pango_font_metrics_get_approximate_char_width(metrics) / PANGO_SCALE);
                pango_font_metrics_unref(metrics);
                gtk_label_set_max_width_chars(GTK_LABEL(label), std::max(1, state.maxWidth / charWidth));
            }
            gtk_widget_show(label);
            gtk_tooltip_set_custom(tip, label);
            return TRUE;
        }
    }
    return FALSE;
}

void Watch(HWND window) {
    WindowObject* w = FromHandle(window);
    if (!w || !w->widget || g_object_get_data(G_OBJECT(w->widget), "sonovert-tool")) return;
    g_object_set_data(G_OBJECT(w->widget), "sonovert-tool", window);
    gtk_widget_set_has_tooltip(w->widget, TRUE);
    g_signal_connect(w->widget, "query-tooltip", G_CALLBACK(OnQueryTooltip), window);
}

Tool* Find(TooltipState& state, const TOOLINFO* info) {
    if (!info) return nullptr;
    for (Tool& tool : state.tools)
        if (tool.window == info->hwnd && tool.id == info->uId) return &tool;
    return nullptr;
}

// The shown tip follows a change at once, as the tooltip control redraws itself.
void Refresh(const TooltipState& state) {
    for (const Tool& tool : state.tools)
        if (WindowObject* w = FromHandle(tool.window); w && w->widget) gtk_widget_trigger_tooltip_query(w->widget);
}

LRESULT TooltipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = Tooltips().find(hwnd);
    if (it == Tooltips().end()) return DefWindowProc(hwnd, msg, wParam, lParam);
    TooltipState& state = it->second;
    auto* info = reinterpret_cast<TOOLINFO*>(lParam);
    switch (msg) {
    case TTM_ADDTOOL: {
        if (!info || !IsWindow(info->hwnd)) return FALSE;
        Tool tool;
        tool.window = info->hwnd;
        tool.id = info->uId;
        tool.rect = info->rect;
        tool.text = info->lpszText ? info->lpszText : "";
        if (Tool* existing = Find(state, info))
            *existing = tool;
        else
            state.tools.push_back(tool);
        Watch(info->hwnd);
        return TRUE;
    }
    case TTM_UPDATETIPTEXT:
        if (Tool* tool = Find(state, info)) {
            tool->text = info->lpszText ? info->lpszText : "";
            Refresh(state);
        }
        return 0;
    case TTM_ACTIVATE:
        state.active = wParam != 0;
        Refresh(state);
        return 0;
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(state.tools.size());
    case TTM_SETMAXTIPWIDTH: {
        int previous = state.maxWidth;
        state.maxWidth = static_cast<int>(lParam);
        return previous;
    }
    case TTM_RELAYEVENT:
        return 0;
    case WM_NCDESTROY:
        Tooltips().erase(it);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

HWND CreateTooltipWindow(HWND owner, DWORD style) {
    WindowObject* w = NewWindowObject();
    HWND hwnd = ToHandle(w);
    w->kind = WindowKind::Tooltip;
    w->className = TOOLTIPS_CLASS;
    w->style = style & ~WS_VISIBLE;
    w->owner = owner;
    w->proc = TooltipProc;
    Tooltips()[hwnd] = TooltipState{};
    return hwnd;
}

}  // namespace platform
