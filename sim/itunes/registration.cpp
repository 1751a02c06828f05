#include "registration.h"

#include <windows.h>

#include <cwchar>

namespace itunes_sim {

namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{DC0C2640-1415-4644-875C-6F4D769839BA}";
constexpr wchar_t kTypeLibKey[] = L"Software\\Classes\\TypeLib\\{9E93C96F-CF0D-43F6-8BA8-B807A3370712}";
constexpr wchar_t kLibid[] = L"{9E93C96F-CF0D-43F6-8BA8-B807A3370712}";
// The automation marshaller for dual interfaces, and the plain IDispatch one for the events.
constexpr wchar_t kTypeLibMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr wchar_t kDispatchMarshaler[] = L"{00020420-0000-0000-C000-000000000046}";

struct InterfaceRow {
    const wchar_t* iid;
    const wchar_t* name;
    const wchar_t* marshaler;
};

const InterfaceRow kInterfaces[] = {
    {L"{9DD6680B-3EDC-40DB-A771-E6FE4832E34A}", L"IiTunes", kTypeLibMarshaler},
    {L"{9FAB0E27-70D7-4E3A-9965-B0C8B8869BB6}", L"IITObject", kTypeLibMarshaler},
    {L"{4CB0915D-1E54-4727-BAF3-CE6CC9A225A1}", L"IITTrack", kTypeLibMarshaler},
    {L"{00D7FE99-7868-4CC7-AD9E-ACFD70D09566}", L"IITFileOrCDTrack", kTypeLibMarshaler},
    {L"{1116E3B5-29FD-4393-A7BD-454E5E327900}", L"IITURLTrack", kTypeLibMarshaler},
    {L"{5846EB78-317E-4B6F-B0C3-11EE8C8FEEF2}", L"_IiTunesEvents", kDispatchMarshaler},
};

const REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

// Sets the value `name` (null: the default value) of HKLM\key in one view, creating the key.
bool SetText(REGSAM view, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &handle,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG rc = ::RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(handle);
    return rc == ERROR_SUCCESS;
}

void DeleteTree(REGSAM view, const wchar_t* key) {
    HKEY classes = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_ALL_ACCESS | view, &classes) != ERROR_SUCCESS) return;
    ::RegDeleteTreeW(classes, key);
    ::RegCloseKey(classes);
}

}  // namespace

bool RegisterStandIn(const std::wstring& serverPath, const std::wstring& typeLib32, const std::wstring& typeLib64) {
    bool ok = true;
    for (REGSAM view : kViews) {
        std::wstring cls = kClassKey;
        ok = SetText(view, cls, nullptr, L"iTunes Application (Mivola stand-in)") && ok;
        ok = SetText(view, cls + L"\\LocalServer32", nullptr, L"\"" + serverPath + L"\"") && ok;
        ok = SetText(view, cls + L"\\TypeLib", nullptr, kLibid) && ok;
        std::wstring lib = std::wstring(kTypeLibKey) + L"\\1.5";
        ok = SetText(view, lib, nullptr, L"iTunes 1.5 Type Library (Mivola stand-in)") && ok;
        ok = SetText(view, lib + L"\\FLAGS", nullptr, L"0") && ok;
        ok = SetText(view, lib + L"\\0\\win32", nullptr, typeLib32) && ok;
        ok = SetText(view, lib + L"\\0\\win64", nullptr, typeLib64) && ok;
        for (const InterfaceRow& row : kInterfaces) {
            std::wstring key = std::wstring(L"Software\\Classes\\Interface\\") + row.iid;
            ok = SetText(view, key, nullptr, row.name) && ok;
            ok = SetText(view, key + L"\\ProxyStubClsid32", nullptr, row.marshaler) && ok;
            ok = SetText(view, key + L"\\ProxyStubClsid", nullptr, row.marshaler) && ok;
            ok = SetText(view, key + L"\\TypeLib", nullptr, kLibid) && ok;
            ok = SetText(view, key + L"\\TypeLib", L"Version", L"1.5") && ok;
        }
    }
    return ok;
}

void UnregisterStandIn() {
    for (REGSAM view : kViews) {
        DeleteTree(view, kClassKey + std::wcslen(L"Software\\Classes\\"));
        DeleteTree(view, kTypeLibKey + std::wcslen(L"Software\\Classes\\"));
        for (const InterfaceRow& row : kInterfaces) DeleteTree(view, (std::wstring(L"Interface\\") + row.iid).c_str());
    }
}

bool StandInRegistered() {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassKey, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    ::RegCloseKey(handle);
    return true;
}

}  // namespace itunes_sim
