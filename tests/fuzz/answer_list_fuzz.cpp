// The host side of the custom attribute exchange: answer regions of any size holding any
// count and any units, read by ReadList and looked up by LookUpAnswer, and once in a while
// the whole ExpandTemplate path for Windows Media Player. Properties: a list is taken only
// when its count fits the region and it ends in NUL; a well-formed list that fits is never
// refused; a found value lies inside the list and is terminated there; a refused read leaves
// no list behind.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_exchange.h"
#include "fuzz_support.h"
#include "named_mutex.h"
#include "now_playing_record.h"
#include "region_names.h"
#include "sample_record.h"
#include "shared_region.h"
#include "template_engine.h"
#include "test_support.h"
#include "text_copy.h"

using namespace mivola;
using namespace mivola::fuzz;

namespace {

constexpr uint32_t kMaxRegion = 64 * 1024;

GuardedBuffer* g_list;
GuardedBuffer* g_output;
NamedMutex g_exchange;  // a private exchange mutex: the fuzzer's regions have their own names
std::string g_regionName;

bool SetUp() {
    static GuardedBuffer list(kMaxRegion), output(4096 * 2);
    g_list = &list, g_output = &output;
    g_regionName = test::UniqueName("FuzzAnswer");
    return list.Ready() && output.Ready() && g_exchange.Create((g_regionName + "_Mutex").c_str(), false);
}

wchar_t Unit(Random& rng) {
    const wchar_t u[] = {L'\0', L'\0', L'a', L'A', L'z', L'/', 0xFFFF, 0x3042, L'}'};
    return rng.OneIn(2) ? u[rng.Below(sizeof u / sizeof u[0])] : static_cast<wchar_t>(rng.Below(0x10000));
}

// Units of an answer list: well-formed pairs (some values empty or long), random units, or a
// mutation of a well-formed list.
std::vector<wchar_t> MakeUnits(Random& rng, std::vector<std::wstring>& names) {
    ListBuilder b;
    const uint32_t pairs = rng.Below(12);
    for (uint32_t i = 0; i < pairs; ++i) {
        std::wstring name = L"WM/Attr" + std::to_wstring(rng.Below(20));
        names.push_back(name);
        b.Add(name.c_str());
        b.Add(std::wstring(rng.OneIn(4) ? 0 : rng.OneIn(8) ? 5000 : rng.Below(30), L'v').c_str());
    }
    std::vector<wchar_t> units = b.Finish();
    switch (rng.Below(3)) {
        case 0: Count("list well-formed"); break;
        case 1: {
            Count("list random");
            units.resize(rng.Below(2000));
            for (wchar_t& u : units) u = Unit(rng);
            break;
        }
        default: {
            Count("list mutated");
            std::string bytes(reinterpret_cast<const char*>(units.data()), units.size() * 2);
            Mutate(rng, bytes, kMaxRegion - 4, kMaxRegion / 2);
            units.assign(reinterpret_cast<const wchar_t*>(bytes.data()),
                         reinterpret_cast<const wchar_t*>(bytes.data()) + bytes.size() / 2);
        }
    }
    return units;
}

// The count written into the region: the true one, or one that disagrees with the region.
uint32_t MakeCount(Random& rng, size_t units, uint32_t regionSize) {
    const uint32_t fits = regionSize >= 4 ? (regionSize - 4) / 2 : 0;
    const uint32_t choices[] = {static_cast<uint32_t>(units), static_cast<uint32_t>(units),
                                0, 1, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, fits, fits + 1, fits ? fits - 1 : 0,
                                kMaxListUnits, kMaxListUnits + 1, static_cast<uint32_t>(units) + 1,
                                static_cast<uint32_t>(rng.Next())};
    uint32_t c = choices[rng.Below(sizeof choices / sizeof choices[0])];
    Count(c == units ? "count true" : "count disagrees");
    return c;
}

void CheckLookUp(const wchar_t* units, size_t count, const std::wstring& name) {
    size_t length = 0;
    const wchar_t* value = LookUpAnswer(units, count, name.data(), name.size(), &length);
    if (!value) return;
    Count("look-up found");
    Expect(value >= units && value + length < units + count, "a found value lies inside the list");
    if (value >= units && value + length < units + count) Expect(value[length] == L'\0', "a found value is terminated");
}

void One(Random& rng) {
    std::vector<std::wstring> names;
    std::vector<wchar_t> units = MakeUnits(rng, names);
    const uint32_t sizes[] = {4, 5, 6, 8, 4096, 4095, 4097, 8192};
    uint32_t regionSize = rng.OneIn(2) ? static_cast<uint32_t>(4 + units.size() * 2) : sizes[rng.Below(8)];
    if (rng.OneIn(6)) regionSize = 4 + rng.Below(kMaxRegion - 4);
    const uint32_t count = MakeCount(rng, units.size(), regionSize);

    // The bridge's region, with whatever it holds.
    SharedRegion writer;
    if (writer.Open(g_regionName.c_str(), regionSize) != RegionCreated) {
        Expect(false, "the fuzzer's region can be created");
        return;
    }
    auto* view = static_cast<unsigned char*>(writer.View());
    std::memcpy(view, &count, 4);
    std::memcpy(view + 4, units.data(), std::min<size_t>(units.size() * 2, regionSize - 4));
    const size_t unitsInRegion = std::min<size_t>(units.size(), (regionSize - 4) / 2);

    std::vector<wchar_t> list;
    bool ok = ReadList(g_exchange, g_regionName.c_str(), list);
    Count(ok ? "read taken" : "read refused");
    if (ok) {
        Expect(list.size() == count, "a taken list has the count's length");
        Expect(!list.empty() && list.back() == L'\0', "a taken list ends in NUL");
        Expect(count <= kMaxListUnits, "an implausible count is refused");
        // The mapping may be rounded up to whole pages, and what lies past the creator's size is zero.
        const uint64_t mapped = (static_cast<uint64_t>(regionSize) + 4095) / 4096 * 4096;
        Expect(4 + 2ull * count <= mapped, "a taken list lies inside the region");
        if (count <= unitsInRegion)
            Expect(std::memcmp(list.data(), units.data(), count * 2) == 0, "a taken list is the region's bytes");
    } else {
        Expect(list.empty(), "a refused read leaves no list");
        const bool wellFormed = count >= 1 && count <= unitsInRegion && units[count - 1] == L'\0' && count <= kMaxListUnits;
        Expect(!wellFormed, "a list that fits its region and ends in NUL is taken");
    }

    // Look-ups over the exact units read (or the raw ones), ending at the guard page.
    const std::vector<wchar_t>& scanned = ok ? list : units;
    if (!scanned.empty()) {
        const wchar_t* placed = g_list->PlaceArray(scanned);
        for (const std::wstring& n : names) CheckLookUp(placed, scanned.size(), n);
        std::wstring folded = names.empty() ? L"wm/attr1" : names[0];
        for (wchar_t& c : folded) c = static_cast<wchar_t>(c >= L'a' && c <= L'z' ? c - 32 : c);
        CheckLookUp(placed, scanned.size(), folded);
        CheckLookUp(placed, scanned.size(), std::wstring());
    }

    // Now and then the host's whole path: a live WMP record and this answer under its real name.
    if (rng.OneIn(16)) {
        Count("expansion with the answer region");
        NamedMutex answerMutex;
        answerMutex.Create(kAnswerMutex, false);
        SharedRegion answerRegion;
        if (answerRegion.Open(kAnswerRegion, regionSize) == RegionCreated) {
            std::memcpy(answerRegion.View(), view, regionSize);
            SharedRegion recordRegion;
            std::string recordName = g_regionName + "_Info";
            if (recordRegion.Open(recordName.c_str(), kNowPlayingRecordSize) == RegionCreated) {
                NowPlayingRecord r;
                test::FillSampleRecord(r);
                std::memcpy(recordRegion.View(), &r, sizeof r);
                ResolvedPlayer player{1, &recordRegion};
                std::wstring tmpl = L"%title";
                for (const std::wstring& n : names) tmpl += L"%{" + n + L"}";
                if (tmpl.size() > 1023) tmpl.resize(1023);
                int length = 1 + static_cast<int>(rng.Below(4096));
                auto* out = static_cast<wchar_t*>(g_output->Tail(static_cast<size_t>(length) * 2));
                int n = ExpandTemplate(tmpl.c_str(), &player, answerMutex, out, length);
                Expect(n >= 0 && n < length && out[n] == L'\0', "the expansion stays within its buffer and is terminated");
            }
        }
    }
}

}  // namespace

extern const Fuzzer kFuzzer = {"answer_list", SetUp, One};
