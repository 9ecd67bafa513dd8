#include "platform/AfxGdi.h"

#include <map>
#include <memory>
#include <utility>

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
    m_hObject = reinterpret_cast<HGDIOBJ>(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
    return m_hObject != nullptr;
}

CDC* CDC::FromHandle(HDC hdc) {
    // Wrappers for DCs that arrive in messages; the DC itself belongs to the sender.
    static std::map<HDC, std::unique_ptr<CDC>> wrappers;
    if (!hdc) return nullptr;
    if (wrappers.size() > 64) wrappers.clear();  // they live only while a message is handled
    auto& slot = wrappers[hdc];
    if (!slot) slot = std::make_unique<CDC>();
    slot->Attach(hdc);
    return slot.get();
}

void CDC::FillSolidRect(const RECT* r, COLORREF color) {
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(m_hDC, r, brush);
    ::DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
    RECT r{x, y, x + cx, y + cy};
    if (r.right < r.left) std::swap(r.left, r.right);
    if (r.bottom < r.top) std::swap(r.top, r.bottom);
    FillSolidRect(&r, color);
}

void CDC::Draw3dRect(const RECT* r, COLORREF topLeft, COLORREF bottomRight) {
    int x = r->left, y = r->top, cx = r->right - r->left, cy = r->bottom - r->top;
    FillSolidRect(x, y, cx - 1, 1, topLeft);
    FillSolidRect(x, y, 1, cy - 1, topLeft);
    FillSolidRect(x + cx, y, -1, cy, bottomRight);
    FillSolidRect(x, y + cy, cx, -1, bottomRight);
}
