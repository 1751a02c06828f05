// The installer's reading of its request: the size argument and the bytes of the region, both
// written by whoever wants an elevated copy. Properties: an accepted argument is exactly a
// plain decimal number within the request sizes; an accepted request has the header, offsets
// and terminators a well-formed request has; a well-formed request is never refused by its
// bytes alone. Every 60th input also goes to the real vennick.exe against a fake Winamp
// folder: a refused request leaves the request's first byte and the folders untouched, and
// only the exact request the host would write is carried out.
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "install_request.h"
#include "installation_support.h"
#include "players.h"
#include "request_check.h"
#include "test_support.h"

using namespace mivola;
using namespace mivola::fuzz;

namespace {

GuardedBuffer* g_bytes;
GuardedBuffer* g_argument;

// The real installer beside a Winamp bridge, and a fake Winamp folder the registry names.
struct Installation {
    test::RegisteredPlayers registry;
    test::PluginFolder plugin{"[Main]\r\nVersion=2\r\nMivolaNum=1\r\n"};
    test::FakePlayer winamp{kPlayerWinamp};
    std::wstring vennick;
    std::string bridgeA, sourceA;  // the paths a genuine request names
};
Installation* g_install;

std::string Ansi(const std::wstring& w) {
    char buffer[kPathCapacity * 2];
    int n = ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n - 1)) : std::string();
}

bool SetUp() {
    static GuardedBuffer bytes(kInstallRequestMaxSize + 64), argument(64 * sizeof(wchar_t));
    g_bytes = &bytes, g_argument = &argument;
    static Installation install;
    if (!install.plugin.Ready() || !test::AddInstaller(install.plugin)) return false;
    install.vennick = test::MivolaFolder(install.plugin) + L"vennick.exe";
    if (!install.registry.winamp.Set(install.winamp.Folder())) return false;
    install.bridgeA = Ansi(install.winamp.BridgePath());
    install.sourceA = Ansi(test::MivolaFolder(install.plugin) + L"gen_zeq_mivola.dll");
    g_install = &install;
    return bytes.Ready() && argument.Ready();
}

// A path as a request might carry it: the genuine ones, their neighbours, or anything.
std::string SomePath(Random& rng, bool genuineFirst) {
    const std::string& genuine = genuineFirst ? g_install->bridgeA : g_install->sourceA;
    switch (rng.Below(6)) {
        case 0: return genuine;
        case 1: return genuine + "\\..\\..\\x.dll";
        case 2: {
            std::string s = genuine;
            for (char& c : s)
                if (c >= 'a' && c <= 'z' && rng.OneIn(3)) c = static_cast<char>(c - 'a' + 'A');  // case alone
            return s;
        }
        case 3: return "C:\\Windows\\System32\\gen_zeq_mivola.dll";
        case 4: return std::string();
        default: {
            std::string s;
            rng.Bytes(s, rng.EdgeSize(kPathCapacity + 8));
            return s;
        }
    }
}

// Independent reading of the size argument's rule.
bool PlainSize(const std::wstring& text, uint32_t& value) {
    if (text.empty() || text.size() > 4 || text[0] == L'0') return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<uint32_t>(c - L'0');
    }
    return value >= kInstallRequestMinSize && value <= kInstallRequestMaxSize;
}

void FuzzArgument(Random& rng) {
    std::wstring text;
    switch (rng.Below(3)) {
        case 0: text = std::to_wstring(rng.EdgeInt(kInstallRequestMaxSize)); break;
        case 1: text = test::Widen(EdgeNumberTexts()[rng.Below(static_cast<uint32_t>(EdgeNumberTexts().size()))]); break;
        default: {
            const wchar_t units[] = {L'0', L'1', L'4', L'9', L' ', L'+', L'-', L'x', 0xFF11 /* full-width 1 */, L'\t'};
            for (uint32_t n = rng.Below(7); n > 0; --n) text += units[rng.Below(sizeof units / sizeof units[0])];
        }
    }
    text.push_back(L'\0');
    const wchar_t* placed = static_cast<const wchar_t*>(g_argument->Place(text.data(), text.size() * sizeof(wchar_t)));
    text.pop_back();
    uint32_t size = 0, expected = 0;
    const bool accepted = installer::ParseRequestSize(placed, size);
    Expect(accepted == PlainSize(text, expected), "the size argument is accepted exactly when it is plain and in range");
    if (accepted) Expect(size == expected, "an accepted size argument gives its own value");
    Count(accepted ? "argument accepted" : "argument refused");
}

// Whether bytes are a well-formed request: the header's rules, the first path's terminator
// where the second offset says, and the second path's only NUL at the last byte.
bool WellFormed(const std::string& bytes) {
    if (bytes.size() < kInstallRequestMinSize || bytes.size() > kInstallRequestMaxSize) return false;
    InstallRequestHeader h;
    std::memcpy(&h, bytes.data(), sizeof h);
    if (h.operation > 1 || (h.playerId != kPlayerWmp && h.playerId != kPlayerWinamp) || h.reserved != 0 ||
        h.firstPathOffset != 12)
        return false;
    const size_t nul = bytes.find('\0', 12);
    if (nul == std::string::npos || h.secondPathOffset != nul + 1 || h.secondPathOffset >= bytes.size()) return false;
    return bytes.find('\0', h.secondPathOffset) == bytes.size() - 1 && nul - 12 < kPathCapacity &&
           bytes.size() - 1 - h.secondPathOffset < kPathCapacity;
}

void FuzzRequest(Random& rng) {
    // A third of the requests that go to the real installer are the host's own, untouched.
    const bool toInstaller = CurrentInput() % 60 == 0;
    const bool asHost = toInstaller && rng.OneIn(3);
    const uint8_t operation = rng.OneIn(8) ? static_cast<uint8_t>(rng.Below(256)) : static_cast<uint8_t>(rng.Below(2));
    const uint8_t player = rng.OneIn(8) ? static_cast<uint8_t>(rng.Below(256)) : kPlayerWinamp;
    std::string first = asHost ? g_install->bridgeA : SomePath(rng, true);
    std::string second = operation == kOperationUninstall && (asHost || rng.OneIn(2)) ? std::string()
                         : asHost                                                    ? g_install->sourceA
                                                                                     : SomePath(rng, false);
    std::string bytes = test::RequestBytes(operation, player, first, second);
    const bool mutated = !asHost && rng.OneIn(2);
    if (mutated) Mutate(rng, bytes, kInstallRequestMaxSize + 16, kInstallRequestMaxSize);
    Count(mutated ? "request mutated" : "request shaped");

    const auto* placed = static_cast<const unsigned char*>(g_bytes->Place(bytes.data(), bytes.size()));
    installer::Request request;
    const bool accepted = installer::ParseRequest(placed, static_cast<uint32_t>(bytes.size()), request);
    const bool wellFormed = WellFormed(bytes);
    Expect(!accepted || wellFormed, "only a well-formed request is accepted");
    if (accepted) {
        Expect(request.operation == bytes[0] && request.playerId == static_cast<unsigned char>(bytes[1]),
               "the accepted request's fields are its bytes");
        Expect(request.second.empty() == (bytes.size() - 1 == bytes.find('\0', 12) + 1),
               "the second path is empty exactly when its bytes are");
    }
    // Paths in the ANSI code page that do not decode are refused; valid ones are not.
    if (wellFormed && !accepted) {
        const size_t nul = bytes.find('\0', 12);
        const bool decodes =
            ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data() + 12, static_cast<int>(nul - 12), nullptr,
                                  0) > 0 || nul == 12;
        const size_t at = nul + 1, n = bytes.size() - 1 - at;
        const bool decodes2 = n == 0 || ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data() + at,
                                                              static_cast<int>(n), nullptr, 0) > 0;
        Expect(!(decodes && decodes2), "a well-formed request whose paths decode is never refused by its bytes");
    }
    Count(accepted ? "request accepted" : "request refused");

    if (!toInstaller || bytes.size() > kInstallRequestMaxSize || bytes.empty()) return;
    // The real installer: the request in its region, the size as its argument.
    const std::string before = test::Listing(g_install->winamp.Folder()) + test::Listing(test::MivolaFolder(g_install->plugin));
    const std::wstring args = rng.OneIn(6) ? std::to_wstring(bytes.size() + rng.Below(3)) : std::to_wstring(bytes.size());
    test::InstallerRun run = test::RunVennick(g_install->vennick, bytes, args,
                                              static_cast<DWORD>(bytes.size()) + (rng.OneIn(4) ? rng.Below(64) : 0));
    Expect(run.started, "the installer runs to its end");
    const bool genuine = bytes == test::RequestBytes(operation, player, g_install->bridgeA,
                                                    operation == kOperationUninstall ? std::string() : g_install->sourceA) &&
                         args == std::to_wstring(bytes.size()) && operation <= 1 && player == kPlayerWinamp;
    if (run.exitCode == 1) {
        Expect(run.verdict == static_cast<unsigned char>(bytes[0]), "a refused request keeps its first byte");
        Expect(before == test::Listing(g_install->winamp.Folder()) + test::Listing(test::MivolaFolder(g_install->plugin)),
               "a refused request changes nothing on disk");
        Count("installer refused");
        return;
    }
    // Accepted: only the host's own request (its paths compare ignoring case). Removing a
    // bridge that is not there is accepted and fails (exit 2).
    Expect(genuine || ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, first.c_str(), -1, g_install->bridgeA.c_str(),
                                       -1) == CSTR_EQUAL,
           "only the genuine request is accepted");
    Expect(run.exitCode == 2 || (run.exitCode == 0 && run.verdict == 2), "a request carried out reports it");
    ::DeleteFileW(g_install->winamp.BridgePath().c_str());  // back to "not installed"
    Count(run.exitCode == 0 ? "installer carried out" : "installer accepted, a step failed");
}

void One(Random& rng) {
    if (rng.OneIn(4))
        FuzzArgument(rng);
    else
        FuzzRequest(rng);
}

}  // namespace

extern const Fuzzer kFuzzer = {"install_request", SetUp, One};
