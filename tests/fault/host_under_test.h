// The real Mivola.zeqp loaded into the test process, as the ZEQ host loads it, with a text
// request that is given a few seconds to come back (a hang fails the test instead of stopping it).
#pragma once

#include <windows.h>

#include <string>

#include "unique_handle.h"

namespace mivola::test {

class HostUnderTest {
public:
    HostUnderTest() = default;
    HostUnderTest(const HostUnderTest&) = delete;
    HostUnderTest& operator=(const HostUnderTest&) = delete;
    // Free, then unload (unless a request never came back: its thread still runs the code).
    ~HostUnderTest();

    // LoadLibrary and Init.
    bool Load(const std::wstring& dll);
    // GetText(1, setting) with a 4096-unit buffer on a thread of its own; false when it has not
    // returned within timeoutMs. text receives the buffer; *result what GetText returned.
    bool TimedText(int setting, std::wstring* text, int* result = nullptr, DWORD timeoutMs = 5000);
    // The text of a setting, or "<none>" when GetText gave 0 (or did not come back).
    std::wstring Text(int setting);

private:
    using InitFn = int(WINAPI*)();
    using FreeFn = void(WINAPI*)();
    using GetTextFn = int(WINAPI*)(int, int, int, wchar_t*, int, int);

    unique_hmodule module_;
    FreeFn free_ = nullptr;
    GetTextFn getText_ = nullptr;
    bool hung_ = false;
};

}  // namespace mivola::test
