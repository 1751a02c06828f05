// The runtime's functions, loaded from combase.dll when first needed rather than imported, so
// that the bridge still starts on a system that lacks them (there it reports the sessions as
// unavailable). Owners for runtime strings beside them.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <hstring.h>

#include <cstddef>
#include <cstdint>

#include "unique_handle.h"

namespace mivola::smtc {

struct RuntimeApi {
    using RoInitializeFn = HRESULT(WINAPI*)(int initType);
    using RoUninitializeFn = void(WINAPI*)();
    using RoGetActivationFactoryFn = HRESULT(WINAPI*)(HSTRING classId, REFIID iid, void** factory);
    using WindowsCreateStringFn = HRESULT(WINAPI*)(const wchar_t* text, UINT32 length, HSTRING* string);
    using WindowsDeleteStringFn = HRESULT(WINAPI*)(HSTRING string);
    using WindowsGetStringRawBufferFn = const wchar_t*(WINAPI*)(HSTRING string, UINT32* length);

    unique_hmodule module;
    RoInitializeFn RoInitialize = nullptr;
    RoUninitializeFn RoUninitialize = nullptr;
    RoGetActivationFactoryFn RoGetActivationFactory = nullptr;
    WindowsCreateStringFn WindowsCreateString = nullptr;
    WindowsDeleteStringFn WindowsDeleteString = nullptr;
    WindowsGetStringRawBufferFn WindowsGetStringRawBuffer = nullptr;
};

constexpr int kRoInitMultithreaded = 1;  // RO_INIT_MULTITHREADED

// The functions, loaded once per process; null when combase.dll or any of them is missing.
const RuntimeApi* Runtime();

namespace detail {
inline void delete_hstring(HSTRING s) {
    // A string exists only where the functions were loaded.
    if (const RuntimeApi* api = Runtime()) api->WindowsDeleteString(s);
}
}  // namespace detail

// One owned runtime string (null is the empty string).
using unique_hstring = unique_resource<mivola::detail::null_traits<HSTRING, detail::delete_hstring>>;

// As keep_if_succeeded of unique_com.h: after a failed call the string it left is dropped unfreed.
inline void keep_if_succeeded(HRESULT hr, unique_hstring& s) {
    if (FAILED(hr)) s.release();
}

// The text of a runtime string, up to its first embedded zero (a record field ends there).
struct StringText {
    const wchar_t* text;
    size_t length;
};
StringText TextOf(HSTRING s);

// A new runtime string holding text; an empty owner on failure or when the runtime is missing.
unique_hstring MakeHString(const wchar_t* text);

}  // namespace mivola::smtc
