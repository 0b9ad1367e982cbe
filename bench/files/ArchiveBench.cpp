#include "tools/fixtures/MemoryFile.h"
#include "kernel/base/Archive.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace {

constexpr size_t kArchiveBytes = 10 * 1024 * 1024;

void PutBytes(std::vector<uint8_t>* out, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

// A record count, then records of an int, a float, a vector and a name of 6
// to 29 characters, as actor fields are stored, up to 10 MB.
FixedMemoryFileSystem& MixedFile() {
    static FixedMemoryFileSystem file;
    if (file.bytes.empty()) {
        file.bytes.reserve(kArchiveBytes + 64);
        file.bytes.resize(4);
        uint32_t records = 0;
        for (uint32_t i = 0; file.bytes.size() < kArchiveBytes; ++i, ++records) {
            const int32_t id = static_cast<int32_t>(i);
            const float scale = static_cast<float>(i) * 0.5f;
            const float position[3] = {1.0f, 2.0f, static_cast<float>(i)};
            const std::string name = "Actor_" + std::string(i % 24, 'x');
            const uint32_t length = static_cast<uint32_t>(name.size());
            PutBytes(&file.bytes, &id, 4);
            PutBytes(&file.bytes, &scale, 4);
            PutBytes(&file.bytes, position, 12);
            PutBytes(&file.bytes, &length, 4);
            PutBytes(&file.bytes, name.data(), length);
        }
        std::memcpy(file.bytes.data(), &records, 4);
    }
    return file;
}

void BM_ArchiveReadMixed(benchmark::State& state) {
    FixedMemoryFileSystem& file = MixedFile();
    g_CurrentFileSystem = &file;
    std::string name;
    for (auto _ : state) {
        CQVArchive ar;
        ar.Open("mixed.bin", "rb");
        int64_t sum = 0;
        uint32_t records = 0;
        ar.SerializeCount(&records, 24);
        for (uint32_t i = 0; i < records; ++i) {
            const int32_t id = ar.SerializeInt(0);
            float scale = 0.0f;
            float position[3];
            ar.SerializeDword(&scale);
            ar.SerializeDwords(position, 3);
            ar.SerializeString(name);
            sum += id + static_cast<int64_t>(scale) + static_cast<int64_t>(position[2]) + name.size();
        }
        benchmark::DoNotOptimize(sum);
    }
    g_CurrentFileSystem = nullptr;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.bytes.size()));
}
BENCHMARK(BM_ArchiveReadMixed)->Unit(benchmark::kMillisecond);

// The yardstick: the same bytes copied in one piece.
void BM_MemcpySameBytes(benchmark::State& state) {
    FixedMemoryFileSystem& file = MixedFile();
    std::vector<uint8_t> target(file.bytes.size());
    for (auto _ : state) {
        std::memcpy(target.data(), file.bytes.data(), file.bytes.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.bytes.size()));
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond);

// For comparison: the same fields taken inline from the bytes, without
// checks or a stream.
void BM_InlineParseSameBytes(benchmark::State& state) {
    FixedMemoryFileSystem& file = MixedFile();
    std::string name;
    for (auto _ : state) {
        const uint8_t* p = file.bytes.data() + 4;
        const uint8_t* end = file.bytes.data() + file.bytes.size();
        int64_t sum = 0;
        while (p < end) {
            int32_t id;
            float scale;
            float position[3];
            uint32_t length;
            std::memcpy(&id, p, 4);
            std::memcpy(&scale, p + 4, 4);
            std::memcpy(position, p + 8, 12);
            std::memcpy(&length, p + 20, 4);
            p += 24;
            name.assign(reinterpret_cast<const char*>(p), length);
            p += length;
            sum += id + static_cast<int64_t>(scale) + static_cast<int64_t>(position[2]) + name.size();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.bytes.size()));
}
BENCHMARK(BM_InlineParseSameBytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
