// The template engine: expands a setting's format template from a private copy of a
// player's now-playing record, estimates result sizes and collects custom attribute names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "named_mutex.h"
#include "now_playing_record.h"
#include "shared_region.h"

namespace mivola {

// Which formatting rule a tag's value follows.
enum class TagValue : uint8_t {
    Title, FileName, Path, Genre, Artist, Album, Track, Length,
    FileSizeAuto, FileSizeBytes, FileSizeKB, FileSizeMB, FileSizeGB,
    Width, Height, Position, Rest, PlayProg, Play0Prog,
    PlayMark, PlayJouhou, PlayStateText, Status, Band, MaxBand, BitRate, KBitRate,
    Frame, NowFrame, SkipFrame, Packet, Quality, RecoverPacket, LostPacket,
    BuffCnt, BuffProg, Buff0Prog, DlProg, Dl0Prog, Protocol, Braces,
};

struct TagEntry {
    const wchar_t* name;      // matched ignoring ASCII case; null in the terminator row
    uint32_t mask;            // player ids that supply the tag
    TagValue value;
    uint16_t estimate;        // size estimate in UTF-16 units
    const char* description;  // code page 932, shown by the settings dialog
};

// Rows in table order, ended by an all-zero row.
extern const TagEntry TagTable[];
extern const size_t TagTableCount;  // rows before the terminator

struct PlayStateEntry {
    const wchar_t* mark;
    const wchar_t* english;
    const wchar_t* japanese;
};
// Indexed by PlayState 0..11.
extern const PlayStateEntry PlayStateTable[12];

// Distinct attribute names in order of first appearance, compared folding ASCII case.
class CustomAttributeList {
public:
    void Append(const wchar_t* name, size_t length);
    void Clear() { names_.clear(); }
    size_t Count() const { return names_.size(); }
    const std::wstring& At(size_t i) const { return names_[i]; }
    // The request list: every name with its NUL, then a final NUL (N = size()).
    std::vector<wchar_t> Serialize() const;

private:
    std::vector<std::wstring> names_;
};

// The player a setting resolved to: its id and its open, live now-playing region.
struct ResolvedPlayer {
    uint32_t id;
    SharedRegion* region;
};

// Expands tmpl for player (null: no player, buffer untouched, 0) into buffer of
// bufferLength units; returns the units written without the NUL. For Windows Media
// Player the custom attribute answer is fetched under answerMutex.
int ExpandTemplate(const wchar_t* tmpl, const ResolvedPlayer* player, NamedMutex& answerMutex, wchar_t* buffer,
                   int bufferLength);

// The expansion proper, on a record copy with Magic already checked. answer/answerUnits is
// the custom attribute answer list, or null/0. Fills all bufferLength units first.
int ExpandFromRecord(const wchar_t* tmpl, const NowPlayingRecord& record, const wchar_t* answer, size_t answerUnits,
                     wchar_t* buffer, int bufferLength);

// Size estimate in UTF-16 units, NUL included (1 for the empty template).
int EstimateTemplateSize(const wchar_t* tmpl);

// Appends the names of the template's %{name} tokens to list.
void CollectCustomAttributes(const wchar_t* tmpl, CustomAttributeList& list);

// Room FormatTagValue needs for any value.
constexpr size_t kTagScratchCapacity = 4096;

// The value of one tag from a record copy into scratch (kTagScratchCapacity units);
// returns its length in units. Never reads a text field past its capacity.
size_t FormatTagValue(const NowPlayingRecord& record, const TagEntry& tag, wchar_t* scratch);

}  // namespace mivola
