#include "platform/AfxGdi.h"

#include <map>
#include <memory>

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
