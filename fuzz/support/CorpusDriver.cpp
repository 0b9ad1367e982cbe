// Stands in for libFuzzer where the compiler has none (the gcc sanitizer
// build of `make test`): feeds every file of the given folders to the target,
// then, for the given number of seconds, mutated copies of them, so a target
// that no longer builds or fails on its own seeds stops the suite.
//
//   fuzz_target [-seconds=N] folder-or-file...

#include <algorithm>
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
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

using Input = std::vector<uint8_t>;

bool ReadFile(const std::filesystem::path& path, Input& out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

void Run(const Input& input) {
    // A copy of exactly the input's size, so a read past it is caught.
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(input.empty() ? 1 : input.size()));
    if (!input.empty()) std::memcpy(copy, input.data(), input.size());
    LLVMFuzzerTestOneInput(copy, input.size());
    std::free(copy);
}

// A few of libFuzzer's own mutations: flip, set, insert, erase, cut and splice.
Input Mutate(const std::vector<Input>& seeds, std::mt19937& random) {
    Input out = seeds[random() % seeds.size()];
    const int steps = 1 + static_cast<int>(random() % 4);
    for (int step = 0; step < steps; ++step) {
        const size_t at = out.empty() ? 0 : random() % out.size();
        switch (random() % 6) {
        case 0:
            if (!out.empty()) out[at] ^= static_cast<uint8_t>(1u << (random() % 8));
            break;
        case 1: {
            static const uint8_t kValues[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
            if (!out.empty()) out[at] = kValues[random() % sizeof(kValues)];
            break;
        }
        case 2:
            out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(random()));
            break;
        case 3:
            if (!out.empty()) out.erase(out.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        case 4:
            out.resize(at);
            break;
        default: {
            const Input& other = seeds[random() % seeds.size()];
            if (other.empty()) break;
            const size_t from = random() % other.size();
            const size_t count = 1 + random() % (other.size() - from);
            out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), other.begin() + static_cast<std::ptrdiff_t>(from),
                       other.begin() + static_cast<std::ptrdiff_t>(from + count));
            break;
        }
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    double seconds = 0;
    std::vector<Input> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("-seconds=", 0) == 0) {
            seconds = std::atof(arg.c_str() + 9);
            continue;
        }
        std::vector<std::filesystem::path> files;
        std::error_code error;
        if (std::filesystem::is_directory(arg, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(arg);
        }
        for (const auto& path : files) {
            Input input;
            if (!ReadFile(path, input)) {
                std::fprintf(stderr, "cannot read %s\n", path.c_str());
                return 1;
            }
            Run(input);
            seeds.push_back(std::move(input));
        }
    }
    std::printf("%zu seed inputs passed\n", seeds.size());
    if (seeds.empty()) seeds.emplace_back();
    // A fixed seed: a failure found here comes back on the next run.
    std::mt19937 random(12345);
    size_t runs = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        Run(Mutate(seeds, random));
        ++runs;
    }
    std::printf("%zu mutated inputs passed\n", runs);
    return 0;
}
