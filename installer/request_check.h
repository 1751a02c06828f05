// What the installer accepts. The request comes from a region that any program of the logon
// could have written, while the installer runs elevated: every byte and both paths are checked
// against what the installer works out for itself, and anything unexpected is refused.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace mivola::installer {

struct Request {
    uint8_t operation = 0;
    uint32_t playerId = 0;
    std::wstring first;   // where the bridge goes, or the bridge to remove
    std::wstring second;  // the bridge to copy; empty for removal
};

// The one command-line argument: plain decimal digits, no sign, spaces or leading zero,
// within the sizes a request can have.
bool ParseRequestSize(const wchar_t* argument, uint32_t& size);

// The bytes of a request of exactly `size` bytes: header fields, path offsets and terminators,
// the second path ending at the last byte. Paths are decoded from the ANSI code page.
bool ParseRequest(const unsigned char* bytes, uint32_t size, Request& request);

// Whether the paths are exactly the ones the installer computes itself: the bridge file at its
// place in the player's folder (found from the registry, holding the player program) and, for
// an install, the bridge file beside the installer in installerDir (trailing backslash).
bool PathsAreExpected(const Request& request, const std::wstring& installerDir);

}  // namespace mivola::installer
