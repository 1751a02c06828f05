#include "attribute_exchange.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "peer_arch.h"

using namespace mivola;
using namespace mivola::test;

namespace {

std::vector<std::wstring> Strings(const std::vector<wchar_t>& units) {
    std::vector<std::wstring> out;
    ListReader reader(units.data(), units.size());
    const wchar_t* s;
    size_t n;
    while (reader.Next(&s, &n)) out.emplace_back(s, n);
    return out;
}

std::wstring Value(const std::vector<wchar_t>& units, const wchar_t* name) {
    size_t n = 0;
    const wchar_t* v = LookUpAnswer(units.data(), units.size(), name, std::wcslen(name), &n);
    return v ? std::wstring(v, n) : L"<none>";
}

// Hex of a region image: 32-bit count, then UTF-16LE units.
std::wstring RawList(uint32_t count, const std::wstring& units) {
    std::string hex;
    char b[9];
    std::snprintf(b, sizeof b, "%02x%02x%02x%02x", count & 0xFF, (count >> 8) & 0xFF, (count >> 16) & 0xFF, count >> 24);
    hex += b;
    for (wchar_t c : units) {
        std::snprintf(b, sizeof b, "%02x%02x", c & 0xFF, (c >> 8) & 0xFF);
        hex += b;
    }
    return Widen(hex);
}

}  // namespace

TEST(ListBuilder, CountsEveryUnitIncludingTheFinalNul) {
    ListBuilder empty;
    EXPECT_EQ(empty.Finish().size(), 1u);
    ListBuilder b;
    b.Add(L"Foo");
    b.Add(L"");
    b.Add(L"\u66f2\u540d");
    const std::vector<wchar_t>& units = b.Finish();
    EXPECT_EQ(units.size(), 4u + 1u + 3u + 1u);
    EXPECT_EQ(Strings(units), (std::vector<std::wstring>{L"Foo", L"", L"\u66f2\u540d", L""}));
}

TEST(ListReader, StopsAtTheCountEvenWithoutTerminator) {
    const wchar_t units[] = {L'a', 0, L'b', L'c'};  // "bc" has no NUL within 4 units
    ListReader reader(units, 4);
    const wchar_t* s;
    size_t n;
    ASSERT_TRUE(reader.Next(&s, &n));
    EXPECT_EQ(std::wstring(s, n), L"a");
    EXPECT_FALSE(reader.Next(&s, &n));
    EXPECT_FALSE(reader.Next(&s, &n));
    ListReader none(units, 0);
    EXPECT_FALSE(none.Next(&s, &n));
}

TEST(LookUpAnswer, CaseInsensitiveFirstMatchEmptyNameEnds) {
    ListBuilder b;
    for (const wchar_t* s : {L"WM/Genre", L"Rock", L"wm/genre", L"Jazz", L"Empty", L"", L"", L"Hidden", L"x"}) b.Add(s);
    const std::vector<wchar_t>& units = b.Finish();
    EXPECT_EQ(Value(units, L"wm/GENRE"), L"Rock");
    EXPECT_EQ(Value(units, L"empty"), L"");
    EXPECT_EQ(Value(units, L"Hidden"), L"<none>");  // after the empty name
    EXPECT_EQ(Value(units, L"Missing"), L"<none>");
    // Non-ASCII letters are not folded.
    ListBuilder k;
    k.Add(L"\u00c4rger");
    k.Add(L"v");
    EXPECT_EQ(Value(k.Finish(), L"\u00e4rger"), L"<none>");
}

TEST(LookUpAnswer, PairCutOffByTheCountGivesNothing) {
    const wchar_t units[] = {L'k', 0, L'v', 0, L'n', 0, L'w'};
    EXPECT_EQ(Value(std::vector<wchar_t>(units, units + 7), L"n"), L"<none>");
    EXPECT_EQ(Value(std::vector<wchar_t>(units, units + 7), L"k"), L"v");
    const wchar_t nameOnly[] = {L'k', 0};
    EXPECT_EQ(Value(std::vector<wchar_t>(nameOnly, nameOnly + 2), L"k"), L"<none>");
}

class ExchangeAcrossProcesses : public WithPeer {
protected:
    std::string region = UniqueName("mivola_xlist");
    std::string mutexName = region + "_Mutex";
    NamedMutex mutex;
    void SetUp() override {
        WithPeer::SetUp();
        ASSERT_TRUE(mutex.Create(mutexName.c_str(), false));
    }
    std::wstring Args() { return Widen(region) + L" " + Widen(mutexName); }
};

TEST_P(ExchangeAcrossProcesses, RequestWrittenHereIsReadThere) {
    ListBuilder b;
    for (const wchar_t* s : {L"Foo", L"WM/Composer", L"\u66f2\u540d"}) b.Add(s);
    const std::vector<wchar_t>& units = b.Finish();
    SharedRegion own;
    ASSERT_TRUE(WriteList(mutex, own, region.c_str(), units.data(), static_cast<uint32_t>(units.size())));
    std::string out;
    ASSERT_EQ(RunPeer("read-list", Args(), &out), 0u);
    EXPECT_EQ(out, "N=20\nFoo\nWM/Composer\n\xe6\x9b\xb2\xe5\x90\x8d\n\n");

    // Rewriting replaces the region with one of the new size.
    ListBuilder empty;
    const std::vector<wchar_t>& none = empty.Finish();
    ASSERT_TRUE(WriteList(mutex, own, region.c_str(), none.data(), 1));
    ASSERT_EQ(RunPeer("read-list", Args(), &out), 0u);
    EXPECT_EQ(out, "N=1\n\n");

    own.Close();  // the writer gone, nobody holds the region: no list
    EXPECT_EQ(RunPeer("read-list", Args()), 1u);
}

TEST_P(ExchangeAcrossProcesses, AnswerWrittenThereIsReadHere) {
    Peer peer;
    ASSERT_TRUE(peer.Start(arch(), "write-list", Args() + L" Author \"\u6771 \u4eac\" Empty \"\" FileSize 1536"));
    std::vector<wchar_t> units;
    ASSERT_TRUE(ReadList(mutex, region.c_str(), units));
    EXPECT_EQ(Value(units, L"author"), L"\u6771 \u4eac");
    EXPECT_EQ(Value(units, L"EMPTY"), L"");
    EXPECT_EQ(Value(units, L"filesize"), L"1536");
    peer.Release();
    ASSERT_TRUE(peer.Wait(10000));
    EXPECT_EQ(peer.ExitCode(), 0u);
    EXPECT_FALSE(ReadList(mutex, region.c_str(), units));  // gone with the writer
    EXPECT_TRUE(units.empty());
}

TEST_P(ExchangeAcrossProcesses, EmptyNameEndsTheRequest) {
    // A template with %{} ahead of %{Later}: the reader stops at the empty name.
    Peer peer;
    ASSERT_TRUE(peer.Start(arch(), "write-list", Args() + L" First \"\" Later"));
    std::vector<wchar_t> units;
    ASSERT_TRUE(ReadList(mutex, region.c_str(), units));
    std::vector<std::wstring> names;
    ListReader reader(units.data(), units.size());
    const wchar_t* s;
    size_t n;
    while (reader.Next(&s, &n) && n) names.emplace_back(s, n);
    EXPECT_EQ(names, std::vector<std::wstring>{L"First"});
    peer.Release();
    peer.Wait(10000);
}

TEST_P(ExchangeAcrossProcesses, MalformedListsGiveNoListAndNoOverread) {
    struct Case { const char* what; DWORD size; uint32_t count; std::wstring units; bool list; };
    const Case cases[] = {
        {"count zero", 16, 0, L"", false},
        {"count beyond the mapping", 4096, 100000, std::wstring(L"ab\0\0", 4), false},
        {"count near 2^32", 4096, 0xFFFFFFFFu, std::wstring(L"ab\0\0", 4), false},
        {"no final NUL within N", 4096, 3, L"abc", false},
        {"well formed", 12, 4, std::wstring(L"ab\0\0", 4), true},
    };
    for (const Case& c : cases) {
        Peer peer;
        ASSERT_TRUE(peer.Start(arch(), "raw-region", Widen(region) + L" " + std::to_wstring(c.size) + L" " +
                                                         RawList(c.count, c.units)))
            << c.what;
        std::vector<wchar_t> units;
        EXPECT_EQ(ReadList(mutex, region.c_str(), units), c.list) << c.what;
        EXPECT_EQ(units.empty(), !c.list) << c.what;
        peer.Release();
        peer.Wait(10000);
    }
}

MIVOLA_BOTH_ARCHES(ExchangeAcrossProcesses);
