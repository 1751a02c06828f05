#include "session_client.h"

#include <roapi.h>
#include <winstring.h>

#include <cstdio>

#include "test_support.h"

namespace mivola::test {

using namespace mivola::smtc;

Hstring::Hstring(const std::wstring& text) { ::WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), &s_); }
Hstring::~Hstring() {
    if (s_) ::WindowsDeleteString(s_);
}
HSTRING* Hstring::put() {
    if (s_) ::WindowsDeleteString(s_);
    s_ = nullptr;
    return &s_;
}
std::wstring Hstring::Text() const {
    UINT32 n = 0;
    const wchar_t* raw = ::WindowsGetStringRawBuffer(s_, &n);
    return std::wstring(raw, n);
}

std::string HexResult(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

HRESULT GetStatics(com_ptr<IManagerStatics>& statics) {
    Hstring name(kManagerClassName);
    return ::RoGetActivationFactory(name.get(), kIidManagerStatics, statics.put_void());
}

namespace {

template <typename T>
int32_t Await(IAsyncOperation_<T*>* op, DWORD timeoutMs, com_ptr<T>* result) {
    com_ptr<IAsyncInfo_> info;
    if (FAILED(op->QueryInterface(kIidIAsyncInfo, info.put_void()))) return -1;
    ULONGLONG end = ::GetTickCount64() + timeoutMs;
    int32_t status = kAsyncStarted;
    for (;;) {
        if (FAILED(info->get_Status(&status))) return -1;
        if (status != kAsyncStarted) break;
        if (::GetTickCount64() >= end) {
            info->Cancel();
            info->Close();
            return -1;
        }
        ::Sleep(2);
    }
    if (status == kAsyncCompleted && result) op->GetResults(result->put());
    info->Close();
    return status;
}

std::string Line(const std::string& name, HRESULT hr, const std::string& value) {
    return FAILED(hr) ? name + "!" + HexResult(hr) + "\n" : name + "=" + value + "\n";
}

std::string Text(const std::string& name, HRESULT hr, const Hstring& s) { return Line(name, hr, Narrow(s.Text())); }

}  // namespace

int32_t AwaitManager(IAsyncOperationManager* op, DWORD timeoutMs, com_ptr<IManager>* manager) {
    return Await(op, timeoutMs, manager);
}

int32_t AwaitMediaProperties(IAsyncOperationMediaProperties* op, DWORD timeoutMs, com_ptr<IMediaProperties>* properties) {
    return Await(op, timeoutMs, properties);
}

std::string DescribeSession(ISession* session, const std::string& p, DWORD timeoutMs) {
    std::string out;
    Hstring text;
    out += Text(p + "app", session->get_SourceAppUserModelId(text.put()), text);

    com_ptr<IPlaybackInfo> info;
    HRESULT hr = session->GetPlaybackInfo(info.put());
    out += Line(p + "playback-info", hr, "");
    if (info) {
        int32_t status = 0;
        hr = info->get_PlaybackStatus(&status);
        out += Line(p + "status", hr, std::to_string(status));
        com_ptr<IReferenceDouble> rate;
        hr = info->get_PlaybackRate(rate.put());
        double value = 0;
        char number[32] = "none";
        if (rate && SUCCEEDED(rate->get_Value(&value))) std::snprintf(number, sizeof number, "%g", value);
        out += Line(p + "rate", hr, number);
    }

    com_ptr<IAsyncOperationMediaProperties> op;
    hr = session->TryGetMediaPropertiesAsync(op.put());
    com_ptr<IMediaProperties> media;
    int32_t status = op ? AwaitMediaProperties(op.get(), timeoutMs, &media) : -1;
    out += Line(p + "media", hr, std::to_string(status));
    if (media) {
        out += Text(p + "title", media->get_Title(text.put()), text);
        out += Text(p + "subtitle", media->get_Subtitle(text.put()), text);
        out += Text(p + "artist", media->get_Artist(text.put()), text);
        out += Text(p + "album-artist", media->get_AlbumArtist(text.put()), text);
        out += Text(p + "album", media->get_AlbumTitle(text.put()), text);
        int32_t n = 0;
        hr = media->get_TrackNumber(&n);
        out += Line(p + "track", hr, std::to_string(n));
        hr = media->get_AlbumTrackCount(&n);
        out += Line(p + "track-count", hr, std::to_string(n));
        com_ptr<IVectorViewString> genres;
        hr = media->get_Genres(genres.put());
        std::string joined;
        UINT32 size = 0;
        if (genres && SUCCEEDED(genres->get_Size(&size))) {
            for (UINT32 i = 0; i < size; ++i) {
                Hstring g;
                genres->GetAt(i, g.put());
                joined += (i ? "|" : "") + Narrow(g.Text());
            }
        }
        out += Line(p + "genres", hr, joined);
        com_ptr<IReferencePlaybackType> type;
        hr = media->get_PlaybackType(type.put());
        int32_t t = 0;
        out += Line(p + "playback-type", hr, type && SUCCEEDED(type->get_Value(&t)) ? std::to_string(t) : "none");
        com_ptr<IUnknown> thumbnail;
        hr = media->get_Thumbnail(thumbnail.put());
        out += Line(p + "thumbnail", hr, thumbnail ? "some" : "none");
    }

    com_ptr<ITimelineProperties> timeline;
    hr = session->GetTimelineProperties(timeline.put());
    out += Line(p + "timeline", hr, "");
    if (timeline) {
        TimeSpan span{};
        hr = timeline->get_StartTime(&span);
        out += Line(p + "start", hr, std::to_string(span.Duration));
        hr = timeline->get_EndTime(&span);
        out += Line(p + "end", hr, std::to_string(span.Duration));
        hr = timeline->get_MinSeekTime(&span);
        out += Line(p + "min-seek", hr, std::to_string(span.Duration));
        hr = timeline->get_MaxSeekTime(&span);
        out += Line(p + "max-seek", hr, std::to_string(span.Duration));
        hr = timeline->get_Position(&span);
        out += Line(p + "position", hr, std::to_string(span.Duration));
        DateTime date{};
        hr = timeline->get_LastUpdatedTime(&date);
        out += Line(p + "last-updated", hr, std::to_string(date.UniversalTime));
    }
    return out;
}

std::string DescribeSessions(DWORD timeoutMs) {
    com_ptr<IManagerStatics> statics;
    HRESULT hr = GetStatics(statics);
    if (FAILED(hr)) return Line("statics", hr, "");
    com_ptr<IAsyncOperationManager> op;
    hr = statics->RequestAsync(op.put());
    com_ptr<IManager> manager;
    int32_t status = op ? AwaitManager(op.get(), timeoutMs, &manager) : -1;
    std::string out = Line("request", hr, std::to_string(status));
    if (!manager) return out;

    com_ptr<ISession> current;
    hr = manager->GetCurrentSession(current.put());
    Hstring app;
    if (current) current->get_SourceAppUserModelId(app.put());
    out += Line("current", hr, current ? Narrow(app.Text()) : "none");

    com_ptr<IVectorViewSession> sessions;
    hr = manager->GetSessions(sessions.put());
    UINT32 size = 0;
    if (sessions) sessions->get_Size(&size);
    out += Line("sessions", hr, std::to_string(size));
    for (UINT32 i = 0; i < size; ++i) {
        com_ptr<ISession> session;
        hr = sessions->GetAt(i, session.put());
        if (!session) {
            out += Line(std::to_string(i), hr, "");
            continue;
        }
        out += DescribeSession(session.get(), std::to_string(i) + ".", timeoutMs);
    }
    return out;
}

}  // namespace mivola::test
