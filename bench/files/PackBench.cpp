#include "tools/fixtures/MemoryFile.h"
#include "kernel/base/PackFileSystem.h"
#include "tools/fixtures/PackWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kEntries = 10000;

std::string EntryName(int i, bool engineCase) {
    char name[64];
    std::snprintf(name, sizeof name, engineCase ? "Data\\Levels\\Mission_%05d.QVA" : "data\\levels\\mission_%05d.qva", i);
    return name;
}

// A name among 10,000 entries, asked for as the engine writes it (mixed case).
void BM_PackLookup(benchmark::State& state) {
    static FixedMemoryFileSystem file;
    std::vector<PackWriterEntry> entries;
    for (int i = 0; i < kEntries; ++i) entries.push_back({EntryName(i, false), "x"});
    file.bytes = PackWriter_Build(entries);
    CQVPackFileSystem* pack = CQVPackFileSystem::Open("pack.csa", &file);
    if (pack == nullptr) {
        state.SkipWithError("pack did not open");
        return;
    }
    std::vector<std::string> asked;
    for (int i = 0; i < kEntries; ++i) asked.push_back(EntryName((i * 7919) % kEntries, true));
    size_t next = 0;
    for (auto _ : state) {
        PackEntry* entry = pack->FindEntry(CQVFilePath(asked[next]));
        benchmark::DoNotOptimize(entry);
        if (++next == asked.size()) next = 0;
    }
    delete pack;
}
BENCHMARK(BM_PackLookup);

}  // namespace
