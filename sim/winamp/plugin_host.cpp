#include "plugin_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim_common.h"

namespace winamp_sim {

namespace {

// Timer calls that plug-ins make on the main window are logged: the player cannot see
// its window's timers otherwise. The plug-in's imports of them are redirected here.
HWND g_tracedWindow = nullptr;
EventLog* g_traceLog = nullptr;

UINT_PTR WINAPI TracedSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc) {
    UINT_PTR result = ::SetTimer(window, id, ms, proc);
    if (window == g_tracedWindow && g_traceLog)
        g_traceLog->Write("settimer " + std::to_string(static_cast<unsigned long long>(id)) + " " + std::to_string(ms));
    return result;
}

BOOL WINAPI TracedKillTimer(HWND window, UINT_PTR id) {
    BOOL result = ::KillTimer(window, id);
    if (window == g_tracedWindow && g_traceLog)
        g_traceLog->Write("killtimer " + std::to_string(static_cast<unsigned long long>(id)));
    return result;
}

void RedirectImport(HMODULE module, const char* dll, const char* name, const void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0 || !d->OriginalFirstThunk) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
            DWORD old = 0;
            if (!::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) continue;
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            ::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
        }
    }
}

using sim_common::ToUtf8;

bool IsKnownHeaderVersion(int version) { return version == winamp::kGppHeaderVersion || version == 0x11; }

}  // namespace

PluginHost::~PluginHost() {
    QuitAll();
    if (g_tracedWindow == window_) g_traceLog = nullptr;
}

bool PluginHost::ProcedureIsOwn() const {
    return ::GetWindowLongPtrW(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(ownProcedure_);
}

void PluginHost::Load(const std::wstring& folder, const std::wstring& name) {
    Plugin plugin;
    plugin.file = ToUtf8(name);
    plugin.module.reset(::LoadLibraryW((folder + name).c_str()));
    auto get = plugin.module ? reinterpret_cast<winamp::GetGeneralPurposePluginFunction>(reinterpret_cast<void*>(
                                   ::GetProcAddress(plugin.module.get(), winamp::kGetGeneralPurposePluginName)))
                             : nullptr;
    plugin.header = get ? get() : nullptr;
    if (!plugin.header || !IsKnownHeaderVersion(plugin.header->version)) {
        log_.Write("load " + plugin.file + " rejected");
        return;
    }
    log_.Write("load " + plugin.file + " ok");
    RedirectImport(plugin.module.get(), "user32.dll", "SetTimer", reinterpret_cast<const void*>(TracedSetTimer));
    RedirectImport(plugin.module.get(), "user32.dll", "KillTimer", reinterpret_cast<const void*>(TracedKillTimer));
    plugin.header->hwndParent = window_;
    plugin.header->hDllInstance = plugin.module.get();
    size_t index = plugins_.size();
    plugins_.push_back(std::move(plugin));
    Plugin& loaded = plugins_.back();
    int result = loaded.header->init();
    log_.Write("init " + std::to_string(index) + " " + loaded.file + " ret=" + std::to_string(result) +
               (ProcedureIsOwn() ? " proc=unchanged" : " proc=replaced"));
}

void PluginHost::LoadAll(const std::wstring& folder) {
    g_tracedWindow = window_;
    g_traceLog = &log_;
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((folder + L"gen_*.dll").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    std::sort(names.begin(), names.end());
    for (const std::wstring& name : names) Load(folder, name);
}

void PluginHost::Config(size_t index) {
    if (index >= plugins_.size() || quitDone_) return;
    log_.Write("config " + std::to_string(index) + " begin");
    plugins_[index].header->config();
    log_.Write("config " + std::to_string(index) + " end");
}

void PluginHost::QuitAll() {
    if (quitDone_) return;
    quitDone_ = true;
    for (size_t i = 0; i < plugins_.size(); ++i) {
        plugins_[i].header->quit();
        log_.Write("quit " + std::to_string(i) + (ProcedureIsOwn() ? " proc=original" : " proc=replaced"));
    }
}

}  // namespace winamp_sim
