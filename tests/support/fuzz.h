// Seeded, reproducible random inputs for the tests of every reader of outside data: the
// generator, the mutations applied to real files, output buffers fenced by guard elements,
// and the report of an input that broke a reader, named by seed and round so that it can be
// run again alone.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvx::test {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    uint32_t Below(size_t bound);  // 0 when bound is 0
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    template <typename Item>
    const Item& Pick(const std::vector<Item>& items)
    {
        return items[Below(items.size())];
    }

private:
    uint64_t state_;
};

// One round: its own generator, and the input it shows when the reader misbehaves. Wide
// inputs are kept as their UTF-16 LE bytes.
struct FuzzRound {
    uint64_t seed = 0;
    uint32_t index = 0;
    Random random{0};
    std::string input;
};

// A round returns "" when the reader behaved, otherwise what went wrong.
using FuzzBody = std::function<std::string(FuzzRound&)>;

// Runs defaultCount rounds, times TVX_FUZZ_SCALE, from the seed TVX_FUZZ_SEED (a fixed seed
// when unset); TVX_FUZZ_ROUND runs that one round alone. The first failing round fails the
// test with the seed, the round and the input, which is also saved whole in the current
// folder. A round that crashes or runs for more than a minute prints the same report before
// the process ends.
void RunFuzz(const char* reader, uint32_t defaultCount, const FuzzBody& body);

// A piece of source of up to maxLength bytes; with evenStart it starts on a UTF-16 unit.
std::string Slice(Random& random, const std::string& source, size_t maxLength, bool evenStart);
// One to four mutations: truncation, random bytes, NUL bytes, a huge line, lone surrogates
// in either encoding, an odd byte count, a repeated piece, and markers (the reader's own
// syntax) at random places, also near the 4,096- and 8,192-byte read boundaries.
void Mutate(Random& random, std::string& data, const std::vector<std::string>& markers);
// Text built of the given pieces and random characters, surrogates halves included.
std::wstring RandomWideText(Random& random, const std::vector<std::wstring>& pieces, size_t maxParts);

std::string WideBytes(const std::wstring& text);
std::wstring BytesToWide(const std::string& bytes);  // an odd last byte is dropped
// The file's bytes, or the test fails.
std::string ReadSourceFile(const std::wstring& path);

// capacity elements for the reader, fenced on both sides by guard elements that it must
// never touch.
template <typename Char>
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t capacity);
    Char* Data() { return storage_.data() + kGuard; }
    size_t Capacity() const { return capacity_; }
    void Reset();  // every element back to the guard pattern
    // Another capacity, fenced and reset like a new buffer, without a new allocation when the
    // storage is large enough already (a round checks many lookups).
    void SetCapacity(size_t capacity);
    // "" when the guards are intact and a terminator lies within the capacity.
    std::string Check() const;
    std::string CheckGuards() const;
    // "" when the reader wrote nothing at all, as a lookup that finds nothing must.
    std::string CheckUntouched() const;

private:
    static constexpr size_t kGuard = 16;
    size_t capacity_;
    std::vector<Char> storage_;
};

}  // namespace tvx::test
