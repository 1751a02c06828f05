#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_sessions.h"
#include "identity.h"
#include "players.h"
#include "region_names.h"
#include "now_playing_record.h"
#include "play_state.h"
#include "session_reader.h"
#include "test_support.h"
#include "timeline.h"

using namespace mivola;
using namespace mivola::smtc;
using namespace mivola::smtc::test;

namespace {

constexpr int64_t T = kTicksPerSecond;
constexpr DWORD kShortWait = 50;

std::wstring Chosen(FakeManager& manager) {
    ChosenSession chosen = ChooseSession(&manager);
    if (!chosen.session) return L"(none)";
    return static_cast<FakeSession*>(chosen.session.get())->appId;
}

// Every case also checks that what a failed call left in its out value was neither freed nor used.
class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(Runtime(), nullptr) << "combase.dll lacks the runtime's string functions"; }
    void TearDown() override { EXPECT_EQ(GarbageWatch::Touches(), 0) << "garbage from a failed call freed or used"; }
    GarbageWatch watch_;
    NowPlayingRecord record_;
};

bool AllZero(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i]) return false;
    return true;
}

}  // namespace

TEST_F(ReaderTest, ChoosesCurrentIfPlayingThenFirstPlayingThenCurrentThenFirst) {
    FakeSession paused(L"app.paused", kPlaybackPaused), playing(L"app.playing", kPlaybackPlaying),
        other(L"app.other", kPlaybackPlaying), stopped(L"app.stopped", kPlaybackStopped);
    FakeManager manager;
    manager.list.items = {&paused, &playing, &other};
    manager.current = &other;
    EXPECT_EQ(Chosen(manager), L"app.other");
    manager.current = &stopped;
    EXPECT_EQ(Chosen(manager), L"app.playing");
    manager.list.items = {&paused, &stopped};
    EXPECT_EQ(Chosen(manager), L"app.stopped");
    manager.current = nullptr;
    EXPECT_EQ(Chosen(manager), L"app.paused");
    manager.list.items = {};
    EXPECT_EQ(Chosen(manager), L"(none)");
    for (FakeSession* s : {&paused, &playing, &other, &stopped}) EXPECT_EQ(s->refs, 1) << ::mivola::test::Narrow(s->appId);
    EXPECT_EQ(manager.list.refs, 1);
}

TEST_F(ReaderTest, FailingCallsCountAsNoCurrentSessionAndAnEmptyList) {
    FakeSession current(L"app.current", kPlaybackPaused), listed(L"app.listed", kPlaybackStopped),
        playing(L"app.playing", kPlaybackPlaying);
    FakeManager manager;
    manager.current = &current;
    manager.list.items = {&listed};
    manager.currentFails = true;
    EXPECT_EQ(Chosen(manager), L"app.listed");
    manager.currentFails = false;
    manager.sessionsFail = true;
    EXPECT_EQ(Chosen(manager), L"app.current");
    manager.currentFails = true;
    EXPECT_EQ(Chosen(manager), L"(none)");
    // A session that vanished from the list is passed over; one whose state cannot be read is not playing.
    manager.currentFails = manager.sessionsFail = false;
    manager.current = nullptr;
    playing.infoFails = true;
    manager.list.items = {nullptr, &playing, &listed};
    ChosenSession chosen = ChooseSession(&manager);
    ASSERT_TRUE(chosen.session);
    EXPECT_EQ(static_cast<FakeSession*>(chosen.session.get())->appId, L"app.playing");
    EXPECT_FALSE(chosen.statusKnown);
    chosen = ChosenSession();
    for (FakeSession* s : {&current, &listed, &playing}) EXPECT_EQ(s->refs, 1) << ::mivola::test::Narrow(s->appId);
}

TEST_F(ReaderTest, RecordOfAPlayingSession) {
    FakeSession session(L"Spotify.exe", kPlaybackPlaying);
    session.properties.title = L"Night Drive";
    session.properties.artist = L"";
    session.properties.albumArtist = L"Various";
    session.properties.album = L"Roads";
    session.properties.track = 0x12345;
    session.properties.genres = FakeStrings({L"Synthwave", L"", L"Electronic"});
    session.timeline.start = 2 * T;
    session.timeline.end = 242 * T;
    session.timeline.position = 62 * T;
    session.timeline.lastUpdated = 5000 * T;
    ChosenSession chosen{com_ptr<ISession>(&session), true, kPlaybackPlaying};
    FillRecord(chosen, 5003 * T + T / 2, record_, kShortWait);

    EXPECT_EQ(record_.Magic, kRecordMagic);
    EXPECT_EQ(record_.Version, 0x0401);
    EXPECT_EQ(record_.PlayState, PlayStatePlaying);
    EXPECT_STREQ(record_.Title, L"Night Drive");
    EXPECT_STREQ(record_.Artist, L"Various");  // the album artist when the artist is empty
    EXPECT_STREQ(record_.Album, L"Roads");
    EXPECT_STREQ(record_.Genre, L"Synthwave; Electronic");
    EXPECT_EQ(record_.TrackNumber, 0x2345);
    EXPECT_EQ(record_.Length, 240);
    EXPECT_EQ(record_.Position, 63);
    EXPECT_STREQ(record_.Status, L"Spotify.exe");
    EXPECT_TRUE(AllZero(record_.Path, sizeof record_.Path));
    EXPECT_EQ(record_.FileSize, 0);
    EXPECT_TRUE(AllZero(&record_.Bandwidth, sizeof record_ - offsetof(NowPlayingRecord, Bandwidth)));
    EXPECT_EQ(session.propertiesOp.closes, 1);
    EXPECT_EQ(session.propertiesOp.cancels, 0);

    session.properties.artistFails = true;
    session.properties.albumArtist = L"Fallback";
    FillRecord(chosen, 5003 * T, record_, kShortWait);
    EXPECT_STREQ(record_.Artist, L"Fallback");
    chosen = ChosenSession();
    EXPECT_EQ(session.refs, 1);
    EXPECT_EQ(session.propertiesOp.refs, 1);
    EXPECT_EQ(session.properties.refs, 1);
    EXPECT_EQ(session.properties.genres.refs, 1);
    EXPECT_EQ(session.timeline.refs, 1);
}

TEST_F(ReaderTest, TextsAreCutToTheirFields) {
    FakeSession session(L"", kPlaybackPaused);
    session.appId = std::wstring(3000, L'a');
    session.properties.title = std::wstring(1500, L'\xD55C');  // Hangul
    session.properties.artist = L"\xD83C\xDFB5 emoji";
    std::vector<std::wstring> many(100, L"Genre");
    session.properties.genres = FakeStrings(many);
    ChosenSession chosen{com_ptr<ISession>(&session), true, kPlaybackPaused};
    FillRecord(chosen, 0, record_, kShortWait);
    EXPECT_EQ(std::wstring(record_.Title), std::wstring(1023, L'\xD55C'));
    EXPECT_STREQ(record_.Artist, L"\xD83C\xDFB5 emoji");
    EXPECT_EQ(std::wstring(record_.Status), std::wstring(2047, L'a'));
    std::wstring genre(record_.Genre);
    EXPECT_EQ(genre.size(), 255u);
    EXPECT_EQ(genre.substr(0, 12), L"Genre; Genre");
}

TEST_F(ReaderTest, FailingCallsLeaveTheirFieldsEmptyAndAListClaimingBillionsOfGenresIsCut) {
    FakeSession gone(L"app.gone", kPlaybackPlaying);
    gone.callsFail = true;
    gone.properties.title = L"unseen";
    ChosenSession chosen{com_ptr<ISession>(&gone), true, kPlaybackPlaying};
    FillRecord(chosen, 0, record_, kShortWait);
    EXPECT_EQ(record_.Magic, kRecordMagic);
    EXPECT_EQ(record_.PlayState, PlayStatePlaying);
    EXPECT_STREQ(record_.Status, L"");
    EXPECT_EQ(record_.Position, 0);
    EXPECT_STREQ(record_.Title, L"");

    FakeSession broken(L"app.broken", kPlaybackPaused);
    broken.properties.callsFail = true;
    broken.properties.title = broken.properties.artist = broken.properties.album = L"unseen";
    broken.properties.track = 3;
    chosen = ChosenSession{com_ptr<ISession>(&broken), true, kPlaybackPaused};
    FillRecord(chosen, 0, record_, kShortWait);
    EXPECT_STREQ(record_.Status, L"app.broken");
    EXPECT_STREQ(record_.Title, L"");
    EXPECT_STREQ(record_.Artist, L"");
    EXPECT_STREQ(record_.Album, L"");
    EXPECT_STREQ(record_.Genre, L"");
    EXPECT_EQ(record_.TrackNumber, 0);

    broken.properties.callsFail = false;
    broken.propertiesOp.resultsFail = true;
    FillRecord(chosen, 0, record_, kShortWait);
    EXPECT_STREQ(record_.Title, L"");
    EXPECT_EQ(broken.propertiesOp.closes, 2);

    // A list that claims some four billion genres, all empty or failing, ends the tick at once.
    broken.propertiesOp.resultsFail = false;
    broken.properties.genres = FakeStrings({L"", L"Rock", L""});
    broken.properties.genres.claimedSize = 0xFFFFFFF0u;
    FillRecord(chosen, 0, record_, kShortWait);
    EXPECT_STREQ(record_.Title, L"unseen");
    EXPECT_STREQ(record_.Genre, L"Rock");
    EXPECT_GE(broken.properties.genres.lookups, 3u);
    EXPECT_LE(broken.properties.genres.lookups, 256u);

    chosen = ChosenSession();
    for (FakeSession* s : {&gone, &broken}) {
        EXPECT_EQ(s->refs, 1) << ::mivola::test::Narrow(s->appId);
        EXPECT_EQ(s->propertiesOp.refs, 1) << ::mivola::test::Narrow(s->appId);
        EXPECT_EQ(s->properties.refs, 1) << ::mivola::test::Narrow(s->appId);
        EXPECT_EQ(s->properties.genres.refs, 1) << ::mivola::test::Narrow(s->appId);
    }
}

TEST_F(ReaderTest, MediaFieldsOnlyInStoppedPausedPlayingAndReady) {
    const int32_t statuses[] = {kPlaybackClosed, kPlaybackOpened, kPlaybackChanging, kPlaybackStopped,
                                kPlaybackPlaying, kPlaybackPaused, 9};
    for (int32_t status : statuses) {
        FakeSession session(L"app", status);
        session.properties.title = L"T";
        session.timeline.end = 100 * T;
        session.timeline.position = 30 * T;
        ChosenSession chosen{com_ptr<ISession>(&session), true, status};
        FillRecord(chosen, 0, record_, kShortWait);
        bool media = CarriesMediaFields(PlayStateFromStatus(true, status));
        EXPECT_EQ(record_.Magic, kRecordMagic) << status;
        EXPECT_EQ(record_.PlayState, PlayStateFromStatus(true, status)) << status;
        EXPECT_EQ(record_.Position, 30) << status;
        EXPECT_STREQ(record_.Status, L"app") << status;
        EXPECT_EQ(std::wstring(record_.Title), media ? L"T" : L"") << status;
        EXPECT_EQ(record_.Length, media ? 100 : 0) << status;
        EXPECT_EQ(session.propertyRequests, media ? 1 : 0) << status;
    }
    // No session: all zero, whatever was there before.
    std::memset(&record_, 0x5A, sizeof record_);
    FillRecord(ChosenSession(), 0, record_, kShortWait);
    EXPECT_TRUE(AllZero(&record_, sizeof record_));
}

TEST_F(ReaderTest, OperationsThatNeverEndOrFailAreClosedAndLeaveTheFieldsEmpty) {
    FakeSession never(L"app.never", kPlaybackPlaying, OpMode::Never);
    never.properties.title = L"unseen";
    never.timeline.position = 12 * T;
    ChosenSession chosen{com_ptr<ISession>(&never), true, kPlaybackPlaying};
    // The tick waits for the request as long as its bound says, and not much longer; a loaded
    // machine may add to it, never take from it.
    ULONGLONG began = ::GetTickCount64();
    FillRecord(chosen, 0, record_);
    ULONGLONG took = ::GetTickCount64() - began;
    EXPECT_GE(took, kOperationTimeoutMs * 8 / 10);
    EXPECT_LE(took, kOperationTimeoutMs * 3);
    EXPECT_STREQ(record_.Title, L"");
    EXPECT_STREQ(record_.Status, L"app.never");
    EXPECT_EQ(record_.Position, 12);
    EXPECT_EQ(never.propertiesOp.cancels, 1);
    EXPECT_EQ(never.propertiesOp.closes, 1);

    FakeSession failing(L"app.failing", kPlaybackPlaying, OpMode::Fails);
    failing.properties.title = L"unseen";
    com_ptr<IMediaProperties> result;
    WaitOutcome how = WaitOutcome::Completed;
    HRESULT hr = AwaitOperation<IMediaProperties>(&failing.propertiesOp, kIidCompletedHandlerMediaProperties.iid,
                                                  kShortWait, &result, &how);
    EXPECT_EQ(hr, E_ACCESSDENIED);
    EXPECT_EQ(how, WaitOutcome::Failed);
    EXPECT_FALSE(result);
    EXPECT_EQ(failing.propertiesOp.cancels, 0);
    EXPECT_EQ(failing.propertiesOp.closes, 1);

    // The operations still hold the handlers the wait gave them; once they let go, all is returned.
    chosen = ChosenSession();
    never.propertiesOp.DropHandler();
    failing.propertiesOp.DropHandler();
    EXPECT_EQ(never.refs, 1);
    EXPECT_EQ(never.propertiesOp.refs, 1);
    EXPECT_EQ(never.properties.refs, 1);
    EXPECT_EQ(failing.propertiesOp.refs, 1);
}

TEST_F(ReaderTest, WithoutTheClassTheManagerIsUnavailableAndRecordsAreZero) {
    // Wine registers no media-session manager; the stand-in is registered only while its own tests run.
    SessionReader reader;
    EXPECT_FALSE(reader.Obtain(kShortWait));
    EXPECT_EQ(reader.LastResult(), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(reader.HasManager());
    std::memset(&record_, 0x5A, sizeof record_);
    reader.Read(NowTicks(), record_, kShortWait);
    EXPECT_TRUE(AllZero(&record_, sizeof record_));
    // A second try asks again rather than remembering the failure.
    EXPECT_FALSE(reader.Obtain(kShortWait));
    EXPECT_EQ(reader.LastResult(), REGDB_E_CLASSNOTREG);
}

TEST(SmtcIdentity, DescriptionInCodePage932AndTheAppIdCutTo63Units) {
    BridgeIdentityRecord record;
    std::memset(&record, 0x5A, sizeof record);
    std::wstring appId = L"Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic" + std::wstring(40, L'x');
    BuildIdentity(appId.c_str(), record);
    EXPECT_STREQ(record.Description, "SMTC\x97p Ver 1.0.0");  // "SMTC用" in code page 932
    EXPECT_EQ(std::wstring(record.PlayerVersion), appId.substr(0, 63));
    std::wstring self(record.ModulePath);
    EXPECT_NE(self.find(L"smtc_reader_tests.exe"), std::wstring::npos) << ::mivola::test::Narrow(self);
    EXPECT_TRUE(AllZero(record.ModulePath + self.size(), sizeof record.ModulePath - self.size() * 2));
    BuildIdentity(nullptr, record);
    EXPECT_TRUE(AllZero(record.PlayerVersion, sizeof record.PlayerVersion));
    // The key names the bridge's regions beside the others'.
    char name[kRegionNameMax];
    ASSERT_TRUE(NowPlayingRegionName(name, kKeySmtc));
    EXPECT_STREQ(name, "ZEQ_Plugin_SMTC_Info");
    ASSERT_TRUE(IdentityRegionName(name, kKeySmtc));
    EXPECT_STREQ(name, "ZEQ_Plugin_SMTC_PIN");
}
