// What every fuzzer shares: inputs placed against a no-access page (so that a read or write
// past an input faults at once), a seeded generator with edge values and mutations, INI text
// shapes, and the driver that runs a fuzzer for a given number of inputs and prints counts.
//
// A fuzzer is one file that defines `const mivola::fuzz::Fuzzer kFuzzer` and links with
// mivola_fuzz_support; tests/fuzz/CMakeLists.txt turns it into a program and a test.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "unique_handle.h"

namespace mivola::fuzz {

// Committed pages followed by one no-access page. Whatever is placed ends exactly at the
// guard page, the way page-heap tools place allocations.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t capacity);
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    ~GuardedBuffer();

    // Copies size bytes so that the last one sits just before the guard page.
    void* Place(const void* bytes, size_t size);
    // The last size bytes before the guard page, each set to fill (room for an output).
    void* Tail(size_t size, unsigned char fill = 0xCD);
    size_t Capacity() const { return committed_; }
    bool Ready() const { return static_cast<bool>(block_); }

    template <typename T>
    T* PlaceArray(const std::vector<T>& items) {
        return static_cast<T*>(Place(items.data(), items.size() * sizeof(T)));
    }

private:
    unique_virtual_alloc block_;
    size_t committed_ = 0;
};

// splitmix64: small, fast, and the same sequence on every machine for a seed.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    uint32_t Below(uint32_t n);  // 0..n-1 (0 when n is 0)
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    // One of 0, 1, -1, INT_MIN, INT_MAX, capacity - 1, capacity, capacity + 1, or any value.
    int32_t EdgeInt(uint32_t capacity);
    int64_t EdgeInt64();
    // A size for an input with room `capacity`: often an edge (0, 1, capacity - 1, capacity).
    size_t EdgeSize(size_t capacity);
    void Bytes(std::string& out, size_t n);

private:
    uint64_t state_;
};

// Changes bytes in place a few times: bit flips, edge values written as 8/16/32-bit numbers,
// runs inserted, removed, duplicated or spliced from `donor`, and truncation; never longer
// than maxSize.
void Mutate(Random& rng, std::string& bytes, size_t maxSize, uint32_t capacity, const std::string& donor = std::string());

// An INI file as bytes. Sections and keys come from `shape`; values, junk lines, overlong
// lines, missing sections, odd line ends and stray bytes from the generator.
struct IniKey {
    std::string key;
    std::vector<std::string> typical;  // values worth trying besides random ones
    bool rareEdges = false;            // edge numbers seldom (a costly key, e.g. a count)
};
struct IniSection {
    std::string name;
    std::vector<IniKey> keys;
};
std::string RandomIni(Random& rng, const std::vector<IniSection>& shape);
// Decimal texts around the edges of 32-bit and 64-bit integers, and a few that are not numbers.
const std::vector<std::string>& EdgeNumberTexts();

// Writes bytes to a file, replacing it; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// What a fuzzer provides. SetUp runs once before the inputs (false: the run fails);
// One runs one input drawn from rng.
struct Fuzzer {
    const char* name;
    bool (*SetUp)();
    void (*One)(Random& rng);
};

// Counts printed at the end, by name (e.g. how many inputs were mutations).
void Count(const char* what);
// A property every input must keep; a failure is printed with the input's index and seed.
void Expect(bool holds, const char* property);
// Index of the running input, for messages.
uint64_t CurrentInput();

}  // namespace mivola::fuzz
