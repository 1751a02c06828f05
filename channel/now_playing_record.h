// The now-playing record a bridge publishes on every poll: a fixed little-endian
// layout, identical in every process and on both architectures.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mivola {

constexpr uint32_t kRecordMagic = 0x4D494E46;  // the bytes "FNIM"
constexpr uint32_t kNowPlayingRecordSize = 19552;

// Producer words; readers do not interpret them.
constexpr uint16_t kVersionWmp = 1;
constexpr uint16_t kVersionWinamp = 0x0101;
constexpr uint16_t kVersioniTunes = 0x0201;
constexpr uint16_t kVersionSmtc = 0x0401;

struct NowPlayingRecord {
    uint32_t Magic;
    uint16_t Version;
    wchar_t Title[1024];
    wchar_t Path[4096];
    wchar_t Genre[256];
    wchar_t Artist[1024];
    wchar_t Album[1024];
    uint16_t TrackNumber;
    int32_t Length;  // seconds
    uint32_t Reserved1;
    int64_t FileSize;  // bytes
    int32_t Width;
    int32_t Height;
    int32_t Position;  // seconds
    uint16_t PlayState;
    wchar_t Status[2048];
    uint16_t Reserved2;
    int32_t Bandwidth;
    int32_t MaxBandwidth;
    int32_t BitRate;
    int32_t EncodedFrameRate;
    int32_t FrameRate;  // hundredths of a frame per second
    int32_t FramesSkipped;
    int32_t ReceivedPackets;
    int32_t ReceptionQuality;
    int32_t RecoveredPackets;
    int32_t LostPackets;
    int32_t BufferingCount;
    int32_t BufferingProgress;
    int32_t DownloadProgress;
    wchar_t Protocol[256];
    uint32_t Reserved3;
};

static_assert(sizeof(wchar_t) == 2, "UTF-16 texts");
static_assert(offsetof(NowPlayingRecord, Magic) == 0);
static_assert(offsetof(NowPlayingRecord, Version) == 4);
static_assert(offsetof(NowPlayingRecord, Title) == 6);
static_assert(offsetof(NowPlayingRecord, Path) == 2054);
static_assert(offsetof(NowPlayingRecord, Genre) == 10246);
static_assert(offsetof(NowPlayingRecord, Artist) == 10758);
static_assert(offsetof(NowPlayingRecord, Album) == 12806);
static_assert(offsetof(NowPlayingRecord, TrackNumber) == 14854);
static_assert(offsetof(NowPlayingRecord, Length) == 14856);
static_assert(offsetof(NowPlayingRecord, Reserved1) == 14860);
static_assert(offsetof(NowPlayingRecord, FileSize) == 14864);
static_assert(offsetof(NowPlayingRecord, Width) == 14872);
static_assert(offsetof(NowPlayingRecord, Height) == 14876);
static_assert(offsetof(NowPlayingRecord, Position) == 14880);
static_assert(offsetof(NowPlayingRecord, PlayState) == 14884);
static_assert(offsetof(NowPlayingRecord, Status) == 14886);
static_assert(offsetof(NowPlayingRecord, Reserved2) == 18982);
static_assert(offsetof(NowPlayingRecord, Bandwidth) == 18984);
static_assert(offsetof(NowPlayingRecord, MaxBandwidth) == 18988);
static_assert(offsetof(NowPlayingRecord, BitRate) == 18992);
static_assert(offsetof(NowPlayingRecord, EncodedFrameRate) == 18996);
static_assert(offsetof(NowPlayingRecord, FrameRate) == 19000);
static_assert(offsetof(NowPlayingRecord, FramesSkipped) == 19004);
static_assert(offsetof(NowPlayingRecord, ReceivedPackets) == 19008);
static_assert(offsetof(NowPlayingRecord, ReceptionQuality) == 19012);
static_assert(offsetof(NowPlayingRecord, RecoveredPackets) == 19016);
static_assert(offsetof(NowPlayingRecord, LostPackets) == 19020);
static_assert(offsetof(NowPlayingRecord, BufferingCount) == 19024);
static_assert(offsetof(NowPlayingRecord, BufferingProgress) == 19028);
static_assert(offsetof(NowPlayingRecord, DownloadProgress) == 19032);
static_assert(offsetof(NowPlayingRecord, Protocol) == 19036);
static_assert(offsetof(NowPlayingRecord, Reserved3) == 19548);
static_assert(sizeof(NowPlayingRecord) == kNowPlayingRecordSize);
static_assert(alignof(NowPlayingRecord) == 8);

}  // namespace mivola
