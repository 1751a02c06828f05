// bench_gettext: what a text request costs, against what it cannot avoid.
//
//   bench_gettext [PATH\Mivola.zeqp] [ITERATIONS] [BATCH]
//
// Publishes a live Winamp record the way the bridge does, loads the plug-in with one
// setting that targets Winamp, and measures per call:
//   gettext   GetText with a buffer for `%title - %artist [%pos/%len] %playmark`
//   floor     two Lock/Unlock pairs of the record's mutex and one 19552-byte copy
//             (the live test and the record copy that every request needs)
//   estimate  GetText with bufferLength 0
//   allocs    heap allocations per GetText call, counted by redirecting the plug-in's
//             imports of the C runtime's allocation functions to counting wrappers
//             (for Winamp, and for a WMP setting whose answer copy is one allocation)
//   WMP       a setting that targets Windows Media Player with three custom attributes,
//             against its own floor: the record's two Lock/Unlock pairs and 19552-byte copy,
//             plus the answer's exchange mutex, one open/map/close of the answer region and
//             the copy of its list
// A request and its floor are timed in alternating short batches (BATCH calls each, 16 by
// default), so that both halves of a pair meet the same moment of a busy machine: a batch
// that loses the processor spoils one pair, not a whole average. Each pair gives a ratio;
// the figures are the median ratio and the lowest one (which shows how far one disturbed
// batch strays), and the ratio of the fastest batch of each side.
// The last lines are the median ratios gettext / floor for Winamp, then for WMP.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_exchange.h"
#include "named_mutex.h"
#include "now_playing_record.h"
#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"
#include "text_copy.h"
#include "unique_handle.h"

using namespace mivola;

namespace {

using InitFn = int(WINAPI*)();
using FreeFn = void(WINAPI*)();
using GetTextFn = int(WINAPI*)(int, int, int, wchar_t*, int, int);

volatile long g_allocations = 0;
void* (*g_malloc)(size_t) = nullptr;
void* (*g_calloc)(size_t, size_t) = nullptr;
void* (*g_realloc)(void*, size_t) = nullptr;
void* CountingMalloc(size_t n) { ::InterlockedIncrement(&g_allocations); return g_malloc(n); }
void* CountingCalloc(size_t n, size_t m) { ::InterlockedIncrement(&g_allocations); return g_calloc(n, m); }
void* CountingRealloc(void* p, size_t n) { ::InterlockedIncrement(&g_allocations); return g_realloc(p, n); }

// Points the module's import of `name` (from msvcrt.dll) at `hook`; returns the original.
void* PatchImport(HMODULE module, const char* name, void* hook) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        if (_stricmp(reinterpret_cast<char*>(base + imp->Name), "msvcrt.dll") != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
            DWORD old;
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook);
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
            return original;
        }
    }
    return nullptr;
}

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

template <typename F>
double PerCallMicroseconds(int iterations, F&& f) {
    LARGE_INTEGER a, b;
    ::QueryPerformanceCounter(&a);
    for (int i = 0; i < iterations; ++i) f();
    ::QueryPerformanceCounter(&b);
    return Seconds(a, b) * 1e6 / iterations;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Comparison {
    double requestUs = 0;  // median per-call time of the request's batches
    double floorUs = 0;    // the same for the floor
    double ratio = 0;      // median of the pairs' ratios
    double lowest = 0;     // lowest ratio of a pair
    double fastest = 0;    // fastest request batch over fastest floor batch
};

// Times request and floor in alternating batches of `batch` calls, the first of each pair
// taking turns so that neither always runs on a warmer cache.
template <typename R, typename F>
Comparison Compare(int iterations, int batch, R&& request, F&& floor) {
    int pairs = std::max(iterations / batch, 1);
    std::vector<double> requestUs, floorUs, ratios;
    for (int i = 0; i < pairs; ++i) {
        double r, f;
        if (i % 2 == 0) {
            r = PerCallMicroseconds(batch, request);
            f = PerCallMicroseconds(batch, floor);
        } else {
            f = PerCallMicroseconds(batch, floor);
            r = PerCallMicroseconds(batch, request);
        }
        if (r <= 0 || f <= 0) continue;  // below the counter's resolution: no pair
        requestUs.push_back(r);
        floorUs.push_back(f);
        ratios.push_back(r / f);
    }
    Comparison c;
    if (ratios.empty()) return c;
    c.requestUs = Median(requestUs);
    c.floorUs = Median(floorUs);
    c.ratio = Median(ratios);
    c.lowest = *std::min_element(ratios.begin(), ratios.end());
    c.fastest = *std::min_element(requestUs.begin(), requestUs.end()) / *std::min_element(floorUs.begin(), floorUs.end());
    return c;
}

// Median per-call time over batches of `batch` calls.
template <typename F>
double MedianPerCall(int iterations, int batch, F&& f) {
    std::vector<double> us;
    for (int i = 0; i < std::max(iterations / batch, 1); ++i) us.push_back(PerCallMicroseconds(batch, f));
    return Median(us);
}

std::wstring ModuleDir() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring plugin = argc > 1 ? argv[1] : ModuleDir() + L"..\\hostplugin\\Mivola.zeqp";
    int iterations = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 20000;
    if (iterations <= 0) iterations = 20000;
    int batch = argc > 3 ? std::wcstol(argv[3], nullptr, 10) : 16;
    if (batch <= 0) batch = 16;

    // A private installation: the plug-in beside Mivola\Setting.ini with one Winamp setting.
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"mivola_bench_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    ::CreateDirectoryW((dir + L"Mivola").c_str(), nullptr);
    std::wstring dll = dir + L"Mivola.zeqp", ini = dir + L"Mivola\\Setting.ini";
    if (!::CopyFileW(plugin.c_str(), dll.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy the plug-in\n");
        return 2;
    }
    ::WritePrivateProfileStringW(L"Main", L"Version", L"2", ini.c_str());
    ::WritePrivateProfileStringW(L"Main", L"MivolaNum", L"3", ini.c_str());
    ::WritePrivateProfileStringW(L"Mivola000", L"TargetPlayer", L"Winamp", ini.c_str());
    ::WritePrivateProfileStringW(L"Mivola000", L"Format", L"\"%title - %artist [%pos/%len] %playmark\"", ini.c_str());

    // Setting 2 targets Windows Media Player, whose requests also copy the attribute answer:
    // it shows that the allocation counter sees the one allocation that path makes.
    ::WritePrivateProfileStringW(L"Mivola001", L"TargetPlayer", L"WMP", ini.c_str());
    ::WritePrivateProfileStringW(L"Mivola001", L"Format", L"\"%title %{Mood}\"", ini.c_str());

    // Setting 3 targets Windows Media Player with three custom attributes.
    ::WritePrivateProfileStringW(L"Mivola002", L"TargetPlayer", L"WMP", ini.c_str());
    ::WritePrivateProfileStringW(L"Mivola002", L"Format",
                                 L"\"%title - %artist [%pos/%len] %playmark %{WM/Year} %{Mood} %{WM/Composer}\"", ini.c_str());

    SharedRegion bridge;
    if (bridge.Open("ZEQ_Plugin_Winamp_Info", kNowPlayingRecordSize) > RegionExisted) return 3;
    static NowPlayingRecord record;
    record.Magic = kRecordMagic;
    record.Version = kVersionWinamp;
    CopyText(record.Title, L"\u590f\u306e\u5e7b (Summer Mirage)");
    CopyText(record.Path, L"C:\\Music\\summer.mp3");
    record.Length = 215;
    record.Position = 77;
    record.PlayState = 3;
    record.BitRate = 192000;
    PublishRecord(bridge, &record, sizeof record);
    SharedRegion wmpBridge, answerRegion;
    if (wmpBridge.Open("ZEQ_Plugin_WMP_Info", kNowPlayingRecordSize) > RegionExisted) return 3;
    PublishRecord(wmpBridge, &record, sizeof record);
    NamedMutex answerMutex;
    answerMutex.Create(kAnswerMutex, false);
    ListBuilder answer;
    answer.Add(L"Mood");
    answer.Add(L"calm");
    answer.Add(L"WM/Year");
    answer.Add(L"2003");
    answer.Add(L"WM/Composer");
    answer.Add(L"\u4e45\u77f3 \u8b72 (Joe Hisaishi)");
    const std::vector<wchar_t>& units = answer.Finish();
    WriteList(answerMutex, answerRegion, kAnswerRegion, units.data(), static_cast<uint32_t>(units.size()));

    unique_hmodule module(::LoadLibraryW(dll.c_str()));
    if (!module) {
        std::fprintf(stderr, "cannot load the plug-in\n");
        return 2;
    }
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "Init")));
    auto free = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "Free")));
    auto getText = reinterpret_cast<GetTextFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "GetText")));
    if (!init || !free || !getText) return 4;
    init();

    int length = getText(1, 1, 0, nullptr, 0, 0);
    std::vector<wchar_t> buffer(static_cast<size_t>(length));
    int written = getText(1, 1, 0, buffer.data(), length, 0);  // also opens the region
    std::printf("text: %d units, size estimate %d\n", written, length);
    if (written <= 0) return 5;

    g_malloc = reinterpret_cast<void* (*)(size_t)>(PatchImport(module.get(), "malloc", reinterpret_cast<void*>(&CountingMalloc)));
    g_calloc = reinterpret_cast<void* (*)(size_t, size_t)>(PatchImport(module.get(), "calloc", reinterpret_cast<void*>(&CountingCalloc)));
    g_realloc = reinterpret_cast<void* (*)(void*, size_t)>(PatchImport(module.get(), "realloc", reinterpret_cast<void*>(&CountingRealloc)));
    if (!g_malloc) g_malloc = &std::malloc;
    if (!g_calloc) g_calloc = &std::calloc;
    if (!g_realloc) g_realloc = &std::realloc;

    // Heap allocations per call, each setting on its own after a warm-up.
    auto allocationsPerCall = [&](int setting, std::vector<wchar_t>& buf, int len) {
        for (int i = 0; i < 1000; ++i) getText(1, setting, 0, buf.data(), len, 0);
        long before = g_allocations;
        for (int i = 0; i < 1000; ++i) getText(1, setting, 0, buf.data(), len, 0);
        return static_cast<double>(g_allocations - before) / 1000;
    };
    double allocs = allocationsPerCall(1, buffer, length);
    int wmpLength = getText(1, 2, 0, nullptr, 0, 0);
    std::vector<wchar_t> wmpBuffer(static_cast<size_t>(wmpLength));
    getText(1, 2, 0, wmpBuffer.data(), wmpLength, 0);
    double wmpAllocs = allocationsPerCall(2, wmpBuffer, wmpLength);
    int wmp3Length = getText(1, 3, 0, nullptr, 0, 0);
    std::vector<wchar_t> wmp3Buffer(static_cast<size_t>(wmp3Length));
    int wmp3Written = getText(1, 3, 0, wmp3Buffer.data(), wmp3Length, 0);
    std::printf("WMP text: %d units, size estimate %d\n", wmp3Written, wmp3Length);
    double wmp3Allocs = allocationsPerCall(3, wmp3Buffer, wmp3Length);

    SharedRegion reader;
    reader.Open("ZEQ_Plugin_Winamp_Info", kNowPlayingRecordSize);
    static NowPlayingRecord copy;
    auto winampFloor = [&] {
        reader.Lock();
        volatile uint32_t magic = static_cast<NowPlayingRecord*>(reader.View())->Magic;
        (void)magic;
        reader.Unlock();
        reader.Lock();
        std::memcpy(&copy, reader.View(), sizeof copy);
        reader.Unlock();
    };
    Comparison winamp = Compare(iterations, batch, [&] { getText(1, 1, 0, buffer.data(), length, 0); }, winampFloor);
    double estimate = MedianPerCall(iterations, batch, [&] { getText(1, 1, 0, nullptr, 0, 0); });

    // Windows Media Player: GetText of setting 3 against its own floor.
    SharedRegion wmpReader;
    wmpReader.Open("ZEQ_Plugin_WMP_Info", kNowPlayingRecordSize);
    NamedMutex floorMutex;
    floorMutex.Create(kAnswerMutex, false);
    char answerMapping[kRegionNameCapacity];
    ComposeObjectName(answerMapping, sizeof answerMapping, kAnswerRegion, "_FileMap");
    static wchar_t answerCopy[4096];
    auto wmpFloor = [&] {
        wmpReader.Lock();
        volatile uint32_t magic = static_cast<NowPlayingRecord*>(wmpReader.View())->Magic;
        (void)magic;
        wmpReader.Unlock();
        wmpReader.Lock();
        std::memcpy(&copy, wmpReader.View(), sizeof copy);
        wmpReader.Unlock();
        floorMutex.Lock();
        HANDLE mapping = ::OpenFileMappingA(FILE_MAP_READ, FALSE, answerMapping);
        if (mapping) {
            if (const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) {
                uint32_t count;
                std::memcpy(&count, view, 4);
                if (count <= sizeof answerCopy / sizeof answerCopy[0])
                    std::memcpy(answerCopy, static_cast<const char*>(view) + 4, 2 * static_cast<size_t>(count));
                ::UnmapViewOfFile(view);
            }
            ::CloseHandle(mapping);
        }
        floorMutex.Unlock();
    };
    Comparison wmp =
        Compare(iterations, batch, [&] { getText(1, 3, 0, wmp3Buffer.data(), wmp3Length, 0); }, wmpFloor);

    std::printf("iterations: %d in batches of %d\n", iterations, batch);
    std::printf("gettext:  %.3f us/call (median batch)\n", winamp.requestUs);
    std::printf("floor:    %.3f us/call (median batch)\n", winamp.floorUs);
    std::printf("estimate: %.3f us/call (median batch)\n", estimate);
    std::printf("allocs:   %.3f per GetText call (Winamp)\n", allocs);
    std::printf("allocs:   %.3f per GetText call (WMP, copies the attribute answer)\n", wmpAllocs);
    std::printf("WMP gettext: %.3f us/call (three custom attributes, median batch)\n", wmp.requestUs);
    std::printf("WMP floor:   %.3f us/call (median batch)\n", wmp.floorUs);
    std::printf("allocs:   %.3f per GetText call (WMP, three custom attributes)\n", wmp3Allocs);
    std::printf("lowest batch ratio gettext/floor: %.3f\n", winamp.lowest);
    std::printf("lowest batch ratio gettext/floor (WMP): %.3f\n", wmp.lowest);
    std::printf("fastest batches ratio gettext/floor: %.3f\n", winamp.fastest);
    std::printf("fastest batches ratio gettext/floor (WMP): %.3f\n", wmp.fastest);
    std::printf("ratio gettext/floor: %.3f\n", winamp.ratio);
    std::printf("ratio gettext/floor (WMP): %.3f\n", wmp.ratio);

    free();
    module.reset();
    ::DeleteFileW(ini.c_str());
    ::DeleteFileW(dll.c_str());
    ::RemoveDirectoryW((dir + L"Mivola").c_str());
    ::RemoveDirectoryW(dir.c_str());
    return 0;
}
