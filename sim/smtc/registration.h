// The registry entries that make the stand-in the machine's media-session manager class:
//   HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId\<the manager class name>
//     DllPath         REG_SZ     the stand-in DLL of the view's bitness
//     MivolaScenario  REG_SZ     the scenario file the stand-in plays (absent: none)
//     MivolaStandIn   REG_DWORD  1: marks the key as the stand-in's, so that only such a key
//                                is ever overwritten or removed (a system's own stays untouched)
// The 64-bit view gets the 64-bit DLL, the 32-bit view (Wow6432Node) the 32-bit one.
#pragma once

#include <string>

namespace smtc_sim {

// Either DLL may be empty: that view is left without the class. False when a key could not be
// written, or when a view holds a registration that is not the stand-in's.
bool RegisterStandIn(const std::wstring& dll64, const std::wstring& dll32, const std::wstring& scenario);
// Points both views' registrations at another scenario file (empty: none).
bool SetScenarioPath(const std::wstring& scenario);
// Removes the class key from both views where it is the stand-in's; harmless when none is there.
void UnregisterStandIn();
// Whether the view (true: 64-bit) holds the stand-in's registration.
bool StandInRegistered(bool view64);

// Registers on construction and unregisters on destruction, also when a test fails.
class ScopedRegistration {
public:
    ScopedRegistration(const std::wstring& dll64, const std::wstring& dll32, const std::wstring& scenario)
        : ok_(RegisterStandIn(dll64, dll32, scenario)) {}
    ~ScopedRegistration() { UnregisterStandIn(); }
    ScopedRegistration(const ScopedRegistration&) = delete;
    ScopedRegistration& operator=(const ScopedRegistration&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_;
};

}  // namespace smtc_sim
