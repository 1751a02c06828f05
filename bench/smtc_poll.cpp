// bench_smtc_poll: one poll of the media-session bridge against the media-session stand-in of
// the same architecture: the calls it makes into the session objects, its cost, and the bridge
// program's share of one core at the default interval and at 10 ms.
//
//   build/<arch>/wine-run build/<arch>/bench/bench_smtc_poll.exe
//
// Calls are counted from the stand-in's call log (every method call except AddRef and Release).
// The cost of a poll is timed in this process, with the same reader the program links and the
// stand-in's log switched off. The program's processor time is read from the host's /proc.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bridge_program_protocol.h"
#include "host_process_time.h"
#include "session_reader.h"
#include "smtc_test_support.h"
#include "test_support.h"

using mivola::NowPlayingRecord;
using mivola::test::SmtcStandIn;

using namespace mivola::bench;

namespace {

const char kScenario[] =
    "session spotify\n  app Spotify.exe\n  status playing\n  title Bench Song\n  artist Artist\n"
    "  album Album\n  genre Pop\n  genre Dance\n  track 4\n  start 0\n  end 240000\n  position 61000\n"
    "  last-updated -1000\ncurrent spotify\n";

size_t Calls(const SmtcStandIn& standIn, size_t from, const char* what = "") { return standIn.CallCount(what, from); }


HWND BridgeWindow() { return ::FindWindowExA(HWND_MESSAGE, nullptr, mivola::kSmtcBridgeProtocol.windowClass, nullptr); }

// Runs the program at the interval for `seconds` once it shows "start"; its share of one core
// in percent, or -1.
double CoreShare(const std::wstring& folder, const std::string& token, const char* interval, DWORD seconds) {
    if (!mivola::test::WriteFileBytes(folder + L"Setting.ini", std::string("[Main]\r\nSMTCTiming=") + interval + "\r\n"))
        return -1;
    mivola::test::Child bridge;
    if (!bridge.Start(folder + L"ZEQ_Mivola_SMTC.exe", mivola::test::Widen(mivola::kSmtcBridgeProtocol.commandWord))) return -1;
    double share = -1;
    ULONGLONG until = ::GetTickCount64() + 10000;
    char text[32] = {};
    while (::GetTickCount64() < until) {
        HWND w = BridgeWindow();
        if (w && ::GetWindowTextA(w, text, sizeof text) > 0 && std::string(text) == "start") break;
        ::Sleep(20);
    }
    std::wstring stat = HostStatPath(token, "ZEQ_Mivola_SMTC.exe");
    if (std::string(text) == "start" && !stat.empty()) {
        ::Sleep(500);
        long long cpu0 = HostCpuTicks(stat);
        ULONGLONG t0 = ::GetTickCount64();
        ::Sleep(seconds * 1000);
        long long cpu1 = HostCpuTicks(stat);
        ULONGLONG t1 = ::GetTickCount64();
        share = CoreSharePercent(cpu0, cpu1, t1 - t0);
    }
    HWND w = BridgeWindow();
    if (w) ::PostMessageA(w, ::RegisterWindowMessageA(mivola::kSmtcBridgeProtocol.pluginEndMessage), 0, 0);
    if (!bridge.Wait(10000)) bridge.Kill();
    return share;
}

}  // namespace

int wmain() {
#ifdef _WIN64
    const char* arch = "x86_64";
#else
    const char* arch = "i686";
#endif
    SmtcStandIn standIn(kScenario);
    if (!standIn.Ok()) {
        std::fprintf(stderr, "bench_smtc_poll: the stand-in could not be registered\n");
        return 1;
    }
    // One poll in this process, counted from the log.
    mivola::smtc::SessionReader reader;
    if (!reader.Obtain()) {
        std::fprintf(stderr, "bench_smtc_poll: no manager (0x%08lX)\n", static_cast<unsigned long>(reader.LastResult()));
        return 1;
    }
    static NowPlayingRecord record;
    size_t before = standIn.LogLines().size();
    reader.Read(mivola::smtc::NowTicks(), record);
    size_t onePoll = Calls(standIn, before);
    bool filled = record.Title[0] != 0;

    // The cost of a poll without the log.
    standIn.SetScenario(std::string("log\n") + kScenario);
    ::Sleep(100);
    reader.Read(mivola::smtc::NowTicks(), record);
    constexpr int kPolls = 2000;
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    for (int i = 0; i < kPolls; ++i) reader.Read(mivola::smtc::NowTicks(), record);
    ::QueryPerformanceCounter(&end);
    double micros = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart / kPolls;
    reader.Shutdown();

    // The program itself, in a folder of its own.
    mivola::test::TempDir folder;
    ::CopyFileW((mivola::test::ModuleDirectory() + L"..\\smtc\\ZEQ_Mivola_SMTC.exe").c_str(),
                (folder.Path() + L"ZEQ_Mivola_SMTC.exe").c_str(), FALSE);
    std::string token = folder.PathA();
    if (!token.empty() && token.back() == '\\') token.pop_back();
    token = token.substr(token.find_last_of('\\') + 1);
    double slow = CoreShare(folder.Path(), token, "1000", 10);
    double fast = CoreShare(folder.Path(), token, "10", 5);

    std::printf("bench_smtc_poll (%s)\n", arch);
    std::printf("runtime calls in one poll: %zu (a playing current session with two genres)\n", onePoll);
    std::printf("poll cost: %.1f us per poll in process (mean of %d polls)\n", micros, kPolls);
    std::printf("bridge share of one core: %.2f %% at 1000 ms, %.2f %% at 10 ms\n", slow, fast);
    return filled && slow >= 0 && fast >= 0 ? 0 : 1;
}
