// What the media-session stand-in answers: the sessions the system lists, the current one,
// how the asynchronous operations finish and which calls fail, read from a UTF-8 text file
// (format at the top of smtc_sim.cpp). The scenario is a list of phases, each a block of
// lines applied to the state at its time (the first at 0 ms, when the file is loaded).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace smtc_sim {

// Every call a scenario can make fail, by its scenario name.
enum Call : int {
    // The manager's statics and the manager.
    CallRequest = 0,     // request         RequestAsync
    CallCurrent,         // current-session GetCurrentSession
    CallSessions,        // sessions        GetSessions
    // A session.
    CallApp,             // app             get_SourceAppUserModelId
    CallMedia,           // media           TryGetMediaPropertiesAsync
    CallTimeline,        // timeline        GetTimelineProperties
    CallPlaybackInfo,    // playback-info   GetPlaybackInfo
    // Its media properties.
    CallTitle,           // title
    CallSubtitle,        // subtitle
    CallAlbumArtist,     // album-artist
    CallArtist,          // artist
    CallAlbum,           // album           get_AlbumTitle
    CallTrack,           // track           get_TrackNumber
    CallGenres,          // genres
    CallTrackCount,      // track-count     get_AlbumTrackCount
    CallPlaybackType,    // playback-type   both get_PlaybackType getters
    CallThumbnail,       // thumbnail
    // Its timeline properties.
    CallStart,           // start
    CallEnd,             // end
    CallMinSeek,         // min-seek
    CallMaxSeek,         // max-seek
    CallPosition,        // position
    CallLastUpdated,     // last-updated
    // Its playback info.
    CallStatus,          // status          get_PlaybackStatus
    CallRate,            // rate            get_PlaybackRate
    kCallCount
};

// How an asynchronous operation finishes.
struct Completion {
    enum Kind { Now, Late, Never } kind = Now;
    DWORD delayMs = 0;    // Late: this long after it started
    HRESULT error = S_OK; // failure: the operation ends in the error state with this code
};

struct Session {
    std::string key;       // the scenario's name for it
    uint64_t serial = 0;   // identity of this appearance; a removed and re-added key is a new session
    std::wstring app;
    int32_t status = 0;    // playback status (0 closed .. 5 paused, or any number)
    std::wstring title, subtitle, albumArtist, artist, album;
    std::vector<std::wstring> genres;
    int32_t track = 0, trackCount = 0;
    bool hasPlaybackType = false;
    int32_t playbackType = 0;
    bool hasRate = false;
    double rate = 1.0;
    // Timeline, in 100 ns units; lastUpdated is a FILETIME-style date.
    int64_t start = 0, end = 0, minSeek = 0, maxSeek = 0, position = 0, lastUpdated = 0;
    Completion media;      // TryGetMediaPropertiesAsync
    bool vanished = false; // listed, but every call on it fails as for a closed app
    HRESULT fail[kCallCount] = {};
};

struct State {
    std::vector<Session> sessions;  // in the order GetSessions lists them
    std::string current;            // key of the current session; empty: none
    Completion request;             // RequestAsync
    HRESULT fail[kCallCount] = {};  // the manager's calls
    std::wstring logPath;           // call log; empty: none
    uint64_t nextSerial = 1;

    Session* Find(const std::string& key);
    const Session* FindSerial(uint64_t serial) const;
};

struct Line {
    int number = 0;  // in the file, for messages
    std::string text;
};

struct Phase {
    ULONGLONG atMs = 0;
    std::vector<Line> lines;
};

struct Scenario {
    std::vector<Phase> phases;  // phases[0] at 0 ms; the rest in time order
};

// Parses the file and tries every phase on a scratch state, so that an unknown word or a bad
// number anywhere is reported at once. error names the line.
bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error);
bool LoadScenarioFile(const std::wstring& path, Scenario& scenario, std::string& error);

// Applies one phase. nowTicks is the phase's moment as a FILETIME-style date, from which the
// relative last-updated times count.
bool ApplyPhase(const Phase& phase, State& state, int64_t nowTicks, std::string& error);

// The disconnected-object error a closed app's session gives.
constexpr HRESULT kDisconnected = RPC_E_DISCONNECTED;

}  // namespace smtc_sim
