#include "template_engine.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "ascii_case.h"
#include "attribute_exchange.h"
#include "play_state.h"
#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "text_copy.h"

namespace mivola {

namespace {

// A template is at most 1023 units and its NUL; never read further than that.
constexpr size_t kTemplateCapacity = 1024;
constexpr int kCustomAttributeEstimate = 1024;

template <size_t N>
size_t FieldText(const wchar_t (&field)[N], wchar_t* scratch) {
    size_t n = BoundedLength(field, N - 1);  // a bridge may have left no terminator
    std::memcpy(scratch, field, n * sizeof(wchar_t));
    return n;
}

size_t Format(wchar_t* scratch, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vswprintf(scratch, kTagScratchCapacity, format, args);
    va_end(args);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

size_t Time(wchar_t* scratch, int32_t s) {
    int32_t h = s / 3600, m = (s - 3600 * h) / 60, x = s - 60 * (s / 60);
    size_t n = Format(scratch, L"%02d:%02d:%02d", h, m, x);
    return n < 10 ? n : 10;
}

size_t PlayPercent(wchar_t* scratch, const NowPlayingRecord& r, const wchar_t* format) {
    if (r.Length == 0) return Format(scratch, format, 0LL);
    // Position / Length first, then × 100, in double: 29 of 100 gives 28.
    double p = static_cast<double>(r.Position) / static_cast<double>(r.Length) * 100.0;
    return Format(scratch, format, static_cast<long long>(p));
}

// Index just after the last sep in s[0..n), or n + 1 when there is none.
size_t AfterLast(const wchar_t* s, size_t n, wchar_t sep) {
    for (size_t i = n; i > 0; --i)
        if (s[i - 1] == sep) return i;
    return n + 1;
}

// After the last "/" (URLs); without one, after the last "\"; without either, empty.
size_t FileName(wchar_t* scratch, const NowPlayingRecord& r) {
    size_t n = BoundedLength(r.Path, sizeof r.Path / sizeof r.Path[0] - 1);
    size_t start = AfterLast(r.Path, n, L'/');
    if (start > n) start = AfterLast(r.Path, n, L'\\');
    if (start > n) start = n;
    std::memcpy(scratch, r.Path + start, (n - start) * sizeof(wchar_t));
    return n - start;
}

size_t FileSizeAuto(wchar_t* scratch, int64_t size) {
    wchar_t formatted[50] = {};
    ::StrFormatByteSizeW(size, formatted, 50);
    size_t n = 0;
    for (size_t i = 0; i < 32 && formatted[i]; ++i)
        if (formatted[i] != L' ') scratch[n++] = formatted[i];
    return n;
}

size_t Word(wchar_t* scratch, const wchar_t* text) {
    size_t n = std::wcslen(text);
    std::memcpy(scratch, text, n * sizeof(wchar_t));
    return n;
}

const PlayStateEntry& StateRow(const NowPlayingRecord& r) { return PlayStateTable[NormalizePlayState(r.PlayState)]; }

// The first table row whose name the text begins with, or null.
const TagEntry* MatchTag(const wchar_t* text, size_t length, size_t* nameLength) {
    for (size_t i = 0; i < TagTableCount; ++i)
        if (StartsWithIgnoreAsciiCase(text, length, TagTable[i].name, nameLength)) return &TagTable[i];
    return nullptr;
}

const wchar_t* FindClosingBrace(const wchar_t* from, const wchar_t* end) {
    for (const wchar_t* p = from; p < end; ++p)
        if (*p == L'}') return p;
    return nullptr;
}

// Walks a template the way expansion, estimation and collection all read it.
struct TemplateVisitor {
    virtual void Literal(wchar_t c) = 0;
    virtual void Attribute(const wchar_t* name, size_t length) = 0;
    virtual void Tag(const TagEntry& tag) = 0;
    // "%{" without a closing "}": next is the character after "{", or null at the end.
    virtual void UnclosedBrace(const wchar_t* next) = 0;
    virtual bool Full() const { return false; }
};

void Walk(const wchar_t* tmpl, TemplateVisitor& v) {
    if (!tmpl) return;
    const size_t len = BoundedLength(tmpl, kTemplateCapacity);
    const wchar_t* const end = tmpl + len;
    const wchar_t* p = tmpl;
    while (p < end && !v.Full()) {
        if (*p != L'%') {
            v.Literal(*p++);
            continue;
        }
        if (p + 1 == end) break;  // a lone "%" at the end
        if (p[1] == L'%') {
            v.Literal(L'%');
            p += 2;
        } else if (p[1] == L'{') {
            if (const wchar_t* close = FindClosingBrace(p + 2, end)) {
                v.Attribute(p + 2, static_cast<size_t>(close - (p + 2)));
                p = close + 1;
            } else {
                // "%{" without "}": both dropped, the next character taken as text.
                v.UnclosedBrace(p + 2 < end ? p + 2 : nullptr);
                if (p + 2 >= end) break;
                p += 3;
            }
        } else {
            size_t nameLength = 0;
            if (const TagEntry* tag = MatchTag(p + 1, static_cast<size_t>(end - (p + 1)), &nameLength)) {
                v.Tag(*tag);
                p += 1 + nameLength;
            } else {
                ++p;  // an unknown "%" is dropped
            }
        }
    }
}

struct Expander : TemplateVisitor {
    const NowPlayingRecord& record;
    const wchar_t* answer;
    size_t answerUnits;
    wchar_t* out;
    size_t limit;  // bufferLength - 1
    size_t used = 0;
    wchar_t scratch[kTagScratchCapacity];

    Expander(const NowPlayingRecord& r, const wchar_t* a, size_t n, wchar_t* buffer, size_t l)
        : record(r), answer(a), answerUnits(n), out(buffer), limit(l) {}

    void Append(const wchar_t* s, size_t n) {
        size_t room = limit - used;
        if (n > room) n = room;
        std::memcpy(out + used, s, n * sizeof(wchar_t));
        used += n;
    }
    bool Full() const override { return used >= limit; }
    void Literal(wchar_t c) override { Append(&c, 1); }
    void UnclosedBrace(const wchar_t* next) override {
        if (next) Append(next, 1);
    }
    void Attribute(const wchar_t* name, size_t length) override {
        if (!answer) return;
        size_t valueLength = 0;
        if (const wchar_t* value = LookUpAnswer(answer, answerUnits, name, length, &valueLength)) Append(value, valueLength);
    }
    void Tag(const TagEntry& tag) override { Append(scratch, FormatTagValue(record, tag, scratch)); }
};

struct Estimator : TemplateVisitor {
    int total = 1;
    void Literal(wchar_t) override { ++total; }
    void Attribute(const wchar_t*, size_t) override { total += kCustomAttributeEstimate; }
    void Tag(const TagEntry& tag) override { total += tag.estimate; }
    void UnclosedBrace(const wchar_t*) override { ++total; }
};

struct Collector : TemplateVisitor {
    CustomAttributeList& list;
    explicit Collector(CustomAttributeList& l) : list(l) {}
    void Literal(wchar_t) override {}
    void UnclosedBrace(const wchar_t*) override {}
    void Attribute(const wchar_t* name, size_t length) override { list.Append(name, length); }
    void Tag(const TagEntry&) override {}
};

}  // namespace

void CustomAttributeList::Append(const wchar_t* name, size_t length) {
    for (const std::wstring& existing : names_)
        if (EqualsIgnoreAsciiCase(existing.data(), existing.size(), name, length)) return;
    names_.emplace_back(name, length);
}

std::vector<wchar_t> CustomAttributeList::Serialize() const {
    ListBuilder builder;
    for (const std::wstring& name : names_) builder.Add(name.data(), name.size());
    return builder.Finish();
}

size_t FormatTagValue(const NowPlayingRecord& r, const TagEntry& tag, wchar_t* scratch) {
    switch (tag.value) {
    case TagValue::Title: return FieldText(r.Title, scratch);
    case TagValue::FileName: return FileName(scratch, r);
    case TagValue::Path: return FieldText(r.Path, scratch);
    case TagValue::Genre: return FieldText(r.Genre, scratch);
    case TagValue::Artist: return FieldText(r.Artist, scratch);
    case TagValue::Album: return FieldText(r.Album, scratch);
    case TagValue::Track: return Format(scratch, L"%u", static_cast<unsigned>(r.TrackNumber));
    case TagValue::Length: return Time(scratch, r.Length);
    case TagValue::FileSizeAuto: return FileSizeAuto(scratch, r.FileSize);
    case TagValue::FileSizeBytes: return Format(scratch, L"%lld", static_cast<long long>(r.FileSize));
    case TagValue::FileSizeKB: return Format(scratch, L"%.2f", static_cast<double>(r.FileSize) * (1.0 / 1024));
    case TagValue::FileSizeMB: return Format(scratch, L"%.2f", static_cast<double>(r.FileSize) * (1.0 / 1048576));
    case TagValue::FileSizeGB: return Format(scratch, L"%.2f", static_cast<double>(r.FileSize) * (1.0 / 1073741824));
    case TagValue::Width: return Format(scratch, L"%d", r.Width);
    case TagValue::Height: return Format(scratch, L"%d", r.Height);
    case TagValue::Position: return Time(scratch, r.Position);
    // Unclamped: a position past the end shows a negative remainder. Wraps like the
    // 32-bit arithmetic it is rather than overflowing.
    case TagValue::Rest:
        return Time(scratch, static_cast<int32_t>(static_cast<uint32_t>(r.Length) - static_cast<uint32_t>(r.Position)));
    case TagValue::PlayProg: return PlayPercent(scratch, r, L"%lld");
    case TagValue::Play0Prog: return PlayPercent(scratch, r, L"%03lld");
    case TagValue::PlayMark: return Word(scratch, StateRow(r).mark);
    case TagValue::PlayJouhou: return Word(scratch, StateRow(r).japanese);
    case TagValue::PlayStateText: return Word(scratch, StateRow(r).english);
    case TagValue::Status: return FieldText(r.Status, scratch);
    case TagValue::Band: return Format(scratch, L"%d", r.Bandwidth);
    case TagValue::MaxBand: return Format(scratch, L"%d", r.MaxBandwidth);
    case TagValue::BitRate: return Format(scratch, L"%d", r.BitRate);
    case TagValue::KBitRate: return Format(scratch, L"%.1f", static_cast<double>(r.BitRate) * 0.001);
    case TagValue::Frame: return Format(scratch, L"%d", r.EncodedFrameRate);
    case TagValue::NowFrame: return Format(scratch, L"%.2f", static_cast<double>(r.FrameRate) * 0.01);
    case TagValue::SkipFrame: return Format(scratch, L"%d", r.FramesSkipped);
    case TagValue::Packet: return Format(scratch, L"%d", r.ReceivedPackets);
    case TagValue::Quality: return Format(scratch, L"%d", r.ReceptionQuality);
    case TagValue::RecoverPacket: return Format(scratch, L"%d", r.RecoveredPackets);
    case TagValue::LostPacket: return Format(scratch, L"%d", r.LostPackets);
    case TagValue::BuffCnt: return Format(scratch, L"%d", r.BufferingCount);
    case TagValue::BuffProg: return Format(scratch, L"%d", r.BufferingProgress);
    case TagValue::Buff0Prog: return Format(scratch, L"%03d", r.BufferingProgress);
    case TagValue::DlProg: return Format(scratch, L"%d", r.DownloadProgress);
    case TagValue::Dl0Prog: return Format(scratch, L"%03d", r.DownloadProgress);
    case TagValue::Protocol: return FieldText(r.Protocol, scratch);
    case TagValue::Braces: return 0;
    }
    return 0;
}

int ExpandFromRecord(const wchar_t* tmpl, const NowPlayingRecord& record, const wchar_t* answer, size_t answerUnits,
                     wchar_t* buffer, int bufferLength) {
    if (!buffer || bufferLength <= 0) return 0;
    std::memset(buffer, 0, static_cast<size_t>(bufferLength) * sizeof(wchar_t));
    Expander expander(record, answer, answerUnits, buffer, static_cast<size_t>(bufferLength) - 1);
    Walk(tmpl, expander);
    return static_cast<int>(BoundedLength(buffer, static_cast<size_t>(bufferLength)));
}

int ExpandTemplate(const wchar_t* tmpl, const ResolvedPlayer* player, NamedMutex& answerMutex, wchar_t* buffer,
                   int bufferLength) {
    if (!player || !player->region || !buffer || bufferLength <= 0) return 0;
    NowPlayingRecord copy;
    if (!CopyRecordOut(*player->region, &copy, sizeof copy)) return 0;
    if (copy.Magic != kRecordMagic) {
        buffer[0] = L'\0';
        return 0;
    }
    std::vector<wchar_t> answer;  // the one allocation an expansion may make
    if (player->id == kPlayerWmp) ReadList(answerMutex, kAnswerRegion, answer);
    return ExpandFromRecord(tmpl, copy, answer.empty() ? nullptr : answer.data(), answer.size(), buffer, bufferLength);
}

int EstimateTemplateSize(const wchar_t* tmpl) {
    Estimator estimator;
    Walk(tmpl, estimator);
    return estimator.total;
}

void CollectCustomAttributes(const wchar_t* tmpl, CustomAttributeList& list) {
    Collector collector(list);
    Walk(tmpl, collector);
}

}  // namespace mivola
