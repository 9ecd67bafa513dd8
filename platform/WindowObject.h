#pragma once
// The window behind an HWND: what the layer keeps for each window and control.
// Internal to platform/: the program's code only ever sees the HWND.

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace platform {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

enum class WindowKind { TopLevel, Button, Edit, Static, ComboBox, Trackbar, Tooltip };

struct ComboItem {
    std::string text;
    uintptr_t data = 0;
};

struct WindowObject {
    WindowKind kind = WindowKind::TopLevel;
    std::string className;
    WNDPROC proc = nullptr;       // current procedure; subclassing replaces it
    void* cwnd = nullptr;         // the framework object attached to this window, if any
    HWND parent = nullptr;        // child controls: the dialog; top-level windows: null
    HWND owner = nullptr;         // top-level windows: the owner window
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    intptr_t userData = 0;
    std::string text;
    HFONT font = nullptr;
    HBRUSH background = nullptr;  // program classes: the class's background brush
    HICON iconBig = nullptr;
    HICON iconSmall = nullptr;
    HICON ownedIcon = nullptr;    // icon statics of templates: the icon they loaded, freed with them

    GtkWidget* widget = nullptr;  // the widget placed in the parent, or the GtkWindow itself
    GtkWidget* client = nullptr;  // top-level windows: the fixed container of the client area
    GtkWidget* outer = nullptr;   // statics: the box around the label that takes the mouse
    COLORREF textColor = 0xFFFFFFFF;  // statics: the colour the parent chose, or none
    RECT rect;                    // children: window rectangle in the parent's client coordinates
    SurfacePtr backing;           // the client pixels our own painting produced last
    HDC paintDc = nullptr;        // the DC of the paint in progress, handed out by BeginPaint
    std::vector<HWND> children;   // in template (tab) order
    bool destroyed = false;
    bool ownerDrawn = false;      // painted by the program (owner-draw or a WM_PAINT handler)
    bool topmost = false;         // kept above other windows
    bool trackLeave = false;      // TrackMouseEvent asked for one WM_MOUSELEAVE
    int codeChange = 0;           // > 0 while the program, not the user, changes the control

    // Control data.
    std::vector<ComboItem> items;
    int trackMin = 0;
    int trackMax = 100;

    // Top-level windows: the system menu.
    HMENU systemMenu = nullptr;
    int baseUnitX = 6;            // dialog base units of the dialog font, in pixels
    int baseUnitY = 13;
    int modalResult = 0;
    bool modalEnded = false;
};

WindowObject* FromHandle(HWND hwnd);  // null when the handle is not a live window
// The widget a child control is placed, moved and shown by in its parent.
inline GtkWidget* Placed(WindowObject* w) { return w->outer ? w->outer : w->widget; }
// Keeps a static's label from wanting more width than `width` pixels.
void FitLabelWidth(WindowObject* w, int width);
// Applies a static's font and the text colour its parent chose to its label.
void ApplyStaticLook(WindowObject* w);
inline HWND ToHandle(WindowObject* w) { return reinterpret_cast<HWND>(w); }

// Creates the bookkeeping for a new window; the caller builds its widgets.
WindowObject* NewWindowObject();
// Frees the bookkeeping once the window is gone; later look-ups of the handle fail.
void DeleteWindowObject(WindowObject* w);
// All live windows, in creation order.
std::vector<HWND> AllWindows();

// Converts dialog units of a window's dialog font into pixels.
int DialogUnitsX(HWND dialog, int units);
int DialogUnitsY(HWND dialog, int units);

// The control kinds' own procedures (what a control does when nobody overrides a message).
LRESULT ControlDefaultProc(WindowObject* w, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);
// Builds the widget of a child control from its class name.
GtkWidget* CreateControlWidget(WindowObject* w);
// A DC drawing on `surface` for `window` (null for memory DCs); DeleteDC ends it.
HDC CreateDcOnSurface(cairo_surface_t* surface, HWND window);
// The image a DC draws on (the selected bitmap of a memory DC), or null.
cairo_surface_t* DcSurface(HDC hdc);
// The cairo image of a bitmap handle, or null.
cairo_surface_t* BitmapSurface(HBITMAP bitmap);
// The picture of an icon handle, or null.
GdkPixbuf* IconPixbuf(HICON icon, int preferredSize);
// A font's pango description and underline; false for what is not a font.
bool FontLook(HFONT font, std::string* description, bool* underline);
// The picture of a cursor handle and its hot spot, or null.
GdkPixbuf* CursorPixbuf(HCURSOR cursor, POINT* hotSpot);

// A window text as it is read out: the '&' mnemonic marks taken away.
std::string WithoutMnemonic(const std::string& text);

// The button inside a drop-down list that takes the keyboard focus.
GtkWidget* ComboButton(GtkWidget* combo);

// The "draw" handler of a top-level window's client area: WM_ERASEBKGND, then WM_PAINT,
// into the window's client image, which is then shown; the controls draw on top.
gboolean PaintClientArea(GtkWidget* client, cairo_t* cr, gpointer hwnd);

// Keeps the client backing image at the client area's size; returns it.
cairo_surface_t* EnsureBacking(WindowObject* w, int width, int height);

}  // namespace platform
