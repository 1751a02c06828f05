// The Windows Media Player bridge's side of the custom attribute exchange: request regions of
// any size holding any count and any units, read and answered by the bridge's own code
// (wmp/attribute_answer.cpp) against a media item whose values may be missing, empty, long,
// hold a NUL or be number texts at every edge; now and then the answer is built straight from
// units that end at a guard page, under a tight size limit. Properties: a request is answered
// only when its count fits the region and it ends in NUL, and a refused one leaves the previous
// answer; the item is asked exactly once for each name up to the first empty one, in order; the
// answer region holds exactly 4 + 2N bytes' worth of list, terminated, with the pairs that have
// a value, each value up to its first NUL (number texts too: they are passed on, never read),
// never more units than the limit.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_answer.h"
#include "attribute_exchange.h"
#include "fuzz_support.h"
#include "named_mutex.h"
#include "shared_region.h"
#include "test_support.h"
#include "unique_com.h"

using namespace mivola;
using namespace mivola::fuzz;
using namespace mivola::wmp;

namespace {

constexpr uint32_t kMaxRegion = 64 * 1024;
// Well-formed requests with overlong names grow past kMaxRegion; none is longer than this.
constexpr size_t kMaxRequestUnits = 600000;

GuardedBuffer* g_request;
NamedMutex g_requestMutex, g_answerMutex;
SharedRegion g_answer;  // the bridge's own answer region, kept open between answers as it does
std::string g_requestName, g_answerName;

bool SetUp() {
    static GuardedBuffer request(kMaxRequestUnits * 2);
    g_request = &request;
    g_requestName = test::UniqueName("FuzzRequest");
    g_answerName = test::UniqueName("FuzzAnswer");
    return request.Ready() && g_requestMutex.Create((g_requestName + "_Mutex").c_str(), false) &&
           g_answerMutex.Create((g_answerName + "_Mutex").c_str(), false);
}

// The media item: what it gives for a name follows from the name alone, and every question
// it is asked is kept.
// Numbers come as the texts players hand out: any number of digits, signs, white space, NaN
// and infinities spelled out; the answer carries them as they are, never converted.
enum class ValueKind { Null, Empty, Short, WithNul, Long, Number };

uint32_t HashOf(const std::wstring& name) {
    uint32_t h = 2166136261u;
    for (wchar_t c : name) h = (h ^ c) * 16777619u;
    return h;
}

// Attributes players hand out as numbers: they always answer number texts here.
const wchar_t* const kNumberNames[] = {L"WM/TrackNumber", L"Duration", L"FileSize", L"WM/Year", L"Bitrate",
                                       L"CurrentBitrate"};

ValueKind KindOf(const std::wstring& name) {
    for (const wchar_t* n : kNumberNames)
        if (name == n) return ValueKind::Number;
    switch (HashOf(name) % 16) {
        case 0: case 1: case 2: case 3: return ValueKind::Null;
        case 4: case 5: return ValueKind::Empty;
        case 6: return ValueKind::WithNul;
        case 7: return ValueKind::Long;
        case 8: case 9: return ValueKind::Number;
        default: return ValueKind::Short;
    }
}

// The value as the item hands it out (a NUL may sit inside) and as the answer must hold it.
std::wstring HandedOut(const std::wstring& name) {
    switch (KindOf(name)) {
        case ValueKind::Empty: return std::wstring();
        case ValueKind::WithNul: return std::wstring(L"ab\0cd", 5);
        case ValueKind::Long: return std::wstring(3000 + name.size() % 7, L'\u66f2');
        case ValueKind::Number: {
            static const wchar_t* const kNumbers[] = {
                L"99999999999", L"-99999999999", L"2147483648", L"-2147483649", L"4294967296", L"  -5",
                L"\t+65537", L" \r\n7/12", L"nan", L"-nan", L"inf", L"-inf", L"1e309", L"-1.#IND", L"3.99",
                L"00000000000000000000000000000042", L"-0", L"+", L""};
            const uint32_t pick = (HashOf(name) / 16) % 20;
            if (pick == 19) return std::wstring(5000 + name.size() % 5, L'9');
            return kNumbers[pick];
        }
        default: return L"v" + std::to_wstring(name.size());
    }
}
std::wstring Answered(const std::wstring& name) {
    std::wstring v = HandedOut(name);
    return v.substr(0, v.find(L'\0'));
}

struct MediaItem {
    std::vector<std::wstring> asked;
    bool badName = false;
};

unique_bstr ItemInfo(void* context, BSTR name) {
    auto* item = static_cast<MediaItem*>(context);
    const UINT length = ::SysStringLen(name);
    std::wstring n(name, length);
    if (n.find(L'\0') != std::wstring::npos || name[length] != L'\0') item->badName = true;
    item->asked.push_back(n);
    if (KindOf(n) == ValueKind::Null) return unique_bstr();
    if (KindOf(n) == ValueKind::Number) Count("number text handed out");
    std::wstring v = HandedOut(n);
    return unique_bstr(::SysAllocStringLen(v.data(), static_cast<UINT>(v.size())));
}

// The names a request of these units asks for: each terminated string up to the first empty one.
std::vector<std::wstring> NamesOf(const wchar_t* units, size_t count) {
    std::vector<std::wstring> names;
    size_t pos = 0;
    for (;;) {
        size_t end = pos;
        while (end < count && units[end] != L'\0') ++end;
        if (end >= count || end == pos) return names;
        names.emplace_back(units + pos, end - pos);
        pos = end + 1;
    }
}

// The answer the bridge must give for those names within maxUnits, and how many of the names
// it asks for (up to the first pair that does not fit).
std::vector<wchar_t> ExpectedAnswer(const std::vector<std::wstring>& names, size_t maxUnits, size_t* asked = nullptr) {
    std::vector<wchar_t> units;
    if (asked) *asked = names.size();
    for (size_t i = 0; i < names.size(); ++i) {
        const std::wstring& n = names[i];
        if (KindOf(n) == ValueKind::Null) continue;
        std::wstring v = Answered(n);
        if (units.size() + n.size() + v.size() + 3 > maxUnits) {
            if (asked) *asked = i + 1;
            break;
        }
        units.insert(units.end(), n.begin(), n.end());
        units.push_back(L'\0');
        units.insert(units.end(), v.begin(), v.end());
        units.push_back(L'\0');
    }
    units.push_back(L'\0');
    return units;
}

wchar_t Unit(Random& rng) {
    const wchar_t u[] = {L'\0', L'\0', L'a', L'W', L'/', 0xFFFF, 0xD800, 0x3042, L'}'};
    return rng.OneIn(2) ? u[rng.Below(sizeof u / sizeof u[0])] : static_cast<wchar_t>(rng.Below(0x10000));
}

std::wstring RandomName(Random& rng) {
    switch (rng.Below(8)) {
        case 0: return std::wstring();  // ends the request
        case 1: return std::wstring(rng.OneIn(4) ? 20000 + rng.Below(10000) : 1000 + rng.Below(4000), L'N');
        case 2: {
            std::wstring n(1 + rng.Below(12), L'x');
            for (wchar_t& c : n) c = Unit(rng) ? Unit(rng) : L'q';
            for (wchar_t& c : n) if (!c) c = L'q';
            return n;
        }
        case 3: return kNumberNames[rng.Below(sizeof kNumberNames / sizeof kNumberNames[0])];
        default: return L"WM/Attr" + std::to_wstring(rng.Below(40));
    }
}

// Units of a request: well-formed names (some empty, some overlong), random units, or a
// mutation of a well-formed request.
std::vector<wchar_t> MakeUnits(Random& rng) {
    ListBuilder b;
    const uint32_t names = rng.Below(16);
    for (uint32_t i = 0; i < names; ++i) {
        std::wstring n = rng.OneIn(3) ? RandomName(rng) : L"WM/Attr" + std::to_wstring(rng.Below(40));
        b.Add(n.c_str(), n.size());
    }
    std::vector<wchar_t> units = b.Finish();
    switch (rng.Below(4)) {
        case 0:
        case 1: Count("request well-formed"); break;
        case 2: {
            Count("request random");
            units.resize(rng.EdgeSize(2000));
            for (wchar_t& u : units) u = Unit(rng);
            break;
        }
        default: {
            Count("request mutated");
            std::string bytes(reinterpret_cast<const char*>(units.data()), units.size() * 2);
            Mutate(rng, bytes, kMaxRegion - 4, kMaxRegion / 2);
            units.assign(reinterpret_cast<const wchar_t*>(bytes.data()),
                         reinterpret_cast<const wchar_t*>(bytes.data()) + bytes.size() / 2);
        }
    }
    if (units.size() > kMaxRequestUnits) units.resize(kMaxRequestUnits);
    if (rng.OneIn(8) && !units.empty()) {
        Count("request without terminator");
        units.back() = L'z';
    }
    return units;
}

// The count written into the region: the true one, or one that disagrees with the region.
uint32_t MakeCount(Random& rng, size_t units, uint32_t regionSize) {
    const uint32_t fits = (regionSize - 4) / 2;
    const uint32_t pageFits = static_cast<uint32_t>(((regionSize + 4095) / 4096 * 4096 - 4) / 2);
    const uint32_t choices[] = {static_cast<uint32_t>(units), static_cast<uint32_t>(units), static_cast<uint32_t>(units),
                                0, 1, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, fits, fits + 1, fits ? fits - 1 : 0,
                                pageFits, pageFits + 1, kMaxListUnits, kMaxListUnits + 1,
                                static_cast<uint32_t>(units) + 1, units ? static_cast<uint32_t>(units) - 1 : 0,
                                static_cast<uint32_t>(rng.Next())};
    uint32_t c = choices[rng.Below(sizeof choices / sizeof choices[0])];
    Count(c == units ? "count true" : "count disagrees");
    return c;
}

// The answer region as the host finds it: its list, or false when there is none.
bool ReadAnswerRegion(std::vector<wchar_t>& list, size_t& mapped) {
    list.clear();
    std::string mappingName = "Talvimora_" + g_answerName + "_FileMap";
    unique_handle mapping(::OpenFileMappingA(FILE_MAP_READ, FALSE, mappingName.c_str()));
    if (!mapping) return false;
    unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return false;
    MEMORY_BASIC_INFORMATION info{};
    mapped = ::VirtualQuery(view.get(), &info, sizeof info) ? info.RegionSize : 0;
    uint32_t count = 0;
    if (mapped >= 4) std::memcpy(&count, view.get(), 4);
    if (count == 0 || 4 + 2 * static_cast<size_t>(count) > mapped) return false;
    list.resize(count);
    std::memcpy(list.data(), static_cast<const unsigned char*>(view.get()) + 4, 2 * static_cast<size_t>(count));
    return true;
}

void CheckAnswer(const std::vector<wchar_t>& answer, const std::vector<std::wstring>& names, const MediaItem& item,
                 size_t maxUnits) {
    Expect(item.asked == names, "the item is asked once for each name up to the first empty one, in order");
    Expect(!item.badName, "every name handed to the item is a whole BSTR");
    Expect(!answer.empty() && answer.size() <= maxUnits, "the answer stays within its limit");
    Expect(!answer.empty() && answer.back() == L'\0', "the answer is terminated");
    Expect(answer == ExpectedAnswer(names, maxUnits), "the answer holds the pairs with a value, in request order");
}

// Straight from units that end at the guard page, under a limit at the edges.
void BuildFromGuardedUnits(Random& rng, const std::vector<wchar_t>& units) {
    Count("built from guarded units");
    const wchar_t* placed = units.empty() ? nullptr : g_request->PlaceArray(units);
    const std::vector<std::wstring> names = NamesOf(placed, units.size());
    const size_t full = ExpectedAnswer(names, SIZE_MAX).size();
    const size_t limits[] = {1, 2, 3, full, full - 1, full + 1, 1 + rng.Below(static_cast<uint32_t>(full)), kMaxListUnits};
    size_t maxUnits = limits[rng.Below(sizeof limits / sizeof limits[0])];
    if (maxUnits < 1) maxUnits = 1;
    if (maxUnits < full) Count("answer cut by its limit");
    MediaItem item;
    ListBuilder builder;
    const std::vector<wchar_t>& answer = BuildAnswer(placed, units.size(), ItemInfo, &item, builder, maxUnits);
    // A cut answer asks for names until one does not fit.
    size_t askedCount = 0;
    ExpectedAnswer(names, maxUnits, &askedCount);
    std::vector<std::wstring> asked(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(askedCount));
    CheckAnswer(answer, asked, item, maxUnits);
}

void One(Random& rng) {
    std::vector<wchar_t> units = MakeUnits(rng);
    if (rng.OneIn(4)) {
        BuildFromGuardedUnits(rng, units);
        return;
    }
    const uint32_t sizes[] = {4, 5, 6, 8, 4096, 4095, 4097, 8192};
    uint32_t regionSize = rng.OneIn(2) ? static_cast<uint32_t>(4 + units.size() * 2) : sizes[rng.Below(8)];
    if (rng.OneIn(6)) regionSize = 4 + rng.Below(kMaxRegion - 4);
    const uint32_t count = MakeCount(rng, units.size(), regionSize);

    // The host's region, with whatever it holds; what lies past the written bytes is zero.
    SharedRegion host;
    if (host.Open(g_requestName.c_str(), regionSize) != RegionCreated) {
        Expect(false, "the fuzzer's request region can be created");
        return;
    }
    auto* view = static_cast<unsigned char*>(host.View());
    std::memcpy(view, &count, 4);
    const size_t written = std::min<size_t>(units.size(), (regionSize - 4) / 2);
    std::memcpy(view + 4, units.data(), written * 2);
    const size_t mapped = (static_cast<size_t>(regionSize) + 4095) / 4096 * 4096;
    std::vector<wchar_t> held((mapped - 4) / 2, L'\0');
    std::copy(units.begin(), units.begin() + static_cast<std::ptrdiff_t>(written), held.begin());
    const bool taken = count >= 1 && count <= kMaxListUnits && count <= held.size() && held[count - 1] == L'\0';

    std::vector<wchar_t> before;
    size_t beforeMapped = 0;
    const bool hadAnswer = ReadAnswerRegion(before, beforeMapped);

    MediaItem item;
    ExchangeNames names;
    names.requestRegion = g_requestName.c_str();
    names.answerRegion = g_answerName.c_str();
    const bool answered = AnswerRequest(g_requestMutex, g_answerMutex, g_answer, ItemInfo, &item, names);
    Count(answered ? "request answered" : "request refused");
    Expect(answered == taken, "a request is answered exactly when its count fits the region and it ends in NUL");

    std::vector<wchar_t> after;
    size_t afterMapped = 0;
    const bool hasAnswer = ReadAnswerRegion(after, afterMapped);
    if (!answered) {
        Expect(item.asked.empty(), "a refused request asks the item nothing");
        Expect(hasAnswer == hadAnswer && after == before, "a refused request leaves the previous answer");
        return;
    }
    Expect(hasAnswer, "an answered request leaves an answer region");
    const std::vector<std::wstring> requested = NamesOf(held.data(), count);
    CheckAnswer(after, requested, item, kMaxListUnits);
    Expect(afterMapped == (4 + after.size() * 2 + 4095) / 4096 * 4096, "the answer region is as large as its list");
}

}  // namespace

extern const Fuzzer kFuzzer = {"wmp_request", SetUp, One};
