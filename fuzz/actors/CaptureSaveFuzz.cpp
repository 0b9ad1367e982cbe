// Any bytes as a level script's run of the actor system's capture, save and
// load messages ("Capture BackBuffer", "Capture Save", "Save Game", "Load
// Game", "New Game", "New Game 2"), on the game's own device and services,
// with every load asked for carried out as the next frame would: whatever
// the names and sizes, nothing is written outside the game folder, no file
// there grows past what a capture of the back buffer or a save of the
// world takes, and the capture never outgrows the back buffer.

#include "apps/game/ActorClasses.h"
#include "apps/game/ActorSystemServices.h"
#include "fuzz/files/FuzzCheck.h"
#include "fuzz/files/FuzzDevice.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/script/Script.h"
#include "services/engine/Engine.h"
#include "services/storage/ScreenCapture.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kMostFileBytes = 4u << 20;
constexpr uint32_t kMessages[] = {MSG_CAPTURE_BACKBUFFER, MSG_CAPTURE_SAVE, MSG_SAVE_GAME,
                                  MSG_LOAD_GAME,          MSG_NEW_GAME,     MSG_NEW_GAME_2};

// The run's own folder, and the game folder in it: the only entry it may hold.
fs::path g_Sandbox, g_Game;

void Start() {
    char pattern[] = "/tmp/qv_capture_fuzz_XXXXXX";
    Check(mkdtemp(pattern) != nullptr);
    g_Sandbox = pattern;
    g_Game = g_Sandbox / "game";
    fs::create_directories(g_Game / "Data");
    Fuzz_StartDevice();
    CQVEngine::GetInstance()->SetBaseFolder(g_Game.string());
    ActorClasses_Install();
    Script_Init();
    Check(RegisterActorClasses() == 1);
    ActorSystemServices_Install();
    g_ActorSystem->m_BaseDirectory = g_Game.string();
    // A level for the loads to find: what the world holds now.
    Check(g_ActorSystem->SaveActors((g_Game.string() + "\\Data\\Level.qva").c_str(), 10, 7000, 0) == 1);
}

void CheckTheFolders() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(g_Sandbox)) Check(entry.path() == g_Game);
    for (const auto& entry : fs::recursive_directory_iterator(g_Game, error)) {
        if (entry.is_regular_file(error)) Check(entry.file_size(error) <= kMostFileBytes);
    }
    if (const ImageBuffer* capture = Screen_GetCapture()) {
        Check(capture->GetWidth() <= kFuzzDeviceSide && capture->GetHeight() <= kFuzzDeviceSide);
    }
}

// What the input saved goes again, so that the folder does not grow.
void ClearTheGameFolder() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(g_Game, error)) {
        if (entry.path().filename() != "Data") fs::remove_all(entry.path(), error);
    }
    for (const auto& entry : fs::directory_iterator(g_Game / "Data", error)) {
        if (entry.path().filename() != "Level.qva") fs::remove_all(entry.path(), error);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Start();
    return 0;
}

// Input: messages one after another, each a byte choosing the message, two
// bytes giving its block's length (little-endian), then the block.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t at = 0;
    for (int count = 0; count < 8 && at + 3 <= size; ++count) {
        const uint32_t id = kMessages[data[at] % std::size(kMessages)];
        const size_t length = std::min<size_t>(data[at + 1] | data[at + 2] << 8, size - at - 3);
        std::vector<uint8_t> block(data + at + 3, data + at + 3 + length);
        at += 3 + length;
        if (!MessageArgs_AcceptsData(id, block.data(), block.size(), ArgSource::Raw)) continue;
        g_ActorSystem->HandleMessage(id, MessageArgs(block.data(), block.size()));
        // A load asked for happens in the next frame's first step.
        g_ActorSystem->Process();
        CheckTheFolders();
    }
    ClearTheGameFolder();
    return 0;
}
