#include "sample_record.h"

#include <cstring>

#include "text_copy.h"

namespace mivola::test {

void FillSampleRecord(NowPlayingRecord& r) {
    std::memset(&r, 0, sizeof r);
    r.Magic = kRecordMagic;
    r.Version = kVersionWinamp;
    CopyText(r.Title, L"\u590f\u306e\u5e7b \u2014 Title");
    CopyText(r.Path, L"C:\\music\\\u6b4c\\track01.mp3");
    CopyText(r.Genre, L"J-Pop");
    CopyText(r.Artist, L"\u30a2\u30fc\u30c6\u30a3\u30b9\u30c8");
    CopyText(r.Album, L"Album \U0001F3B5");
    r.TrackNumber = 0xBEEF;
    r.Length = 215;
    r.FileSize = 0x0123456789ABCDEFll;
    r.Width = 640;
    r.Height = -480;
    r.Position = 77;
    r.PlayState = 3;
    CopyText(r.Status, L"\u518d\u751f\u4e2d: 128K");
    r.Bandwidth = 11;
    r.MaxBandwidth = 12;
    r.BitRate = 128000;
    r.EncodedFrameRate = 30;
    r.FrameRate = 2997;
    r.FramesSkipped = 13;
    r.ReceivedPackets = 14;
    r.ReceptionQuality = 99;
    r.RecoveredPackets = 15;
    r.LostPackets = 16;
    r.BufferingCount = 17;
    r.BufferingProgress = 18;
    r.DownloadProgress = 19;
    CopyText(r.Protocol, L"mms");
}

}  // namespace mivola::test
