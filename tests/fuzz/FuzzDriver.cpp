// A bounded random driver for fuzz targets written for libFuzzer
// (LLVMFuzzerTestOneInput). It replays every file of the corpus folders given
// on the command line, then mutates them (bit flips, byte insertions and
// deletions, splices, repeated runs, interesting bytes) until the time is up.
// Run under AddressSanitizer and UndefinedBehaviorSanitizer, any fault ends
// the program with the sanitizer's report.
//   fuzz_x [--seconds N] [--seed S] [corpus-dir ...]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

void run(const Bytes& input) {
    // A copy of exactly the input's size, so reads past the end are caught.
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(input.size() ? input.size() : 1));
    if (!input.empty()) std::memcpy(copy, input.data(), input.size());
    LLVMFuzzerTestOneInput(copy, input.size());
    std::free(copy);
}

Bytes mutate(const std::vector<Bytes>& pool, std::mt19937_64& rng) {
    Bytes b = pool[rng() % pool.size()];
    static const uint8_t special[] = {0, 0xff, 0x7f, 0x80, '\r', '\n', ' ', '\t', ':', ';', '=', '?',
                                      '"', '<', '>', '(', ')', ',', '.', '/', '@', '-', '+', '%'};
    int rounds = 1 + static_cast<int>(rng() % 8);
    for (int r = 0; r < rounds; ++r) {
        size_t pos = b.empty() ? 0 : rng() % (b.size() + 1);
        switch (rng() % 8) {
        case 0:
            if (!b.empty() && pos < b.size()) b[pos] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
        case 1:
            b.insert(b.begin() + static_cast<long>(pos), special[rng() % sizeof special]);
            break;
        case 2:
            if (pos < b.size()) b.erase(b.begin() + static_cast<long>(pos), b.begin() + static_cast<long>(std::min(b.size(), pos + 1 + rng() % 16)));
            break;
        case 3:
            if (pos < b.size()) b[pos] = static_cast<uint8_t>(rng());
            break;
        case 4: {  // splice in a piece of another input
            const Bytes& o = pool[rng() % pool.size()];
            if (o.empty()) break;
            size_t from = rng() % o.size(), len = 1 + rng() % std::min<size_t>(o.size() - from, 64);
            b.insert(b.begin() + static_cast<long>(pos), o.begin() + static_cast<long>(from), o.begin() + static_cast<long>(from + len));
            break;
        }
        case 5: {  // repeat a run to make long lines and deep nesting
            if (b.empty() || pos >= b.size()) break;
            size_t len = 1 + rng() % std::min<size_t>(b.size() - pos, 16);
            Bytes run(b.begin() + static_cast<long>(pos), b.begin() + static_cast<long>(pos + len));
            size_t times = 1 + rng() % 64;
            for (size_t i = 0; i < times && b.size() < (1u << 20); ++i) b.insert(b.begin() + static_cast<long>(pos), run.begin(), run.end());
            break;
        }
        case 6:
            b.resize(pos);  // truncate
            break;
        default:
            if (pos < b.size()) b[pos] = special[rng() % sizeof special];
            break;
        }
    }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 3;
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::vector<Bytes> pool;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (std::filesystem::is_directory(argv[i])) {
            for (const auto& e : std::filesystem::directory_iterator(argv[i])) {
                std::ifstream f(e.path(), std::ios::binary);
                pool.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
            }
        }
    }
    if (pool.empty()) pool.emplace_back();
    for (const Bytes& b : pool) run(b);
    std::printf("fuzz: seed %llu, %zu corpus inputs\n", static_cast<unsigned long long>(seed), pool.size());
    std::mt19937_64 rng(seed);
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    unsigned long long runs = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int i = 0; i < 64; ++i, ++runs) run(mutate(pool, rng));
    }
    std::printf("fuzz: %llu runs, no fault\n", runs);
    return 0;
}
