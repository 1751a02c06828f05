// The Windows Media Player bridge's record building (wmp/gathering.cpp) driven by the WMP
// stand-in's own core (sim/wmp), answering with whatever a player may hand out: durations and
// positions that are NaN, infinite, at and beyond the 32-bit edges or any bit pattern; track
// numbers of any length, sign and leading white space; texts around their fields' capacities;
// any play state; and the odd answers of other players' cores (a failed play state with garbage
// in its out value, null attribute strings, S_FALSE with -1.0 for the position, getters of
// numbers, texts and interfaces failing with garbage in their out values). Built so that
// any out-of-range float-to-integer conversion traps. Properties: every field is what the rules
// make of the core's answer, computed here another way; fields the state does not gather stay zero.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "fake_core.h"
#include "fuzz_support.h"
#include "gathering.h"
#include "model.h"
#include "unique_com.h"

using namespace mivola;
using namespace mivola::fuzz;
using namespace mivola::wmp;

namespace {

bool SetUp() { return true; }

double EdgeDouble(Random& rng) {
    static const double kEdges[] = {
        std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(), -0.0, 0.0, 0.5, -0.5, 1.0, -1.0, 185.9, -1.9,
        2147483647.0, 2147483647.5, 2147483648.0, 2147483649.0, 4294967296.0, 1e19, 1e300,
        -2147483647.0, -2147483648.0, -2147483648.5, -2147483649.0, -4294967296.0, -1e19, -1e300};
    switch (rng.Below(4)) {
        case 0: {  // any bit pattern: NaNs with payloads, denormals, huge exponents
            uint64_t bits = rng.Next();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case 1: return std::nextafter(kEdges[rng.Below(sizeof kEdges / sizeof kEdges[0])], rng.OneIn(2) ? 0.0 : 1e308);
        case 2: return static_cast<double>(static_cast<int64_t>(rng.Next()) >> rng.Below(64)) + 0.25 * rng.Below(4);
        default: return kEdges[rng.Below(sizeof kEdges / sizeof kEdges[0])];
    }
}

// The reference: NaN is 0; otherwise the value cut toward zero, then held to the 32-bit range.
int32_t ExpectedSeconds(double d) {
    if (std::isnan(d)) return 0;
    double t = std::trunc(d);
    if (t > 2147483647.0) return INT32_MAX;
    if (t < -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(t);
}

std::string DigitRun(Random& rng) {
    const size_t lengths[] = {1, 2, 5, 9, 10, 11, 19, 20, 40, 300, 5000};
    std::string digits(lengths[rng.Below(sizeof lengths / sizeof lengths[0])], '0');
    for (char& c : digits) c = static_cast<char>('0' + rng.Below(10));
    if (rng.OneIn(3)) digits.insert(0, rng.Below(30), '0');
    return digits;
}

// Track number texts: ASCII only, so the conversion to the ANSI code page keeps every byte.
std::string TrackText(Random& rng) {
    static const char* const kEdges[] = {"2147483647", "2147483648", "-2147483648", "-2147483649", "65535",
                                         "65536", "-65536", "-1", "0", "-0", "3/12", "+", "-", "", " ", "x7"};
    if (rng.OneIn(4)) return kEdges[rng.Below(sizeof kEdges / sizeof kEdges[0])];
    static const char kSpaces[] = " \t\n\v\f\r";
    std::string t;
    for (uint32_t n = rng.OneIn(2) ? 0 : rng.Below(8); n; --n) t += kSpaces[rng.Below(6)];
    if (rng.OneIn(2)) t += "+-"[rng.Below(2)];
    if (rng.OneIn(10)) t += "+-"[rng.Below(2)];
    if (!rng.OneIn(10)) t += DigitRun(rng);
    static const char* const kTails[] = {"", "", "/12", " ", "abc", ".5", "e9", "\x01"};
    t += kTails[rng.Below(sizeof kTails / sizeof kTails[0])];
    return t;
}

// The reference: parsed as a decimal of any size, held to the 32-bit range, low 16 bits.
uint16_t ExpectedTrack(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    std::string digits = text.substr(start, i - start);
    digits.erase(0, digits.find_first_not_of('0'));
    int64_t value = 0;
    if (digits.size() > 10) value = negative ? INT32_MIN : INT32_MAX;
    else {
        for (char c : digits) value = value * 10 + (c - '0');
        if (negative) value = -value;
        if (value > INT32_MAX) value = INT32_MAX;
        if (value < INT32_MIN) value = INT32_MIN;
    }
    return static_cast<uint16_t>(static_cast<uint32_t>(static_cast<int32_t>(value)) & 0xFFFF);
}

std::wstring Text(Random& rng, size_t capacity) {
    std::wstring t(rng.EdgeSize(capacity + 1), L'\0');
    for (wchar_t& c : t) c = static_cast<wchar_t>(L'A' + rng.Below(26));
    return t;
}

std::wstring Cut(const std::wstring& text, size_t capacity) { return text.substr(0, std::min(text.size(), capacity - 1)); }

template <size_t N>
bool FieldHolds(const wchar_t (&field)[N], const std::wstring& text) {
    std::wstring expected = Cut(text, N);
    if (std::wmemcmp(field, expected.data(), expected.size()) != 0) return false;
    for (size_t i = expected.size(); i < N; ++i)
        if (field[i]) return false;
    return true;
}

bool Zero(const void* bytes, size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i)
        if (p[i]) return false;
    return true;
}

void One(Random& rng) {
    wmp_sim::PlayerState s;
    const LONG states[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, -1, 0x7FFFFFFF};
    s.state = rng.OneIn(2) ? 3 : states[rng.Below(sizeof states / sizeof states[0])];
    s.playStateNotImpl = rng.OneIn(8);
    s.itemInfoNull = rng.OneIn(8);
    s.positionFalse = rng.OneIn(8);
    s.valuesFail = rng.OneIn(12);
    s.objectsFail = rng.OneIn(12);
    s.current = rng.OneIn(10) ? -1 : 0;
    s.hasStatus = !rng.OneIn(6);
    s.status = Text(rng, 2048);
    s.protocol = Text(rng, 256);
    for (LONG& v : s.network) v = rng.EdgeInt(100000);

    wmp_sim::MediaItem item;
    item.name = Text(rng, 1024);
    item.url = Text(rng, 4096);
    item.hasName = !rng.OneIn(6);
    item.duration = EdgeDouble(rng);
    item.fixedPosition = true;
    item.position = EdgeDouble(rng);
    item.width = rng.EdgeInt(4096);
    item.height = rng.EdgeInt(4096);
    const std::string track = TrackText(rng);
    const std::wstring genre = Text(rng, 256), author = Text(rng, 1024);
    item.attributes.emplace_back(L"WM/TrackNumber", std::wstring(track.begin(), track.end()));
    item.attributes.emplace_back(L"WM/Genre", genre);
    item.attributes.emplace_back(L"Author", author);
    s.media.push_back(item);

    const bool stateKnown = !s.playStateNotImpl;
    const bool gathers = stateKnown && s.current == 0 && !s.objectsFail &&
                         (s.state == 1 || s.state == 2 || s.state == 3 || s.state == 10);
    // A failing getter leaves 0xCD bytes in its out value: none of them may show, and the
    // pointers among them are neither freed nor called.
    const bool values = !s.valuesFail;
    Count(s.playStateNotImpl ? "play state fails" : gathers ? "media gathered" : "no media");
    if (s.valuesFail) Count("values fail");
    if (s.objectsFail) Count("objects fail");
    if (std::isnan(item.duration)) Count("duration NaN");
    else if (std::isinf(item.duration)) Count("duration infinite");
    else if (ExpectedSeconds(item.duration) == INT32_MAX || ExpectedSeconds(item.duration) == INT32_MIN) Count("duration held");
    if (ExpectedTrack(track) == 0xFFFF) Count("track 0xFFFF");

    wmp_sim::PlayerModel model(s);
    com_ptr<IWMPCore> core;
    core.attach(wmp_sim::NewCore(model, 0));
    static NowPlayingRecord record;
    std::memset(&record, 0, sizeof record);
    GatherRecord(core.get(), record, nullptr);
    core.reset();

    Expect(record.Magic == kRecordMagic && record.Version == kVersionWmp, "magic and version are set");
    Expect(record.PlayState == (stateKnown ? static_cast<uint16_t>(s.state) : 0),
           "the play state is the core's, or 0 when the query failed");
    if (gathers && values) {
        Expect(FieldHolds(record.Title, item.hasName ? item.name : std::wstring()), "the title is the name, cut");
        Expect(FieldHolds(record.Path, item.url), "the path is the source, cut");
        Expect(FieldHolds(record.Genre, s.itemInfoNull ? std::wstring() : genre), "the genre is its attribute, cut");
        Expect(FieldHolds(record.Artist, s.itemInfoNull ? std::wstring() : author), "the artist is its attribute, cut");
        Expect(record.TrackNumber == (s.itemInfoNull ? 0 : ExpectedTrack(track)),
               "the track number is the text held to 32 bits, low 16 bits");
        Expect(record.Length == ExpectedSeconds(item.duration), "the length is the duration cut and held");
        Expect(record.Width == item.width && record.Height == item.height, "the picture size is the core's");
    } else {
        Expect(Zero(record.Title, reinterpret_cast<const char*>(&record.Position) - reinterpret_cast<const char*>(record.Title)),
               "no media fields outside the gathering states or from failed calls");
    }
    if (s.objectsFail || s.valuesFail) {
        Expect(record.Position == 0, "no position from a failed call");
    } else {
        const int32_t position = s.positionFalse ? -1 : s.current == 0 ? ExpectedSeconds(item.position) : record.Position;
        Expect(record.Position == position, "the position is the core's value cut and held");
        if (s.current != 0 && !s.positionFalse)
            Expect(record.Position >= 0 && record.Position < 600, "an advancing position starts near 0");
    }
    Expect(FieldHolds(record.Status, s.hasStatus && values ? s.status : std::wstring()), "the status is the core's, cut");
    if (s.objectsFail || s.valuesFail) {
        Expect(Zero(&record.Bandwidth, reinterpret_cast<const char*>(&record.Reserved3) - reinterpret_cast<const char*>(&record.Bandwidth)),
               "no network values or protocol from failed calls");
    } else {
        Expect(record.BitRate == s.network[wmp_sim::NetBitRate] && record.LostPackets == s.network[wmp_sim::NetLostPackets],
               "network values are the core's");
        Expect(FieldHolds(record.Protocol, s.protocol), "the protocol is the core's, cut");
    }
    Expect(record.Reserved1 == 0 && record.Reserved2 == 0 && record.Reserved3 == 0, "reserved bytes stay zero");
}

}  // namespace

extern const Fuzzer kFuzzer = {"wmp_record", SetUp, One};
