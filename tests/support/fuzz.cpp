#include "fuzz.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace tvx::test {

namespace {

constexpr uint64_t kDefaultSeed = 20261208;
constexpr size_t kShownBytes = 512;
constexpr auto kHangLimit = std::chrono::seconds(60);

uint64_t SplitMix(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t EnvironmentNumber(const char* name, uint64_t fallback)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return std::strtoull(text, nullptr, 0);
}

// Printable ASCII as it is, everything else as \xNN, the first kShownBytes bytes only.
std::string Escape(const std::string& bytes)
{
    std::string shown;
    size_t count = bytes.size() < kShownBytes ? bytes.size() : kShownBytes;
    for (size_t i = 0; i < count; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", c);
            shown += code;
        }
    }
    if (count < bytes.size()) shown += "...";
    return shown;
}

std::string Report(const char* reader, const FuzzRound& round, const std::string& problem)
{
    char name[160];
    std::snprintf(name, sizeof name, "fuzz-%s-%llu-%u.bin", reader,
                  static_cast<unsigned long long>(round.seed), round.index);
    std::ofstream(name, std::ios::binary).write(round.input.data(), round.input.size());
    char head[400];
    std::snprintf(head, sizeof head,
                  "%s: %s\n  seed %llu, round %u (again alone: TVX_FUZZ_SEED=%llu TVX_FUZZ_ROUND=%u)\n"
                  "  input, %zu bytes, saved whole as %s:\n  ",
                  reader, problem.c_str(), static_cast<unsigned long long>(round.seed), round.index,
                  static_cast<unsigned long long>(round.seed), round.index, round.input.size(), name);
    return head + Escape(round.input);
}

// The round under way, for the reports of a crash or a hang.
const char* currentReader = nullptr;
FuzzRound* currentRound = nullptr;

void ReportCurrentAndEnd(const char* problem)
{
    if (currentRound != nullptr) {
        std::fprintf(stderr, "%s\n", Report(currentReader, *currentRound, problem).c_str());
        std::fflush(stderr);
    }
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* exception)
{
    char problem[64];
    std::snprintf(problem, sizeof problem, "crashed with exception 0x%08lX",
                  exception->ExceptionRecord->ExceptionCode);
    ReportCurrentAndEnd(problem);
    return EXCEPTION_CONTINUE_SEARCH;
}

void OnAbort(int) { ReportCurrentAndEnd("aborted (stack protector or run-time check)"); }

// Ends the process with a report when one round runs longer than kHangLimit.
class Watchdog {
public:
    Watchdog() : thread_([this] { Watch(); }) {}
    ~Watchdog()
    {
        stop_ = true;
        thread_.join();
    }
    void Tick() { ++rounds_; }

private:
    void Watch()
    {
        uint64_t seen = rounds_;
        auto since = std::chrono::steady_clock::now();
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            auto now = std::chrono::steady_clock::now();
            if (rounds_ != seen) {
                seen = rounds_;
                since = now;
            } else if (now - since > kHangLimit) {
                ReportCurrentAndEnd("hangs (one round took over a minute)");
                ExitProcess(3);
            }
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> rounds_{0};
    std::thread thread_;
};

void InsertAt(Random& random, std::string& data, const std::string& piece)
{
    size_t at = random.Below(data.size() + 1);
    // Now and then right at a read boundary, where a marker is split between two blocks.
    if (random.OneIn(4)) {
        size_t boundary = random.OneIn(2) ? 4096 : 8192;
        size_t back = random.Below(piece.size() + 1);
        if (back <= boundary && boundary - back <= data.size()) at = boundary - back;
    }
    data.insert(at, piece);
}

std::string RandomBytes(Random& random, size_t count)
{
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(random.Below(256));
    return bytes;
}

void MutateOnce(Random& random, std::string& data, const std::vector<std::string>& markers)
{
    switch (random.Below(10)) {
    case 0: data.resize(random.Below(data.size() + 1)); break;
    case 1:
        for (uint32_t n = random.Below(8) + 1; n > 0 && !data.empty(); --n)
            data[random.Below(data.size())] = static_cast<char>(random.Below(256));
        break;
    case 2: InsertAt(random, data, RandomBytes(random, random.Below(64) + 1)); break;
    case 3: InsertAt(random, data, std::string(random.Below(4) + 1, '\0')); break;
    case 4: {
        // A line far longer than any buffer the readers keep.
        size_t length = random.OneIn(32) ? 70000 + random.Below(4096) : 300 + random.Below(2500);
        InsertAt(random, data, std::string(length, static_cast<char>('A' + random.Below(26))));
        break;
    }
    case 5: {
        // A lone surrogate half: UTF-16 LE at an even place, or the UTF-8 form of one.
        uint32_t unit = 0xD800 + random.Below(0x800);
        if (random.OneIn(2)) {
            size_t at = random.Below(data.size() / 2 + 1) * 2;
            data.insert(at, std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)});
        } else {
            InsertAt(random, data, std::string{'\xED', static_cast<char>(0x80 | ((unit >> 6) & 0x3F)),
                                               static_cast<char>(0x80 | (unit & 0x3F))});
        }
        break;
    }
    case 6:
        if (data.size() % 2 == 0) data.push_back(static_cast<char>(random.Below(256)));
        else data.pop_back();
        break;
    case 7:
        if (!data.empty()) {
            size_t from = random.Below(data.size());
            InsertAt(random, data, data.substr(from, random.Below(256) + 1));
        }
        break;
    default:
        if (!markers.empty()) InsertAt(random, data, random.Pick(markers));
        break;
    }
}

}  // namespace

uint64_t Random::Next() { return SplitMix(state_); }

uint32_t Random::Below(size_t bound)
{
    return bound == 0 ? 0 : static_cast<uint32_t>(Next() % bound);
}

void RunFuzz(const char* reader, uint32_t defaultCount, const FuzzBody& body)
{
    const uint64_t seed = EnvironmentNumber("TVX_FUZZ_SEED", kDefaultSeed);
    const char* scaleText = std::getenv("TVX_FUZZ_SCALE");
    const double scale = scaleText != nullptr && *scaleText != '\0' ? std::strtod(scaleText, nullptr) : 1.0;
    const uint64_t only = EnvironmentNumber("TVX_FUZZ_ROUND", UINT64_MAX);
    const uint64_t count = only != UINT64_MAX ? only + 1 : static_cast<uint64_t>(defaultCount * scale);
    std::printf("%s: seed %llu, %llu rounds\n", reader, static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(only != UINT64_MAX ? 1 : count));

    LPTOP_LEVEL_EXCEPTION_FILTER oldFilter = SetUnhandledExceptionFilter(OnCrash);
    auto oldAbort = std::signal(SIGABRT, OnAbort);
    FuzzRound round;
    uint64_t done = 0;
    const auto start = std::chrono::steady_clock::now();
    currentReader = reader;
    currentRound = &round;
    {
        Watchdog watchdog;
        for (uint64_t index = only != UINT64_MAX ? only : 0; index < count; ++index) {
            round.seed = seed;
            round.index = static_cast<uint32_t>(index);
            uint64_t mixed = seed ^ (index * 0xD1B54A32D192ED03ull);
            round.random = Random(SplitMix(mixed));
            round.input.clear();
            std::string problem;
            try {
                problem = body(round);
            } catch (...) {
                problem = "an exception left the reader";
            }
            watchdog.Tick();
            ++done;
            if (!problem.empty()) {
                ADD_FAILURE() << Report(reader, round, problem);
                break;
            }
        }
    }
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%s: %llu rounds in %.1f s\n", reader, static_cast<unsigned long long>(done), elapsed.count());
    currentRound = nullptr;
    std::signal(SIGABRT, oldAbort);
    SetUnhandledExceptionFilter(oldFilter);
}

std::string Slice(Random& random, const std::string& source, size_t maxLength, bool evenStart)
{
    if (source.empty()) return source;
    size_t start = random.Below(source.size());
    if (evenStart) start &= ~size_t{1};
    return source.substr(start, random.Below(maxLength + 1));
}

void Mutate(Random& random, std::string& data, const std::vector<std::string>& markers)
{
    for (uint32_t n = random.Below(4) + 1; n > 0; --n) MutateOnce(random, data, markers);
}

std::wstring RandomWideText(Random& random, const std::vector<std::wstring>& pieces, size_t maxParts)
{
    static const wchar_t kOdd[] = {L'\0', L' ', L'\t', L'"', L'/', L'\\', L'%', L'=', L'*',
                                   0xD800, 0xDC00, 0xDBFF, 0xFFFF, 0x05D0, 0x00E9, 0x4E2D};
    std::wstring text;
    for (size_t n = random.Below(maxParts + 1); n > 0; --n) {
        if (!pieces.empty() && random.OneIn(2)) text += random.Pick(pieces);
        else if (random.OneIn(2)) text += kOdd[random.Below(std::size(kOdd))];
        else text += static_cast<wchar_t>(random.OneIn(4) ? random.Below(0x10000) : 0x20 + random.Below(0x5F));
    }
    return text;
}

std::string WideBytes(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::wstring BytesToWide(const std::string& bytes)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
}

std::string ReadSourceFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << "cannot read the source file";
    return bytes;
}

template <typename Char>
GuardedBuffer<Char>::GuardedBuffer(size_t capacity) : capacity_(capacity), storage_(capacity + 2 * kGuard)
{
    Reset();
}

template <typename Char>
void GuardedBuffer<Char>::Reset()
{
    for (Char& c : storage_) c = static_cast<Char>(0x5A5A);
}

template <typename Char>
std::string GuardedBuffer<Char>::CheckGuards() const
{
    for (size_t i = 0; i < kGuard; ++i) {
        if (storage_[i] != static_cast<Char>(0x5A5A)) return "wrote before the start of its buffer";
        if (storage_[kGuard + capacity_ + i] != static_cast<Char>(0x5A5A)) return "wrote past the end of its buffer";
    }
    return "";
}

template <typename Char>
std::string GuardedBuffer<Char>::Check() const
{
    std::string guards = CheckGuards();
    if (!guards.empty()) return guards;
    for (size_t i = 0; i < capacity_; ++i)
        if (storage_[kGuard + i] == Char{}) return "";
    return "left its text without a terminator inside the capacity";
}

template <typename Char>
void GuardedBuffer<Char>::SetCapacity(size_t capacity)
{
    capacity_ = capacity;
    if (storage_.size() < capacity + 2 * kGuard) storage_.resize(capacity + 2 * kGuard);
    std::fill(storage_.begin(), storage_.begin() + capacity + 2 * kGuard, static_cast<Char>(0x5A5A));
}

template <typename Char>
std::string GuardedBuffer<Char>::CheckUntouched() const
{
    for (size_t i = 0; i < capacity_ + 2 * kGuard; ++i)
        if (storage_[i] != static_cast<Char>(0x5A5A)) return "wrote into its buffer although it reported nothing found";
    return "";
}

template class GuardedBuffer<char>;
template class GuardedBuffer<wchar_t>;

}  // namespace tvx::test
