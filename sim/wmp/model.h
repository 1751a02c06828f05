// The stand-in's player: what its cores answer, shared by every plug-in's core and changed by
// the scenario and the control messages. Thread-safe: cores are called on the plug-ins' worker
// threads.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace wmp_sim {

struct MediaItem {
    std::wstring name, url;
    bool hasName = true, hasUrl = true;
    double duration = 0;
    bool fixedPosition = false;  // get_currentPosition answers `position` while this item is current
    double position = 0;
    LONG width = 0, height = 0;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;  // getItemInfo answers; others are null
};

enum NetworkIndex {
    NetBandwidth, NetMaxBandwidth, NetBitRate, NetEncodedFrameRate, NetFrameRate, NetFramesSkipped,
    NetReceivedPackets, NetReceptionQuality, NetRecoveredPackets, NetLostPackets, NetBufferingCount,
    NetBufferingProgress, NetDownloadProgress, NetCount
};
extern const char* const kNetworkNames[NetCount];

struct PlayerState {
    std::wstring version = L"12.0.7601.24546";
    std::wstring status;
    bool hasStatus = true;
    LONG state = 0;
    int current = 0;  // media index, -1 none
    std::vector<MediaItem> media;
    LONG network[NetCount] = {};
    std::wstring protocol;
    DWORD slowMs = 0;
    bool logCalls = false;
    // Answers seen from other players' cores, switched on by "quirk" lines.
    bool playStateNotImpl = false;   // get_playState: E_NOTIMPL, out value left as garbage
    bool itemInfoNull = false;       // getItemInfo: S_OK and a null string for every name
    bool positionFalse = false;      // get_currentPosition: S_FALSE and -1.0
    // Getters failing with garbage in their out values, as E_NOTIMPL stubs leave them:
    bool valuesFail = false;   // every number and text getter the bridge calls but get_playState
    bool objectsFail = false;  // get_currentMedia, get_controls and get_network
};

class PlayerModel {
public:
    explicit PlayerModel(PlayerState initial);
    // A copy of everything, position computed for now.
    PlayerState Snapshot(double* positionSeconds) const;
    void SetState(LONG state);
    void SetMedia(int index);
    void SetStatus(const std::wstring& status);
    void SetSlow(DWORD ms);
    DWORD Slow() const;
    bool LogCalls() const;
    // One of the state's switches, without copying the whole state.
    bool Flag(bool PlayerState::*flag) const;
    std::atomic<long> playStateCalls{0};

private:
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    PlayerState s_;
    ULONGLONG playingSince_ = 0;  // while state 3
    double positionBase_ = 0;
    void FoldPosition(ULONGLONG now);
};

}  // namespace wmp_sim
