// Writes the capture and save fuzzer's seed files: runs of the messages as
// level scripts send them, each a byte choosing the message, two bytes of
// block length, then the block. Usage: qv_make_capture_seeds <folder>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Selectors of the fuzzer's messages, in its order.
enum : uint8_t { CAPTURE, CAPTURE_SAVE, SAVE_GAME, LOAD_GAME, NEW_GAME, NEW_GAME_2 };

void Add(std::vector<uint8_t>& run, uint8_t message, const std::vector<uint8_t>& block) {
    run.push_back(message);
    run.push_back(static_cast<uint8_t>(block.size()));
    run.push_back(static_cast<uint8_t>(block.size() >> 8));
    run.insert(run.end(), block.begin(), block.end());
}

std::vector<uint8_t> Text(const std::string& text, size_t size = 0) {
    std::vector<uint8_t> block(text.begin(), text.end());
    block.resize(std::max(size, block.size() + 1), 0);
    return block;
}

std::vector<uint8_t> Size(float width, float height) {
    std::vector<uint8_t> block(8);
    std::memcpy(block.data(), &width, 4);
    std::memcpy(block.data() + 4, &height, 4);
    return block;
}

// Two names in blocks of 128 bytes each, as "New Game" takes them, and
// the words that "New Game 2" takes after them.
std::vector<uint8_t> TwoNames(const std::string& first, const std::string& second, size_t words = 0) {
    std::vector<uint8_t> block = Text(first, 128);
    const std::vector<uint8_t> more = Text(second, 128);
    block.insert(block.end(), more.begin(), more.end());
    block.resize(block.size() + 4 * words, 0);
    return block;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_make_capture_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds(5);
    seeds[0].first = "capture_and_save";
    Add(seeds[0].second, CAPTURE, Size(16, 12));
    Add(seeds[0].second, CAPTURE_SAVE, Text("shot.tga"));
    seeds[1].first = "save_and_load";
    Add(seeds[1].second, SAVE_GAME, Text("slot.sav"));
    Add(seeds[1].second, LOAD_GAME, Text("slot.sav"));
    seeds[2].first = "new_game";
    Add(seeds[2].second, NEW_GAME, TwoNames("Data\\Level.qva", "Data\\Level.qva"));
    seeds[3].first = "outside";
    Add(seeds[3].second, CAPTURE, Size(23000, 23000));
    Add(seeds[3].second, CAPTURE_SAVE, Text("..\\escaped.tga"));
    Add(seeds[3].second, SAVE_GAME, Text("../victim.txt"));
    seeds[4].first = "new_game_2";
    Add(seeds[4].second, NEW_GAME_2, TwoNames("Data\\Level.qva", "Data/Level.qva", 2));
    bool ok = true;
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ok = static_cast<bool>(out) && ok;
    }
    if (!ok) std::fprintf(stderr, "qv_make_capture_seeds: a seed could not be written\n");
    return ok ? 0 : 1;
}
