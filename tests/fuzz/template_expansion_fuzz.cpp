// The host plug-in's expansion: arbitrary NowPlayingRecord bytes, arbitrary templates and
// answer lists, every tag, every buffer length from 1 up. Properties: the text stays within
// bufferLength - 1 units and is terminated, nothing after it is written, a refused buffer is
// left untouched, every tag value fits the scratch, and collected names are distinct.
#include <climits>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "ascii_case.h"
#include "attribute_exchange.h"
#include "fuzz_support.h"
#include "sample_record.h"
#include "template_engine.h"
#include "text_copy.h"

using namespace mivola;
using namespace mivola::fuzz;

namespace {

constexpr size_t kTemplateUnits = 1024;
constexpr int kMaxBuffer = 9000;

GuardedBuffer* g_record;
GuardedBuffer* g_template;
GuardedBuffer* g_answer;
GuardedBuffer* g_output;
GuardedBuffer* g_scratch;

bool SetUp() {
    static GuardedBuffer record(sizeof(NowPlayingRecord)), tmpl(kTemplateUnits * 2), answer(64 * 1024),
        output(kMaxBuffer * 2), scratch(kTagScratchCapacity * 2);
    g_record = &record, g_template = &tmpl, g_answer = &answer, g_output = &output, g_scratch = &scratch;
    return record.Ready() && tmpl.Ready() && answer.Ready() && output.Ready() && scratch.Ready();
}

wchar_t RandomUnit(Random& rng) {
    const wchar_t interesting[] = {L'%', L'{', L'}', L'/', L'\\', L' ', L'a', L'Z', 0xD800, 0xDFFF, 0xFFFF, 0x3042, L'0'};
    if (rng.OneIn(2)) return interesting[rng.Below(sizeof interesting / sizeof interesting[0])];
    return static_cast<wchar_t>(1 + rng.Below(0xFFFF));
}

template <size_t N>
void FillText(Random& rng, wchar_t (&field)[N]) {
    size_t n = rng.EdgeSize(N);  // N itself: no terminator at all
    for (size_t i = 0; i < N; ++i) field[i] = i < n ? RandomUnit(rng) : L'\0';
}

void MakeRecord(Random& rng, NowPlayingRecord& r) {
    std::string bytes;
    switch (rng.Below(3)) {
        case 0:  // random bytes
            Count("record random");
            rng.Bytes(bytes, sizeof r);
            std::memcpy(&r, bytes.data(), sizeof r);
            return;
        case 1: {  // a valid record, mutated
            Count("record mutated");
            test::FillSampleRecord(r);
            bytes.assign(reinterpret_cast<const char*>(&r), sizeof r);
            Mutate(rng, bytes, sizeof r, 1024);
            bytes.resize(sizeof r, '\x41');
            std::memcpy(&r, bytes.data(), sizeof r);
            return;
        }
        default:  // every field at an edge, texts up to and past their capacity
            Count("record edges");
            std::memset(&r, 0, sizeof r);
            r.Magic = kRecordMagic;
            FillText(rng, r.Title), FillText(rng, r.Path), FillText(rng, r.Genre), FillText(rng, r.Artist);
            FillText(rng, r.Album), FillText(rng, r.Status), FillText(rng, r.Protocol);
            r.TrackNumber = static_cast<uint16_t>(rng.EdgeInt(0xFFFF));
            r.Length = rng.EdgeInt(3600), r.Position = rng.EdgeInt(3600), r.FileSize = rng.EdgeInt64();
            r.Width = rng.EdgeInt(1920), r.Height = rng.EdgeInt(1080), r.PlayState = static_cast<uint16_t>(rng.EdgeInt(12));
            int32_t* numbers = &r.Bandwidth;  // Bandwidth .. DownloadProgress are consecutive
            for (int i = 0; i < 13; ++i) numbers[i] = rng.EdgeInt(100);
            return;
    }
}

// Templates: random units, a soup of tag names and braces, or a mutated valid template.
std::vector<wchar_t> MakeTemplate(Random& rng) {
    std::wstring t;
    const size_t length = rng.EdgeSize(kTemplateUnits);
    switch (rng.Below(3)) {
        case 0:
            Count("template random");
            while (t.size() < length) t += RandomUnit(rng);
            break;
        case 1:
            Count("template tags");
            while (t.size() < length) {
                switch (rng.Below(6)) {
                    case 0: t += L"%%"; break;
                    case 1: t += L"%{" + std::wstring(rng.Below(4), L'x') + (rng.OneIn(3) ? L"" : L"}"); break;
                    case 2: t += RandomUnit(rng); break;
                    case 3: t += L'%'; break;
                    default: {
                        const TagEntry& tag = TagTable[rng.Below(static_cast<uint32_t>(TagTableCount))];
                        std::wstring name = tag.name;
                        for (wchar_t& c : name)
                            if (rng.OneIn(3) && c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
                        t += L"%" + name;
                    }
                }
            }
            break;
        default: {
            Count("template mutated");
            std::wstring valid = L"%title - %artist [%pos/%len] %playmark %{WM/Genre} 100%% %filename %kbitrate";
            std::string bytes(reinterpret_cast<const char*>(valid.data()), valid.size() * 2);
            Mutate(rng, bytes, kTemplateUnits * 2, kTemplateUnits);
            t.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        }
    }
    if (t.size() > kTemplateUnits) t.resize(kTemplateUnits);
    // A setting's template field holds 1024 units; one without any NUL must not be read further.
    if (rng.OneIn(8)) {
        Count("template without terminator");
        while (t.size() < kTemplateUnits) t += L'x';
        for (wchar_t& c : t)
            if (c == L'\0') c = L'%';
        return std::vector<wchar_t>(t.begin(), t.end());
    }
    if (t.size() == kTemplateUnits) t.pop_back();
    std::vector<wchar_t> units(t.begin(), t.end());
    units.push_back(L'\0');
    return units;
}

std::vector<wchar_t> MakeAnswer(Random& rng, const wchar_t* tmpl, size_t tmplUnits) {
    std::vector<wchar_t> units;
    switch (rng.Below(3)) {
        case 0: {  // names the template asks for, with values
            CustomAttributeList names;
            std::vector<wchar_t> terminated(tmpl, tmpl + tmplUnits);
            terminated.push_back(L'\0');
            CollectCustomAttributes(terminated.data(), names);
            ListBuilder b;
            for (size_t i = 0; i < names.Count(); ++i) {
                b.Add(names.At(i).c_str());
                b.Add(std::wstring(rng.Below(3) == 0 ? 3000 : rng.Below(20), L'v').c_str());
            }
            units = b.Finish();
            if (rng.OneIn(3)) units.pop_back();  // no final NUL
            break;
        }
        case 1: {  // random units
            size_t n = rng.Below(300);
            for (size_t i = 0; i < n; ++i) units.push_back(rng.OneIn(4) ? L'\0' : RandomUnit(rng));
            break;
        }
        default: break;  // no answer
    }
    return units;
}

void One(Random& rng) {
    NowPlayingRecord local;
    MakeRecord(rng, local);
    const auto& record = *static_cast<const NowPlayingRecord*>(g_record->Place(&local, sizeof local));

    std::vector<wchar_t> tmplUnits = MakeTemplate(rng);
    const auto* tmpl = g_template->PlaceArray(tmplUnits);
    std::vector<wchar_t> answerUnits = MakeAnswer(rng, tmpl, tmplUnits.size());
    const wchar_t* answer = answerUnits.empty() ? nullptr : g_answer->PlaceArray(answerUnits);

    // Buffer lengths from 1 (the empty text) up; the buffer ends at the guard page.
    int length = static_cast<int>(rng.EdgeSize(kMaxBuffer));
    if (rng.OneIn(3)) length = 1 + static_cast<int>(rng.Below(8));
    if (length <= 0) {
        // A length the host cannot mean: nothing is written at all.
        auto* out = static_cast<wchar_t*>(g_output->Tail(16));
        const int bads[] = {0, -1, INT_MIN};
        int bad = bads[rng.Below(3)];
        int n = ExpandFromRecord(tmpl, record, answer, answerUnits.size(), out, bad);
        Expect(n == 0, "a buffer length below 1 gives 0");
        bool untouched = true;
        for (int i = 0; i < 8; ++i) untouched = untouched && out[i] == static_cast<wchar_t>(0xCDCD);
        Expect(untouched, "a buffer length below 1 leaves the buffer untouched");
        Count("buffer refused");
    } else {
        auto* out = static_cast<wchar_t*>(g_output->Tail(static_cast<size_t>(length) * 2));
        int n = ExpandFromRecord(tmpl, record, answer, answerUnits.size(), out, length);
        Expect(n >= 0 && n <= length - 1, "the text stays within bufferLength - 1 units");
        if (n >= 0 && n < length) {
            Expect(out[n] == L'\0', "the text is terminated");
            Expect(BoundedLength(out, static_cast<size_t>(n)) == static_cast<size_t>(n), "the result counts the text");
            bool zeroTail = true;
            for (int i = n; i < length; ++i) zeroTail = zeroTail && out[i] == L'\0';
            Expect(zeroTail, "everything after the text is NUL");
        }
        Count(n == length - 1 ? "text filled the buffer" : n == 0 ? "text empty" : "text shorter than the buffer");
    }

    int estimate = EstimateTemplateSize(tmpl);
    Expect(estimate >= 1 && estimate <= 1 + 4096 * static_cast<int>(kTemplateUnits), "the estimate is plausible");

    CustomAttributeList names;
    CollectCustomAttributes(tmpl, names);
    for (size_t i = 0; i < names.Count(); ++i) {
        Expect(names.At(i).size() < kTemplateUnits && names.At(i).find(L'}') == std::wstring::npos,
               "a collected name lies inside the template's braces");
        for (size_t j = 0; j < i; ++j)
            Expect(!EqualsIgnoreAsciiCase(names.At(i).data(), names.At(i).size(), names.At(j).data(), names.At(j).size()),
                   "collected names are distinct ignoring ASCII case");
    }

    // Every tag against this record, into a scratch that ends at the guard page.
    auto* scratch = static_cast<wchar_t*>(g_scratch->Tail(kTagScratchCapacity * 2));
    for (size_t i = 0; i < TagTableCount; ++i) {
        size_t n = FormatTagValue(record, TagTable[i], scratch);
        Expect(n < kTagScratchCapacity, "a tag value fits the scratch");
    }
    Count("tags formatted");
}

}  // namespace

extern const Fuzzer kFuzzer = {"template_expansion", SetUp, One};
