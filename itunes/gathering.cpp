#include "gathering.h"

#include "text_copy.h"
#include "unique_com.h"

namespace mivola::itunes {

namespace {

// A text member into a field: an empty or missing answer, or a failed call, leaves it empty.
template <typename Object, size_t N>
void TakeText(Object* object, HRESULT (STDMETHODCALLTYPE Object::*member)(BSTR*), wchar_t (&field)[N]) {
    unique_bstr text;
    if (FAILED((object->*member)(text.put()))) return;
    if (bstr_length(text) == 0) return;
    CopyText(field, N, text.get(), bstr_length(text));
}

// The file location or stream address, as the track's kind decides.
void TakePath(IITTrack* track, wchar_t (&path)[4096]) {
    ITTrackKind kind = ITTrackKindUnknown;
    if (FAILED(track->get_Kind(&kind))) return;
    com_ptr<IITTrack> owner(track);
    if (kind == ITTrackKindFile || kind == ITTrackKindCD) {
        com_ptr<IITFileOrCDTrack> file;
        if (SUCCEEDED(owner.query_to(kIidIITFileOrCDTrack, &file)) && file) TakeText(file.get(), &IITFileOrCDTrack::get_Location, path);
    } else if (kind == ITTrackKindURL) {
        com_ptr<IITURLTrack> stream;
        if (SUCCEEDED(owner.query_to(kIidIITURLTrack, &stream)) && stream) TakeText(stream.get(), &IITURLTrack::get_URL, path);
    }
}

void TakeTrack(IITTrack* track, NowPlayingRecord& record) {
    TakeText<IITObject>(track, &IITObject::get_Name, record.Title);
    TakePath(track, record.Path);
    TakeText(track, &IITTrack::get_Genre, record.Genre);
    TakeText(track, &IITTrack::get_Artist, record.Artist);
    TakeText(track, &IITTrack::get_Album, record.Album);
    long value = 0;
    if (SUCCEEDED(track->get_TrackNumber(&value))) record.TrackNumber = static_cast<uint16_t>(value & 0xFFFF);
    value = 0;
    if (SUCCEEDED(track->get_Duration(&value))) record.Length = static_cast<int32_t>(value);
    value = 0;
    // Sizes are 32-bit in iTunes' interface; a negative one stays negative.
    if (SUCCEEDED(track->get_Size(&value))) record.FileSize = static_cast<int64_t>(static_cast<int32_t>(value));
    value = 0;
    if (SUCCEEDED(track->get_BitRate(&value))) record.BitRate = static_cast<int32_t>(value);
}

}  // namespace

void FillRecord(IiTunes* app, NowPlayingRecord& record) {
    if (!app) return;
    record.Magic = kRecordMagic;
    record.Version = kVersioniTunes;

    ITPlayerState state = ITPlayerStateStopped;
    if (FAILED(app->get_PlayerState(&state))) return;
    switch (state) {
        case ITPlayerStateStopped: record.PlayState = 1; break;
        case ITPlayerStatePlaying: record.PlayState = 3; break;
        // Scanning states carry no track and no position.
        case ITPlayerStateFastForward: record.PlayState = 4; return;
        case ITPlayerStateRewind: record.PlayState = 5; return;
        default: return;  // a state iTunes did not have when this was written
    }

    com_ptr<IITTrack> track;
    if (SUCCEEDED(app->get_CurrentTrack(track.put())) && track) TakeTrack(track.get(), record);
    track.reset();

    long position = 0;
    if (SUCCEEDED(app->get_PlayerPosition(&position))) record.Position = static_cast<int32_t>(position);
}

}  // namespace mivola::itunes
