// HRESULT/GUID helpers, the per-thread apartment count and the in-process class table.
// What is imitated and left out is listed in Com.h.

#include "platform/Com.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <tuple>

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads exactly `digits` hex digits at text; false on anything else (including the end).
bool ReadHex(const char*& text, int digits, uint32_t* value)
{
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int h = HexValue(text[i]);
        if (h < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(h);
    }
    text += digits;
    *value = v;
    return true;
}

bool Expect(const char*& text, char c)
{
    if (*text != c)
        return false;
    ++text;
    return true;
}

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const
    {
        const auto key = [](const GUID& g) {
            uint64_t tail = 0;
            for (uint8_t byte : g.Data4)
                tail = (tail << 8) | byte;
            return std::make_tuple(g.Data1, g.Data2, g.Data3, tail);
        };
        return key(a) < key(b);
    }
};

// Function-local so that classes can be registered from static initialisers.
struct ClassTable {
    std::mutex lock;
    std::map<GUID, ClassFactoryFn, GuidLess> factories;
};

ClassTable& Classes()
{
    static ClassTable table;
    return table;
}

// The apartment is a property of the calling thread.
struct Apartment {
    int count = 0;
    bool apartmentThreaded = false;
};
thread_local Apartment tApartment;

} // namespace

bool GuidFromString(const char* text, GUID* out)
{
    if (text == nullptr || out == nullptr)
        return false;
    const bool braced = *text == '{';
    if (braced)
        ++text;
    uint32_t d1 = 0, d2 = 0, d3 = 0, byte = 0;
    GUID g = {};
    if (!ReadHex(text, 8, &d1) || !Expect(text, '-') || !ReadHex(text, 4, &d2) || !Expect(text, '-') ||
        !ReadHex(text, 4, &d3) || !Expect(text, '-'))
        return false;
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !Expect(text, '-'))
            return false;
        if (!ReadHex(text, 2, &byte))
            return false;
        g.Data4[i] = static_cast<uint8_t>(byte);
    }
    if (braced && !Expect(text, '}'))
        return false;
    if (*text != '\0')
        return false;
    g.Data1 = d1;
    g.Data2 = static_cast<uint16_t>(d2);
    g.Data3 = static_cast<uint16_t>(d3);
    *out = g;
    return true;
}

std::string GuidToString(REFGUID g)
{
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2), static_cast<unsigned>(g.Data3),
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

HRESULT CoInitializeEx(void* reserved, DWORD coinit)
{
    if (reserved != nullptr)
        return E_INVALIDARG;
    // Only the threading model matters here; the other COINIT_ hint bits are ignored.
    const bool apartmentThreaded = (coinit & COINIT_APARTMENTTHREADED) != 0;
    Apartment& a = tApartment;
    if (a.count == 0) {
        a.apartmentThreaded = apartmentThreaded;
        a.count = 1;
        return S_OK;
    }
    if (a.apartmentThreaded != apartmentThreaded)
        return RPC_E_CHANGED_MODE;
    ++a.count;
    return S_FALSE;
}

void CoUninitialize()
{
    if (tApartment.count > 0)
        --tApartment.count;
}

HRESULT CoRegisterInProcClass(REFCLSID clsid, ClassFactoryFn factory)
{
    if (factory == nullptr)
        return E_INVALIDARG;
    ClassTable& t = Classes();
    std::lock_guard<std::mutex> hold(t.lock);
    t.factories[clsid] = factory;
    return S_OK;
}

HRESULT CoUnregisterInProcClass(REFCLSID clsid)
{
    ClassTable& t = Classes();
    std::lock_guard<std::mutex> hold(t.lock);
    return t.factories.erase(clsid) != 0 ? S_OK : S_FALSE;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (tApartment.count == 0)
        return CO_E_NOTINITIALIZED;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    if ((clsctx & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0)
        return REGDB_E_CLASSNOTREG;

    ClassFactoryFn factory = nullptr;
    {
        ClassTable& t = Classes();
        std::lock_guard<std::mutex> hold(t.lock);
        const auto it = t.factories.find(clsid);
        if (it == t.factories.end())
            return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    // Called without the lock: a factory may create other objects itself.
    const HRESULT hr = factory(riid, ppv);
    if (SUCCEEDED(hr) && *ppv == nullptr)
        return E_UNEXPECTED;
    return hr;
}
