#pragma once
// The framework's drawing objects: CDC with its paint and client variants, CBitmap,
// CBrush, CPen.
// Imitates: a CPaintDC beginning and ending a paint in its lifetime, a CClientDC for the
// client area, memory DCs with SelectObject returning what was selected before, objects
// deleted with their owner.
// Leaves out: fonts as objects (the window's font is used), palettes, printing.

#include "platform/Gdi.h"
#include "platform/Wnd.h"

class CGdiObject {
public:
    virtual ~CGdiObject() { DeleteObject(); }
    HGDIOBJ m_hObject = nullptr;
    BOOL DeleteObject() {
        BOOL ok = m_hObject ? ::DeleteObject(m_hObject) : FALSE;
        m_hObject = nullptr;
        return ok;
    }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
};

class CBitmap : public CGdiObject {
public:
    BOOL LoadBitmap(UINT id) {
        m_hObject = reinterpret_cast<HGDIOBJ>(::LoadBitmap(nullptr, MAKEINTRESOURCE(id)));
        return m_hObject != nullptr;
    }
    BOOL CreateCompatibleBitmap(class CDC* dc, int width, int height);
    int GetBitmap(BITMAP* bm) const { return ::GetObject(m_hObject, sizeof(BITMAP), bm); }
    operator HBITMAP() const { return reinterpret_cast<HBITMAP>(m_hObject); }
};

class CBrush : public CGdiObject {
public:
    explicit CBrush(COLORREF color) { m_hObject = reinterpret_cast<HGDIOBJ>(::CreateSolidBrush(color)); }
    operator HBRUSH() const { return reinterpret_cast<HBRUSH>(m_hObject); }
};

class CRgn : public CGdiObject {
public:
    BOOL CreateRectRgn(int left, int top, int right, int bottom) {
        m_hObject = reinterpret_cast<HGDIOBJ>(::CreateRectRgn(left, top, right, bottom));
        return m_hObject != nullptr;
    }
    operator HRGN() const { return reinterpret_cast<HRGN>(m_hObject); }
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONT* font) {
        m_hObject = reinterpret_cast<HGDIOBJ>(::CreateFontIndirect(font));
        return m_hObject != nullptr;
    }
    operator HFONT() const { return reinterpret_cast<HFONT>(m_hObject); }
};

class CPen : public CGdiObject {
public:
    CPen(int style, int width, COLORREF color) { m_hObject = reinterpret_cast<HGDIOBJ>(::CreatePen(style, width, color)); }
    operator HPEN() const { return reinterpret_cast<HPEN>(m_hObject); }
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC() {
        if (m_owned && m_hDC) ::DeleteDC(m_hDC);
    }
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    static CDC* FromHandle(HDC hdc);

    BOOL CreateCompatibleDC(CDC* other) {
        m_hDC = ::CreateCompatibleDC(other ? other->m_hDC : nullptr);
        m_owned = true;
        return m_hDC != nullptr;
    }
    BOOL DeleteDC() {
        BOOL ok = m_hDC ? ::DeleteDC(m_hDC) : FALSE;
        m_hDC = nullptr;
        return ok;
    }
    void Attach(HDC hdc) { m_hDC = hdc; m_owned = false; }
    HDC Detach() { HDC h = m_hDC; m_hDC = nullptr; return h; }

    // Returns the object selected before; the caller puts it back.
    HGDIOBJ SelectObject(CGdiObject* object) { return ::SelectObject(m_hDC, object ? object->m_hObject : nullptr); }
    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    HGDIOBJ SelectStockObject(int index) { return ::SelectObject(m_hDC, ::GetStockObject(index)); }
    BOOL BitBlt(int x, int y, int width, int height, CDC* src, int srcX, int srcY, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, width, height, src ? src->m_hDC : nullptr, srcX, srcY, rop);
    }
    int ExcludeClipRect(const RECT* r) { return ::ExcludeClipRect(m_hDC, r->left, r->top, r->right, r->bottom); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    void FillSolidRect(const RECT* r, COLORREF color);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
    // Top and left edges in one colour, right and bottom in the other, one pixel wide.
    void Draw3dRect(const RECT* r, COLORREF topLeft, COLORREF bottomRight);
    int FrameRect(const RECT* r, CBrush* brush) { return ::FrameRect(m_hDC, r, brush ? static_cast<HBRUSH>(*brush) : nullptr); }
    BOOL DrawFocusRect(const RECT* r) { return ::DrawFocusRect(m_hDC, r); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    POINT MoveTo(int x, int y) {
        POINT previous;
        ::MoveToEx(m_hDC, x, y, &previous);
        return previous;
    }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    int DrawText(const CString& text, RECT* r, UINT format) { return ::DrawText(m_hDC, text, text.GetLength(), r, format); }
    BOOL TextOut(int x, int y, LPCSTR text, int length) { return ::TextOut(m_hDC, x, y, text, length); }
    SIZE GetTextExtent(LPCSTR text, int length) const {
        SIZE size;
        ::GetTextExtentPoint32(m_hDC, text, length, &size);
        return size;
    }
    BOOL DrawState(POINT at, SIZE size, HICON icon, UINT flags, HBRUSH brush = nullptr) {
        return ::DrawState(m_hDC, brush, nullptr, reinterpret_cast<LPARAM>(icon), 0, at.x, at.y, size.cx, size.cy,
                           flags | DST_ICON);
    }
    int SelectClipRgn(CGdiObject* region) {
        return ::SelectClipRgn(m_hDC, region ? reinterpret_cast<HRGN>(region->m_hObject) : nullptr);
    }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }

protected:
    bool m_owned = false;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
    ~CPaintDC() override {
        ::EndPaint(m_hWnd, &m_ps);
        m_hDC = nullptr;
    }
    HDC GetSafeHdc() const { return m_hDC; }
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { m_hDC = ::GetDC(m_hWnd); }
    ~CClientDC() override {
        ::ReleaseDC(m_hWnd, m_hDC);
        m_hDC = nullptr;
    }

private:
    HWND m_hWnd;
};
