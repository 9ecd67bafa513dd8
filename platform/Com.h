#pragma once
// COM basics the program's media layer is written against.
// Imitates: HRESULT values and SUCCEEDED/FAILED, GUIDs, IUnknown, the per-thread
// CoInitializeEx/CoUninitialize count (S_FALSE on repeat, RPC_E_CHANGED_MODE on a
// model change), and CoCreateInstance's argument checks and error codes.
// Leaves out: marshalling, apartments as threads of their own, out-of-process and
// remote servers, aggregation, the system registry. Classes come only from the
// in-process table filled by CoRegisterInProcClass (our own addition).
// HRESULT_FROM_WIN32 maps every non-zero code, including values that are already
// HRESULTs, to 0x8007xxxx.

#include "platform/WinTypes.h"

#include <cstdint>
#include <string>

typedef int32_t HRESULT;

// Writes an HRESULT from its usual unsigned hex spelling without relying on
// implementation-defined narrowing.
constexpr HRESULT MakeHResult(uint32_t bits)
{
    return bits <= 0x7FFFFFFFu ? static_cast<HRESULT>(bits)
                               : static_cast<HRESULT>(bits - 0x80000000u) + INT32_MIN;
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
constexpr HRESULT E_ABORT = MakeHResult(0x80004004u);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);
constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0u);
constexpr HRESULT RPC_E_CHANGED_MODE = MakeHResult(0x80010106u);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }
inline constexpr HRESULT HRESULT_FROM_WIN32(DWORD code)
{
    return code == 0 ? S_OK : MakeHResult(0x80070000u | (code & 0xFFFFu));
}

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFIID;
typedef const GUID& REFCLSID;
typedef const GUID& REFGUID;

inline constexpr bool IsEqualGUID(REFGUID a, REFGUID b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}
inline constexpr bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline constexpr bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Parses "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}" (braces optional, any hex case).
// Returns false and leaves *out untouched on malformed text.
bool GuidFromString(const char* text, GUID* out);
// "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}": upper case, with braces.
std::string GuidToString(REFGUID guid);

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // Objects delete themselves in Release; nobody deletes through IUnknown*.
    ~IUnknown() = default;
};

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_ALL = 0x17;

HRESULT CoInitializeEx(void* reserved, DWORD coinit);
void CoUninitialize();

// Creates an object and hands out one reference (through riid) that the caller releases.
// On failure it leaves *ppv null.
typedef HRESULT (*ClassFactoryFn)(REFIID riid, void** ppv);

// S_OK (a second registration replaces the first); E_INVALIDARG for a null factory.
HRESULT CoRegisterInProcClass(REFCLSID clsid, ClassFactoryFn factory);
// S_OK, or S_FALSE when the class was not registered.
HRESULT CoUnregisterInProcClass(REFCLSID clsid);

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID riid, void** ppv);
