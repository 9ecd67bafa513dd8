#pragma once
// BSTR strings and a minimal VARIANT for values handed across COM interfaces.
// Imitates: BSTR as a length-prefixed, NUL-terminated UTF-16 buffer (embedded NULs
// allowed, SysStringLen reads the prefix), VariantInit, and VariantClear freeing an
// owned BSTR.
// Leaves out: every VARTYPE except VT_EMPTY, VT_I4 and VT_BSTR (VariantClear gives
// DISP_E_BADVARTYPE for others), SAFEARRAY, BYREF, VariantCopy/ChangeType, and the
// BSTR cache.

#include "platform/Com.h"
#include "platform/Unicode.h"

typedef WCHAR* BSTR;
typedef uint16_t VARTYPE;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_BSTR = 8;
constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);

// A new string the caller frees with SysFreeString; null for a null source or no memory.
BSTR SysAllocString(const WCHAR* text);
// Copies len units (NULs included); a null text gives len zeroed units.
BSTR SysAllocStringLen(const WCHAR* text, UINT len);
void SysFreeString(BSTR text); // null is allowed
UINT SysStringLen(BSTR text);  // 0 for null

struct VARIANT {
    VARTYPE vt;
    union {
        BSTR bstrVal; // owned by the VARIANT: VariantClear frees it
        int32_t lVal;
    };
};

void VariantInit(VARIANT* v);
// Frees what the VARIANT owns and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* v);
