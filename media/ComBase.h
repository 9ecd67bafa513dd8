#pragma once
// Reference counting for the media layer's COM objects.
// Each object starts with one reference, owned by whoever created it; the last Release
// deletes it. Counts are atomic: streaming and sound-server threads may hold references.

#include <atomic>

#include "media/DShow.h"

namespace media {

class ComBase {
public:
    ComBase() = default;
    ComBase(const ComBase&) = delete;
    ComBase& operator=(const ComBase&) = delete;

protected:
    virtual ~ComBase() = default;
    ULONG AddRefImpl() { return ++m_refs; }
    ULONG ReleaseImpl() {
        ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

// Hands `object` out through `out` with a new reference; S_OK.
template <class I>
HRESULT HandOut(I* object, void** out) {
    *out = object;
    object->AddRef();
    return S_OK;
}

// Copies a UTF-8 name into a fixed WCHAR buffer, cut to fit and always terminated.
void CopyName(const std::string& name, WCHAR* out, size_t capacity);

}  // namespace media

#define SONOVERT_COM_REFCOUNT                             \
    ULONG AddRef() override { return AddRefImpl(); }      \
    ULONG Release() override { return ReleaseImpl(); }
