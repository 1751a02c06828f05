// The media-session stand-in as a program reaches the system's class: registered for this
// prefix, activated through combase under the real class name, and answering as the system
// does (ownership of strings and references, the asynchronous operations' rules, sessions that
// vanish), in this process and in the other architecture's.
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h.
#include <roapi.h>

#include <functional>
#include <string>

#include "registration.h"
#include "session_client.h"
#include "smtc_test_support.h"
#include "test_support.h"

using namespace mivola::smtc;
using mivola::com_ptr;

namespace mivola::test {
namespace {

constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154);
constexpr HRESULT kIllegalStateChange = static_cast<HRESULT>(0x8000000D);
constexpr bool kThis64 = sizeof(void*) == 8;

class SmtcStandInTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::RoInitialize(RO_INIT_MULTITHREADED); }

    // The manager from a fresh RequestAsync, waited for.
    static com_ptr<IManager> Manager() {
        com_ptr<IManagerStatics> statics;
        EXPECT_EQ(GetStatics(statics), S_OK);
        com_ptr<IManager> manager;
        if (!statics) return manager;
        com_ptr<IAsyncOperationManager> op;
        EXPECT_EQ(statics->RequestAsync(op.put()), S_OK);
        if (op) {
            EXPECT_EQ(AwaitManager(op.get(), 5000, &manager), kAsyncCompleted);
        }
        return manager;
    }
    static com_ptr<ISession> Current(IManager* manager) {
        com_ptr<ISession> session;
        EXPECT_EQ(manager->GetCurrentSession(session.put()), S_OK);
        return session;
    }
    static com_ptr<IAsyncOperationMediaProperties> MediaOp(ISession* session) {
        com_ptr<IAsyncOperationMediaProperties> op;
        EXPECT_EQ(session->TryGetMediaPropertiesAsync(op.put()), S_OK);
        return op;
    }
    static LONG LiveObjects() {
        HMODULE dll = ::GetModuleHandleW(L"smtc_sim.dll");
        auto live = dll ? reinterpret_cast<LONG(WINAPI*)()>(
                              reinterpret_cast<void*>(::GetProcAddress(dll, "MivolaSmtcSimLiveObjects")))
                        : nullptr;
        return live ? live() : -1;
    }
};

const char kRichScenario[] =
    "session spotify\n"
    "  app Spotify.exe\n"
    "  status playing\n"
    "  title \xF0\x9F\x8E\xB5 \xEB\xB0\xA9\xED\x83\x84\n"  // emoji, Hangul
    "  artist Artist\n"
    "  album-artist\n"
    "  repeat subtitle 300 \xE3\x81\x82\n"  // 300 x HIRAGANA A
    "  genre K-Pop\n"
    "  genre Dance\n"
    "  track 7\n"
    "  track-count 12\n"
    "  playback-type 1\n"
    "  rate 1.5\n"
    "  start 1000\n"
    "  end 241000\n"
    "  position 61000\n"
    "  last-updated 132000000000000000t\n"
    "  fail album\n"
    "session chrome\n"
    "  app Chrome\n"
    "  status paused\n"
    "  last-updated 0\n"
    "current chrome\n";

std::string ExpectedRich() {
    std::string subtitle;
    for (int i = 0; i < 300; ++i) subtitle += "\xE3\x81\x82";
    return "request=1\ncurrent=Chrome\nsessions=2\n"
           "0.app=Spotify.exe\n0.playback-info=\n0.status=4\n0.rate=1.5\n0.media=1\n"
           "0.title=\xF0\x9F\x8E\xB5 \xEB\xB0\xA9\xED\x83\x84\n0.subtitle=" + subtitle + "\n"
           "0.artist=Artist\n0.album-artist=\n0.album!0x80004005\n0.track=7\n0.track-count=12\n"
           "0.genres=K-Pop|Dance\n0.playback-type=1\n0.thumbnail=none\n0.timeline=\n"
           "0.start=10000000\n0.end=2410000000\n0.min-seek=0\n0.max-seek=0\n0.position=610000000\n"
           "0.last-updated=132000000000000000\n"
           "1.app=Chrome\n1.playback-info=\n1.status=5\n1.rate=none\n1.media=1\n"
           "1.title=\n1.subtitle=\n1.artist=\n1.album-artist=\n1.album=\n1.track=0\n1.track-count=0\n"
           "1.genres=\n1.playback-type=none\n1.thumbnail=none\n1.timeline=\n"
           "1.start=0\n1.end=0\n1.min-seek=0\n1.max-seek=0\n1.position=0\n1.last-updated=0\n";
}

TEST_F(SmtcStandInTest, RegistrationMakesTheClassReachableAndItsRemovalUnreachable) {
    com_ptr<IManagerStatics> statics;
    EXPECT_EQ(GetStatics(statics), kClassNotRegistered);
    {
        SmtcStandIn standIn;
        ASSERT_TRUE(standIn.Ok());
        EXPECT_TRUE(smtc_sim::StandInRegistered(kThis64));
        EXPECT_EQ(GetStatics(statics), S_OK);
        statics.reset();
    }
    EXPECT_FALSE(smtc_sim::StandInRegistered(true));
    EXPECT_FALSE(smtc_sim::StandInRegistered(false));
    EXPECT_EQ(GetStatics(statics), kClassNotRegistered);
}

TEST_F(SmtcStandInTest, RegistrationToolWritesBothViewsAndLeavesAForeignClassAlone) {
    std::wstring exe = ModuleDirectory() + L"smtc_sim_register.exe";
    ChildResult r = RunChild(exe, L"--register C:\\a64.dll C:\\a32.dll C:\\s.txt");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(smtc_sim::StandInRegistered(true));
    EXPECT_TRUE(smtc_sim::StandInRegistered(false));
    r = RunChild(exe, L"--unregister");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_FALSE(smtc_sim::StandInRegistered(true));
    EXPECT_FALSE(smtc_sim::StandInRegistered(false));

    // A registration that is not the stand-in's is neither overwritten nor removed.
    const std::wstring key = std::wstring(L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\") + kManagerClassName;
    HKEY handle = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                                &handle, nullptr),
              ERROR_SUCCESS);
    const wchar_t system[] = L"C:\\windows\\system32\\windows.media.mediacontrol.dll";
    ::RegSetValueExW(handle, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(system), sizeof system);
    ::RegCloseKey(handle);
    // Refused in one view, the registration is not left behind in the other.
    r = RunChild(exe, L"--register C:\\a64.dll C:\\a32.dll C:\\s.txt");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_FALSE(smtc_sim::StandInRegistered(false));
    RunChild(exe, L"--unregister");
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle), ERROR_SUCCESS);
    EXPECT_EQ(::RegGetValueW(handle, nullptr, L"DllPath", RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
    ::RegCloseKey(handle);
    EXPECT_STREQ(value, system);
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_64KEY, 0);
}

TEST_F(SmtcStandInTest, ListsSessionsWithTheScenariosValues) {
    SmtcStandIn standIn(kRichScenario);
    ASSERT_TRUE(standIn.Ok());
    EXPECT_EQ(DescribeSessions(), ExpectedRich());
    // One call per getter: the call log counts what a client asked for.
    EXPECT_EQ(standIn.CallCount("Session.GetTimelineProperties"), 2u);
    EXPECT_EQ(standIn.CallCount("Manager.GetSessions"), 1u);
    EXPECT_EQ(standIn.CallCount("MediaProperties.get_AlbumTitle"), 2u);
}

TEST_F(SmtcStandInTest, EachArchitectureAnswersTheSame) {
    SmtcStandIn standIn(kRichScenario);
    ASSERT_TRUE(standIn.Ok());
    for (Arch arch : {Arch::Same, Arch::Other}) {
        if (!ArchRuns(arch)) continue;
        std::wstring dir = arch == Arch::Same ? ModuleDirectory() : OtherArchDirectory() + L"smtc\\";
        if (arch == Arch::Other) {
            ASSERT_TRUE(kThis64 ? standIn.Registered32() : standIn.Registered64())
                << "no stand-in DLL of the other architecture";
        }
        ChildResult r = RunChild(dir + L"smtc_sim_probe.exe", L"");
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        EXPECT_EQ(r.output, ExpectedRich()) << (arch == Arch::Same ? "same" : "other") << " architecture";
    }
    MIVOLA_SKIP_UNLESS_32BIT_RUNS();
}

TEST_F(SmtcStandInTest, ObjectsAreInspectableAgileAndCounted) {
    SmtcStandIn standIn("session a\nstatus playing\ncurrent a\n");
    ASSERT_TRUE(standIn.Ok());
    {
        com_ptr<IManager> manager = Manager();
        ASSERT_TRUE(manager);
        com_ptr<ISession> session = Current(manager.get());
        ASSERT_TRUE(session);

        ULONG count = 0;
        IID* iids = nullptr;
        ASSERT_EQ(session->GetIids(&count, &iids), S_OK);
        ASSERT_EQ(count, 1u);
        EXPECT_TRUE(iids[0] == kIidSession);
        ::CoTaskMemFree(iids);  // allocated as the runtime's callers free it
        Hstring name;
        ASSERT_EQ(session->GetRuntimeClassName(name.put()), S_OK);
        EXPECT_EQ(name.Text(), kSessionClassName);
        TrustLevel trust = FullTrust;
        EXPECT_EQ(session->GetTrustLevel(&trust), S_OK);
        EXPECT_EQ(trust, BaseTrust);

        // Identity: IUnknown is one pointer whichever interface it is asked from.
        com_ptr<IAsyncOperationMediaProperties> op = MediaOp(session.get());
        com_ptr<IAsyncInfo_> info;
        ASSERT_EQ(op->QueryInterface(kIidIAsyncInfo, info.put_void()), S_OK);
        com_ptr<IUnknown> fromOp, fromInfo, agile;
        op->QueryInterface(IID_IUnknown, fromOp.put_void());
        info->QueryInterface(IID_IUnknown, fromInfo.put_void());
        EXPECT_EQ(fromOp.get(), fromInfo.get());
        EXPECT_EQ(op->QueryInterface(kIidIAgileObject, agile.put_void()), S_OK);
        EXPECT_EQ(session->QueryInterface(kIidIAgileObject, agile.put_void()), S_OK);
        com_ptr<IUnknown> none;
        EXPECT_EQ(session->QueryInterface(kIidManager, none.put_void()), E_NOINTERFACE);
        EXPECT_EQ(op->GetIids(&count, &iids), S_OK);
        EXPECT_EQ(count, 2u);
        ::CoTaskMemFree(iids);

        // The current session and its entry in the list are one object.
        com_ptr<IVectorViewSession> sessions;
        ASSERT_EQ(manager->GetSessions(sessions.put()), S_OK);
        com_ptr<ISession> listed;
        ASSERT_EQ(sessions->GetAt(0, listed.put()), S_OK);
        EXPECT_EQ(listed.get(), session.get());
        UINT32 index = 9;
        rt_bool found = 0;
        EXPECT_EQ(sessions->IndexOf(session.get(), &index, &found), S_OK);
        EXPECT_EQ(found, 1);
        EXPECT_EQ(index, 0u);
        ISession* many[3] = {};
        UINT32 actual = 9;
        EXPECT_EQ(sessions->GetMany(0, 3, many, &actual), S_OK);
        EXPECT_EQ(actual, 1u);
        if (many[0]) many[0]->Release();
        com_ptr<ISession> beyond;
        EXPECT_EQ(sessions->GetAt(1, beyond.put()), kEBounds);
        info->Close();
    }
    // Everything released: nothing of the stand-in's is left alive.
    EXPECT_EQ(LiveObjects(), 0);
    EXPECT_EQ(standIn.LiveObjectsInLog(), 0);
}

TEST_F(SmtcStandInTest, CompletedOperationsRunTheirHandlerAtOnceAndOnlyOnce) {
    SmtcStandIn standIn("session a\nmedia-op now\ncurrent a\n");
    ASSERT_TRUE(standIn.Ok());
    com_ptr<IManager> manager = Manager();
    ASSERT_TRUE(manager);
    com_ptr<ISession> session = Current(manager.get());
    ASSERT_TRUE(session);
    com_ptr<IAsyncOperationMediaProperties> op = MediaOp(session.get());
    auto* probe = new CompletionProbe<IMediaProperties>();
    EXPECT_EQ(op->put_Completed(probe), S_OK);
    // Inside put_Completed, on this thread.
    EXPECT_EQ(probe->Calls(), 1);
    EXPECT_EQ(probe->Thread(), ::GetCurrentThreadId());
    EXPECT_EQ(probe->Status(), kAsyncCompleted);
    EXPECT_EQ(probe->Operation(), static_cast<void*>(op.get()));
    EXPECT_EQ(op->put_Completed(probe), kEIllegalDelegateAssignment);
    EXPECT_EQ(probe->Calls(), 1);
    com_ptr<IMediaProperties> media;
    EXPECT_EQ(op->GetResults(media.put()), S_OK);
    EXPECT_TRUE(media);
    com_ptr<IAsyncInfo_> info;
    op->QueryInterface(kIidIAsyncInfo, info.put_void());
    EXPECT_EQ(info->Close(), S_OK);
    int32_t status = 0;
    EXPECT_EQ(info->get_Status(&status), kEIllegalMethodCall);
    EXPECT_EQ(op->GetResults(media.put()), kEIllegalMethodCall);
    probe->Release();
}

TEST_F(SmtcStandInTest, LateNeverAndFailingOperations) {
    SmtcStandIn standIn(
        "session late\nmedia-op late 300\n"
        "session never\nmedia-op never\n"
        "session broken\nmedia-op error 0x80070005\n");
    ASSERT_TRUE(standIn.Ok());
    com_ptr<IManager> manager = Manager();
    ASSERT_TRUE(manager);
    com_ptr<IVectorViewSession> sessions;
    ASSERT_EQ(manager->GetSessions(sessions.put()), S_OK);
    com_ptr<ISession> late, never, broken;
    sessions->GetAt(0, late.put());
    sessions->GetAt(1, never.put());
    sessions->GetAt(2, broken.put());
    ASSERT_TRUE(late && never && broken);

    {  // Late: started, then finished on another thread, which runs the handler.
        com_ptr<IAsyncOperationMediaProperties> op = MediaOp(late.get());
        com_ptr<IAsyncInfo_> info;
        op->QueryInterface(kIidIAsyncInfo, info.put_void());
        int32_t status = -1;
        EXPECT_EQ(info->get_Status(&status), S_OK);
        EXPECT_EQ(status, kAsyncStarted);
        com_ptr<IMediaProperties> media;
        EXPECT_EQ(op->GetResults(media.put()), kEIllegalMethodCall);
        EXPECT_EQ(info->Close(), kIllegalStateChange);
        auto* probe = new CompletionProbe<IMediaProperties>();
        EXPECT_EQ(op->put_Completed(probe), S_OK);
        EXPECT_EQ(probe->Calls(), 0);
        ASSERT_TRUE(probe->Wait(5000));
        EXPECT_EQ(probe->Status(), kAsyncCompleted);
        EXPECT_NE(probe->Thread(), ::GetCurrentThreadId());
        EXPECT_EQ(op->GetResults(media.put()), S_OK);
        EXPECT_EQ(info->Close(), S_OK);
        probe->Release();
    }
    {  // Never: stays started until cancelled; the handler then hears Canceled.
        com_ptr<IAsyncOperationMediaProperties> op = MediaOp(never.get());
        com_ptr<IAsyncInfo_> info;
        op->QueryInterface(kIidIAsyncInfo, info.put_void());
        auto* probe = new CompletionProbe<IMediaProperties>();
        EXPECT_EQ(op->put_Completed(probe), S_OK);
        EXPECT_FALSE(probe->Wait(400));
        int32_t status = -1;
        info->get_Status(&status);
        EXPECT_EQ(status, kAsyncStarted);
        EXPECT_EQ(info->Cancel(), S_OK);
        ASSERT_TRUE(probe->Wait(5000));
        EXPECT_EQ(probe->Status(), kAsyncCanceled);
        EXPECT_NE(probe->Thread(), ::GetCurrentThreadId());
        info->get_Status(&status);
        EXPECT_EQ(status, kAsyncCanceled);
        com_ptr<IMediaProperties> media;
        EXPECT_EQ(op->GetResults(media.put()), kEIllegalMethodCall);
        EXPECT_EQ(info->Close(), S_OK);
        probe->Release();
    }
    {  // Error: the code from get_ErrorCode and GetResults.
        com_ptr<IAsyncOperationMediaProperties> op = MediaOp(broken.get());
        com_ptr<IMediaProperties> media;
        EXPECT_EQ(AwaitMediaProperties(op.get(), 1000, &media), kAsyncError);
        com_ptr<IAsyncOperationMediaProperties> again = MediaOp(broken.get());
        com_ptr<IAsyncInfo_> info;
        again->QueryInterface(kIidIAsyncInfo, info.put_void());
        HRESULT code = S_OK;
        EXPECT_EQ(info->get_ErrorCode(&code), S_OK);
        EXPECT_EQ(code, E_ACCESSDENIED);
        EXPECT_EQ(again->GetResults(media.put()), E_ACCESSDENIED);
        info->Close();
    }
}

TEST_F(SmtcStandInTest, ManagerCallsFailAsTheScenarioSays) {
    SmtcStandIn standIn("session a\ncurrent a\nfail current-session\nfail sessions 0x80010108\n");
    ASSERT_TRUE(standIn.Ok());
    com_ptr<IManager> manager = Manager();
    ASSERT_TRUE(manager);
    com_ptr<ISession> session;
    EXPECT_EQ(manager->GetCurrentSession(session.put()), E_FAIL);
    com_ptr<IVectorViewSession> sessions;
    EXPECT_EQ(manager->GetSessions(sessions.put()), RPC_E_DISCONNECTED);

    ASSERT_TRUE(standIn.SetScenario("fail request\n"));
    com_ptr<IManagerStatics> statics;
    ASSERT_EQ(GetStatics(statics), S_OK);
    com_ptr<IAsyncOperationManager> op;
    EXPECT_EQ(statics->RequestAsync(op.put()), E_FAIL);
    ASSERT_TRUE(standIn.SetScenario("request-op never\n"));
    ASSERT_EQ(statics->RequestAsync(op.put()), S_OK);
    EXPECT_EQ(AwaitManager(op.get(), 300, nullptr), -1);  // cancelled and closed after the wait
}

TEST_F(SmtcStandInTest, SessionsVanishBetweenCallsAndScenariosChangeWhileClientsRun) {
    SmtcStandIn standIn(
        "session gone\nvanish\n"
        "session music\napp Music\nstatus paused\ntitle One\ncurrent music\n"
        "at 3000\nsession music\nstatus playing\ncurrent none\n");
    ASSERT_TRUE(standIn.Ok());
    com_ptr<IManager> manager = Manager();
    ASSERT_TRUE(manager);
    com_ptr<IVectorViewSession> sessions;
    ASSERT_EQ(manager->GetSessions(sessions.put()), S_OK);
    com_ptr<ISession> gone, music;
    sessions->GetAt(0, gone.put());
    sessions->GetAt(1, music.put());
    ASSERT_TRUE(gone && music);
    // Listed, but its app has closed.
    Hstring app;
    EXPECT_EQ(gone->get_SourceAppUserModelId(app.put()), RPC_E_DISCONNECTED);
    com_ptr<IPlaybackInfo> info;
    EXPECT_EQ(gone->GetPlaybackInfo(info.put()), RPC_E_DISCONNECTED);

    // A snapshot keeps its values; the session answers from the timed phase once it is due.
    ASSERT_EQ(music->GetPlaybackInfo(info.put()), S_OK);
    int32_t status = 0;
    info->get_PlaybackStatus(&status);
    EXPECT_EQ(status, kPlaybackPaused);
    EXPECT_EQ(Current(manager.get()).get(), music.get());
    com_ptr<IPlaybackInfo> later;
    ASSERT_TRUE(WaitUntil(
        [&] {
            int32_t now = 0;
            return SUCCEEDED(music->GetPlaybackInfo(later.put())) && SUCCEEDED(later->get_PlaybackStatus(&now)) &&
                   now == kPlaybackPlaying;
        },
        10000));
    info->get_PlaybackStatus(&status);
    EXPECT_EQ(status, kPlaybackPaused);
    EXPECT_FALSE(Current(manager.get()));

    // The test rewrites the scenario: the same session goes on as the same object...
    ASSERT_TRUE(standIn.SetScenario("session music\napp Music\nstatus stopped\ncurrent music\n"));
    ::Sleep(50);
    EXPECT_EQ(Current(manager.get()).get(), music.get());
    ASSERT_EQ(music->GetPlaybackInfo(later.put()), S_OK);
    later->get_PlaybackStatus(&status);
    EXPECT_EQ(status, kPlaybackStopped);
    // ...and one that is removed is gone for whoever still holds it.
    ASSERT_TRUE(standIn.SetScenario("session other\ncurrent other\n"));
    ::Sleep(50);
    EXPECT_EQ(music->get_SourceAppUserModelId(app.put()), RPC_E_DISCONNECTED);
    com_ptr<ISession> current = Current(manager.get());
    ASSERT_TRUE(current);
    EXPECT_EQ(current->get_SourceAppUserModelId(app.put()), S_OK);
    EXPECT_EQ(app.Text(), L"other");
}

TEST_F(SmtcStandInTest, RelativeLastUpdatedCountsFromTheLoad) {
    SmtcStandIn standIn("session a\nlast-updated -5000\ncurrent a\n");
    ASSERT_TRUE(standIn.Ok());
    FILETIME before;
    ::GetSystemTimeAsFileTime(&before);
    com_ptr<IManager> manager = Manager();  // RequestAsync loads the scenario
    FILETIME after;
    ::GetSystemTimeAsFileTime(&after);
    ASSERT_TRUE(manager);
    com_ptr<ISession> session = Current(manager.get());
    ASSERT_TRUE(session);
    com_ptr<ITimelineProperties> timeline;
    ASSERT_EQ(session->GetTimelineProperties(timeline.put()), S_OK);
    DateTime date{};
    ASSERT_EQ(timeline->get_LastUpdatedTime(&date), S_OK);
    auto ticks = [](const FILETIME& ft) {
        return static_cast<int64_t>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    };
    EXPECT_GE(date.UniversalTime, ticks(before) - 50000000);
    EXPECT_LE(date.UniversalTime, ticks(after) - 50000000);
}

}  // namespace
}  // namespace mivola::test
