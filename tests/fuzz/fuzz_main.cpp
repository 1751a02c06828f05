// The driver of every fuzzer program:
//   fuzz_<name> [--count N] [--seed S] [--first I]
// runs inputs I .. I+N-1 (each input's generator is seeded from S and its index, so any one
// input can be run again alone), then prints the counts and the number of failed properties.
// A read or write that reaches a guard page ends the run with the input's index, and so does
// undefined behaviour in the fuzzing build (scripts/fuzz), whose checks end in a trap
// instruction.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "fuzz_support.h"

namespace mivola::fuzz {

bool IsGuardAddress(const void* address);

namespace {

std::map<std::string, unsigned long long> g_counts;
unsigned long long g_failures = 0;
uint64_t g_input = 0;
uint64_t g_seed = 20261209;
const char* g_name = "";

// Prints where code lies as the address addr2line takes for its module (the module's linked
// base plus the offset), so that a build with line tables names the source line.
void PrintCodePlace(const void* code) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(code), &module)) {
        std::printf(" at %p\n", code);
        return;
    }
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    unsigned long long linked = nt->OptionalHeader.ImageBase + static_cast<unsigned long long>(
                                                                   static_cast<const unsigned char*>(code) - base);
    wchar_t name[MAX_PATH] = L"";
    ::GetModuleFileNameW(module, name, MAX_PATH);
    std::printf(" at 0x%llx of %ls\n", linked, name);
}

LONG CALLBACK OnFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    if (r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && r->NumberParameters >= 2 &&
        IsGuardAddress(reinterpret_cast<const void*>(r->ExceptionInformation[1]))) {
        std::printf("fuzz %s: input %llu (seed %llu) %s past its buffer at %p (code at %p)\n", g_name,
                    static_cast<unsigned long long>(g_input), static_cast<unsigned long long>(g_seed),
                    r->ExceptionInformation[0] ? "wrote" : "read", reinterpret_cast<void*>(r->ExceptionInformation[1]),
                    r->ExceptionAddress);
        std::fflush(stdout);
        ::ExitProcess(3);
    }
    if (r->ExceptionCode == EXCEPTION_ILLEGAL_INSTRUCTION) {
        // The compiler's checks end in a trap instruction; nothing else here executes one.
        std::printf("fuzz %s: input %llu (seed %llu) stopped on undefined behaviour", g_name,
                    static_cast<unsigned long long>(g_input), static_cast<unsigned long long>(g_seed));
        PrintCodePlace(r->ExceptionAddress);
        std::fflush(stdout);
        ::ExitProcess(5);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    std::printf("fuzz %s: input %llu (seed %llu) crashed with exception %08lx\n", g_name,
                static_cast<unsigned long long>(g_input), static_cast<unsigned long long>(g_seed),
                static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    std::fflush(stdout);
    ::ExitProcess(4);
}

}  // namespace

void Count(const char* what) { ++g_counts[what]; }

void Expect(bool holds, const char* property) {
    if (holds) return;
    if (++g_failures <= 20)
        std::printf("fuzz %s: input %llu (seed %llu) breaks: %s\n", g_name, static_cast<unsigned long long>(g_input),
                    static_cast<unsigned long long>(g_seed), property);
}

uint64_t CurrentInput() { return g_input; }

}  // namespace mivola::fuzz

extern const mivola::fuzz::Fuzzer kFuzzer;

int main(int argc, char** argv) {
    using namespace mivola::fuzz;
    unsigned long long count = 2000, first = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--count") == 0) count = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--seed") == 0) g_seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--first") == 0) first = std::strtoull(argv[i + 1], nullptr, 10);
    }
    g_name = kFuzzer.name;
    ::AddVectoredExceptionHandler(1, OnFault);
    ::SetUnhandledExceptionFilter(OnCrash);
    if (kFuzzer.SetUp && !kFuzzer.SetUp()) {
        std::printf("fuzz %s: set-up failed\n", g_name);
        return 2;
    }
    const ULONGLONG start = ::GetTickCount64();
    for (g_input = first; g_input < first + count; ++g_input) {
        Random rng(g_seed * 0x100000001B3ull ^ (g_input * 0x9E3779B97F4A7C15ull));
        kFuzzer.One(rng);
    }
    std::printf("fuzz %s: seed=%llu inputs=%llu failures=%llu seconds=%.1f\n", g_name,
                static_cast<unsigned long long>(g_seed), count, g_failures, (::GetTickCount64() - start) / 1000.0);
    for (const auto& [what, n] : g_counts) std::printf("  %s=%llu\n", what.c_str(), n);
    std::fflush(stdout);
    return g_failures == 0 ? 0 : 1;
}
