// zeqhost: plays the ZEQ host for a plug-in. It loads the plug-in, calls Init, prints what
// GetInfo and GetFuncInfo report and every setting's name, then each setting's text fetched
// the way the host does it (size with bufferLength 0, then the text into a buffer of that
// size), and calls Free and unloads before it exits.
//
// Usage: zeqhost [--watch SECONDS] [--setting N] [--no-free] PATH\Mivola.zeqp
//        zeqhost (--settings | --edit N | --about) [--click ID] [--close-after SECONDS] PATH\Mivola.zeqp
//        zeqhost --bridges
//   --watch SECONDS  print the texts once a second, SECONDS times (default: once)
//   --setting N      only setting N (names and texts)
//   --no-free        unload without calling Free, as a careless host would
//   --settings       open the plug-in's settings dialog (ShowSetting 0) instead of fetching texts
//   --edit N         open the dialog of setting N (ShowSetting 1, N)
//   --about          open the version dialog (ShowAbout)
//   --click ID       once the dialog is up, click its control ID (as the user would)
//   --close-after S  S seconds after the dialog is up, cancel every window it shows
//   --bridges        print the bridges running now, as the version dialog lists them
//
// Output is UTF-8, one item a line; N is a setting number, texts are shown as they stand
// (backslashes too) except that CR and LF are written \r and \n, so an item keeps its line:
//   info result: buffer             GetInfo returned the buffer's address (else: info result: 0x...)
//   plugin name: ...                also: plugin version, plugin description, plugin copyright,
//                                   plugin web, plugin mail (code page 932 fields)
//   plugin values: 1 3 0            the three integers that end PluginInfo
//   funcinfo result: buffer         GetFuncInfo(1, buffer) returned the buffer's address
//   function name: ...              also: function description
//   function settings: 10           the number of settings in FuncInfo
//   function values: 1 0            the two integers that end FuncInfo
//   name N: ...                     GetFuncSettingName with a 256-byte buffer
//   round K                         before each round of texts (K from 1)
//   size N: 1028                    GetText with bufferLength 0
//   result N: 5                     GetText with a buffer of that many units
//   text N: ...                     what the buffer holds afterwards
//   text N untouched                GetText left every unit of the buffer as it was
//   done                            after Free (or without it) and unloading
//   window: TITLE                   a window of the dialog's thread became visible
//   dialog result: 0                what ShowSetting or ShowAbout returned
//   bridge: NAME | VERSION | PATH   one running bridge (--bridges), in the dialog's order
//   bridges: none                   no bridge runs
// Exit codes: 0 done, 1 usage, 2 the plug-in does not load, 3 an export is missing.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bridge_identity_record.h"
#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"
#include "sim_common.h"

namespace {

using InitFn = int(WINAPI*)();
using FreeFn = void(WINAPI*)();
using GetInfoFn = INT_PTR(WINAPI*)(char*);
using GetFuncInfoFn = INT_PTR(WINAPI*)(int, char*);
using GetFuncSettingNameFn = int(WINAPI*)(int, int, char*, int);
using GetTextFn = int(WINAPI*)(int, int, int, wchar_t*, int, int);
using ShowSettingFn = int(WINAPI*)(int, int, HWND);
using ShowAboutFn = int(WINAPI*)(HWND);

constexpr size_t kInfoSize = 956;
constexpr size_t kFuncInfoSize = 300;
constexpr int kNameBufferSize = 256;
constexpr wchar_t kUntouched = 0xFFFF;

struct Plugin {
    InitFn init;
    FreeFn free;
    GetInfoFn getInfo;
    GetFuncInfoFn getFuncInfo;
    GetFuncSettingNameFn getFuncSettingName;
    GetTextFn getText;
    ShowSettingFn showSetting;
    ShowAboutFn showAbout;
};

// UTF-8, with line breaks written as \r and \n so that every item stays on one line.
std::string Utf8(const wchar_t* s, size_t n) {
    std::string out;
    size_t from = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i < n && s[i] != L'\r' && s[i] != L'\n') continue;
        out += sim_common::ToUtf8(std::wstring(s + from, i - from));
        if (i < n) out += s[i] == L'\r' ? "\\r" : "\\n";
        from = i + 1;
    }
    return out;
}

// A code page 932 field of fieldSize bytes, which need not be terminated.
std::string FromCp932(const char* field, size_t fieldSize) {
    size_t n = 0;
    while (n < fieldSize && field[n]) ++n;
    if (n == 0) return std::string();
    int units = ::MultiByteToWideChar(932, 0, field, static_cast<int>(n), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(932, 0, field, static_cast<int>(n), &wide[0], units);
    return Utf8(wide.data(), wide.size());
}

void Line(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

void Field(const char* label, const char* field, size_t size) { Line(std::string(label) + ": " + FromCp932(field, size)); }

int32_t IntAt(const char* record, size_t offset) {
    int32_t v;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}

std::string ResultText(INT_PTR result, const void* buffer) {
    if (result == reinterpret_cast<INT_PTR>(buffer)) return "buffer";
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(result));
    return hex;
}

// The host's records live high in the address space, so that a result cut to 32 bits shows.
char* HighBuffer(size_t size) {
    void* p = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
    return static_cast<char*>(p);
}

template <typename T>
bool Find(HMODULE module, const char* name, T& fn) {
    fn = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    if (!fn) Line(std::string("missing export ") + name);
    return fn != nullptr;
}

void PrintInfo(const Plugin& p) {
    char* info = HighBuffer(kInfoSize);
    char* func = HighBuffer(kFuncInfoSize);
    if (!info || !func) return;
    Line("info result: " + ResultText(p.getInfo(info), info));
    Field("plugin name", info, 32);
    Field("plugin version", info + 32, 16);
    Field("plugin description", info + 48, 256);
    Field("plugin copyright", info + 304, 128);
    Field("plugin web", info + 432, 256);
    Field("plugin mail", info + 688, 256);
    Line("plugin values: " + std::to_string(IntAt(info, 944)) + " " + std::to_string(IntAt(info, 948)) + " " +
         std::to_string(IntAt(info, 952)));
    Line("funcinfo result: " + ResultText(p.getFuncInfo(1, func), func));
    Field("function name", func, 32);
    Field("function description", func + 32, 256);
    Line("function settings: " + std::to_string(IntAt(func, 288)));
    Line("function values: " + std::to_string(IntAt(func, 292)) + " " + std::to_string(IntAt(func, 296)));
    ::VirtualFree(info, 0, MEM_RELEASE);
    ::VirtualFree(func, 0, MEM_RELEASE);
}

void PrintText(const Plugin& p, int n) {
    const std::string id = std::to_string(n);
    int size = p.getText(1, n, 0, nullptr, 0, 0);
    Line("size " + id + ": " + std::to_string(size));
    std::vector<wchar_t> buffer(static_cast<size_t>(size > 0 ? size : 1), kUntouched);
    int result = p.getText(1, n, 0, buffer.data(), static_cast<int>(buffer.size()), 0);
    Line("result " + id + ": " + std::to_string(result));
    bool untouched = true;
    for (wchar_t c : buffer) untouched = untouched && c == kUntouched;
    if (untouched) {
        Line("text " + id + " untouched");
        return;
    }
    size_t len = 0;
    while (len < buffer.size() && buffer[len]) ++len;
    Line("text " + id + ": " + Utf8(buffer.data(), len));
}

int Usage() {
    Line("usage: zeqhost [--watch SECONDS] [--setting N] [--no-free] PATH\\Mivola.zeqp");
    Line("       zeqhost (--settings | --edit N | --about) [--click ID] [--close-after SECONDS] PATH\\Mivola.zeqp");
    Line("       zeqhost --bridges");
    return 1;
}

std::string Bounded(const wchar_t* field, size_t capacity) {
    size_t n = 0;
    while (n < capacity && field[n]) ++n;
    return Utf8(field, n);
}

// The identity records of the player keys, in the version dialog's order.
void PrintBridges() {
    bool any = false;
    for (const char* key : {"Auto", "WMP", "Winamp", "iTunes", "SMTC"}) {
        char name[mivola::kRegionNameMax];
        if (!mivola::IdentityRegionName(name, key)) continue;
        mivola::BridgeIdentityRecord record{};
        mivola::SharedRegion region;
        if (region.Open(name, mivola::kBridgeIdentityRecordSize) == mivola::RegionExisted)
            mivola::CopyRecordOut(region, &record, sizeof record);
        region.Close();
        if (!record.ModulePath[0]) continue;
        any = true;
        Line("bridge: " + FromCp932(record.Description, sizeof record.Description) + " | " +
             Bounded(record.PlayerVersion, 64) + " | " + Bounded(record.ModulePath, 4096));
    }
    if (!any) Line("bridges: none");
}

// Plays the user at a dialog run on another thread: reports each window it shows, clicks one
// control once, and cancels everything after a while.
struct DialogDriver {
    DWORD threadId = 0;
    int clickId = 0;
    int closeAfterMs = 0;
    std::atomic<bool> finished{false};
};

struct WindowList {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM lParam) {
    if (::IsWindowVisible(window)) reinterpret_cast<WindowList*>(lParam)->windows.push_back(window);
    return TRUE;
}

void DriveDialog(DialogDriver& driver) {
    std::set<HWND> seen;
    ULONGLONG shownAt = 0;
    bool clicked = false;
    while (!driver.finished) {
        WindowList list;
        ::EnumThreadWindows(driver.threadId, CollectWindow, reinterpret_cast<LPARAM>(&list));
        for (HWND window : list.windows) {
            if (!seen.insert(window).second) continue;
            wchar_t title[256] = L"";
            ::GetWindowTextW(window, title, 256);
            Line("window: " + Utf8(title, std::wcslen(title)));
            std::fflush(stdout);
            if (!shownAt) shownAt = ::GetTickCount64();
            if (driver.clickId && !clicked) {
                clicked = true;
                HWND control = ::GetDlgItem(window, driver.clickId);
                ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(driver.clickId, BN_CLICKED), reinterpret_cast<LPARAM>(control));
            }
        }
        if (shownAt && driver.closeAfterMs > 0 && ::GetTickCount64() - shownAt >= static_cast<ULONGLONG>(driver.closeAfterMs)) {
            // The newest window first: a message box, then the dialog under it.
            if (!list.windows.empty()) ::PostMessageW(list.windows.front(), WM_COMMAND, IDCANCEL, 0);
            ::Sleep(300);
        }
        ::Sleep(100);
    }
}

enum class DialogMode { None, Settings, Edit, About };

int RunDialog(const Plugin& p, DialogMode mode, int setting, int clickId, int closeAfterSeconds) {
    DialogDriver driver;
    driver.threadId = ::GetCurrentThreadId();
    driver.clickId = clickId;
    driver.closeAfterMs = closeAfterSeconds * 1000;
    std::thread helper([&driver] { DriveDialog(driver); });
    int result = mode == DialogMode::About ? p.showAbout(nullptr)
                 : mode == DialogMode::Edit ? p.showSetting(1, setting, nullptr)
                                            : p.showSetting(0, 0, nullptr);
    driver.finished = true;
    helper.join();
    Line("dialog result: " + std::to_string(result));
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);

    int rounds = 1, only = 0;
    bool callFree = true;
    const wchar_t* path = nullptr;
    DialogMode dialog = DialogMode::None;
    int editSetting = 0, clickId = 0, closeAfter = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--bridges") == 0 && argc == 2) {
            PrintBridges();
            return 0;
        } else if (std::wcscmp(argv[i], L"--settings") == 0) {
            dialog = DialogMode::Settings;
        } else if (std::wcscmp(argv[i], L"--edit") == 0 && i + 1 < argc) {
            dialog = DialogMode::Edit;
            editSetting = _wtoi(argv[++i]);
        } else if (std::wcscmp(argv[i], L"--about") == 0) {
            dialog = DialogMode::About;
        } else if (std::wcscmp(argv[i], L"--click") == 0 && i + 1 < argc) {
            clickId = _wtoi(argv[++i]);
        } else if (std::wcscmp(argv[i], L"--close-after") == 0 && i + 1 < argc) {
            closeAfter = std::max(1, _wtoi(argv[++i]));
        } else if (std::wcscmp(argv[i], L"--watch") == 0 && i + 1 < argc) {
            rounds = std::max(1, _wtoi(argv[++i]));
        } else if (std::wcscmp(argv[i], L"--setting") == 0 && i + 1 < argc) {
            only = _wtoi(argv[++i]);
        } else if (std::wcscmp(argv[i], L"--no-free") == 0) {
            callFree = false;
        } else if (!path && argv[i][0] != L'-') {
            path = argv[i];
        } else {
            return Usage();
        }
    }
    if (!path) return Usage();

    HMODULE module = ::LoadLibraryW(path);
    if (!module) {
        Line("cannot load " + Utf8(path, std::wcslen(path)));
        return 2;
    }
    Plugin p{};
    bool complete = Find(module, "Init", p.init) & Find(module, "Free", p.free) & Find(module, "GetInfo", p.getInfo) &
                    Find(module, "GetFuncInfo", p.getFuncInfo) &
                    Find(module, "GetFuncSettingName", p.getFuncSettingName) & Find(module, "GetText", p.getText) &
                    Find(module, "ShowSetting", p.showSetting) & Find(module, "ShowAbout", p.showAbout);
    if (!complete) {
        ::FreeLibrary(module);
        return 3;
    }

    p.init();
    if (dialog != DialogMode::None) {
        RunDialog(p, dialog, editSetting, clickId, closeAfter);
        if (callFree) p.free();
        ::FreeLibrary(module);
        Line("done");
        return 0;
    }
    PrintInfo(p);
    char func[kFuncInfoSize] = {};
    p.getFuncInfo(1, func);
    const int count = IntAt(func, 288);
    const int first = only ? only : 1, last = only ? only : count;
    for (int n = first; n <= last; ++n) {
        char name[kNameBufferSize] = {};
        p.getFuncSettingName(1, n, name, kNameBufferSize);
        Line("name " + std::to_string(n) + ": " + FromCp932(name, sizeof name));
    }
    for (int round = 1; round <= rounds; ++round) {
        if (round > 1) ::Sleep(1000);
        Line("round " + std::to_string(round));
        for (int n = first; n <= last; ++n) PrintText(p, n);
        std::fflush(stdout);
    }

    if (callFree) p.free();
    ::FreeLibrary(module);
    Line("done");
    return 0;
}
