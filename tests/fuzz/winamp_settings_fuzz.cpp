// The Winamp bridge's settings file (its module path + ".ini", [Main] Timing), read by the
// bridges' own code (channel/module_settings_file.cpp) with this program standing in as the
// module: any bytes, overlong lines, missing sections, numbers at every edge. Properties: the
// interval is always 10..9999, a clean value loads exactly as clamped, and a written interval
// loads back while the rest of the file stays as it was.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "module_settings_file.h"

using namespace mivola;
using namespace mivola::fuzz;

namespace {

HMODULE g_module;
std::string g_path;

bool SetUp() {
    g_module = ::GetModuleHandleW(nullptr);
    char path[kModuleSettingsPathCapacity];
    if (!ModuleSettingsPath(g_module, path)) return false;
    g_path = path;
    return true;
}

std::string ReadBack() {
    std::string bytes;
    unique_hfile f(::CreateFileA(g_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return bytes;
    char chunk[4096];
    DWORD n = 0;
    while (::ReadFile(f.get(), chunk, sizeof chunk, &n, nullptr) && n) bytes.append(chunk, n);
    return bytes;
}

// The system keeps profile files cached; a file rewritten behind its back must be read anew.
void ForgetCachedFile() { ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, g_path.c_str()); }

struct Known {
    const char* text;
    UINT interval;
};
constexpr Known kKnown[] = {{"0", 10},       {"5", 10},        {"10", 10},       {"11", 11},    {"1000", 1000},
                            {"9999", 9999},  {"10000", 9999},  {"20000", 9999},  {"-1", 9999},  {"abc", 10},
                            {"-2147483648", 9999}, {"2147483647", 9999}, {"\"50\"", 50}, {" 77 ", 77}};

void One(Random& rng) {
    std::string bytes;
    bool known = false;
    const Known& k = kKnown[rng.Below(sizeof kKnown / sizeof kKnown[0])];
    const std::vector<IniSection> shape = {{"Other", {{"Key", {"value"}}}},
                                           {"Main", {{"Timing", {"10", "1000", "9999", "5", "20000", "-1"}}}}};
    switch (rng.Below(4)) {
        case 0:
            Count("file random bytes");
            rng.Bytes(bytes, rng.EdgeSize(2048));
            break;
        case 1:
            Count("file shaped");
            bytes = RandomIni(rng, shape);
            break;
        case 2: {
            Count("file mutated");
            bytes = "[Main]\r\nTiming=1000\r\n";
            Mutate(rng, bytes, 16 * 1024, 9999, RandomIni(rng, shape));
            break;
        }
        default:
            Count("file clean");
            known = true;
            bytes = "[Other]\r\nKey=" + std::string(rng.OneIn(4) ? 6000 : 5, 'x') + "\r\n[Main]\r\nTiming=" + k.text + "\r\n";
    }
    const bool missing = rng.OneIn(20);
    if (missing) ::DeleteFileA(g_path.c_str());
    else WriteWholeFile(g_path, bytes);
    ForgetCachedFile();

    UINT interval = ReadModuleInterval(g_module);
    Expect(interval >= 10 && interval <= 9999, "the interval is 10..9999");
    if (missing) Expect(interval == 1000, "no file gives 1000");
    if (known && !missing) Expect(interval == k.interval, "a clean Timing loads as clamped");

    // Written back (as the dialog does, clamped first), it loads as written; the rest stays.
    if (rng.OneIn(4)) {
        Count("written back");
        const std::string before = ReadBack();
        UINT v = 10 + rng.Below(9990);
        Expect(WriteModuleInterval(g_module, v), "writing the interval succeeds");
        ForgetCachedFile();
        Expect(ReadModuleInterval(g_module) == v, "a written interval loads back");
        if (known && !missing) {
            const std::string after = ReadBack();
            Expect(after.find("[Other]\r\nKey=") == 0 && after.find(before.substr(0, before.find("[Main]"))) == 0,
                   "writing the interval keeps the other sections");
        }
    }
}

}  // namespace

extern const Fuzzer kFuzzer = {"winamp_settings", SetUp, One};
