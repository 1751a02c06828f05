// bench_contention: what a publishing bridge costs a text request, and what a host holding
// the record costs the player.
//
//   bench_contention [ITERATIONS]
//
// Runs the real pieces of this build tree: Mivola.zeqp loaded here with one Winamp setting,
// and the Winamp stand-in (sim/winamp) with the real bridge (winamp/) polling every 10 ms.
// Needs a display for the stand-in's window (run it under xvfb-run). Prints, in microseconds:
//   GetText p50/p99/max  alone (a record published once, nobody writing)
//                        and while the bridge publishes every 10 ms
//   the same for a Windows Media Player setting with two custom attributes: alone (a record
//                        and an answer published once) and while the real WMP bridge in the
//                        WMP stand-in (sim/wmp, registered for the run) publishes every 10 ms
//   player window round trip p50/p99/max (a message to the stand-in's window and back)
//                        while the host is idle, and while the host holds the record's lock
//                        for the whole measurement: the bridge's tick probes the lock without
//                        waiting and skips, so the player's window keeps answering.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "attribute_exchange.h"
#include "now_playing_record.h"
#include "record_transfer.h"
#include "region_names.h"
#include "scoped_lock.h"
#include "shared_region.h"
#include "sim_protocol.h"
#include "text_copy.h"
#include "unique_handle.h"

using namespace mivola;

namespace {

using InitFn = int(WINAPI*)();
using FreeFn = void(WINAPI*)();
using GetTextFn = int(WINAPI*)(int, int, int, wchar_t*, int, int);

std::wstring ModuleDir() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

double Microseconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER q;
        ::QueryPerformanceFrequency(&q);
        return q;
    }();
    return static_cast<double>(b.QuadPart - a.QuadPart) * 1e6 / static_cast<double>(f.QuadPart);
}

template <typename F>
std::vector<double> Sample(int n, F&& f) {
    std::vector<double> us;
    us.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        LARGE_INTEGER a, b;
        ::QueryPerformanceCounter(&a);
        f();
        ::QueryPerformanceCounter(&b);
        us.push_back(Microseconds(a, b));
    }
    std::sort(us.begin(), us.end());
    return us;
}

void Report(const char* what, const std::vector<double>& us) {
    auto at = [&](double q) { return us[std::min(us.size() - 1, static_cast<size_t>(q * static_cast<double>(us.size())))]; };
    std::printf("  %-34s %9.1f %9.1f %9.1f\n", what, at(0.50), at(0.99), us.back());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    unique_hfile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD n = 0;
    return f && ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
    unique_hfile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char chunk[4096];
    DWORD n = 0;
    while (f && ::ReadFile(f.get(), chunk, sizeof chunk, &n, nullptr) && n) bytes.append(chunk, n);
    return bytes;
}

// The stand-in's main window, from the "window <hex>" line of its log once it is "ready".
HWND WaitForPlayer(const std::wstring& log) {
    for (int i = 0; i < 500; ++i) {
        std::string text = ReadBytes(log);
        size_t window = text.find(" window ");
        if (window != std::string::npos && text.find(" ready") != std::string::npos)
            return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(text.c_str() + window + 8, nullptr, 16)));
        ::Sleep(20);
    }
    return nullptr;
}

LRESULT Ask(HWND window, UINT message) {
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, 10000, &answer);
    return static_cast<LRESULT>(answer);
}

// Runs a program of this architecture and waits for it; its exit code, or -1.
long RunAndWait(std::wstring command) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    unique_handle process(pi.hProcess), thread(pi.hThread);
    DWORD code = 0;
    if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0 || !::GetExitCodeProcess(process.get(), &code)) return -1;
    return static_cast<long>(code);
}

// GetText of setting 2 (WMP, two custom attributes): alone, then while the WMP bridge publishes.
bool MeasureWmp(const std::wstring& tree, const std::wstring& dir, int iterations, GetTextFn getText, wchar_t* buffer,
                std::vector<double>& alone, std::vector<double>& publishing) {
    auto text = [&] { return getText(1, 2, 0, buffer, 4096, 0); };
    SharedRegion record, answer;
    NamedMutex answerMutex;
    answerMutex.Create(kAnswerMutex, false);
    if (record.Open("ZEQ_Plugin_WMP_Info", kNowPlayingRecordSize) > RegionExisted) return false;
    static NowPlayingRecord r;
    r.Magic = kRecordMagic;
    r.PlayState = 3;
    CopyText(r.Title, 1024, L"Summer Mirage");
    PublishRecord(record, &r, sizeof r);
    ListBuilder list;
    for (const wchar_t* s : {L"WM/Year", L"1988", L"WM/Composer", L"Joe Hisaishi"}) list.Add(s);
    const std::vector<wchar_t>& units = list.Finish();
    WriteList(answerMutex, answer, kAnswerRegion, units.data(), static_cast<uint32_t>(units.size()));
    if (text() <= 0) return false;
    alone = Sample(iterations, text);
    record.Close();
    answer.Close();

    const std::wstring bridge = dir + L"ZEQ_Mivola_WMP.dll", regsvr32 = L"C:\\windows\\system32\\regsvr32.exe /s ";
    if (!::CopyFileW((tree + L"wmp\\ZEQ_Mivola_WMP.dll").c_str(), bridge.c_str(), FALSE)) return false;
    WriteBytes(bridge + L".ini", "[Main]\r\nTiming=10\r\n");
    WriteBytes(dir + L"wmp.txt", "state 3\nmedia\nname Summer Mirage\nattr WM/Year=1988\nattr WM/Composer=Joe Hisaishi\n");
    if (RunAndWait(regsvr32 + L"\"" + bridge + L"\"") != 0) return false;
    std::wstring command = L"\"" + tree + L"sim\\wmp\\wmp.exe\" --scenario \"" + dir + L"wmp.txt\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    bool ok = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi) != FALSE;
    if (ok) {
        unique_handle process(pi.hProcess), thread(pi.hThread);
        // Published once the record and the answer are both there.
        ULONGLONG until = ::GetTickCount64() + 30000;
        while ((ok = text() > 0 && std::wcsstr(buffer, L"Hisaishi")) == false && ::GetTickCount64() < until) ::Sleep(20);
        if (ok) publishing = Sample(iterations, text);
        HWND player = ::FindWindowW(L"WMPlayerApp", nullptr);
        if (player) ::PostMessageW(player, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) ::TerminateProcess(process.get(), 1);
    }
    RunAndWait(regsvr32 + L"/u \"" + bridge + L"\"");
    ::DeleteFileW((bridge + L".ini").c_str());
    ::DeleteFileW(bridge.c_str());
    ::DeleteFileW((dir + L"wmp.txt").c_str());
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int iterations = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 20000;
    if (iterations <= 0) iterations = 20000;
    const std::wstring tree = ModuleDir() + L"..\\";

    // A private installation of the plug-in and of the player with its bridge.
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"mivola_contention_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    const std::wstring plugins = dir + L"Plugins\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    ::CreateDirectoryW((dir + L"Mivola").c_str(), nullptr);
    ::CreateDirectoryW(plugins.c_str(), nullptr);
    if (!::CopyFileW((tree + L"hostplugin\\Mivola.zeqp").c_str(), (dir + L"Mivola.zeqp").c_str(), FALSE) ||
        !::CopyFileW((tree + L"winamp\\gen_zeq_mivola.dll").c_str(), (plugins + L"gen_zeq_mivola.dll").c_str(), FALSE)) {
        std::fprintf(stderr, "build the plug-in and the Winamp bridge first\n");
        return 2;
    }
    WriteBytes(dir + L"Mivola\\Setting.ini",
               "[Main]\r\nVersion=2\r\nMivolaNum=2\r\n[Mivola000]\r\nTargetPlayer=Winamp\r\n"
               "Format=\"%title - %artist [%pos/%len] %playmark\"\r\n"
               "[Mivola001]\r\nTargetPlayer=WMP\r\nFormat=\"%title (%{WM/Year}) %{WM/Composer}\"\r\n");
    WriteBytes(plugins + L"gen_zeq_mivola.dll.ini", "[Main]\r\nTiming=10\r\n");
    WriteBytes(dir + L"scenario.txt", "entry\ntitle Summer Mirage\nfile C:\\m\\summer.mp3\nlength 600000\nbitrate 192\nat 0 play\n");

    // Alone: a record published once, nobody writing.
    SharedRegion once;
    if (once.Open("ZEQ_Plugin_Winamp_Info", kNowPlayingRecordSize) > RegionExisted) return 3;
    static NowPlayingRecord record;
    record.Magic = kRecordMagic;
    CopyText(record.Title, 1024, L"Summer Mirage");
    record.Length = 600;
    record.PlayState = 3;
    PublishRecord(once, &record, sizeof record);

    unique_hmodule module(::LoadLibraryW((dir + L"Mivola.zeqp").c_str()));
    if (!module) return 2;
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "Init")));
    auto free = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "Free")));
    auto getText = reinterpret_cast<GetTextFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "GetText")));
    if (!init || !free || !getText) return 4;
    init();
    static wchar_t buffer[4096];
    if (getText(1, 1, 0, buffer, 4096, 0) <= 0) return 5;  // also keeps the region open
    for (int i = 0; i < 1000; ++i) getText(1, 1, 0, buffer, 4096, 0);
    std::vector<double> alone = Sample(iterations, [&] { getText(1, 1, 0, buffer, 4096, 0); });
    once.Close();

    // The real bridge in the player stand-in, publishing every 10 ms into the same region.
    std::wstring command = L"\"" + tree + L"sim\\winamp\\winamp.exe\" --scenario \"" + dir + L"scenario.txt\" --plugins \"" +
                           dir + L"Plugins\" --log \"" + dir + L"log.txt\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) return 6;
    unique_handle process(pi.hProcess), thread(pi.hThread);
    HWND player = WaitForPlayer(dir + L"log.txt");
    if (!player) {
        std::fprintf(stderr, "the player stand-in did not start (no display?)\n");
        ::TerminateProcess(process.get(), 1);
        return 6;
    }
    while (Ask(player, winamp_sim::kSimTickCount) < 5) ::Sleep(10);  // the bridge is publishing
    std::vector<double> publishing = Sample(iterations, [&] { getText(1, 1, 0, buffer, 4096, 0); });

    const int trips = iterations / 10 > 200 ? iterations / 10 : 200;
    std::vector<double> idle = Sample(trips, [&] { Ask(player, winamp_sim::kSimTickCount); });
    // The host holds the record's lock for the whole measurement.
    SharedRegion held;
    held.Open("ZEQ_Plugin_Winamp_Info", kNowPlayingRecordSize);
    std::optional<MutexLock> lock(std::in_place, held);
    LRESULT ticksBefore = Ask(player, winamp_sim::kSimTickCount);
    ULONGLONG start = ::GetTickCount64();
    std::vector<double> locked = Sample(trips, [&] { Ask(player, winamp_sim::kSimTickCount); });
    ::Sleep(200);
    LRESULT ticksDuring = Ask(player, winamp_sim::kSimTickCount) - ticksBefore;
    ULONGLONG heldMs = ::GetTickCount64() - start;
    lock.reset();
    held.Close();

    std::printf("GetText, %d calls each (microseconds)   p50       p99       max\n", iterations);
    Report("alone", alone);
    Report("bridge publishing every 10 ms", publishing);
    std::printf("player window round trip, %d each (us)     p50       p99       max\n", trips);
    Report("host idle", idle);
    Report("host holding the record lock", locked);
    std::printf("timer ticks of the bridge while the lock was held: %ld in %llu ms\n", static_cast<long>(ticksDuring),
                static_cast<unsigned long long>(heldMs));
    std::printf("ratio GetText p50 publishing/alone: %.2f\n",
                publishing[publishing.size() / 2] / alone[alone.size() / 2]);

    ::PostMessageW(player, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(process.get(), 10000);

    std::vector<double> wmpAlone, wmpPublishing;
    if (MeasureWmp(tree, dir, iterations, getText, buffer, wmpAlone, wmpPublishing)) {
        std::printf("GetText, WMP setting with two custom attributes (us)  p50       p99       max\n");
        Report("alone", wmpAlone);
        Report("WMP bridge publishing every 10 ms", wmpPublishing);
        std::printf("ratio GetText p50 publishing/alone (WMP): %.2f\n",
                    wmpPublishing[wmpPublishing.size() / 2] / wmpAlone[wmpAlone.size() / 2]);
    } else {
        std::printf("WMP: the stand-in or its bridge did not publish\n");
    }
    free();
    module.reset();
    for (const wchar_t* f : {L"Plugins\\gen_zeq_mivola.dll", L"Plugins\\gen_zeq_mivola.dll.ini", L"Mivola\\Setting.ini",
                             L"Mivola.zeqp", L"scenario.txt", L"log.txt"})
        ::DeleteFileW((dir + f).c_str());
    ::RemoveDirectoryW(plugins.c_str());
    ::RemoveDirectoryW((dir + L"Mivola").c_str());
    ::RemoveDirectoryW(dir.c_str());
    return 0;
}
