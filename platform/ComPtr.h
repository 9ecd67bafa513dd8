#pragma once
// Owning holder for one COM interface reference.
// Imitates: the WRL ComPtr operations the program uses (Get, GetAddressOf,
// ReleaseAndGetAddressOf, Attach, Detach, Reset, As).
// Leaves out: WRL's weak references, CopyTo, As without an explicit IID,
// converting a ComPtr<Derived> to a ComPtr<Base>, and comparisons other than with null.

#include "platform/Com.h"

#include <cstddef>
#include <utility>

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // AddRefs p; the caller still releases its own reference.
    explicit ComPtr(T* p) noexcept : p_(p) { AddRefIfSet(); }
    // AddRefs: both holders then own one reference each.
    ComPtr(const ComPtr& other) noexcept : p_(other.p_) { AddRefIfSet(); }
    // Takes over other's reference; other becomes null.
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    // Releases the held reference.
    ~ComPtr() { Reset(); }

    // Releases the old reference, AddRefs the new one.
    ComPtr& operator=(const ComPtr& other) noexcept
    {
        ComPtr copy(other);
        Swap(copy);
        return *this;
    }
    // Releases the old reference, takes over other's.
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr taken(std::move(other));
        Swap(taken);
        return *this;
    }
    // Releases the held reference.
    ComPtr& operator=(std::nullptr_t) noexcept
    {
        Reset();
        return *this;
    }

    // Borrowed pointer: no AddRef, the holder keeps its reference.
    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Out-parameter slot; does NOT release what is held, so use it only while empty.
    T** GetAddressOf() noexcept { return &p_; }
    // Releases what is held, then gives the empty slot to a function that fills it.
    T** ReleaseAndGetAddressOf() noexcept
    {
        Reset();
        return &p_;
    }

    // Hands the reference to the caller, who must Release it; the holder becomes null.
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    // Releases what is held and takes over the caller's reference to p (no AddRef).
    void Attach(T* p) noexcept
    {
        if (T* old = std::exchange(p_, p))
            old->Release();
    }
    // Releases the held reference (if any) and becomes null.
    void Reset() noexcept
    {
        if (T* old = std::exchange(p_, nullptr))
            old->Release();
    }
    void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

    // QueryInterface for riid, which must be U's IID. On success *out owns the new
    // reference; on failure *out is null. Either way *out's old reference is released.
    template <class U>
    HRESULT As(REFIID riid, ComPtr<U>* out) const noexcept
    {
        if (out == nullptr)
            return E_POINTER;
        if (p_ == nullptr) {
            out->Reset();
            return E_POINTER;
        }
        void* raw = nullptr;
        const HRESULT hr = p_->QueryInterface(riid, &raw);
        ComPtr<U> result;
        if (SUCCEEDED(hr))
            result.Attach(static_cast<U*>(raw));
        *out = std::move(result);
        return hr;
    }

private:
    void AddRefIfSet() noexcept
    {
        if (p_ != nullptr)
            p_->AddRef();
    }

    T* p_ = nullptr;
};

template <class T>
bool operator==(const ComPtr<T>& p, std::nullptr_t) noexcept { return p.Get() == nullptr; }
template <class T>
bool operator!=(const ComPtr<T>& p, std::nullptr_t) noexcept { return p.Get() != nullptr; }
