#include "platform/Gdi.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "platform/Resources.h"
#include "platform/User.h"
#include "platform/WindowObject.h"

namespace platform {
namespace {

enum class GdiType { Bitmap, Brush, Pen, Font, Region };

struct GdiObject {
    explicit GdiObject(GdiType t) : type(t) {}
    GdiType type;
    bool stock = false;
    SurfacePtr surface;         // bitmaps
    COLORREF color = 0;         // brushes and pens
    bool nullBrush = false;
    int penStyle = PS_SOLID;
    int penWidth = 0;
    std::string font;           // pango description
    bool underline = false;     // fonts
    RECT region;                // rectangular regions
};

struct RegionDeleter {
    void operator()(cairo_region_t* r) const { cairo_region_destroy(r); }
};
using RegionPtr = std::unique_ptr<cairo_region_t, RegionDeleter>;

struct DcObject {
    SurfacePtr target;          // the window's client image, or null for a memory DC
    HWND window = nullptr;
    HGDIOBJ bitmap = nullptr;   // memory DCs: the selected bitmap
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    POINT position;
    RegionPtr clip;             // null: no clipping region
};

struct IconObject {
    GdkPixbuf* big = nullptr;
    GdkPixbuf* small = nullptr;
    bool cursor = false;
    POINT hotSpot;  // cursors only; an icon's hot spot is its centre
    ~IconObject() {
        if (big) g_object_unref(big);
        if (small) g_object_unref(small);
    }
};

std::set<void*>& Live() {
    static std::set<void*> live;
    return live;
}

template <class T, class H>
T* Checked(H handle) {
    void* p = reinterpret_cast<void*>(handle);
    return Live().count(p) ? static_cast<T*>(p) : nullptr;
}

GdiObject* Gdi(HGDIOBJ h) { return Checked<GdiObject>(h); }
DcObject* Dc(HDC h) { return Checked<DcObject>(h); }

HGDIOBJ NewGdi(GdiObject* o) {
    Live().insert(o);
    return reinterpret_cast<HGDIOBJ>(o);
}

HGDIOBJ Stock(int index) {
    static HGDIOBJ objects[32] = {};
    if (index < 0 || index >= 32) return nullptr;
    if (!objects[index]) {
        auto* o = new GdiObject(GdiType::Brush);
        o->stock = true;
        switch (index) {
        case WHITE_BRUSH: o->color = RGB(255, 255, 255); break;
        case BLACK_BRUSH: o->color = RGB(0, 0, 0); break;
        case NULL_BRUSH: o->nullBrush = true; break;
        case WHITE_PEN: o->type = GdiType::Pen; o->color = RGB(255, 255, 255); break;
        case BLACK_PEN: o->type = GdiType::Pen; o->color = RGB(0, 0, 0); break;
        case DEFAULT_GUI_FONT:
        case ANSI_VAR_FONT: o->type = GdiType::Font; o->font = "Sans 8"; break;
        default: break;
        }
        objects[index] = NewGdi(o);
    }
    return objects[index];
}

cairo_surface_t* Surface(DcObject* dc) {
    if (dc->target) return dc->target.get();
    GdiObject* b = Gdi(dc->bitmap);
    return b && b->surface ? b->surface.get() : nullptr;
}

// A cairo context on the DC's image, clipped to its clipping region; null without an image.
cairo_t* Begin(DcObject* dc) {
    cairo_surface_t* s = Surface(dc);
    if (!s) return nullptr;
    cairo_t* cr = cairo_create(s);
    if (dc->clip) {
        int n = cairo_region_num_rectangles(dc->clip.get());
        for (int i = 0; i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(dc->clip.get(), i, &r);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_clip(cr);
    }
    return cr;
}

void SetColor(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

cairo_region_t* ClipOrFull(DcObject* dc) {
    if (!dc->clip) {
        cairo_surface_t* s = Surface(dc);
        cairo_rectangle_int_t all = {0, 0, s ? cairo_image_surface_get_width(s) : 0x7FFF,
                                     s ? cairo_image_surface_get_height(s) : 0x7FFF};
        dc->clip.reset(cairo_region_create_rectangle(&all));
    }
    return dc->clip.get();
}

int RegionKind(cairo_region_t* r) {
    if (cairo_region_is_empty(r)) return NULLREGION;
    return cairo_region_num_rectangles(r) == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// The font a DC draws with: the one selected into it, else its window's; null for neither.
GdiObject* FontObjectOf(DcObject* dc) {
    if (GdiObject* f = Gdi(dc->font)) return f;
    if (WindowObject* w = FromHandle(dc->window)) return Gdi(reinterpret_cast<HGDIOBJ>(w->font));
    return nullptr;
}

// `prefix`: "&x" underlines x and "&&" stands for one '&', as in a button's caption.
PangoLayout* MakeLayout(cairo_t* cr, DcObject* dc, const char* text, int length, bool prefix = false) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    GdiObject* font = FontObjectOf(dc);
    PangoFontDescription* desc = pango_font_description_from_string(font ? font->font.c_str() : "Sans 8");
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    std::string s = length < 0 ? std::string(text ? text : "") : std::string(text ? text : "", static_cast<size_t>(length));
    PangoAttrList* attrs = pango_attr_list_new();
    if (font && font->underline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (prefix && s.find('&') != std::string::npos) {
        std::string shown;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] != '&' || i + 1 == s.size()) {
                shown += s[i];
                continue;
            }
            ++i;
            if (s[i] != '&') {
                // Underline the whole UTF-8 letter that follows.
                size_t end = i + 1;
                while (end < s.size() && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) ++end;
                PangoAttribute* u = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
                u->start_index = static_cast<guint>(shown.size());
                u->end_index = static_cast<guint>(shown.size() + (end - i));
                pango_attr_list_insert(attrs, u);
                shown.append(s, i, end - i);
                i = end - 1;
                continue;
            }
            shown += '&';
        }
        s = shown;
    }
    pango_layout_set_text(layout, s.c_str(), -1);
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
    return layout;
}

// Measuring text needs a context even for a DC without an image.
cairo_t* MeasureContext() {
    static cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    return cairo_create(s);
}

}  // namespace

HDC CreateDcOnSurface(cairo_surface_t* surface, HWND window) {
    auto* dc = new DcObject;
    if (surface) dc->target.reset(cairo_surface_reference(surface));
    dc->window = window;
    Live().insert(dc);
    return reinterpret_cast<HDC>(dc);
}

cairo_surface_t* DcSurface(HDC hdc) {
    DcObject* dc = Dc(hdc);
    return dc ? Surface(dc) : nullptr;
}

cairo_surface_t* BitmapSurface(HBITMAP bitmap) {
    GdiObject* b = Gdi(reinterpret_cast<HGDIOBJ>(bitmap));
    return b && b->type == GdiType::Bitmap ? b->surface.get() : nullptr;
}

bool FontLook(HFONT font, std::string* description, bool* underline) {
    GdiObject* f = Gdi(reinterpret_cast<HGDIOBJ>(font));
    if (!f || f->type != GdiType::Font) return false;
    *description = f->font;
    *underline = f->underline;
    return true;
}

GdkPixbuf* CursorPixbuf(HCURSOR cursor, POINT* hotSpot) {
    auto* i = Checked<IconObject>(cursor);
    if (!i || !i->big) return nullptr;
    if (hotSpot)
        *hotSpot = i->cursor ? i->hotSpot : POINT{gdk_pixbuf_get_width(i->big) / 2, gdk_pixbuf_get_height(i->big) / 2};
    return i->big;
}

GdkPixbuf* IconPixbuf(HICON icon, int preferredSize) {
    auto* i = Checked<IconObject>(icon);
    if (!i) return nullptr;
    if (preferredSize <= 16 && i->small) return i->small;
    return i->big ? i->big : i->small;
}

gboolean PaintClientArea(GtkWidget* client, cairo_t* cr, gpointer data) {
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

}  // namespace platform

using namespace platform;

HDC GetDC(HWND hwnd) {
    WindowObject* w = FromHandle(hwnd);
    if (!w) return nullptr;
    RECT client;
    GetClientRect(hwnd, &client);
    if (!w->backing) EnsureBacking(w, client.right, client.bottom);
    return CreateDcOnSurface(w->backing.get(), hwnd);
}

int ReleaseDC(HWND, HDC hdc) { return DeleteDC(hdc); }

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    WindowObject* w = FromHandle(hwnd);
    if (!w || !ps) return nullptr;
    *ps = PAINTSTRUCT{};
    GetClientRect(hwnd, &ps->rcPaint);
    // Inside a paint cycle the DC draws into the image GTK is about to show; outside one
    // (a WM_PAINT sent by hand) it still draws into the window's client image.
    ps->hdc = w->paintDc ? w->paintDc : GetDC(hwnd);
    return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    WindowObject* w = FromHandle(hwnd);
    if (!ps) return FALSE;
    if (!w || ps->hdc != w->paintDc) DeleteDC(ps->hdc);
    return TRUE;
}

HDC CreateCompatibleDC(HDC) { return CreateDcOnSurface(nullptr, nullptr); }

BOOL DeleteDC(HDC hdc) {
    DcObject* dc = Dc(hdc);
    if (!dc) return FALSE;
    Live().erase(dc);
    delete dc;
    return TRUE;
}

HWND WindowFromDC(HDC hdc) {
    DcObject* dc = Dc(hdc);
    return dc ? dc->window : nullptr;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    auto* o = new GdiObject(GdiType::Bitmap);
    o->surface.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(width, 1), std::max(height, 1)));
    return reinterpret_cast<HBITMAP>(NewGdi(o));
}

HBITMAP LoadBitmap(HINSTANCE, LPCSTR name) {
    int id = ResourceId(name);
    if (id < 0) return nullptr;
    GError* error = nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_resource(ImageResourcePath("bitmap", id, 0).c_str(), &error);
    if (!pixbuf) {
        g_clear_error(&error);
        return nullptr;
    }
    int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    auto* o = new GdiObject(GdiType::Bitmap);
    o->surface.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    cairo_t* cr = cairo_create(o->surface.get());
    gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    g_object_unref(pixbuf);
    return reinterpret_cast<HBITMAP>(NewGdi(o));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto* o = new GdiObject(GdiType::Brush);
    o->color = color;
    return reinterpret_cast<HBRUSH>(NewGdi(o));
}

HPEN CreatePen(int style, int width, COLORREF color) {
    auto* o = new GdiObject(GdiType::Pen);
    o->penStyle = style;
    o->penWidth = width;
    o->color = color;
    return reinterpret_cast<HPEN>(NewGdi(o));
}

HFONT CreateFontIndirect(const LOGFONT* font) {
    if (!font) return nullptr;
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, font->lfFaceName[0] ? font->lfFaceName : "Sans");
    // Character height in pixels at 96 dots per inch, as points.
    LONG pixels = font->lfHeight < 0 ? -font->lfHeight : font->lfHeight;
    pango_font_description_set_size(desc, static_cast<gint>((pixels ? pixels : 11) * 72.0 / 96.0 * PANGO_SCALE + 0.5));
    if (font->lfWeight >= 700) pango_font_description_set_weight(desc, PANGO_WEIGHT_BOLD);
    if (font->lfItalic) pango_font_description_set_style(desc, PANGO_STYLE_ITALIC);
    auto* o = new GdiObject(GdiType::Font);
    gchar* text = pango_font_description_to_string(desc);
    o->font = text;
    g_free(text);
    pango_font_description_free(desc);
    o->underline = font->lfUnderline != 0;
    return reinterpret_cast<HFONT>(NewGdi(o));
}

HGDIOBJ GetStockObject(int index) { return Stock(index); }

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    DcObject* dc = Dc(hdc);
    GdiObject* o = Gdi(object);
    if (!dc || !o) return nullptr;
    HGDIOBJ* slot = nullptr;
    switch (o->type) {
    case GdiType::Bitmap: slot = &dc->bitmap; break;
    case GdiType::Brush: slot = &dc->brush; break;
    case GdiType::Pen: slot = &dc->pen; break;
    case GdiType::Font: slot = &dc->font; break;
    case GdiType::Region:
        SelectClipRgn(hdc, reinterpret_cast<HRGN>(object));
        return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(SIMPLEREGION));
    }
    HGDIOBJ previous = *slot;
    *slot = object;
    if (o->type == GdiType::Bitmap) dc->clip.reset();
    if (!previous) {
        // A fresh DC starts with stock objects selected.
        switch (o->type) {
        case GdiType::Brush: previous = Stock(WHITE_BRUSH); break;
        case GdiType::Pen: previous = Stock(BLACK_PEN); break;
        case GdiType::Font: previous = Stock(DEFAULT_GUI_FONT); break;
        default: previous = reinterpret_cast<HGDIOBJ>(CreateCompatibleBitmap(hdc, 1, 1)); break;
        }
    }
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    GdiObject* o = Gdi(object);
    if (!o || o->stock) return FALSE;
    Live().erase(o);
    delete o;
    return TRUE;
}

int GetObject(HGDIOBJ object, int size, void* out) {
    GdiObject* o = Gdi(object);
    if (o && o->type == GdiType::Font && out && size >= static_cast<int>(sizeof(LOGFONT))) {
        auto* lf = static_cast<LOGFONT*>(out);
        *lf = LOGFONT{};
        PangoFontDescription* desc = pango_font_description_from_string(o->font.c_str());
        const char* family = pango_font_description_get_family(desc);
        g_strlcpy(lf->lfFaceName, family ? family : "Sans", sizeof(lf->lfFaceName));
        double points = pango_font_description_get_size(desc) / static_cast<double>(PANGO_SCALE);
        lf->lfHeight = -static_cast<LONG>(points * 96.0 / 72.0 + 0.5);
        lf->lfWeight = pango_font_description_get_weight(desc) >= PANGO_WEIGHT_BOLD ? 700 : 400;
        lf->lfItalic = pango_font_description_get_style(desc) != PANGO_STYLE_NORMAL;
        lf->lfUnderline = o->underline ? 1 : 0;
        pango_font_description_free(desc);
        return sizeof(LOGFONT);
    }
    if (!o || o->type != GdiType::Bitmap || !out || size < static_cast<int>(sizeof(BITMAP))) return 0;
    auto* bm = static_cast<BITMAP*>(out);
    *bm = BITMAP{};
    bm->bmWidth = cairo_image_surface_get_width(o->surface.get());
    bm->bmHeight = cairo_image_surface_get_height(o->surface.get());
    bm->bmWidthBytes = cairo_image_surface_get_stride(o->surface.get());
    return sizeof(BITMAP);
}

COLORREF GetSysColor(int index) {
    switch (index) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    case COLOR_BTNSHADOW: return RGB(160, 160, 160);
    case COLOR_GRAYTEXT: return RGB(109, 109, 109);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(105, 105, 105);
    case COLOR_3DLIGHT: return RGB(227, 227, 227);
    default: return RGB(0, 0, 0);
    }
}

HBRUSH GetSysColorBrush(int index) {
    static HGDIOBJ brushes[32] = {};
    if (index < 0 || index >= 32) return nullptr;
    if (!brushes[index]) {
        auto* o = new GdiObject(GdiType::Brush);
        o->stock = true;
        o->color = GetSysColor(index);
        brushes[index] = NewGdi(o);
    }
    return reinterpret_cast<HBRUSH>(brushes[index]);
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD) {
    DcObject* d = Dc(dst);
    DcObject* s = Dc(src);
    if (!d || !s || !Surface(s)) return FALSE;
    cairo_t* cr = Begin(d);
    if (!cr) return FALSE;
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, Surface(s), x - srcX, y - srcY);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    cairo_destroy(cr);
    return TRUE;
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    DcObject* dc = Dc(hdc);
    if (!dc) return ERROR_REGION;
    cairo_rectangle_int_t r = {left, top, right - left, bottom - top};
    cairo_region_subtract_rectangle(ClipOrFull(dc), &r);
    return RegionKind(dc->clip.get());
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    DcObject* dc = Dc(hdc);
    if (!dc) return ERROR_REGION;
    cairo_rectangle_int_t r = {left, top, right - left, bottom - top};
    cairo_region_intersect_rectangle(ClipOrFull(dc), &r);
    return RegionKind(dc->clip.get());
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto* o = new GdiObject(GdiType::Region);
    o->region = RECT{left, top, right, bottom};
    return reinterpret_cast<HRGN>(NewGdi(o));
}

int SelectClipRgn(HDC hdc, HRGN region) {
    DcObject* dc = Dc(hdc);
    if (!dc) return ERROR_REGION;
    GdiObject* o = Gdi(reinterpret_cast<HGDIOBJ>(region));
    if (!o) {
        dc->clip.reset();
        return SIMPLEREGION;
    }
    cairo_rectangle_int_t r = {o->region.left, o->region.top, o->region.right - o->region.left,
                               o->region.bottom - o->region.top};
    dc->clip.reset(cairo_region_create_rectangle(&r));
    return RegionKind(dc->clip.get());
}

int GetClipBox(HDC hdc, RECT* rect) {
    DcObject* dc = Dc(hdc);
    if (!dc || !rect) return ERROR_REGION;
    cairo_rectangle_int_t r;
    cairo_region_get_extents(ClipOrFull(dc), &r);
    *rect = RECT{r.x, r.y, r.x + r.width, r.y + r.height};
    return RegionKind(dc->clip.get());
}

int SetBkMode(HDC hdc, int mode) {
    DcObject* dc = Dc(hdc);
    if (!dc) return 0;
    int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    DcObject* dc = Dc(hdc);
    if (!dc) return 0;
    COLORREF old = dc->textColor;
    dc->textColor = color;
    return old;
}

COLORREF GetTextColor(HDC hdc) {
    DcObject* dc = Dc(hdc);
    return dc ? dc->textColor : 0;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    DcObject* dc = Dc(hdc);
    if (!dc) return 0;
    COLORREF old = dc->bkColor;
    dc->bkColor = color;
    return old;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
    DcObject* dc = Dc(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->position;
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    DcObject* dc = Dc(hdc);
    if (!dc) return FALSE;
    GdiObject* pen = Gdi(dc->pen);
    COLORREF color = pen ? pen->color : RGB(0, 0, 0);
    int width = pen ? std::max(pen->penWidth, 1) : 1;
    cairo_t* cr = Begin(dc);
    if (cr) {
        // Pixel-exact lines: walk the pixels from the start, leaving the end point out.
        SetColor(cr, color);
        int x0 = dc->position.x, y0 = dc->position.y;
        int dx = std::abs(x - x0), dy = -std::abs(y - y0);
        int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1, err = dx + dy;
        while (!(x0 == x && y0 == y)) {
            cairo_rectangle(cr, x0, y0, width, width);
            int e2 = 2 * err;
            if (e2 >= dy) { err += dy; x0 += sx; }
            if (e2 <= dx) { err += dx; y0 += sy; }
        }
        cairo_fill(cr);
        cairo_destroy(cr);
    }
    dc->position = POINT{x, y};
    return TRUE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    DcObject* dc = Dc(hdc);
    GdiObject* b = Gdi(reinterpret_cast<HGDIOBJ>(brush));
    if (!dc || !rect || !b || b->nullBrush) return 0;
    cairo_t* cr = Begin(dc);
    if (!cr) return 0;
    SetColor(cr, b->color);
    cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    cairo_fill(cr);
    cairo_destroy(cr);
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return 0;
    RECT top{rect->left, rect->top, rect->right, rect->top + 1};
    RECT bottom{rect->left, rect->bottom - 1, rect->right, rect->bottom};
    RECT left{rect->left, rect->top, rect->left + 1, rect->bottom};
    RECT right{rect->right - 1, rect->top, rect->right, rect->bottom};
    return FillRect(hdc, &top, brush) && FillRect(hdc, &bottom, brush) && FillRect(hdc, &left, brush) &&
           FillRect(hdc, &right, brush);
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
    DcObject* dc = Dc(hdc);
    if (!dc || !rect) return FALSE;
    cairo_t* cr = Begin(dc);
    if (!cr) return FALSE;
    // A dotted frame: every other pixel, inverted against what is there.
    cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    for (int x = rect->left; x < rect->right; x += 2) {
        cairo_rectangle(cr, x, rect->top, 1, 1);
        cairo_rectangle(cr, x, rect->bottom - 1, 1, 1);
    }
    for (int y = rect->top + 2; y < rect->bottom - 1; y += 2) {
        cairo_rectangle(cr, rect->left, y, 1, 1);
        cairo_rectangle(cr, rect->right - 1, y, 1, 1);
    }
    cairo_fill(cr);
    cairo_destroy(cr);
    return TRUE;
}

BOOL GetTextExtentPoint32(HDC hdc, LPCSTR text, int length, SIZE* size) {
    DcObject* dc = Dc(hdc);
    if (!dc || !size) return FALSE;
    cairo_t* cr = MeasureContext();
    PangoLayout* layout = MakeLayout(cr, dc, text, length);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    cairo_destroy(cr);
    *size = SIZE{width, height};
    return TRUE;
}

BOOL TextOut(HDC hdc, int x, int y, LPCSTR text, int length) {
    DcObject* dc = Dc(hdc);
    if (!dc) return FALSE;
    cairo_t* cr = Begin(dc);
    if (!cr) return FALSE;
    PangoLayout* layout = MakeLayout(cr, dc, text, length);
    if (dc->bkMode == OPAQUE) {
        int width = 0, height = 0;
        pango_layout_get_pixel_size(layout, &width, &height);
        SetColor(cr, dc->bkColor);
        cairo_rectangle(cr, x, y, width, height);
        cairo_fill(cr);
    }
    SetColor(cr, dc->textColor);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_destroy(cr);
    return TRUE;
}

int DrawText(HDC hdc, LPCSTR text, int length, RECT* rect, UINT format) {
    DcObject* dc = Dc(hdc);
    if (!dc || !rect) return 0;
    bool measureOnly = (format & DT_CALCRECT) != 0;
    cairo_t* cr = measureOnly ? MeasureContext() : Begin(dc);
    if (!cr) return 0;
    PangoLayout* layout = MakeLayout(cr, dc, text, length, !(format & DT_NOPREFIX));
    int boxWidth = rect->right - rect->left;
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
        pango_layout_set_width(layout, std::max(boxWidth, 1) * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    }
    if (format & DT_CENTER) pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    if (format & DT_RIGHT) pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    int height = logical.height;
    if (measureOnly) {
        // Only the right and bottom edges move, whatever the alignment.
        int width = (format & DT_WORDBREAK) ? std::min(logical.width, boxWidth) : logical.width;
        rect->right = rect->left + width;
        rect->bottom = rect->top + height;
    } else {
        int x = rect->left, y = rect->top;
        if (!(format & DT_WORDBREAK)) {
            if (format & DT_CENTER) x += (boxWidth - logical.width) / 2;
            if (format & DT_RIGHT) x = rect->right - logical.width;
        }
        if ((format & DT_VCENTER) && (format & DT_SINGLELINE)) y += (rect->bottom - rect->top - height) / 2;
        cairo_rectangle(cr, rect->left, rect->top, boxWidth, rect->bottom - rect->top);
        cairo_clip(cr);
        SetColor(cr, dc->textColor);
        cairo_move_to(cr, x, y);
        pango_cairo_show_layout(cr, layout);
    }
    g_object_unref(layout);
    cairo_destroy(cr);
    return height;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    DcObject* dc = Dc(hdc);
    cairo_surface_t* s = dc ? Surface(dc) : nullptr;
    if (!s || x < 0 || y < 0 || x >= cairo_image_surface_get_width(s) || y >= cairo_image_surface_get_height(s))
        return 0xFFFFFFFF;
    cairo_surface_flush(s);
    const unsigned char* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    uint32_t px;
    memcpy(&px, row + 4 * x, 4);
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) {
    DcObject* dc = Dc(hdc);
    GdkPixbuf* pixbuf = IconPixbuf(icon, 32);
    if (!dc || !pixbuf) return FALSE;
    cairo_t* cr = Begin(dc);
    if (!cr) return FALSE;
    gdk_cairo_set_source_pixbuf(cr, pixbuf, x, y);
    cairo_paint(cr);
    cairo_destroy(cr);
    return TRUE;
}

HICON LoadIcon(HINSTANCE, LPCSTR name) {
    int id = ResourceId(name);
    if (id < 0) return nullptr;
    auto* icon = new IconObject;
    icon->big = gdk_pixbuf_new_from_resource(ImageResourcePath("icon", id, 32).c_str(), nullptr);
    icon->small = gdk_pixbuf_new_from_resource(ImageResourcePath("icon", id, 16).c_str(), nullptr);
    if (!icon->big && !icon->small) {
        delete icon;
        return nullptr;
    }
    Live().insert(icon);
    return reinterpret_cast<HICON>(icon);
}

BOOL DestroyIcon(HICON icon) {
    auto* i = Checked<IconObject>(icon);
    if (!i) return FALSE;
    Live().erase(i);
    delete i;
    return TRUE;
}

BOOL GetIconSize(HICON icon, SIZE* size) {
    GdkPixbuf* p = IconPixbuf(icon, 32);
    if (!p || !size) return FALSE;
    *size = SIZE{gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p)};
    return TRUE;
}

void* LoadImage(HINSTANCE, LPCSTR name, UINT type, int cx, int, UINT) {
    int id = ResourceId(name);
    if (id < 0 || (type != IMAGE_ICON && type != IMAGE_CURSOR)) return nullptr;
    auto* icon = new IconObject;
    if (type == IMAGE_CURSOR) {
        icon->cursor = true;
        icon->hotSpot = CursorHotSpot(id);
        icon->big = gdk_pixbuf_new_from_resource(ImageResourcePath("cursor", id, 0).c_str(), nullptr);
    } else {
        // Size 0 is the resource's first picture, the 32-pixel one; 16 asks for the small one.
        int size = cx > 0 && cx <= 16 ? 16 : 32;
        icon->big = gdk_pixbuf_new_from_resource(ImageResourcePath("icon", id, size).c_str(), nullptr);
        if (!icon->big && cx == 0)
            icon->big = gdk_pixbuf_new_from_resource(ImageResourcePath("icon", id, 16).c_str(), nullptr);
    }
    if (!icon->big) {
        delete icon;
        return nullptr;
    }
    Live().insert(icon);
    return icon;
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
    auto* i = Checked<IconObject>(icon);
    GdkPixbuf* p = i ? (i->big ? i->big : i->small) : nullptr;
    if (!p || !info) return FALSE;
    int width = gdk_pixbuf_get_width(p), height = gdk_pixbuf_get_height(p);
    info->fIcon = i->cursor ? FALSE : TRUE;
    info->xHotspot = static_cast<DWORD>(i->cursor ? i->hotSpot.x : width / 2);
    info->yHotspot = static_cast<DWORD>(i->cursor ? i->hotSpot.y : height / 2);
    info->hbmMask = CreateCompatibleBitmap(nullptr, width, height);
    info->hbmColor = CreateCompatibleBitmap(nullptr, width, height);
    return TRUE;
}

HICON CopyIcon(HICON icon) {
    auto* i = Checked<IconObject>(icon);
    if (!i) return nullptr;
    auto* copy = new IconObject;
    copy->big = i->big ? GDK_PIXBUF(g_object_ref(i->big)) : nullptr;
    copy->small = i->small ? GDK_PIXBUF(g_object_ref(i->small)) : nullptr;
    copy->cursor = i->cursor;
    copy->hotSpot = i->hotSpot;
    Live().insert(copy);
    return reinterpret_cast<HICON>(copy);
}

BOOL DestroyCursor(HCURSOR cursor) { return DestroyIcon(reinterpret_cast<HICON>(cursor)); }

BOOL DrawState(HDC hdc, HBRUSH, void*, LPARAM data, WPARAM, int x, int y, int, int, UINT flags) {
    DcObject* dc = Dc(hdc);
    auto* icon = Checked<IconObject>(reinterpret_cast<void*>(data));
    if (!dc || !icon || (flags & 0x000F) != DST_ICON) return FALSE;
    GdkPixbuf* pixbuf = icon->big ? icon->big : icon->small;
    cairo_t* cr = Begin(dc);
    if (!cr || !pixbuf) return FALSE;
    if (flags & DSS_DISABLED) {
        // The icon's shape, not its colours: highlight one pixel down and right, shadow on top.
        int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
        cairo_surface_flush(mask);
        unsigned char* out = cairo_image_surface_get_data(mask);
        int outStride = cairo_image_surface_get_stride(mask);
        const guchar* in = gdk_pixbuf_read_pixels(pixbuf);
        int inStride = gdk_pixbuf_get_rowstride(pixbuf), channels = gdk_pixbuf_get_n_channels(pixbuf);
        bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
        for (int row = 0; row < height; ++row)
            for (int col = 0; col < width; ++col) {
                const guchar* px = in + row * inStride + col * channels;
                out[row * outStride + col] = !alpha || px[3] >= 128 ? 255 : 0;
            }
        cairo_surface_mark_dirty(mask);
        SetColor(cr, GetSysColor(COLOR_BTNHIGHLIGHT));
        cairo_mask_surface(cr, mask, x + 1, y + 1);
        SetColor(cr, GetSysColor(COLOR_BTNSHADOW));
        cairo_mask_surface(cr, mask, x, y);
        cairo_surface_destroy(mask);
    } else {
        gdk_cairo_set_source_pixbuf(cr, pixbuf, x, y);
        cairo_paint(cr);
    }
    cairo_destroy(cr);
    return TRUE;
}
