// The tag and play-state tables. This file is compiled with a code page 932 execution
// character set, so the narrow description literals below are Shift-JIS bytes.
#include "template_engine.h"

#include "players.h"

namespace mivola {

namespace {
constexpr uint32_t kAll = kPlayerWmp | kPlayerWinamp | kPlayeriTunes;  // 7
constexpr uint32_t kWmpiTunes = kPlayerWmp | kPlayeriTunes;           // 5
constexpr uint32_t kWmpWinamp = kPlayerWmp | kPlayerWinamp;           // 3
constexpr uint32_t kWmp = kPlayerWmp;                                 // 1
// The media-session bridge supplies the texts, the times and the play state, nothing of the file.
constexpr uint32_t kSmtc = kPlayerSmtc;  // 8
}  // namespace

const TagEntry TagTable[] = {
    {L"title", kAll | kSmtc, TagValue::Title, 1024, "メディアのタイトル"},
    {L"filename", kAll, TagValue::FileName, 1024, "メディアのファイル名"},
    {L"path", kAll, TagValue::Path, 4096, "メディアのフルパス/URL"},
    {L"genre", kWmpiTunes | kSmtc, TagValue::Genre, 256, "メディアのジャンル"},
    {L"artist", kWmpiTunes | kSmtc, TagValue::Artist, 1024, "メディアの作成者"},
    {L"album", kWmpiTunes | kSmtc, TagValue::Album, 1024, "メディアのアルバム"},
    {L"track", kWmpiTunes | kSmtc, TagValue::Track, 4, "メディアのトラック番号"},
    {L"len", kAll | kSmtc, TagValue::Length, 16, "メディアの長さ"},
    {L"filesize", kWmpiTunes, TagValue::FileSizeAuto, 32, "メディアのファイルサイズ(自動)"},
    {L"filebsize", kWmpiTunes, TagValue::FileSizeBytes, 32, "メディアのファイルサイズ(バイト)"},
    {L"fileksize", kWmpiTunes, TagValue::FileSizeKB, 32, "メディアのファイルサイズ(KB)"},
    {L"filemsize", kWmpiTunes, TagValue::FileSizeMB, 32, "メディアのファイルサイズ(MB)"},
    {L"filegsize", kWmpiTunes, TagValue::FileSizeGB, 32, "メディアのファイルサイズ(GB)"},
    {L"width", kWmpWinamp, TagValue::Width, 6, "メディアの画面幅"},
    {L"height", kWmpWinamp, TagValue::Height, 6, "メディアの画面高さ"},
    {L"pos", kAll | kSmtc, TagValue::Position, 16, "メディアの現在位置"},
    {L"rest", kAll | kSmtc, TagValue::Rest, 16, "メディアの残り時間"},
    {L"playprog", kAll | kSmtc, TagValue::PlayProg, 5, "メディアの再生率"},
    {L"play0prog", kAll | kSmtc, TagValue::Play0Prog, 5, "メディアの再生率(0埋め)"},
    {L"playmark", kAll | kSmtc, TagValue::PlayMark, 4, "再生情報(マーク)"},
    {L"playjouhou", kAll | kSmtc, TagValue::PlayJouhou, 32, "再生情報(日本語表記)"},
    {L"playstate", kAll | kSmtc, TagValue::PlayStateText, 32, "再生情報(英語表記)"},
    {L"status", kWmp | kSmtc, TagValue::Status, 2048, "ステータス"},
    {L"band", kWmp, TagValue::Band, 16, "メディアのバンド幅"},
    {L"maxband", kWmp, TagValue::MaxBand, 16, "メディアの最大バンド幅"},
    {L"bitrate", kAll, TagValue::BitRate, 16, "メディアのビットレート"},
    {L"kbitrate", kAll, TagValue::KBitRate, 16, "メディアのビットレート(kbps)"},
    {L"frame", kWmp, TagValue::Frame, 16, "メディアのフレームレート"},
    {L"nowframe", kWmp, TagValue::NowFrame, 16, "メディアの現在のフレームレート"},
    {L"skipframe", kWmp, TagValue::SkipFrame, 16, "メディアのスキップされたフレーム"},
    {L"packet", kWmp, TagValue::Packet, 16, "メディアの受信パケット数"},
    {L"quality", kWmp, TagValue::Quality, 16, "メディアの受信品質(％)"},
    {L"recoverpacket", kWmp, TagValue::RecoverPacket, 16, "メディアの修復パケット数"},
    {L"lostpacket", kWmp, TagValue::LostPacket, 16, "メディアの喪失パケット数"},
    {L"buffcnt", kWmp, TagValue::BuffCnt, 16, "メディアのバッファリング数"},
    {L"buffprog", kWmp, TagValue::BuffProg, 5, "メディアのバッファリング率"},
    {L"buff0prog", kWmp, TagValue::Buff0Prog, 5, "メディアのバッファリング率(0埋め)"},
    {L"dlprog", kWmp, TagValue::DlProg, 5, "メディアのダウンロード率"},
    {L"dl0prog", kWmp, TagValue::Dl0Prog, 5, "メディアのダウンロード率(0埋め)"},
    {L"protocol", kWmp, TagValue::Protocol, 256, "メディアのプロトコル"},
    {L"{}", kWmp, TagValue::Braces, 1024, "{}に囲まれた、任意の情報"},
    {nullptr, 0, TagValue::Title, 0, nullptr},
};

const size_t TagTableCount = sizeof TagTable / sizeof TagTable[0] - 1;
static_assert(sizeof TagTable / sizeof TagTable[0] == 42, "41 tags and the terminator");

const PlayStateEntry PlayStateTable[12] = {
    {L"\uFF1F", L"Undefined", L"不明"},
    {L"\u25A0", L"Stopped", L"停止"},
    {L"||", L"Paused", L"一時停止"},
    {L"\uFF1E", L"Playing", L"再生中"},
    {L">>", L"ScanForward", L"早送り"},
    {L"<<", L"ScanReverse", L"巻戻し"},
    {L"\u2200", L"Buffering", L"受信中"},
    {L"\uFF5E", L"Waiting", L"待機中"},
    {L">|", L"MediaEnded", L"終了"},
    {L"\uFF5E", L"Transitioning", L"準備中"},
    {L"\u266A", L"Ready", L"準備完了"},
    {L"\uFF5E", L"Reconnecting", L"再接続中"},
};

}  // namespace mivola
