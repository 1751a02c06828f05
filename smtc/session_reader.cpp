#include "session_reader.h"

#include <cstring>

#include "runtime.h"
#include "text_copy.h"
#include "timeline.h"

namespace mivola::smtc {

namespace {

// More sessions than any desktop has; keeps a broken list from stalling a tick.
constexpr UINT32 kMaxSessions = 64;
// Likewise for genres: more than the field can show (each after the first takes at least 3 of
// its 255 units), so a list claiming billions of empty or failing entries ends here.
constexpr UINT32 kMaxGenres = 256;

// Appends texts into a zeroed field, cutting at capacity - 1 units.
class FieldWriter {
public:
    FieldWriter(wchar_t* field, size_t capacity) : field_(field), room_(capacity ? capacity - 1 : 0) {}
    void Append(const wchar_t* text, size_t length) {
        size_t n = length < room_ - used_ ? length : room_ - used_;
        std::memcpy(field_ + used_, text, n * sizeof(wchar_t));
        used_ += n;
    }
    bool Full() const { return used_ == room_; }
    size_t Used() const { return used_; }

private:
    wchar_t* field_;
    size_t room_;
    size_t used_ = 0;
};

template <size_t N>
void CopyString(wchar_t (&field)[N], HSTRING s) {
    StringText t = TextOf(s);
    CopyText(field, N, t.text, t.length);
}

void ReadStatus(ChosenSession& c) {
    com_ptr<IPlaybackInfo> info;
    keep_if_succeeded(c.session->GetPlaybackInfo(info.put()), info);
    c.statusKnown = info && SUCCEEDED(info->get_PlaybackStatus(&c.status));
    if (!c.statusKnown) c.status = 0;
}

bool Playing(const ChosenSession& c) { return c.statusKnown && c.status == kPlaybackPlaying; }

TimelineValues ReadTimeline(ISession* session) {
    TimelineValues t;
    com_ptr<ITimelineProperties> timeline;
    keep_if_succeeded(session->GetTimelineProperties(timeline.put()), timeline);
    if (!timeline) return t;
    TimeSpan span{};
    if (SUCCEEDED(timeline->get_StartTime(&span))) t.start = span.Duration;
    if ((t.haveEnd = SUCCEEDED(timeline->get_EndTime(&span)))) t.end = span.Duration;
    if ((t.havePosition = SUCCEEDED(timeline->get_Position(&span)))) t.position = span.Duration;
    DateTime updated{};
    if ((t.haveLastUpdated = SUCCEEDED(timeline->get_LastUpdatedTime(&updated)))) t.lastUpdated = updated.UniversalTime;
    return t;
}

void ReadGenres(IMediaProperties* props, NowPlayingRecord& record) {
    com_ptr<IVectorViewString> genres;
    keep_if_succeeded(props->get_Genres(genres.put()), genres);
    UINT32 count = 0;
    if (!genres || FAILED(genres->get_Size(&count))) return;
    if (count > kMaxGenres) count = kMaxGenres;
    FieldWriter out(record.Genre, sizeof record.Genre / sizeof record.Genre[0]);
    for (UINT32 i = 0; i < count && !out.Full(); ++i) {
        unique_hstring genre;
        keep_if_succeeded(genres->GetAt(i, genre.put()), genre);
        StringText t = TextOf(genre.get());
        if (t.length == 0) continue;
        if (out.Used()) out.Append(L"; ", 2);
        out.Append(t.text, t.length);
    }
}

void ReadMediaProperties(ISession* session, NowPlayingRecord& record, DWORD timeoutMs) {
    com_ptr<IAsyncOperationMediaProperties> op;
    keep_if_succeeded(session->TryGetMediaPropertiesAsync(op.put()), op);
    if (!op) return;
    com_ptr<IMediaProperties> props;
    if (FAILED(AwaitOperation(op.get(), kIidCompletedHandlerMediaProperties.iid, timeoutMs, &props)) || !props) return;

    // A failed getter leaves its owner empty, the empty text.
    unique_hstring text;
    keep_if_succeeded(props->get_Title(text.put()), text);
    CopyString(record.Title, text.get());
    keep_if_succeeded(props->get_Artist(text.put()), text);
    if (TextOf(text.get()).length == 0) keep_if_succeeded(props->get_AlbumArtist(text.put()), text);
    CopyString(record.Artist, text.get());
    keep_if_succeeded(props->get_AlbumTitle(text.put()), text);
    CopyString(record.Album, text.get());
    int32_t track = 0;
    if (SUCCEEDED(props->get_TrackNumber(&track))) record.TrackNumber = static_cast<uint16_t>(track & 0xFFFF);
    ReadGenres(props.get(), record);
}

}  // namespace

ChosenSession ChooseSession(IManager* manager) {
    ChosenSession current;
    keep_if_succeeded(manager->GetCurrentSession(current.session.put()), current.session);
    if (current.session) {
        ReadStatus(current);
        if (Playing(current)) return current;
    }
    ChosenSession first;
    com_ptr<IVectorViewSession> sessions;
    UINT32 count = 0;
    keep_if_succeeded(manager->GetSessions(sessions.put()), sessions);
    if (sessions && SUCCEEDED(sessions->get_Size(&count))) {
        if (count > kMaxSessions) count = kMaxSessions;
        for (UINT32 i = 0; i < count; ++i) {
            // A session that vanished since the list was made is skipped.
            ChosenSession candidate;
            keep_if_succeeded(sessions->GetAt(i, candidate.session.put()), candidate.session);
            if (!candidate.session) continue;
            ReadStatus(candidate);
            if (Playing(candidate)) return candidate;
            if (!first.session) first = std::move(candidate);
        }
    }
    if (current.session) return current;
    return first;
}

void FillRecord(const ChosenSession& chosen, int64_t nowTicks, NowPlayingRecord& record, DWORD timeoutMs) {
    std::memset(&record, 0, sizeof record);
    ISession* session = chosen.session.get();
    if (!session) return;
    record.Magic = kRecordMagic;
    record.Version = kVersionSmtc;
    uint16_t state = PlayStateFromStatus(chosen.statusKnown, chosen.status);
    record.PlayState = state;

    unique_hstring appId;
    keep_if_succeeded(session->get_SourceAppUserModelId(appId.put()), appId);
    CopyString(record.Status, appId.get());

    TimelineValues timeline = ReadTimeline(session);
    int32_t length = LengthSeconds(timeline);
    record.Position = PositionSeconds(timeline, Playing(chosen), nowTicks, length);
    if (!CarriesMediaFields(state)) return;
    record.Length = length;
    ReadMediaProperties(session, record, timeoutMs);
}

int64_t NowTicks() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

bool SessionReader::Obtain(DWORD timeoutMs) {
    if (manager_) return true;
    const RuntimeApi* api = Runtime();
    if (!api) {
        lastResult_ = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        return false;
    }
    if (!apartment_) {
        lastResult_ = api->RoInitialize(kRoInitMultithreaded);
        if (FAILED(lastResult_)) return false;
        apartment_ = true;
    }
    unique_hstring name = MakeHString(kManagerClassName);
    if (!name) {
        lastResult_ = E_OUTOFMEMORY;
        return false;
    }
    com_ptr<IManagerStatics> statics;
    lastResult_ = api->RoGetActivationFactory(name.get(), kIidManagerStatics, statics.put_void());
    keep_if_succeeded(lastResult_, statics);
    if (FAILED(lastResult_)) return false;
    if (!statics) {
        lastResult_ = E_NOINTERFACE;
        return false;
    }
    com_ptr<IAsyncOperationManager> op;
    lastResult_ = statics->RequestAsync(op.put());
    keep_if_succeeded(lastResult_, op);
    if (FAILED(lastResult_)) return false;
    com_ptr<IManager> manager;
    lastResult_ = AwaitOperation(op.get(), kIidCompletedHandlerManager.iid, timeoutMs, &manager);
    if (FAILED(lastResult_)) return false;
    if (!manager) {
        lastResult_ = E_POINTER;
        return false;
    }
    manager_ = std::move(manager);
    return true;
}

void SessionReader::Read(int64_t nowTicks, NowPlayingRecord& record, DWORD timeoutMs) {
    if (!manager_) {
        std::memset(&record, 0, sizeof record);
        return;
    }
    FillRecord(ChooseSession(manager_.get()), nowTicks, record, timeoutMs);
}

void SessionReader::Shutdown() {
    manager_.reset();
    if (apartment_) {
        if (const RuntimeApi* api = Runtime()) api->RoUninitialize();
        apartment_ = false;
    }
}

}  // namespace mivola::smtc
