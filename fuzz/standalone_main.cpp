// Replays a fuzz target without libFuzzer, so every build runs it under CTest: each file
// named on the command line (directories are walked), then --runs inputs made by mutating
// those seeds or drawn at random, from a fixed --seed so a failure can be repeated.
//
//   fuzz_target [--runs N] [--seed S] [--max-len BYTES] PATH...

#include <cstddef>
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

void Run(const Bytes& input) {
    // A null pointer for an empty input, as libFuzzer may pass.
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
}

void LoadSeeds(const std::filesystem::path& path, std::vector<Bytes>& seeds) {
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (entry.is_regular_file()) {
                LoadSeeds(entry.path(), seeds);
            }
        }
        return;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
        std::exit(2);
    }
    seeds.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes Mutate(Bytes input, std::mt19937& random, size_t maxLength) {
    const int steps = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < steps; ++i) {
        switch (random() % 6) {
            case 0:  // flip one bit
                if (!input.empty()) {
                    input[random() % input.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
                }
                break;
            case 1:  // set a byte to an interesting value
                if (!input.empty()) {
                    static const uint8_t values[] = {0x00, 0x01, 0x7f, 0x80, 0xff, '\r', '\n'};
                    input[random() % input.size()] = values[random() % sizeof values];
                }
                break;
            case 2:  // cut the tail
                if (!input.empty()) {
                    input.resize(random() % input.size());
                }
                break;
            case 3:  // append random bytes
                for (size_t n = random() % 64; n > 0 && input.size() < maxLength; --n) {
                    input.push_back(static_cast<uint8_t>(random()));
                }
                break;
            case 4:  // overwrite four bytes with an extreme 32-bit value
                if (input.size() >= 4) {
                    static const uint32_t values[] = {0, 1, 0x7fffffff, 0x80000000, 0xffffffff};
                    const uint32_t value = values[random() % 5];
                    std::memcpy(&input[random() % (input.size() - 3)], &value, 4);
                }
                break;
            default:  // drop a range
                if (input.size() > 1) {
                    const size_t from = random() % input.size();
                    const size_t count = 1 + random() % (input.size() - from);
                    input.erase(input.begin() + static_cast<std::ptrdiff_t>(from),
                                input.begin() + static_cast<std::ptrdiff_t>(from + count));
                }
                break;
        }
    }
    if (input.size() > maxLength) {
        input.resize(maxLength);
    }
    return input;
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 2000;
    unsigned long seed = 1;
    size_t maxLength = 1 << 16;
    std::vector<Bytes> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--runs" || arg == "--seed" || arg == "--max-len") && i + 1 < argc) {
            const unsigned long value = std::strtoul(argv[++i], nullptr, 10);
            if (arg == "--runs") {
                runs = static_cast<long>(value);
            } else if (arg == "--seed") {
                seed = value;
            } else {
                maxLength = value;
            }
        } else {
            LoadSeeds(arg, seeds);
        }
    }

    for (const Bytes& input : seeds) {
        Run(input);
    }
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    for (long i = 0; i < runs; ++i) {
        if (!seeds.empty() && random() % 4 != 0) {
            Run(Mutate(seeds[random() % seeds.size()], random, maxLength));
        } else {
            Bytes input(random() % 2048);
            for (uint8_t& byte : input) {
                byte = static_cast<uint8_t>(random());
            }
            Run(input);
        }
    }
    std::printf("%zu seeds and %ld generated inputs passed\n", seeds.size(), runs);
    return 0;
}
