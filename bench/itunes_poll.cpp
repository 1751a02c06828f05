// bench_itunes_poll: one attached poll of the iTunes bridge against the iTunes stand-in of the
// same architecture: its cost, the calls it makes into the iTunes process, and the bridge's
// share of one core at the default interval and at 10 ms.
//
//   build/<arch>/wine-run build/<arch>/bench/bench_itunes_poll.exe   (needs an X display)
//
// The stand-in counts the calls it receives (members and the track's kind query; COM's own
// reference traffic is not counted) and times each poll from the entry of get_PlayerState to
// the return of get_PlayerPosition. The bridge's processor time is read from the host's /proc.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bridge_program_protocol.h"
#include "host_process_time.h"
#include "registration.h"
#include "sim_protocol.h"
#include "unique_handle.h"

using mivola::unique_handle;

using namespace mivola::bench;

namespace {

std::wstring Dir() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

bool WriteText(const std::wstring& path, const std::string& text) {
    mivola::unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
}

unique_handle Launch(const std::wstring& exe, const std::wstring& args) {
    std::wstring line = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return unique_handle();
    ::CloseHandle(pi.hThread);
    return unique_handle(pi.hProcess);
}

template <typename F>
bool WaitFor(F done, DWORD ms) {
    ULONGLONG end = ::GetTickCount64() + ms;
    while (!done()) {
        if (::GetTickCount64() > end) return false;
        ::Sleep(10);
    }
    return true;
}

LRESULT Counter(HWND iTunes, itunes_sim::Counter counter) {
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(iTunes, itunes_sim::kSimCounter, counter, 0, SMTO_NORMAL, 10000, &answer);
    return static_cast<LRESULT>(answer);
}


HWND BridgeWindow() { return ::FindWindowExA(HWND_MESSAGE, nullptr, mivola::kiTunesBridgeProtocol.windowClass, nullptr); }

struct Measure {
    double pollMicros = 0;
    double callsPerPoll = 0;
    double corePercent = -1;
    long polls = 0;
    long onePollCalls = -1;  // the calls of exactly one poll, between two polls
};

// Runs the bridge with the interval for the given time once it is attached.
bool Run(const std::wstring& folder, const std::wstring& token, HWND iTunes, const char* interval, DWORD seconds,
         Measure& m) {
    if (!WriteText(folder + L"Setting.ini", std::string("[Main]\r\niTunesTiming=") + interval + "\r\n")) return false;
    unique_handle bridge = Launch(folder + L"ZEQ_Mivola_iTunes.exe", L"ZEQ_Plugin_iTunes");
    if (!bridge) return false;
    char text[32] = {};
    bool attached = WaitFor(
        [&] {
            HWND w = BridgeWindow();
            return w && ::GetWindowTextA(w, text, sizeof text) > 0 && std::string(text) == "start";
        },
        10000);
    if (attached) {
        ::Sleep(500);  // past the attaching poll
        std::wstring stat = HostStatPath(std::string(token.begin(), token.end()), "ZEQ_Mivola_iTunes.exe");
        Counter(iTunes, itunes_sim::CounterReset);
        long long cpu0 = stat.empty() ? -1 : HostCpuTicks(stat);
        ULONGLONG t0 = ::GetTickCount64();
        ::Sleep(seconds * 1000);
        long long cpu1 = stat.empty() ? -1 : HostCpuTicks(stat);
        ULONGLONG t1 = ::GetTickCount64();
        m.polls = static_cast<long>(Counter(iTunes, itunes_sim::CounterStateCalls));
        LRESULT calls = Counter(iTunes, itunes_sim::CounterCalls);
        LRESULT micros = Counter(iTunes, itunes_sim::CounterGatherMicros);
        if (m.polls > 0) {
            m.callsPerPoll = static_cast<double>(calls) / m.polls;
            m.pollMicros = static_cast<double>(micros) / m.polls;
        }
        m.corePercent = CoreSharePercent(cpu0, cpu1, t1 - t0);
        // Polls a second apart can be counted one by one.
        if (std::string(interval) == "1000") {
            Counter(iTunes, itunes_sim::CounterReset);
            if (WaitFor([&] { return Counter(iTunes, itunes_sim::CounterStateCalls) >= 1; }, 3000)) {
                ::Sleep(400);
                if (Counter(iTunes, itunes_sim::CounterStateCalls) == 1) {
                    m.onePollCalls = static_cast<long>(Counter(iTunes, itunes_sim::CounterCalls));
                }
            }
        }
    }
    HWND w = BridgeWindow();
    if (w) ::PostMessageA(w, ::RegisterWindowMessageA(mivola::kiTunesBridgeProtocol.pluginEndMessage), 0, 0);
    if (::WaitForSingleObject(bridge.get(), 10000) != WAIT_OBJECT_0) ::TerminateProcess(bridge.get(), 1);
    return attached;
}

}  // namespace

int wmain() {
#ifdef _WIN64
    const char* arch = "x86_64";
#else
    const char* arch = "i686";
#endif
    std::wstring dir = Dir();
    std::wstring standIn = dir + L"..\\sim\\itunes\\itunes.exe";
    std::wstring typeLib = dir + L"..\\sim\\itunes\\iTunesSim.tlb";
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"mivola_bench_itunes_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CopyFileW((dir + L"..\\itunes\\ZEQ_Mivola_iTunes.exe").c_str(), (folder + L"ZEQ_Mivola_iTunes.exe").c_str(), FALSE);
    WriteText(folder + L"scenario.txt",
              "version 12.5.1.21\nstate playing\nposition 61\n"
              "track\n kind 1\n name Bench Song\n location C:\\Music\\bench.m4a\n genre Pop\n artist Artist\n"
              " album Album\n number 4\n duration 240\n size 9000000\n bitrate 256\n");

    int status = 1;
    {
        itunes_sim::ScopedRegistration registration(standIn, typeLib, typeLib);
        unique_handle iTunes = Launch(standIn, L"--scenario \"" + folder + L"scenario.txt\"");
        HWND window = nullptr;
        WaitFor([&] { return (window = ::FindWindowW(itunes_sim::kWindowClass, nullptr)) != nullptr; }, 20000);
        Measure fast, slow;
        std::wstring token = L"mivola_bench_itunes_" + std::to_wstring(::GetCurrentProcessId());
        if (registration.Ok() && window && Run(folder, token, window, "10", 5, fast) &&
            Run(folder, token, window, "1000", 10, slow)) {
            std::printf("bench_itunes_poll (%s)\n", arch);
            std::printf("poll cost: %.0f us per attached poll, playing a file track (mean of %ld polls at 10 ms)\n",
                        fast.pollMicros, fast.polls);
            std::printf("calls into iTunes in one poll: %ld (the gather's 13 members and 1 track query: 14); "
                        "mean over the 10 ms run %.2f\n",
                        slow.onePollCalls, fast.callsPerPoll);
            std::printf("bridge share of one core: %.2f %% at 1000 ms (%ld polls in 10 s), %.2f %% at 10 ms (%ld polls in 5 s)\n",
                        slow.corePercent, slow.polls, fast.corePercent, fast.polls);
            status = slow.onePollCalls == 14 ? 0 : 1;
        } else {
            std::fprintf(stderr, "bench_itunes_poll: the bridge did not attach to the stand-in\n");
        }
        if (window) ::PostMessageW(window, WM_CLOSE, 0, 0);
        if (iTunes && ::WaitForSingleObject(iTunes.get(), 10000) != WAIT_OBJECT_0) ::TerminateProcess(iTunes.get(), 1);
    }
    ::DeleteFileW((folder + L"Setting.ini").c_str());
    ::DeleteFileW((folder + L"scenario.txt").c_str());
    ::DeleteFileW((folder + L"ZEQ_Mivola_iTunes.exe").c_str());
    ::RemoveDirectoryW(folder.c_str());
    return status;
}
