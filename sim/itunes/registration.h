// The registry entries that make the stand-in the machine's iTunes: its class as a local
// server, iTunes' type library at version 1.5, and the interfaces marshalled through it.
// Written into both registry views, so 32-bit and 64-bit clients and servers find them.
#pragma once

#include <string>

namespace itunes_sim {

// serverPath: the stand-in program; typeLib32/typeLib64: the type library built for each
// architecture (one may be given for both). False when a key could not be written.
bool RegisterStandIn(const std::wstring& serverPath, const std::wstring& typeLib32, const std::wstring& typeLib64);
// Removes every entry RegisterStandIn writes; harmless when none is there.
void UnregisterStandIn();
// Whether the class is registered in the view of the calling program.
bool StandInRegistered();

// Registers on construction and unregisters on destruction, also when a test fails.
class ScopedRegistration {
public:
    ScopedRegistration(const std::wstring& serverPath, const std::wstring& typeLib32, const std::wstring& typeLib64)
        : ok_(RegisterStandIn(serverPath, typeLib32, typeLib64)) {}
    ~ScopedRegistration() { UnregisterStandIn(); }
    ScopedRegistration(const ScopedRegistration&) = delete;
    ScopedRegistration& operator=(const ScopedRegistration&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_;
};

}  // namespace itunes_sim
