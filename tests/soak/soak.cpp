// mivola_soak: a writer and a reader that run side by side for a long time and count what
// must never happen: a torn record (fields of two different records mixed in one text) and
// a deadlock (a side that makes no progress for kStallSeconds).
//
//   mivola_soak writer SECONDS [INTERVAL_MS]
//       publishes a NowPlayingRecord in the Winamp region every INTERVAL_MS (default 10),
//       as the Winamp bridge does: skips the tick when the region is busy, otherwise builds
//       and copies the record under the lock. Every field derives from one counter.
//       With a fourth argument "unlocked" it writes without the lock, field after field, to
//       show that the reader notices torn records.
//   mivola_soak reader SECONDS PATH\Mivola.zeqp
//       loads the plug-in (its Mivola\Setting.ini targets Winamp with kTemplate) and calls
//       GetText as fast as it can, checking that every text is the text of one record.
//
// Both print one summary line "<role> ... torn=T deadlocks=D" and exit 0 only when both are 0.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "now_playing_record.h"
#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "scoped_lock.h"
#include "shared_region.h"
#include "text_copy.h"
#include "unique_handle.h"

using namespace mivola;

namespace {

constexpr DWORD kStallSeconds = 5;

// The template the reader's settings file holds; SoakText builds the same text from a counter.
constexpr char kTemplate[] = "%title|%filename|%artist|%len|%pos|%filebsize|%bitrate|%width|%height|%track";

// Titles vary in length, so a copy that mixed two records would leave a foreign tail.
std::wstring SoakTitle(uint32_t c) {
    std::wstring t = L"soak " + std::to_wstring(c) + L" ";
    const size_t length = 16 + c % 900;
    while (t.size() < length) t += static_cast<wchar_t>(L'a' + (c + t.size()) % 26);
    return t;
}

void FillSoakRecord(uint32_t c, NowPlayingRecord& r) {
    std::memset(&r, 0, sizeof r);
    r.Magic = kRecordMagic;
    r.Version = kVersionWinamp;
    r.PlayState = 3;
    CopyText(r.Title, 1024, SoakTitle(c).c_str());
    CopyText(r.Path, 4096, (L"C:\\soak\\" + std::to_wstring(c % 97) + L"\\track" + std::to_wstring(c) + L".mp3").c_str());
    CopyText(r.Artist, 1024, (L"artist " + std::to_wstring(c * 3u)).c_str());
    r.Length = static_cast<int32_t>(c % 100000);
    r.Position = static_cast<int32_t>(c % 7919);
    r.FileSize = static_cast<int64_t>(c) * 4099;
    r.BitRate = static_cast<int32_t>(c % 320) * 1000;
    r.Width = static_cast<int32_t>(c % 1920);
    r.Height = static_cast<int32_t>(c % 1080);
    r.TrackNumber = static_cast<uint16_t>(c);
}

std::wstring Clock(int32_t s) {
    wchar_t t[32];
    std::swprintf(t, 32, L"%02d:%02d:%02d", s / 3600, (s - 3600 * (s / 3600)) / 60, s - 60 * (s / 60));
    return t;
}

// The text the plug-in gives for record c with kTemplate.
std::wstring SoakText(uint32_t c) {
    NowPlayingRecord r;
    FillSoakRecord(c, r);
    std::wstring t = SoakTitle(c) + L"|track" + std::to_wstring(c) + L".mp3|" + r.Artist + L"|" + Clock(r.Length) + L"|" +
                     Clock(r.Position) + L"|" + std::to_wstring(r.FileSize) + L"|" + std::to_wstring(r.BitRate) + L"|" +
                     std::to_wstring(r.Width) + L"|" + std::to_wstring(r.Height) + L"|" + std::to_wstring(r.TrackNumber);
    return t;
}

// Progress counter watched by a second thread: a stall of kStallSeconds counts as a deadlock.
std::atomic<LONG> g_progress{0};
std::atomic<LONG> g_deadlocks{0};
std::atomic<bool> g_stop{false};

DWORD WINAPI Watchdog(void*) {
    LONG last = g_progress;
    DWORD still = 0;
    bool counted = false;
    while (!g_stop) {
        ::Sleep(1000);
        LONG now = g_progress;
        if (now != last) {
            last = now;
            still = 0;
            counted = false;
        } else if (++still >= kStallSeconds && !counted) {
            ++g_deadlocks;
            counted = true;
            std::fprintf(stderr, "no progress for %lu s\n", static_cast<unsigned long>(still));
        }
    }
    return 0;
}

ULONGLONG Deadline(unsigned seconds) { return ::GetTickCount64() + seconds * 1000ull; }

int Writer(unsigned seconds, unsigned intervalMs, bool unlocked) {
    char name[kRegionNameMax];
    NowPlayingRegionName(name, kKeyWinamp);
    SharedRegion region;
    if (region.Open(name, kNowPlayingRecordSize) > RegionExisted) {
        std::fprintf(stderr, "writer: region cannot be opened\n");
        return 2;
    }
    unique_handle watchdog(::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
    ::timeBeginPeriod(1);
    unsigned long long published = 0, skipped = 0;
    uint32_t counter = 0;
    NowPlayingRecord record;
    const ULONGLONG end = Deadline(seconds);
    while (::GetTickCount64() < end) {
        ::Sleep(intervalMs);
        ++g_progress;
        if (unlocked) {
            FillSoakRecord(++counter, record);
            auto* view = static_cast<unsigned char*>(region.View());
            for (size_t at = 0; at < sizeof record; at += 512) {
                std::memcpy(view + at, reinterpret_cast<const unsigned char*>(&record) + at, std::min<size_t>(512, sizeof record - at));
                ::Sleep(0);
            }
            ++published;
            continue;
        }
        MutexLock lock(region, MutexLock::NoWait{});  // as the bridge does: never wait inside the player's tick
        if (lock.Busy()) {
            ++skipped;
            continue;
        }
        FillSoakRecord(++counter, record);
        PublishRecord(region, &record, sizeof record);
        ++published;
    }
    g_stop = true;
    ::WaitForSingleObject(watchdog.get(), INFINITE);
    // Withdraw as the bridge does at quit.
    ZeroRecord(region, kNowPlayingRecordSize);
    ::timeEndPeriod(1);
    std::printf("writer published=%llu skipped=%llu deadlocks=%ld\n", published, skipped, g_deadlocks.load());
    return g_deadlocks == 0 ? 0 : 1;
}

using InitFn = int(WINAPI*)();
using FreeFn = void(WINAPI*)();
using GetTextFn = int(WINAPI*)(int, int, int, wchar_t*, int, int);

// The counter a text claims to come from: the number after "soak ".
bool ParseCounter(const wchar_t* text, uint32_t* c) {
    if (std::wcsncmp(text, L"soak ", 5) != 0) return false;
    wchar_t* end = nullptr;
    unsigned long v = std::wcstoul(text + 5, &end, 10);
    if (end == text + 5 || *end != L' ') return false;
    *c = static_cast<uint32_t>(v);
    return true;
}

int Reader(unsigned seconds, const wchar_t* plugin) {
    // The plug-in finds its settings in "Mivola\Setting.ini" beside itself.
    std::wstring dir(plugin);
    dir.resize(dir.find_last_of(L'\\') + 1);
    ::CreateDirectoryW((dir + L"Mivola").c_str(), nullptr);
    std::string ini = std::string("[Main]\r\nVersion=2\r\nMivolaNum=1\r\n[Mivola000]\r\nTargetPlayer=Winamp\r\nFormat=\"") +
                      kTemplate + "\"\r\n";
    {
        unique_hfile f(::CreateFileW((dir + L"Mivola\\Setting.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!f || !::WriteFile(f.get(), ini.data(), static_cast<DWORD>(ini.size()), &written, nullptr)) return 2;
    }
    unique_hmodule module(::LoadLibraryW(plugin));
    if (!module) {
        std::fprintf(stderr, "reader: plug-in cannot be loaded\n");
        return 2;
    }
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "Init")));
    auto free = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "Free")));
    auto getText = reinterpret_cast<GetTextFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "GetText")));
    if (!init || !free || !getText) return 2;
    init();

    unique_handle watchdog(::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
    unsigned long long reads = 0, texts = 0, empty = 0, torn = 0, distinct = 0;
    uint32_t last = 0;
    static wchar_t buffer[8192];
    const ULONGLONG end = Deadline(seconds);
    while (::GetTickCount64() < end) {
        ++g_progress;
        buffer[0] = L'\0';
        int n = getText(1, 1, 0, buffer, 8192, 0);
        ++reads;
        if (n == 0) {  // no live record yet, or withdrawn
            ++empty;
            continue;
        }
        ++texts;
        uint32_t c = 0;
        if (!ParseCounter(buffer, &c) || SoakText(c) != std::wstring(buffer, static_cast<size_t>(n))) {
            if (++torn <= 5) std::fprintf(stderr, "torn text: %.80ls\n", buffer);
            continue;
        }
        if (c != last) ++distinct, last = c;
    }
    g_stop = true;
    ::WaitForSingleObject(watchdog.get(), INFINITE);
    free();
    std::printf("reader reads=%llu texts=%llu records=%llu empty=%llu torn=%llu deadlocks=%ld\n", reads, texts, distinct,
                empty, torn, g_deadlocks.load());
    return torn == 0 && g_deadlocks == 0 && texts > 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"writer") == 0)
        return Writer(static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10)),
                      argc >= 4 ? static_cast<unsigned>(std::wcstoul(argv[3], nullptr, 10)) : 10u,
                      argc >= 5 && std::wcscmp(argv[4], L"unlocked") == 0);
    if (argc >= 4 && std::wcscmp(argv[1], L"reader") == 0)
        return Reader(static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10)), argv[3]);
    std::fprintf(stderr, "usage: mivola_soak writer SECONDS [INTERVAL_MS] | reader SECONDS PATH\\Mivola.zeqp\n");
    return 2;
}
