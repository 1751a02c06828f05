// smtc_sim.dll: a stand-in for the system's global media sessions (runtime class
// Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager), served in-process
// as the system's class is reached: combase finds the DLL through
//   HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId\<class>  value DllPath
// (smtc_sim_register.exe writes it, each registry view with the DLL of its bitness) and calls
// its DllGetActivationFactory. The factory answers the manager's statics; RequestAsync gives a
// manager whose sessions answer from a scenario file.
//
// Where the scenario is: the value "MivolaScenario" (REG_SZ) beside DllPath in the class key of
// the caller's registry view, else the environment variable MIVOLA_SMTC_SCENARIO; neither, or a
// file that cannot be read, plays an empty scenario (no sessions). The file is looked at again
// on every RequestAsync and at most every 20 ms on any other call; when its path, write time
// or size changed it is read again and its timed phases start over from that moment. A file
// with an error is ignored (the previous scenario goes on; the log says "scenario error ...").
// Write the file whole (write a temporary, then rename it over the old one).
//
// Scenario file, UTF-8, one item a line; leading blanks ignored; "#" starts a comment line:
//   log <path>               call log (below); "log" alone: none
//   request-op <how>         how RequestAsync's operation finishes (default now); <how> is:
//                              now | never | late <ms> | error <hresult> | late <ms> error <hresult>
//   session <key>            creates the session (appended to the list) unless it exists, and
//                            makes it the one the following lines describe
//   remove <key>             the session's app has closed: gone from the list, and its objects
//                            answer RPC_E_DISCONNECTED from now on
//   current <key|none>       GetCurrentSession's answer (default none: S_OK with null)
//   fail <call> [<hresult>]  the call fails with the code (default E_FAIL; "ok" makes it work
//                            again). Manager calls: request, current-session, sessions. The
//                            session's calls: app, media, timeline, playback-info; its media
//                            properties: title, subtitle, album-artist, artist, album, track,
//                            genres, track-count, playback-type, thumbnail; its timeline: start,
//                            end, min-seek, max-seek, position, last-updated; its playback info:
//                            status, rate.
//   <hresult>                a number (0x80004005) or ok, fail, disconnected, notimpl, abort, denied
// Lines describing the session named by the last "session" line:
//   app <text>               SourceAppUserModelId (default: the key)
//   status <s>               closed, opened, changing, stopped, playing, paused, or a number
//   title, subtitle, artist, album-artist, album <text>   (empty after the word: empty string)
//   repeat <field> <count> <text>   the field (one of the five above, app, or genre) is the text
//                            repeated count times (long texts)
//   genre <text>             appends one genre; "genres" alone empties the list
//   track <n>, track-count <n>
//   playback-type <n|none>   IReference<MediaPlaybackType> (default none: null)
//   rate <x|none>            PlaybackRate as IReference<Double> (default none: null)
//   start, end, min-seek, max-seek, position <ms>   timeline values in milliseconds, or <n>t
//                            for raw 100 ns units (default 0)
//   last-updated <when>      0 (the date 0), now, +<ms> or -<ms> from the moment the line is
//                            applied, or <n>t (absolute FILETIME ticks). Default: the moment
//                            the session was created
//   media-op <how>           how TryGetMediaPropertiesAsync's operation finishes (as request-op)
//   vanish [on|off]          still listed, but every call on the session answers
//                            RPC_E_DISCONNECTED (an app that closed between two calls)
// Timed phases:
//   at <ms>                  the lines after it (up to the next "at") apply that long after the
//                            file was loaded; each phase names its session again with "session"
//
// Media properties, timeline properties and playback info are snapshots taken when asked for,
// as the system's are; a session object answers from the current state while its session is
// listed. Asynchronous operations: a completed operation runs a handler inside put_Completed; a
// late one runs it on its own thread; Cancel moves a started operation to Canceled (handler on
// another thread); Close on a started operation answers E_ILLEGAL_STATE_CHANGE; after Close,
// every call answers E_ILLEGAL_METHOD_CALL.
//
// Call log, UTF-8 lines appended:
//   call <Object>.<Method> <hresult>   every call except AddRef and Release, e.g.
//                                      "call Session.GetTimelineProperties 0x00000000"
//   new <Object> <id> / free <Object> <id>   an object made / its last reference released
//   invoke <Object> <status>           a completed handler is run
//   scenario loaded <path> / scenario error <message>
// Objects: Statics, Manager, Session, MediaProperties, TimelineProperties, PlaybackInfo,
// AsyncOperation<Manager>, AsyncOperation<MediaProperties>, VectorView<Session>,
// VectorView<String>, Reference<Double>, Reference<PlaybackType>.
//
// Exports: DllGetActivationFactory, DllCanUnloadNow (never: threads of late operations may be
// running), MivolaSmtcSimLiveObjects (objects alive in this process, for leak checks).
#include <windows.h>
// After windows.h.
#include <activation.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "scenario.h"
#include "sim_objects.h"
#include "sim_common.h"
#include "unique_handle.h"

namespace smtc_sim {

namespace {

// ---- combase ----
using CreateStringFn = HRESULT(WINAPI*)(LPCWSTR, UINT32, HSTRING*);
using DeleteStringFn = HRESULT(WINAPI*)(HSTRING);
using RawBufferFn = PCWSTR(WINAPI*)(HSTRING, UINT32*);

CreateStringFn g_createString = nullptr;
DeleteStringFn g_deleteString = nullptr;
RawBufferFn g_rawBuffer = nullptr;

// ---- State ----
CRITICAL_SECTION g_lock;
State g_state;
Scenario g_scenario;
size_t g_nextPhase = 0;
ULONGLONG g_loadTick = 0;
int64_t g_loadTicks = 0;  // the load moment as a FILETIME-style date
std::wstring g_path;
FILETIME g_writeTime{};
ULONGLONG g_size = 0;
bool g_fileSeen = false;
ULONGLONG g_lastCheck = 0;
bool g_checked = false;

// ---- Log ----
// Appended to: every process that loads the stand-in writes its lines into the one file.
sim_common::EventLog g_log;
std::wstring g_logPath;

int64_t NowTicks() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    return static_cast<int64_t>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

constexpr auto Utf8 = sim_common::ToUtf8;

// Called under g_lock: opens, switches or closes the log as the state names it.
void FollowLogPath() {
    if (g_state.logPath == g_logPath) return;
    g_logPath = g_state.logPath;
    g_log.Open(g_logPath, sim_common::LogMode::Append);
}

std::wstring ScenarioPath() {
    std::wstring key = std::wstring(L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\") +
                       mivola::smtc::kManagerClassName;
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"MivolaScenario", RRF_RT_REG_SZ, &type, path, &size) ==
            ERROR_SUCCESS &&
        path[0]) {
        return path;
    }
    DWORD n = ::GetEnvironmentVariableW(L"MIVOLA_SMTC_SCENARIO", path, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) return path;
    return std::wstring();
}

// Under g_lock: the scenario from the file at path (or an empty one), starting now.
void Load(const std::wstring& path) {
    Scenario scenario;
    std::string error;
    bool ok = !path.empty() && LoadScenarioFile(path, scenario, error);
    if (!ok && !path.empty() && g_path == path && g_fileSeen) {
        // A broken edit: the scenario that runs goes on.
        if (LogOn()) LogLine("scenario error " + error);
        return;
    }
    State fresh;
    fresh.nextSerial = g_state.nextSerial;
    g_scenario = ok ? std::move(scenario) : Scenario{};
    if (g_scenario.phases.empty()) g_scenario.phases.emplace_back();
    g_loadTick = ::GetTickCount64();
    g_loadTicks = NowTicks();
    std::string applyError;
    ApplyPhase(g_scenario.phases[0], fresh, g_loadTicks, applyError);
    // A session that was there before and still is keeps its identity across the re-read.
    for (Session& s : fresh.sessions) {
        if (const Session* old = g_state.Find(s.key)) s.serial = old->serial;
    }
    g_state = std::move(fresh);
    g_nextPhase = 1;
    FollowLogPath();
    if (LogOn()) LogLine(ok ? "scenario loaded " + Utf8(path) : "scenario error " + error);
}

}  // namespace

bool LoadStringFunctions() {
    if (g_createString) return true;
    HMODULE combase = ::LoadLibraryW(L"combase.dll");
    if (!combase) return false;
    auto create = reinterpret_cast<CreateStringFn>(reinterpret_cast<void*>(::GetProcAddress(combase, "WindowsCreateString")));
    g_deleteString = reinterpret_cast<DeleteStringFn>(reinterpret_cast<void*>(::GetProcAddress(combase, "WindowsDeleteString")));
    g_rawBuffer =
        reinterpret_cast<RawBufferFn>(reinterpret_cast<void*>(::GetProcAddress(combase, "WindowsGetStringRawBuffer")));
    if (!create || !g_deleteString || !g_rawBuffer) return false;
    g_createString = create;
    return true;
}

HRESULT MakeString(const std::wstring& text, HSTRING* out) {
    *out = nullptr;
    if (text.empty()) return S_OK;  // the empty string is the null string
    return g_createString(text.data(), static_cast<UINT32>(text.size()), out);
}

void FreeString(HSTRING s) {
    if (s) g_deleteString(s);
}

std::wstring StringText(HSTRING s) {
    if (!s) return std::wstring();
    UINT32 length = 0;
    PCWSTR raw = g_rawBuffer(s, &length);
    return std::wstring(raw, length);
}

void Refresh(bool force) {
    mivola::CriticalSectionLock lock(g_lock);
    ULONGLONG now = ::GetTickCount64();
    if (force || !g_checked || now - g_lastCheck >= kRecheckMs) {
        g_checked = true;
        g_lastCheck = now;
        std::wstring path = ScenarioPath();
        WIN32_FILE_ATTRIBUTE_DATA data{};
        bool seen = !path.empty() && ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        ULONGLONG size = seen ? (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow : 0;
        if (path != g_path || seen != g_fileSeen ||
            (seen && (::CompareFileTime(&data.ftLastWriteTime, &g_writeTime) != 0 || size != g_size))) {
            Load(seen ? path : std::wstring());
            g_path = path;
            g_fileSeen = seen;
            g_writeTime = data.ftLastWriteTime;
            g_size = size;
        }
    }
    // Read after a possible load, which sets g_loadTick: an earlier reading would make the
    // elapsed time wrap around and run every phase at once.
    const ULONGLONG elapsed = ::GetTickCount64() - g_loadTick;
    while (g_nextPhase < g_scenario.phases.size() && elapsed >= g_scenario.phases[g_nextPhase].atMs) {
        const Phase& phase = g_scenario.phases[g_nextPhase++];
        std::string error;
        ApplyPhase(phase, g_state, g_loadTicks + static_cast<int64_t>(phase.atMs) * 10000, error);
        FollowLogPath();
    }
}

CRITICAL_SECTION& StateSection() { return g_lock; }
State& StateLock::state() { return g_state; }

bool LogOn() { return g_log.IsOpen(); }

void LogLine(const std::string& line) { g_log.Write(line); }

std::string HexResult(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace smtc_sim

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::InitializeCriticalSection(&smtc_sim::g_lock);
    }
    return TRUE;
}

HRESULT WINAPI DllGetActivationFactory(HSTRING classId, IActivationFactory** factory) {
    if (!factory) return E_POINTER;
    *factory = nullptr;
    if (!smtc_sim::LoadStringFunctions()) return E_FAIL;
    if (smtc_sim::StringText(classId) != mivola::smtc::kManagerClassName) return CLASS_E_CLASSNOTAVAILABLE;
    smtc_sim::Refresh(true);
    *factory = smtc_sim::NewFactory();
    return S_OK;
}

HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

LONG WINAPI MivolaSmtcSimLiveObjects() { return smtc_sim::LiveObjects(); }

}  // extern "C"
