// Small owners for Win32 resources, in the manner of WIL's unique_* types:
// each owns one resource, closes it on destruction, and can be moved but not copied.
#pragma once

#include <windows.h>

#include <utility>

namespace mivola {

// Traits give the resource type, its "none" value and how to release it.
template <typename Traits>
class unique_resource {
public:
    using T = typename Traits::type;
    unique_resource() = default;
    explicit unique_resource(T value) : value_(value) {}
    ~unique_resource() { reset(); }
    unique_resource(const unique_resource&) = delete;
    unique_resource& operator=(const unique_resource&) = delete;
    unique_resource(unique_resource&& other) noexcept : value_(other.release()) {}
    unique_resource& operator=(unique_resource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::invalid(); }
    T release() { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) {
        T old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }
    // For out-parameter style APIs: releases the current value first.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Traits::invalid();
};

namespace detail {
template <typename T, void (*Close)(T)>
struct null_traits {
    using type = T;
    static T invalid() { return nullptr; }
    static void close(T v) { Close(v); }
};
inline void close_handle(HANDLE h) { ::CloseHandle(h); }
inline void unmap_view(void* p) { ::UnmapViewOfFile(p); }
inline void free_library(HMODULE m) { ::FreeLibrary(m); }
inline void destroy_window(HWND w) { ::DestroyWindow(w); }
inline void local_free(void* p) { ::LocalFree(p); }
inline void close_key(HKEY k) { ::RegCloseKey(k); }
struct file_traits {
    using type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
}  // namespace detail

// Kernel handles whose "none" value is null (mutexes, mappings, events, processes).
using unique_handle = unique_resource<detail::null_traits<HANDLE, detail::close_handle>>;
// File handles, whose "none" value is INVALID_HANDLE_VALUE.
using unique_hfile = unique_resource<detail::file_traits>;
using unique_view = unique_resource<detail::null_traits<void*, detail::unmap_view>>;
using unique_hmodule = unique_resource<detail::null_traits<HMODULE, detail::free_library>>;
using unique_hwnd = unique_resource<detail::null_traits<HWND, detail::destroy_window>>;
using unique_hlocal = unique_resource<detail::null_traits<void*, detail::local_free>>;
// Registry keys opened or created by the caller (never the predefined roots).
using unique_hkey = unique_resource<detail::null_traits<HKEY, detail::close_key>>;

}  // namespace mivola
