#include "runtime.h"

#include <cwchar>

namespace mivola::smtc {

namespace {

template <typename F>
bool Resolve(HMODULE module, const char* name, F& out) {
    out = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return out != nullptr;
}

bool Load(RuntimeApi& api) {
    api.module.reset(::LoadLibraryW(L"combase.dll"));
    if (!api.module) return false;
    HMODULE m = api.module.get();
    return Resolve(m, "RoInitialize", api.RoInitialize) && Resolve(m, "RoUninitialize", api.RoUninitialize) &&
           Resolve(m, "RoGetActivationFactory", api.RoGetActivationFactory) &&
           Resolve(m, "WindowsCreateString", api.WindowsCreateString) &&
           Resolve(m, "WindowsDeleteString", api.WindowsDeleteString) &&
           Resolve(m, "WindowsGetStringRawBuffer", api.WindowsGetStringRawBuffer);
}

}  // namespace

const RuntimeApi* Runtime() {
    static RuntimeApi api;
    static const bool loaded = Load(api);
    return loaded ? &api : nullptr;
}

StringText TextOf(HSTRING s) {
    const RuntimeApi* api = Runtime();
    if (!s || !api) return {L"", 0};
    UINT32 length = 0;
    const wchar_t* text = api->WindowsGetStringRawBuffer(s, &length);
    if (!text) return {L"", 0};
    size_t n = 0;
    while (n < length && text[n]) ++n;
    return {text, n};
}

unique_hstring MakeHString(const wchar_t* text) {
    unique_hstring s;
    const RuntimeApi* api = Runtime();
    if (!api || !text) return s;
    keep_if_succeeded(api->WindowsCreateString(text, static_cast<UINT32>(std::wcslen(text)), s.put()), s);
    return s;
}

}  // namespace mivola::smtc
