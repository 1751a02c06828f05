#include "template_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <shlwapi.h>

#include "ascii_case.h"
#include "attribute_exchange.h"
#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "test_support.h"
#include "text_copy.h"

using namespace mivola;

namespace {

struct Record : NowPlayingRecord {
    Record() {
        std::memset(static_cast<NowPlayingRecord*>(this), 0, sizeof(NowPlayingRecord));
        Magic = kRecordMagic;
    }
};

std::wstring Expand(const wchar_t* tmpl, const NowPlayingRecord& r, const std::vector<wchar_t>* answer = nullptr,
                    int bufferLength = 2048, int* result = nullptr) {
    std::vector<wchar_t> buffer(static_cast<size_t>(bufferLength) + 1, L'#');
    int n = ExpandFromRecord(tmpl, r, answer ? answer->data() : nullptr, answer ? answer->size() : 0, buffer.data(),
                             bufferLength);
    if (result) *result = n;
    EXPECT_EQ(buffer[static_cast<size_t>(bufferLength)], L'#') << "wrote past bufferLength";
    std::wstring text(buffer.data());
    EXPECT_EQ(static_cast<int>(text.size()), n);
    return text;
}

const TagEntry& Tag(const wchar_t* name) {
    for (size_t i = 0; i < TagTableCount; ++i)
        if (std::wcscmp(TagTable[i].name, name) == 0) return TagTable[i];
    ADD_FAILURE() << "no tag " << test::Narrow(name);
    return TagTable[0];
}

std::wstring Value(const NowPlayingRecord& r, const wchar_t* tag) {
    static wchar_t scratch[kTagScratchCapacity];
    return std::wstring(scratch, FormatTagValue(r, Tag(tag), scratch));
}

std::wstring FromCp932(const char* bytes) {
    wchar_t w[256] = {};
    ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, -1, w, 256);
    return w;
}

}  // namespace

TEST(TemplateSyntax, PercentSignsTagsAndCase) {
    Record r;
    CopyText(r.Title, L"\u66f2");
    CopyText(r.Artist, L"Art");
    r.Length = 7;
    EXPECT_EQ(Expand(L"%%title", r), L"%title");
    EXPECT_EQ(Expand(L"100%", r), L"100");
    EXPECT_EQ(Expand(L"%xyz", r), L"xyz");
    EXPECT_EQ(Expand(L"%length", r), L"00:00:07gth");
    EXPECT_EQ(Expand(L"%TITLE|%title|%TiTlEs", r), L"\u66f2|\u66f2|\u66f2s");
    EXPECT_EQ(Expand(L"%title%artist", r), L"\u66f2Art");
    EXPECT_EQ(Expand(L"", r), L"");
    EXPECT_EQ(Expand(L"%{Foo", r), L"Foo");
    EXPECT_EQ(Expand(L"ab%{", r), L"ab");
    EXPECT_EQ(Expand(L"ab%{x", r), L"abx");
    EXPECT_EQ(Expand(L"%{}", r), L"");
    EXPECT_EQ(Expand(L"%{}%title", r), L"\u66f2");  // "{}" is never matched as a tag
}

TEST(TemplateSyntax, NoTagNameHidesAnother) {
    // Table order decides only when one name is a prefix of another; there is none.
    for (size_t i = 0; i < TagTableCount; ++i)
        for (size_t j = 0; j < TagTableCount; ++j)
            if (i != j) {
                size_t n;
                std::wstring a = TagTable[i].name;
                EXPECT_FALSE(StartsWithIgnoreAsciiCase(a.c_str(), a.size(), TagTable[j].name, &n) && j < i)
                    << test::Narrow(TagTable[j].name) << " hides " << test::Narrow(TagTable[i].name);
            }
}

TEST(TagValues, TimesPercentagesAndNumbers) {
    Record r;
    r.Position = 3725;
    r.Length = 3720;
    EXPECT_EQ(Value(r, L"pos"), L"01:02:05");
    EXPECT_EQ(Value(r, L"rest"), L"00:00:-5");
    r.Position = 360000;
    EXPECT_EQ(Value(r, L"pos"), L"100:00:00");  // hours do not wrap
    r.Position = -1;
    EXPECT_EQ(Value(r, L"pos"), L"00:00:-1");

    r.Position = 29;
    r.Length = 100;
    EXPECT_EQ(Value(r, L"playprog"), L"28");
    EXPECT_EQ(Value(r, L"play0prog"), L"028");
    r.Length = 0;
    r.Position = 50;  // a stream
    EXPECT_EQ(Value(r, L"playprog"), L"0");
    EXPECT_EQ(Value(r, L"play0prog"), L"000");
    r.Length = 1;
    r.Position = 0x7FFFFFFF;  // absurd but must not overflow
    EXPECT_EQ(Value(r, L"playprog"), L"214748364700");

    r.TrackNumber = 65535;
    r.Width = -3;
    r.BitRate = 128500;
    r.FrameRate = 2997;
    r.BufferingProgress = 7;
    r.DownloadProgress = 1234;
    EXPECT_EQ(Value(r, L"track"), L"65535");
    EXPECT_EQ(Value(r, L"width"), L"-3");
    EXPECT_EQ(Value(r, L"bitrate"), L"128500");
    EXPECT_EQ(Value(r, L"kbitrate"), L"128.5");
    EXPECT_EQ(Value(r, L"nowframe"), L"29.97");
    EXPECT_EQ(Value(r, L"buff0prog"), L"007");
    EXPECT_EQ(Value(r, L"dl0prog"), L"1234");
    EXPECT_EQ(Value(r, L"{}"), L"");
}

TEST(TagValues, FileSizes) {
    Record r;
    r.FileSize = 1536;
    EXPECT_EQ(Value(r, L"fileksize"), L"1.50");
    EXPECT_EQ(Value(r, L"filebsize"), L"1536");
    r.FileSize = 0x7FFFFFFFFFFFFFFFll;
    EXPECT_EQ(Value(r, L"filebsize"), L"9223372036854775807");
    r.FileSize = -2;
    EXPECT_EQ(Value(r, L"filebsize"), L"-2");
    r.FileSize = 3 * 1048576 + 524288;
    EXPECT_EQ(Value(r, L"filemsize"), L"3.50");
    EXPECT_EQ(Value(r, L"filegsize"), L"0.00");
    r.FileSize = 3690987;
    wchar_t platform[50];
    ::StrFormatByteSizeW(3690987, platform, 50);
    std::wstring want;
    for (wchar_t c : std::wstring(platform))
        if (c != L' ') want += c;
    EXPECT_EQ(Value(r, L"filesize"), want);
    EXPECT_EQ(Value(r, L"filesize").find(L' '), std::wstring::npos);
}

TEST(TagValues, FileNamesFromPathsAndUrls) {
    Record r;
    struct Case { const wchar_t* path; const wchar_t* name; } cases[] = {
        {L"C:\\music\\x.wma", L"x.wma"},
        {L"http://host/a/b.mp3", L"b.mp3"},
        {L"http://host/dir\\odd/c.ogg", L"c.ogg"},  // "/" wins over "\"
        {L"noseparator.mp3", L""},
        {L"C:\\music\\", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        CopyText(r.Path, c.path);
        EXPECT_EQ(Value(r, L"filename"), c.name) << test::Narrow(c.path);
    }
}

TEST(TagValues, PlayStatesWithEveryColumn) {
    const wchar_t* marks[12] = {L"\uFF1F", L"\u25A0", L"||", L"\uFF1E", L">>", L"<<",
                                L"\u2200", L"\uFF5E", L">|", L"\uFF5E", L"\u266A", L"\uFF5E"};
    const wchar_t* english[12] = {L"Undefined", L"Stopped", L"Paused", L"Playing", L"ScanForward", L"ScanReverse",
                                  L"Buffering", L"Waiting", L"MediaEnded", L"Transitioning", L"Ready", L"Reconnecting"};
    const wchar_t* japanese[12] = {L"\u4e0d\u660e", L"\u505c\u6b62", L"\u4e00\u6642\u505c\u6b62", L"\u518d\u751f\u4e2d",
                                   L"\u65e9\u9001\u308a", L"\u5dfb\u623b\u3057", L"\u53d7\u4fe1\u4e2d", L"\u5f85\u6a5f\u4e2d",
                                   L"\u7d42\u4e86", L"\u6e96\u5099\u4e2d", L"\u6e96\u5099\u5b8c\u4e86", L"\u518d\u63a5\u7d9a\u4e2d"};
    Record r;
    for (int code = 0; code < 14; ++code) {
        r.PlayState = static_cast<uint16_t>(code == 13 ? 0xFFFF : code);
        int row = code < 12 ? code : 0;
        EXPECT_EQ(Expand(L"%playmark/%playstate/%playjouhou", r),
                  std::wstring(marks[row]) + L"/" + english[row] + L"/" + japanese[row])
            << code;
    }
}

TEST(Expansion, TruncatesAtBufferLengthMinusOne) {
    Record r;
    CopyText(r.Title, L"abcdefgh");
    int n = -1;
    EXPECT_EQ(Expand(L"%title", r, nullptr, 5, &n), L"abcd");
    EXPECT_EQ(n, 4);
    EXPECT_EQ(Expand(L"xy%title", r, nullptr, 1, &n), L"");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Expand(L"%%%%%%", r, nullptr, 3, &n), L"%%");
    wchar_t untouched[4] = {L'a', L'b', L'c', L'd'};
    EXPECT_EQ(ExpandFromRecord(L"x", r, nullptr, 0, untouched, 0), 0);
    EXPECT_EQ(ExpandFromRecord(L"x", r, nullptr, 0, untouched, -5), 0);
    EXPECT_EQ(ExpandFromRecord(L"x", r, nullptr, 0, nullptr, 10), 0);
    EXPECT_EQ(untouched[0], L'a');
}

TEST(Expansion, NeverReadsPastAFieldOrTheTemplate) {
    Record r;
    for (wchar_t& c : r.Title) c = L't';  // no terminator at all
    for (wchar_t& c : r.Path) c = L'p';
    EXPECT_EQ(Expand(L"%title", r), std::wstring(1023, L't'));
    EXPECT_EQ(Value(r, L"path"), std::wstring(4095, L'p'));
    EXPECT_EQ(Value(r, L"filename"), L"");
    std::vector<wchar_t> tmpl(1500, L'x');  // a template without NUL in its 1024 units
    EXPECT_EQ(Expand(tmpl.data(), r).size(), 1024u);
    EXPECT_EQ(EstimateTemplateSize(tmpl.data()), 1025);
}

TEST(Expansion, CustomAttributesFromTheAnswer) {
    Record r;
    ListBuilder b;
    for (const wchar_t* s : {L"WM/Composer", L"\u4f5c\u66f2", L"Empty", L""}) b.Add(s);
    std::vector<wchar_t> answer = b.Finish();
    EXPECT_EQ(Expand(L"[%{wm/composer}][%{Empty}][%{Missing}]", r, &answer), L"[\u4f5c\u66f2][][]");
    EXPECT_EQ(Expand(L"[%{WM/Composer}]", r), L"[]");  // no answer
}

TEST(Estimate, PerElementCosts) {
    EXPECT_EQ(EstimateTemplateSize(L""), 1);
    EXPECT_EQ(EstimateTemplateSize(L"ab%title"), 1027);
    EXPECT_EQ(EstimateTemplateSize(L"%%"), 2);
    EXPECT_EQ(EstimateTemplateSize(L"%{x}"), 1025);
    EXPECT_EQ(EstimateTemplateSize(L"%{x"), 2);  // the dropped "%{" counts one, "x" is the next unit
    EXPECT_EQ(EstimateTemplateSize(L"%zz"), 3);
    EXPECT_EQ(EstimateTemplateSize(L"%pos/%len %playmark"), 1 + 16 + 1 + 16 + 1 + 4);
    EXPECT_EQ(EstimateTemplateSize(nullptr), 1);
}

TEST(Collection, OrderFoldingAndEmptyNames) {
    CustomAttributeList list;
    CollectCustomAttributes(L"%{Foo} %%{NotOne} %{bar}%{foo}%title%{}%{ \u66f2 }%{unclosed", list);
    CollectCustomAttributes(L"%{BAR}%{Second}", list);
    ASSERT_EQ(list.Count(), 5u);
    EXPECT_EQ(list.At(0), L"Foo");
    EXPECT_EQ(list.At(1), L"bar");
    EXPECT_EQ(list.At(2), L"");
    EXPECT_EQ(list.At(3), L" \u66f2 ");  // verbatim, not trimmed
    EXPECT_EQ(list.At(4), L"Second");
    std::vector<wchar_t> units = list.Serialize();
    EXPECT_EQ(units.size(), 4u + 4u + 1u + 4u + 7u + 1u);
    list.Clear();
    EXPECT_EQ(list.Serialize().size(), 1u);
}

TEST(Tables, TextsMasksAndEstimates) {
    ASSERT_EQ(TagTableCount, 41u);
    EXPECT_EQ(TagTable[41].name, nullptr);
    EXPECT_STREQ(TagTable[0].name, L"title");
    EXPECT_STREQ(TagTable[40].name, L"{}");
    EXPECT_EQ(Tag(L"genre").mask, 13u);
    EXPECT_EQ(Tag(L"width").mask, 3u);
    EXPECT_EQ(Tag(L"status").estimate, 2048);
    EXPECT_EQ(Tag(L"path").estimate, 4096);
    EXPECT_EQ(FromCp932(Tag(L"title").description), L"\u30e1\u30c7\u30a3\u30a2\u306e\u30bf\u30a4\u30c8\u30eb");
    EXPECT_EQ(FromCp932(Tag(L"quality").description), L"\u30e1\u30c7\u30a3\u30a2\u306e\u53d7\u4fe1\u54c1\u8cea(\uff05)");
    EXPECT_EQ(FromCp932(Tag(L"{}").description), L"{}\u306b\u56f2\u307e\u308c\u305f\u3001\u4efb\u610f\u306e\u60c5\u5831");
    EXPECT_STREQ(Tag(L"title").description, "\x83\x81\x83\x66\x83\x42\x83\x41\x82\xcc\x83\x5e\x83\x43\x83\x67\x83\x8b");
}

// Bit 8 marks what the media-session bridge fills in; the bits of the other players stay.
TEST(Tables, MediaSessionTagsAddBitEightOnly) {
    const std::vector<std::wstring> smtc = {L"title",    L"genre",     L"artist",   L"album",      L"track",
                                            L"len",      L"pos",       L"rest",     L"playprog",   L"play0prog",
                                            L"playmark", L"playjouhou", L"playstate", L"status"};
    std::vector<std::wstring> marked;
    for (size_t i = 0; i < TagTableCount; ++i) {
        if (TagTable[i].mask & kPlayerSmtc) marked.push_back(TagTable[i].name);
        EXPECT_EQ(TagTable[i].mask & ~15u, 0u) << test::Narrow(TagTable[i].name);
    }
    EXPECT_EQ(marked, smtc);
    EXPECT_EQ(Tag(L"title").mask, 15u);
    EXPECT_EQ(Tag(L"status").mask, 9u);
    EXPECT_EQ(Tag(L"track").mask, 13u);
    EXPECT_EQ(Tag(L"path").mask, 7u) << "no file behind a media session";
    EXPECT_EQ(Tag(L"bitrate").mask, 7u);
}

TEST(ExpandTemplate, CopiesTheRegionAndFetchesAnswersOnlyForWmp) {
    std::string name = test::UniqueName("mivola_np");
    SharedRegion region;
    ASSERT_EQ(region.Open(name.c_str(), kNowPlayingRecordSize), RegionCreated);
    Record r;
    CopyText(r.Title, L"T");
    PublishRecord(region, &r, sizeof r);

    NamedMutex answerMutex;
    ASSERT_TRUE(answerMutex.Create(kAnswerMutex, false));
    ListBuilder b;
    b.Add(L"Mood");
    b.Add(L"calm");
    const std::vector<wchar_t>& answer = b.Finish();
    SharedRegion answerRegion;
    ASSERT_TRUE(WriteList(answerMutex, answerRegion, kAnswerRegion, answer.data(), static_cast<uint32_t>(answer.size())));

    wchar_t buffer[64];
    ResolvedPlayer wmp{kPlayerWmp, &region}, winamp{kPlayerWinamp, &region};
    EXPECT_EQ(ExpandTemplate(L"%title %{mood}", &wmp, answerMutex, buffer, 64), 6);
    EXPECT_STREQ(buffer, L"T calm");
    EXPECT_EQ(ExpandTemplate(L"%title %{mood}", &winamp, answerMutex, buffer, 64), 2);
    EXPECT_STREQ(buffer, L"T ");

    std::wmemset(buffer, L'#', 64);
    EXPECT_EQ(ExpandTemplate(L"%title", nullptr, answerMutex, buffer, 64), 0);
    EXPECT_EQ(buffer[0], L'#');  // no player: untouched

    r.Magic = 0;  // the bridge withdrew between the live test and the copy
    PublishRecord(region, &r, sizeof r);
    EXPECT_EQ(ExpandTemplate(L"%title", &wmp, answerMutex, buffer, 64), 0);
    EXPECT_EQ(buffer[0], L'\0');
}
