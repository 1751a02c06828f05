// Owners for COM resources, beside the kernel-handle owners of unique_handle.h and in the
// manner of WIL's unique_bstr and com_ptr: each owns one reference or string, frees it on
// destruction, and can be moved but not copied (com_ptr can also be copied, adding a reference).
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

#include "unique_handle.h"

namespace mivola {

namespace detail {
inline void free_bstr(BSTR s) { ::SysFreeString(s); }
inline void co_task_mem_free(void* p) { ::CoTaskMemFree(p); }
}  // namespace detail

using unique_bstr = unique_resource<detail::null_traits<BSTR, detail::free_bstr>>;
using unique_cotaskmem = unique_resource<detail::null_traits<void*, detail::co_task_mem_free>>;

// Length in characters of an owned BSTR; a null BSTR is the empty string, as COM treats it.
inline UINT bstr_length(const unique_bstr& s) { return s ? ::SysStringLen(s.get()) : 0u; }

// A VARIANT that is cleared on destruction.
class unique_variant {
public:
    unique_variant() { ::VariantInit(&value_); }
    ~unique_variant() { ::VariantClear(&value_); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }
    // For out-parameter style APIs: clears the current value first.
    VARIANT* put() {
        ::VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

// One counted reference to a COM interface.
template <typename T>
class com_ptr {
public:
    com_ptr() = default;
    // Adopts no reference: adds one of its own (as WIL's com_ptr constructor does).
    explicit com_ptr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ~com_ptr() { reset(); }
    com_ptr(const com_ptr& other) : com_ptr(other.p_) {}
    com_ptr& operator=(const com_ptr& other) {
        com_ptr(other).swap(*this);
        return *this;
    }
    com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Gives up the reference without releasing it.
    T* detach() { return std::exchange(p_, nullptr); }
    // Takes over a reference that the caller already owns.
    void attach(T* p) {
        reset();
        p_ = p;
    }
    void reset() {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    // For out-parameter style APIs: releases the current reference first.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void swap(com_ptr& other) noexcept { std::swap(p_, other.p_); }

    // QueryInterface into another owner; the result is S_OK or the failure, never an exception.
    template <typename U>
    HRESULT query_to(REFIID iid, com_ptr<U>* out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out->put_void());
    }

private:
    T* p_ = nullptr;
};

// For a call that fills an owner through put(): a failed call may leave anything in its out
// value (stubs of foreign objects often do not set it), which is not ours to free. After a
// failure the owner drops the value unfreed and stays empty.
inline void keep_if_succeeded(HRESULT hr, unique_bstr& s) {
    if (FAILED(hr)) s.release();
}
template <typename T>
void keep_if_succeeded(HRESULT hr, com_ptr<T>& p) {
    if (FAILED(hr)) p.detach();
}

// The calling thread's membership of a COM apartment, from CoInitializeEx to CoUninitialize.
// Every successful initialisation (S_FALSE, already initialised, included) is paired with one
// uninitialisation; a failed one (another apartment model) leaves nothing to undo. Declare it
// before the COM references it outlives, so that they are released first.
class [[nodiscard]] ComApartment {
public:
    explicit ComApartment(DWORD model) : result_(::CoInitializeEx(nullptr, model)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HRESULT Result() const { return result_; }
    bool Joined() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace mivola
