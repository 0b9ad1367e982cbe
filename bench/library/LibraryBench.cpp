// The resource library at the size of a whole game: reading 5,000 items of
// every kind (no item files loaded) through the engine, against walking the
// same fields with the archive alone; and finding an item by name among them.

#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "tools/content/LibraryFile.h"
#include "tools/fixtures/MemoryFile.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kItems = 5000;

std::string ItemName(uint32_t id) { return "Item_" + std::to_string(id) + (id % 3 == 0 ? "_Wall" : "_Prop"); }

// Seven kinds in turn, each with the fields a real item of its kind carries.
LibraryFile& BigLibrary() {
    static LibraryFile* file = nullptr;
    if (file != nullptr) return *file;
    file = new LibraryFile();
    file->items.groups = {{"Level 1", "Level 2"}, {"Sounds"}};
    for (uint32_t id = 0; id < kItems; ++id) {
        const std::string name = ItemName(id);
        switch (id % 7) {
        case 0: file->AddTexture(id, name, name + ".tga", 256, 256)->mipLevels = 4; break;
        case 1: file->AddMesh(id, name, name + ".qvm")->subsetInfos.resize(2); break;
        case 2: file->AddSound(id, name, name + ".wav")->group = id % 32; break;
        case 3: file->AddMaterial(id, name, {id - 3, id - 3}); break;
        case 4: file->AddLight(id, name); break;
        case 5: file->AddMotion(id, name, name + ".mot"); break;
        case 6: file->AddFont(id, name, "Lucida Console", 10); break;
        }
    }
    return *file;
}

FixedMemoryFileSystem& LibraryBytes() {
    static FixedMemoryFileSystem bytes;
    if (bytes.bytes.empty()) bytes.bytes = BigLibrary().Bytes();
    return bytes;
}

void BM_SerializeLibrary5000(benchmark::State& state) {
    CQVEngine::Create();
    CQVEngine* engine = CQVEngine::GetInstance();
    g_CurrentFileSystem = &LibraryBytes();
    for (auto _ : state) {
        state.PauseTiming();
        Library_Reset();
        state.ResumeTiming();
        if (engine->SerializeLibrary(SERIALIZE_READ) != 1) return state.SkipWithError(engine->GetErrorText());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(LibraryBytes().bytes.size()));
    Library_Reset();
    g_CurrentFileSystem = nullptr;
}
BENCHMARK(BM_SerializeLibrary5000)->Unit(benchmark::kMillisecond);

// The same bytes through the archive alone: every word and string of the
// file read into one place, no items made.
void BM_ArchiveFieldsOfLibrary5000(benchmark::State& state) {
    g_CurrentFileSystem = &LibraryBytes();
    std::string text;
    uint32_t words[32];
    for (auto _ : state) {
        CQVArchive ar;
        ar.Open(LIBRARY_FILE_NAME, "rb");
        ar.SerializeDwords(words, 6);  // version, world scale, four words
        uint32_t groups = 0;
        ar.SerializeCount(&groups, 4);
        for (uint32_t g = 0; g < groups; ++g) {
            uint32_t count = 0;
            ar.SerializeCount(&count, 4);
            for (uint32_t s = 0; s < count; ++s) ar.SerializeString(text);
        }
        uint32_t items = 0;
        ar.SerializeDword(&items);
        for (uint32_t i = 0; i < items; ++i) {
            ar.SerializeDwords(words, 3);  // kind, id, third word
            const uint32_t kind = words[0];
            for (int s = 0; s < 3; ++s) ar.SerializeString(text);
            ar.SerializeDwords(words, 2);
            uint32_t count = 0;
            switch (kind) {
            case LIBRARY_TEXTURE: ar.SerializeDwords(words, 6); break;
            case LIBRARY_MESH:
                ar.SerializeCount(&count, 16 * 4);
                for (uint32_t r = 0; r < count; ++r) ar.SerializeDwords(words, 16);
                ar.SerializeDwords(words, 3);
                break;
            case LIBRARY_SOUND: ar.SerializeDwords(words, 3); break;
            case LIBRARY_MATERIAL:
                ar.SerializeDwords(words, 17 + 3);
                ar.SerializeCount(&count, 4);
                for (uint32_t t = 0; t < count; ++t) ar.SerializeDword(&words[0]);
                ar.SerializeDwords(words, 10);
                break;
            case LIBRARY_MOTION: ar.SerializeCount(&count, 24); break;
            case LIBRARY_FONT:
                ar.SerializeString(text);
                ar.SerializeString(text);
                ar.SerializeDwords(words, 5);
                break;
            default: break;
            }
        }
        benchmark::DoNotOptimize(words[0]);
        if (ar.HasFailed() || ar.GetRemaining() != 0) return state.SkipWithError("walk did not match the file");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(LibraryBytes().bytes.size()));
    g_CurrentFileSystem = nullptr;
}
BENCHMARK(BM_ArchiveFieldsOfLibrary5000)->Unit(benchmark::kMillisecond);

// A name among 5,000, in another case than stored, as actors ask for items.
void BM_FindItemByName5000(benchmark::State& state) {
    CQVEngine::Create();
    CQVEngine* engine = CQVEngine::GetInstance();
    g_CurrentFileSystem = &LibraryBytes();
    Library_Reset();
    if (engine->SerializeLibrary(SERIALIZE_READ) != 1) return state.SkipWithError(engine->GetErrorText());
    std::vector<std::string> names;
    for (uint32_t id = 0; id < kItems; id += 37) {
        std::string name = ItemName(id);
        for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        names.push_back(name);
    }
    size_t next = 0;
    for (auto _ : state) {
        CQVLibraryItem* item = engine->FindItem(names[next].c_str(), -1);
        benchmark::DoNotOptimize(item);
        if (++next == names.size()) next = 0;
    }
    Library_Reset();
    g_CurrentFileSystem = nullptr;
}
BENCHMARK(BM_FindItemByName5000);

}  // namespace

BENCHMARK_MAIN();
