// BSTR allocation and VARIANT clearing. What is imitated and left out is listed in Variant.h.

#include "platform/Variant.h"

#include <cstdlib>
#include <cstring>
#include <string>

// Layout: a 32-bit byte count, then the units, then a NUL unit. BSTR points at the units.
namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
// The byte count must fit the 32-bit prefix.
constexpr UINT kMaxLen = (UINT32_MAX - sizeof(WCHAR)) / sizeof(WCHAR);

unsigned char* BlockOf(BSTR text) { return reinterpret_cast<unsigned char*>(text) - kPrefix; }

} // namespace

BSTR SysAllocStringLen(const WCHAR* text, UINT len)
{
    if (len > kMaxLen)
        return nullptr;
    const uint32_t bytes = static_cast<uint32_t>(len * sizeof(WCHAR));
    auto* block = static_cast<unsigned char*>(std::calloc(1, kPrefix + bytes + sizeof(WCHAR)));
    if (block == nullptr)
        return nullptr;
    std::memcpy(block, &bytes, kPrefix);
    auto* units = reinterpret_cast<WCHAR*>(block + kPrefix);
    if (text != nullptr && len > 0)
        std::memcpy(units, text, bytes);
    return units;
}

BSTR SysAllocString(const WCHAR* text)
{
    if (text == nullptr)
        return nullptr;
    const size_t len = std::char_traits<WCHAR>::length(text);
    if (len > kMaxLen)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(len));
}

void SysFreeString(BSTR text)
{
    if (text != nullptr)
        std::free(BlockOf(text));
}

UINT SysStringLen(BSTR text)
{
    if (text == nullptr)
        return 0;
    uint32_t bytes = 0;
    std::memcpy(&bytes, BlockOf(text), kPrefix);
    return bytes / sizeof(WCHAR);
}

void VariantInit(VARIANT* v)
{
    if (v == nullptr)
        return;
    v->vt = VT_EMPTY;
    v->lVal = 0;
}

HRESULT VariantClear(VARIANT* v)
{
    if (v == nullptr)
        return E_INVALIDARG;
    switch (v->vt) {
    case VT_EMPTY:
    case VT_I4:
        break;
    case VT_BSTR:
        SysFreeString(v->bstrVal);
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    v->vt = VT_EMPTY;
    v->bstrVal = nullptr;
    return S_OK;
}
