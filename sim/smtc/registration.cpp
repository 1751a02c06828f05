#include "registration.h"

#include <windows.h>

#include "media_session_interfaces.h"
#include "unique_handle.h"

namespace smtc_sim {

namespace {

const std::wstring kKey = std::wstring(L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\") +
                          mivola::smtc::kManagerClassName;

REGSAM View(bool view64) { return view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

bool SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool Marked(HKEY key) {
    DWORD value = 0, size = sizeof value;
    return ::RegGetValueW(key, nullptr, L"MivolaStandIn", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
           value == 1;
}

bool HasDllPath(HKEY key) {
    return ::RegGetValueW(key, nullptr, L"DllPath", RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool SetScenarioValue(HKEY key, const std::wstring& scenario) {
    if (scenario.empty()) {
        LONG rc = ::RegDeleteValueW(key, L"MivolaScenario");
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }
    return SetText(key, L"MivolaScenario", scenario);
}

bool RegisterView(bool view64, const std::wstring& dll, const std::wstring& scenario) {
    mivola::unique_hkey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, nullptr, 0, KEY_READ | KEY_SET_VALUE | View(view64),
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (HasDllPath(key.get()) && !Marked(key.get())) return false;  // the system's own class
    DWORD one = 1;
    return SetText(key.get(), L"DllPath", dll) &&
           ::RegSetValueExW(key.get(), L"MivolaStandIn", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                            sizeof one) == ERROR_SUCCESS &&
           SetScenarioValue(key.get(), scenario);
}

void UnregisterView(bool view64) {
    {
        mivola::unique_hkey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ | View(view64), key.put()) != ERROR_SUCCESS) {
            return;
        }
        if (!Marked(key.get())) return;
    }
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), View(view64), 0);
}

}  // namespace

bool RegisterStandIn(const std::wstring& dll64, const std::wstring& dll32, const std::wstring& scenario) {
    bool ok = true;
    if (!dll64.empty()) ok = RegisterView(true, dll64, scenario) && ok;
    if (!dll32.empty()) ok = RegisterView(false, dll32, scenario) && ok;
    return ok;
}

bool SetScenarioPath(const std::wstring& scenario) {
    bool any = false, ok = true;
    for (bool view64 : {true, false}) {
        mivola::unique_hkey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ | KEY_SET_VALUE | View(view64), key.put()) !=
                ERROR_SUCCESS ||
            !Marked(key.get())) {
            continue;
        }
        any = true;
        ok = SetScenarioValue(key.get(), scenario) && ok;
    }
    return any && ok;
}

void UnregisterStandIn() {
    UnregisterView(true);
    UnregisterView(false);
}

bool StandInRegistered(bool view64) {
    mivola::unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ | View(view64), key.put()) != ERROR_SUCCESS) {
        return false;
    }
    return Marked(key.get()) && HasDllPath(key.get());
}

}  // namespace smtc_sim
