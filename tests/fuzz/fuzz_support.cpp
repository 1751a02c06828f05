#include "fuzz_support.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace mivola::fuzz {

namespace {

size_t PageSize() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return info.dwPageSize;
}

// Guard pages of every live buffer, for the fault handler's message.
constexpr size_t kMaxGuards = 64;
const unsigned char* g_guards[kMaxGuards];
size_t g_guardCount = 0;

}  // namespace

bool IsGuardAddress(const void* address) {
    const auto* a = static_cast<const unsigned char*>(address);
    const size_t page = PageSize();
    for (size_t i = 0; i < g_guardCount; ++i)
        if (g_guards[i] && a >= g_guards[i] && a < g_guards[i] + page) return true;
    return false;
}

GuardedBuffer::GuardedBuffer(size_t capacity) {
    const size_t page = PageSize();
    committed_ = (capacity + page - 1) / page * page;
    if (committed_ == 0) committed_ = page;
    block_.reset(::VirtualAlloc(nullptr, committed_ + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!block_) return;
    DWORD old;
    auto* guard = static_cast<unsigned char*>(block_.get()) + committed_;
    if (!::VirtualProtect(guard, page, PAGE_NOACCESS, &old)) {
        block_.reset();
        return;
    }
    if (g_guardCount < kMaxGuards) g_guards[g_guardCount++] = guard;
}

GuardedBuffer::~GuardedBuffer() {
    auto* guard = block_ ? static_cast<unsigned char*>(block_.get()) + committed_ : nullptr;
    for (size_t i = 0; i < g_guardCount; ++i)
        if (g_guards[i] == guard) g_guards[i] = nullptr;
}

void* GuardedBuffer::Tail(size_t size, unsigned char fill) {
    if (size > committed_) size = committed_;
    auto* start = static_cast<unsigned char*>(block_.get()) + committed_ - size;
    std::memset(start, fill, size);
    return start;
}

void* GuardedBuffer::Place(const void* bytes, size_t size) {
    if (size > committed_) size = committed_;
    auto* start = static_cast<unsigned char*>(block_.get()) + committed_ - size;
    if (size) std::memcpy(start, bytes, size);
    return start;
}

uint64_t Random::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t Random::Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }

int32_t Random::EdgeInt(uint32_t capacity) {
    const int64_t c = capacity;
    const int64_t edges[] = {0, 1, -1, INT_MIN, INT_MAX, c - 1, c, c + 1, INT_MIN + 1, INT_MAX - 1};
    if (OneIn(4)) return static_cast<int32_t>(Next());
    return static_cast<int32_t>(edges[Below(sizeof edges / sizeof edges[0])]);
}

int64_t Random::EdgeInt64() {
    const int64_t edges[] = {0, 1, -1, INT64_MIN, INT64_MAX, INT_MIN, INT_MAX, 1024, 1023, 1ll << 40};
    if (OneIn(3)) return static_cast<int64_t>(Next());
    return edges[Below(sizeof edges / sizeof edges[0])];
}

size_t Random::EdgeSize(size_t capacity) {
    switch (Below(6)) {
        case 0: return 0;
        case 1: return capacity ? 1 : 0;
        case 2: return capacity ? capacity - 1 : 0;
        case 3: return capacity;
        default: return capacity ? Below(static_cast<uint32_t>(capacity) + 1) : 0;
    }
}

void Random::Bytes(std::string& out, size_t n) {
    out.resize(n);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(Next());
}

void Mutate(Random& rng, std::string& b, size_t maxSize, uint32_t capacity, const std::string& donor) {
    const uint32_t rounds = 1 + rng.Below(4);
    for (uint32_t round = 0; round < rounds; ++round) {
        const size_t at = b.empty() ? 0 : rng.Below(static_cast<uint32_t>(b.size()));
        switch (rng.Below(8)) {
            case 0:  // bit flip
                if (!b.empty()) b[at] = static_cast<char>(b[at] ^ (1u << rng.Below(8)));
                break;
            case 1:  // byte set to an edge
                if (!b.empty()) {
                    const unsigned char v[] = {0, 0xFF, 0x7F, 0x80, '%', '{', '}', '[', ']', '=', '\r', '\n', '"', 0x81, 0x9F, 0xE0};
                    b[at] = static_cast<char>(v[rng.Below(sizeof v)]);
                }
                break;
            case 2:  // 16-bit edge, little-endian
            case 3: {  // 32-bit edge, little-endian
                int32_t v = rng.EdgeInt(capacity);
                size_t width = rng.Below(2) ? 4 : 2;
                for (size_t i = 0; i < width && at + i < b.size(); ++i) b[at + i] = static_cast<char>(v >> (8 * i));
                break;
            }
            case 4: {  // insert random bytes
                std::string run;
                rng.Bytes(run, 1 + rng.Below(16));
                b.insert(at, run);
                break;
            }
            case 5:  // remove a run
                if (!b.empty()) b.erase(at, 1 + rng.Below(static_cast<uint32_t>(b.size() - at)));
                break;
            case 6:  // duplicate a run, or splice one from the donor
                if (!donor.empty() && rng.OneIn(2)) {
                    size_t from = rng.Below(static_cast<uint32_t>(donor.size()));
                    b.insert(at, donor.substr(from, 1 + rng.Below(64)));
                } else if (!b.empty()) {
                    b.insert(at, b.substr(at, 1 + rng.Below(64)));
                }
                break;
            default:  // truncate
                b.resize(at);
                break;
        }
        if (b.size() > maxSize) b.resize(maxSize);
    }
}

const std::vector<std::string>& EdgeNumberTexts() {
    static const std::vector<std::string> texts = {
        "0", "1", "-1", "5", "9", "10", "11", "999", "1000", "1001", "5000", "9999", "10000", "20000",
        "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967295", "4294967296",
        "99999999999999999999", "-0", "+12", " 12 ", "12abc", "abc", "", "0x10", "1e3", "\"50\"", "　"};
    return texts;
}

namespace {

std::string RandomValue(Random& rng, const IniKey& key) {
    std::string v;
    switch (rng.Below(6)) {
        case 0:
        case 1:
            if (!key.typical.empty()) return key.typical[rng.Below(static_cast<uint32_t>(key.typical.size()))];
            [[fallthrough]];
        case 2:
            if (key.rareEdges && !key.typical.empty() && !rng.OneIn(16))
                return key.typical[rng.Below(static_cast<uint32_t>(key.typical.size()))];
            return EdgeNumberTexts()[rng.Below(static_cast<uint32_t>(EdgeNumberTexts().size()))];
        case 3:  // overlong
            v.assign(rng.Below(3) == 0 ? 5000 + rng.Below(20000) : 250 + rng.Below(20), static_cast<char>('a' + rng.Below(26)));
            if (rng.OneIn(2)) v.back() = static_cast<char>(0x82);  // ends in half a double-byte character
            return v;
        default: {
            rng.Bytes(v, rng.Below(40));
            for (char& c : v)
                if (c == '\r' || c == '\n' || c == '\0') c = '_';
            return v;
        }
    }
}

const char* LineEnd(Random& rng) {
    const char* ends[] = {"\r\n", "\r\n", "\r\n", "\n", "\r", ""};
    return ends[rng.Below(6)];
}

}  // namespace

std::string RandomIni(Random& rng, const std::vector<IniSection>& shape) {
    std::string text;
    if (rng.OneIn(16)) text += "\xEF\xBB\xBF";  // a byte-order mark
    for (const IniSection& section : shape) {
        if (rng.OneIn(8)) continue;  // a missing section
        if (rng.OneIn(10)) text += "junk line without a section" + std::string(LineEnd(rng));
        std::string name = section.name;
        if (rng.OneIn(10)) name[0] = static_cast<char>(name[0] ^ 0x20);  // another case
        text += rng.OneIn(20) ? "[" + name : "[" + name + "]";
        text += LineEnd(rng);
        for (const IniKey& key : section.keys) {
            if (rng.OneIn(6)) continue;  // a missing key
            std::string k = rng.OneIn(12) ? " " + key.key + " " : key.key;
            std::string value = RandomValue(rng, key);
            if (rng.OneIn(8)) value = "\"" + value + "\"";
            text += rng.OneIn(20) ? k + value : k + "=" + value;  // sometimes no "="
            text += LineEnd(rng);
            if (rng.OneIn(12)) text += k + "=" + RandomValue(rng, key) + "\r\n";  // a repeated key
        }
        if (rng.OneIn(10)) text += std::string(3000 + rng.Below(9000), ';') + "\r\n";  // an overlong comment
    }
    if (rng.OneIn(8)) {
        std::string tail;
        rng.Bytes(tail, rng.Below(64));
        text += tail;
    }
    return text;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    unique_hfile f(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD written = 0;
    return ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace mivola::fuzz
