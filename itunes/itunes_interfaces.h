// iTunes' COM automation interfaces as the bridge calls them. The vtables follow iTunes'
// published slot order (IiTunes 7-82, IITObject 7-14, IITTrack 15-71, the track kinds' own
// methods from 72), so a call lands on the same method of any iTunes version from 1.1 on.
// Members the bridge never calls keep their slot with an empty parameter list.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <oaidl.h>
#include <ocidl.h>

namespace mivola::itunes {

// {DC0C2640-1415-4644-875C-6F4D769839BA}
constexpr CLSID kClsidiTunesApp = {0xDC0C2640, 0x1415, 0x4644, {0x87, 0x5C, 0x6F, 0x4D, 0x76, 0x98, 0x39, 0xBA}};
// {9DD6680B-3EDC-40DB-A771-E6FE4832E34A}
constexpr IID kIidIiTunes = {0x9DD6680B, 0x3EDC, 0x40DB, {0xA7, 0x71, 0xE6, 0xFE, 0x48, 0x32, 0xE3, 0x4A}};
// {5846EB78-317E-4B6F-B0C3-11EE8C8FEEF2}
constexpr IID kDiidiTunesEvents = {0x5846EB78, 0x317E, 0x4B6F, {0xB0, 0xC3, 0x11, 0xEE, 0x8C, 0x8F, 0xEE, 0xF2}};
// {9E93C96F-CF0D-43F6-8BA8-B807A3370712}, the type library, read at version 1.5.
constexpr GUID kLibidiTunes = {0x9E93C96F, 0xCF0D, 0x43F6, {0x8B, 0xA8, 0xB8, 0x07, 0xA3, 0x37, 0x07, 0x12}};
constexpr WORD kTypeLibMajor = 1;
constexpr WORD kTypeLibMinor = 5;
// {00D7FE99-7868-4CC7-AD9E-ACFD70D09566}
constexpr IID kIidIITFileOrCDTrack = {0x00D7FE99, 0x7868, 0x4CC7, {0xAD, 0x9E, 0xAC, 0xFD, 0x70, 0xD0, 0x95, 0x66}};
// {1116E3B5-29FD-4393-A7BD-454E5E327900}
constexpr IID kIidIITURLTrack = {0x1116E3B5, 0x29FD, 0x4393, {0xA7, 0xBD, 0x45, 0x4E, 0x5E, 0x32, 0x79, 0x00}};

enum ITPlayerState : long {
    ITPlayerStateStopped = 0,
    ITPlayerStatePlaying = 1,
    ITPlayerStateFastForward = 2,
    ITPlayerStateRewind = 3,
};

enum ITTrackKind : long {
    ITTrackKindUnknown = 0,
    ITTrackKindFile = 1,
    ITTrackKindCD = 2,
    ITTrackKindURL = 3,
};

// The event that announces the quit prompt.
constexpr DISPID kDispidAboutToPromptUserToQuit = 9;

#define MIVOLA_SLOT(name) virtual HRESULT STDMETHODCALLTYPE name() = 0

struct IITObject : IDispatch {
    MIVOLA_SLOT(GetITObjectIDs);                           // 7
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;  // 8
    MIVOLA_SLOT(put_Name);                                 // 9
    MIVOLA_SLOT(get_Index);                                // 10
    MIVOLA_SLOT(get_SourceID);                             // 11
    MIVOLA_SLOT(get_PlaylistID);                           // 12
    MIVOLA_SLOT(get_TrackID);                              // 13
    MIVOLA_SLOT(get_TrackDatabaseID);                      // 14
};

struct IITTrack : IITObject {
    MIVOLA_SLOT(Delete);                                          // 15
    MIVOLA_SLOT(Play);                                            // 16
    MIVOLA_SLOT(AddArtworkFromFile);                              // 17
    virtual HRESULT STDMETHODCALLTYPE get_Kind(ITTrackKind* kind) = 0;  // 18
    MIVOLA_SLOT(get_Playlist);                                    // 19
    virtual HRESULT STDMETHODCALLTYPE get_Album(BSTR* album) = 0;       // 20
    MIVOLA_SLOT(put_Album);                                       // 21
    virtual HRESULT STDMETHODCALLTYPE get_Artist(BSTR* artist) = 0;     // 22
    MIVOLA_SLOT(put_Artist);                                      // 23
    virtual HRESULT STDMETHODCALLTYPE get_BitRate(long* bitRate) = 0;   // 24
    MIVOLA_SLOT(get_BPM);                                         // 25
    MIVOLA_SLOT(put_BPM);                                         // 26
    MIVOLA_SLOT(get_Comment);                                     // 27
    MIVOLA_SLOT(put_Comment);                                     // 28
    MIVOLA_SLOT(get_Compilation);                                 // 29
    MIVOLA_SLOT(put_Compilation);                                 // 30
    MIVOLA_SLOT(get_Composer);                                    // 31
    MIVOLA_SLOT(put_Composer);                                    // 32
    MIVOLA_SLOT(get_DateAdded);                                   // 33
    MIVOLA_SLOT(get_DiscCount);                                   // 34
    MIVOLA_SLOT(put_DiscCount);                                   // 35
    MIVOLA_SLOT(get_DiscNumber);                                  // 36
    MIVOLA_SLOT(put_DiscNumber);                                  // 37
    virtual HRESULT STDMETHODCALLTYPE get_Duration(long* seconds) = 0;  // 38
    MIVOLA_SLOT(get_Enabled);                                     // 39
    MIVOLA_SLOT(put_Enabled);                                     // 40
    MIVOLA_SLOT(get_EQ);                                          // 41
    MIVOLA_SLOT(put_EQ);                                          // 42
    MIVOLA_SLOT(put_Finish);                                      // 43
    MIVOLA_SLOT(get_Finish);                                      // 44
    virtual HRESULT STDMETHODCALLTYPE get_Genre(BSTR* genre) = 0;       // 45
    MIVOLA_SLOT(put_Genre);                                       // 46
    MIVOLA_SLOT(get_Grouping);                                    // 47
    MIVOLA_SLOT(put_Grouping);                                    // 48
    MIVOLA_SLOT(get_KindAsString);                                // 49
    MIVOLA_SLOT(get_ModificationDate);                            // 50
    MIVOLA_SLOT(get_PlayedCount);                                 // 51
    MIVOLA_SLOT(put_PlayedCount);                                 // 52
    MIVOLA_SLOT(get_PlayedDate);                                  // 53
    MIVOLA_SLOT(put_PlayedDate);                                  // 54
    MIVOLA_SLOT(get_PlayOrderIndex);                              // 55
    MIVOLA_SLOT(get_Rating);                                      // 56
    MIVOLA_SLOT(put_Rating);                                      // 57
    MIVOLA_SLOT(get_SampleRate);                                  // 58
    virtual HRESULT STDMETHODCALLTYPE get_Size(long* bytes) = 0;        // 59
    MIVOLA_SLOT(get_Start);                                       // 60
    MIVOLA_SLOT(put_Start);                                       // 61
    MIVOLA_SLOT(get_Time);                                        // 62
    MIVOLA_SLOT(get_TrackCount);                                  // 63
    MIVOLA_SLOT(put_TrackCount);                                  // 64
    virtual HRESULT STDMETHODCALLTYPE get_TrackNumber(long* number) = 0;  // 65
    MIVOLA_SLOT(put_TrackNumber);                                 // 66
    MIVOLA_SLOT(get_VolumeAdjustment);                            // 67
    MIVOLA_SLOT(put_VolumeAdjustment);                            // 68
    MIVOLA_SLOT(get_Year);                                        // 69
    MIVOLA_SLOT(put_Year);                                        // 70
    MIVOLA_SLOT(get_Artwork);                                     // 71
};

struct IITFileOrCDTrack : IITTrack {
    virtual HRESULT STDMETHODCALLTYPE get_Location(BSTR* location) = 0;  // 72
    MIVOLA_SLOT(UpdateInfoFromFile);                                // 73
    MIVOLA_SLOT(get_Podcast);                                       // 74
};

struct IITURLTrack : IITTrack {
    virtual HRESULT STDMETHODCALLTYPE get_URL(BSTR* url) = 0;  // 72
    MIVOLA_SLOT(put_URL);                                 // 73
    MIVOLA_SLOT(get_Podcast);                             // 74
};

struct IiTunes : IDispatch {
    MIVOLA_SLOT(BackTrack);               // 7
    MIVOLA_SLOT(FastForward);             // 8
    MIVOLA_SLOT(NextTrack);               // 9
    MIVOLA_SLOT(Pause);                   // 10
    MIVOLA_SLOT(Play);                    // 11
    MIVOLA_SLOT(PlayFile);                // 12
    MIVOLA_SLOT(PlayPause);               // 13
    MIVOLA_SLOT(PreviousTrack);           // 14
    MIVOLA_SLOT(Resume);                  // 15
    MIVOLA_SLOT(Rewind);                  // 16
    MIVOLA_SLOT(Stop);                    // 17
    MIVOLA_SLOT(ConvertFile);             // 18
    MIVOLA_SLOT(ConvertFiles);            // 19
    MIVOLA_SLOT(ConvertTrack);            // 20
    MIVOLA_SLOT(ConvertTracks);           // 21
    MIVOLA_SLOT(CheckVersion);            // 22
    MIVOLA_SLOT(GetITObjectByID);         // 23
    MIVOLA_SLOT(CreatePlaylist);          // 24
    MIVOLA_SLOT(OpenURL);                 // 25
    MIVOLA_SLOT(GotoMusicStoreHomePage);  // 26
    MIVOLA_SLOT(UpdateIPod);              // 27
    MIVOLA_SLOT(Authorize);               // 28
    MIVOLA_SLOT(Quit);                    // 29
    MIVOLA_SLOT(get_Sources);             // 30
    MIVOLA_SLOT(get_Encoders);            // 31
    MIVOLA_SLOT(get_EQPresets);           // 32
    MIVOLA_SLOT(get_Visuals);             // 33
    MIVOLA_SLOT(get_Windows);             // 34
    MIVOLA_SLOT(get_SoundVolume);         // 35
    MIVOLA_SLOT(put_SoundVolume);         // 36
    MIVOLA_SLOT(get_Mute);                // 37
    MIVOLA_SLOT(put_Mute);                // 38
    virtual HRESULT STDMETHODCALLTYPE get_PlayerState(ITPlayerState* state) = 0;  // 39
    virtual HRESULT STDMETHODCALLTYPE get_PlayerPosition(long* seconds) = 0;      // 40
    MIVOLA_SLOT(put_PlayerPosition);      // 41
    MIVOLA_SLOT(get_CurrentEncoder);      // 42
    MIVOLA_SLOT(put_CurrentEncoder);      // 43
    MIVOLA_SLOT(get_VisualsEnabled);      // 44
    MIVOLA_SLOT(put_VisualsEnabled);      // 45
    MIVOLA_SLOT(get_FullScreenVisuals);   // 46
    MIVOLA_SLOT(put_FullScreenVisuals);   // 47
    MIVOLA_SLOT(get_VisualSize);          // 48
    MIVOLA_SLOT(put_VisualSize);          // 49
    MIVOLA_SLOT(get_CurrentVisual);       // 50
    MIVOLA_SLOT(put_CurrentVisual);       // 51
    MIVOLA_SLOT(get_EQEnabled);           // 52
    MIVOLA_SLOT(put_EQEnabled);           // 53
    MIVOLA_SLOT(get_CurrentEQPreset);     // 54
    MIVOLA_SLOT(put_CurrentEQPreset);     // 55
    MIVOLA_SLOT(get_CurrentStreamTitle);  // 56
    MIVOLA_SLOT(get_CurrentStreamURL);    // 57
    MIVOLA_SLOT(get_BrowserWindow);       // 58
    MIVOLA_SLOT(get_EQWindow);            // 59
    MIVOLA_SLOT(get_LibrarySource);       // 60
    MIVOLA_SLOT(get_LibraryPlaylist);     // 61
    virtual HRESULT STDMETHODCALLTYPE get_CurrentTrack(IITTrack** track) = 0;  // 62
    MIVOLA_SLOT(get_CurrentPlaylist);     // 63
    MIVOLA_SLOT(get_SelectedTracks);      // 64
    virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) = 0;  // 65
    MIVOLA_SLOT(SetOptions);              // 66
    MIVOLA_SLOT(ConvertFile2);            // 67
    MIVOLA_SLOT(ConvertFiles2);           // 68
    MIVOLA_SLOT(ConvertTrack2);           // 69
    MIVOLA_SLOT(ConvertTracks2);          // 70
    MIVOLA_SLOT(get_AppCommandMessageProcessingEnabled);  // 71
    MIVOLA_SLOT(put_AppCommandMessageProcessingEnabled);  // 72
    MIVOLA_SLOT(get_ForceToForegroundOnDialog);           // 73
    MIVOLA_SLOT(put_ForceToForegroundOnDialog);           // 74
};

#undef MIVOLA_SLOT

}  // namespace mivola::itunes
