// Game folders made to hurt the game, run through the `game` program
// headless: level scripts whose saves, loads and captures aim outside the
// folder or ask for gigabytes, and library items whose files announce far
// more than they hold. Whatever the folder holds, the game gets past it,
// answers a termination signal within five seconds, ends with a status
// below 128, stays under 400 MB, and writes nothing outside its folder and
// no file over 100 MB.

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ResetGlobals.h"
#include "tests/support/TestFolder.h"
#include "tools/content/HostileFiles.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MovieWriter.h"
#include "tools/fixtures/EmptyActorFile.h"
#include "tools/fixtures/KernelActorClasses.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMostMemoryKb = 400 * 1024;
constexpr uintmax_t kMostFileBytes = 100u << 20;
// The game must get past the hostile step in this time (start-up included,
// on a busy machine with a sanitizer build), and then answer a termination
// signal in the next five seconds.
constexpr int kPastTheStepMs = 30000;
constexpr int kAnswerMs = 5000;
// Written by the start scene a second after the hostile step: the game ran
// on (a level change it asked for would have replaced the scene first).
constexpr const char* kDoneFile = "done.sav";

struct GameRun {
    int status = -1;          // as WaitChildExit gives it; -1 while running
    bool pastTheStep = false;
    bool answered = false;    // ended within kAnswerMs of the signal
    uint64_t peakKb = 0;      // the most resident memory it held, as far as it was seen
};

// The child's peak resident memory so far, from its own record: the peak
// that waiting reports would include what this process held when the child
// started, which a spawn shares until the program runs.
uint64_t PeakKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

// Waits for the child's end, up to timeoutMs, following its peak memory.
bool WaitAndWatch(pid_t pid, int timeoutMs, GameRun* run) {
    for (int waited = 0;; waited += 10) {
        run->peakKb = std::max(run->peakKb, PeakKb(pid));
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            run->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        if (waited >= timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

struct BoundScript {
    uint32_t message;
    std::string source;
};

// An actor file of one actor with these scripts.
bool WriteActorFile(const fs::path& path, const std::vector<BoundScript>& scripts) {
    ResetGlobals();
    if (KernelActorClasses_Start() != 1) return false;
    CQVActor* scenery = g_ActorSystem->GetActorById(ACTOR_ID_SCENERY);
    CQVActor* actor = g_ActorSystem->CreateActor(CLASS_BASE, "Starter", nullptr, scenery, 3000, 1, 0);
    if (actor == nullptr) return false;
    for (const BoundScript& script : scripts) {
        CQVScript record;
        record.name = "Script " + std::to_string(script.message);
        record.boundMessage = script.message;
        record.source = script.source;
        actor->m_Scripts.push_back(record);
    }
    const bool saved = g_ActorSystem->SaveActors(path.c_str(), 3000, 7000, 0) == 1;
    ResetGlobals();
    return saved;
}

// One library texture item, "Picture", of the file's name asked at 64 x 64.
bool WriteTextureItem(const fs::path& game, const std::string& fileName, const std::vector<uint8_t>& bytes,
                      uint32_t width = 64, uint32_t height = 64) {
    LibraryFile library;
    if (library.AddTexture(1, "Picture", fileName, width, height) == nullptr) return false;
    return !bytes.empty() && ImageWriter_Save((game / "Data" / fileName).string(), bytes) &&
           library.Write((game / "DARarezev.edo").string());
}

struct HostileCase {
    const char* name;
    // Runs when the game starts; the start scene then writes kDoneFile.
    const char* script;
    // Puts the files the script needs into the game folder (null: none).
    bool (*files)(const fs::path& game);
};

const HostileCase kCases[] = {
    {"save_game_outside", "sys.save_game(\"..\\victim.txt\");\nsys.save_game(\"../escaped.sav\");", nullptr},
    {"load_game_outside", "sys.load_game(\"..\\outside.qva\");", nullptr},
    {"new_game_outside", "sys.new_game(\"..\\outside.qva\", \"../outside.qva\");", nullptr},
    {"capture_save_outside",
     "sys.capture_backbuffer((64, 48));\nsys.capture_save(\"..\\victim.txt\");\nsys.capture_save(\"../escaped.tga\");",
     nullptr},
    {"capture_beyond_the_back_buffer",
     "sys.capture_backbuffer((23000, 23000));\nsys.capture_backbuffer((10000, 10000));\nsys.capture_save(\"big.tga\");",
     nullptr},
    {"texture_asked_far_beyond_its_picture", "sys.load_resource(\"Picture\");",
     [](const fs::path& game) {
         const std::vector<uint32_t> pixels(64 * 64, 0xFF336699u);
         return WriteTextureItem(game, "small.tga", ImageWriter_Tga(pixels.data(), 64, 64, {}), 16384, 16384);
     }},
    {"rle_bmp_of_8192", "sys.load_resource(\"Picture\");",
     [](const fs::path& game) { return WriteTextureItem(game, "huge.bmp", HostileFile_RleBmp(8192, 8192)); }},
    {"blank_png_of_8192", "sys.load_resource(\"Picture\");",
     [](const fs::path& game) { return WriteTextureItem(game, "huge.png", HostileFile_BlankPng(8192, 8192)); }},
    {"short_jpeg_of_8192", "sys.load_resource(\"Picture\");",
     [](const fs::path& game) { return WriteTextureItem(game, "huge.jpg", HostileFile_ShortJpeg(8192, 8192)); }},
    {"rle_tga_of_8192", "sys.load_resource(\"Picture\");",
     [](const fs::path& game) { return WriteTextureItem(game, "huge.tga", HostileFile_RleTga(8192, 8192)); }},
    {"movie_of_4000", "sys.load_resource(\"Picture\");\nsys.play_texture_movie(\"Picture\");",
     [](const fs::path& game) {
         MovieClip clip;
         clip.settings.width = clip.settings.height = 4000;
         clip.settings.bFrames = 0;
         clip.settings.withAudio = false;
         clip.frameColours = {0xFF204080u, 0xFF408020u, 0xFF802040u};
         std::string error;
         LibraryFile library;
         return MovieWriter_WriteClip((game / "Data" / "film.mpg").string(), clip, &error) &&
                library.AddTexture(1, "Picture", "film.mpg", 64, 64) != nullptr &&
                library.Write((game / "DARarezev.edo").string());
     }},
};

class HostileGame : public testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override {
        sandbox = TestFolder_Path("qv_hostile_");
        game = sandbox / "game";
        fs::remove_all(sandbox);
        ASSERT_TRUE(EmptyActorFile_WriteStartContent(game));
        ASSERT_TRUE(WriteText(game / "init.txt", ".\nStart.qva\n\nHostile\n"));
        ASSERT_TRUE(WriteText(sandbox / "victim.txt", "keep"));
        // A level outside the folder: a load asks every actor to preload,
        // and this one then saves "escaped.sav".
        ASSERT_TRUE(WriteActorFile(sandbox / "outside.qva", {{MSG_INIT_PRELOAD, "sys.save_game(\"escaped.sav\");"}}));
    }
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        fs::remove_all(sandbox);
    }

    // Starts the game; once it has written the marker file (or
    // kPastTheStepMs passed) sends it a termination signal.
    GameRun Run(const char* marker = kDoneFile) {
        GameRun run;
        // A sanitizer build keeps freed memory aside to catch late uses (256 MB
        // of it by default): the game's own peak is measured without it.
        std::vector<std::string> variables;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::string(*e).rfind("ASAN_OPTIONS=", 0) != 0) variables.emplace_back(*e);
        }
        const char* asan = std::getenv("ASAN_OPTIONS");
        variables.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? std::string(asan) + ":" : "") +
                            "quarantine_size_mb=0:thread_local_quarantine_size_kb=0");
        std::vector<char*> env;
        for (std::string& variable : variables) env.push_back(variable.data());
        env.push_back(nullptr);
        pid = StartProgram("game", {"-win=1", "-w=320", "-h=240"}, game, game / "stderr.txt", env.data());
        if (pid <= 0) return run;
        for (int waited = 0; waited < kPastTheStepMs && !run.pastTheStep; waited += 20) {
            if (WaitAndWatch(pid, 20, &run)) break;
            run.pastTheStep = fs::exists(game / marker);
        }
        if (run.status == -1) {
            ::kill(pid, SIGTERM);
            run.answered = WaitAndWatch(pid, kAnswerMs, &run);
        }
        if (run.status != -1) pid = -1;
        return run;
    }

    // Files beside the game folder that the run made, and files anywhere
    // in the sandbox over the size limit.
    void ExpectNothingWrittenOutside() {
        std::vector<std::string> outside;
        for (const auto& entry : fs::directory_iterator(sandbox)) {
            const std::string name = entry.path().filename().string();
            if (name != "game" && name != "victim.txt" && name != "outside.qva") outside.push_back(name);
        }
        EXPECT_TRUE(outside.empty()) << "written outside the game folder: " << testing::PrintToString(outside);
        EXPECT_EQ(ReadText(sandbox / "victim.txt"), "keep");
        for (const auto& entry : fs::recursive_directory_iterator(sandbox)) {
            if (entry.is_regular_file()) {
                EXPECT_LE(entry.file_size(), kMostFileBytes) << entry.path();
            }
        }
    }

    fs::path sandbox, game;
    pid_t pid = -1;
};

TEST_P(HostileGame, IsStoodAndAnswers) {
    const HostileCase& c = GetParam();
    if (c.files != nullptr) {
        ASSERT_TRUE(c.files(game));
    }
    ASSERT_TRUE(WriteActorFile(game / "Data" / "Start.qva",
                               {{MSG_START_GAME, std::string(c.script) + "\nthis.timercommand(1.0, action_start());"},
                                {MSG_ACTION_START, std::string("sys.save_game(\"") + kDoneFile + "\");"}}));
    const GameRun run = Run();
    const std::string errors = ReadText(game / "stderr.txt");
    EXPECT_TRUE(run.pastTheStep) << "the game did not get past the step in " << kPastTheStepMs << " ms\n" << errors;
    EXPECT_TRUE(run.answered) << "no end within " << kAnswerMs << " ms of the termination signal";
    EXPECT_GE(run.status, 0);
    EXPECT_LT(run.status, 128) << errors;
    EXPECT_LT(run.peakKb, kMostMemoryKb) << "peak memory in KB";
    EXPECT_FALSE(fs::exists(game / "escaped.sav")) << "a file outside the game folder was loaded";
    ExpectNothingWrittenOutside();
    RecordProperty("peak_kb", std::to_string(run.peakKb));
}

// A level whose resources take long to load (twenty textures, each from a
// picture of 4096 x 4096): a termination signal that comes while they load
// is answered within five seconds, not once every one is loaded.
TEST_F(HostileGame, ASignalDuringALongLoadIsAnswered) {
    LibraryFile library;
    std::string loads = "sys.save_game(\"loading.sav\");";
    for (uint32_t id = 1; id <= 20; ++id) {
        const std::string name = "Picture" + std::to_string(id);
        ASSERT_NE(library.AddTexture(id, name, "large.bmp", 64, 64), nullptr);
        loads += "\nsys.load_resource(\"" + name + "\");";
    }
    ASSERT_TRUE(library.Write((game / "DARarezev.edo").string()));
    ASSERT_TRUE(ImageWriter_Save((game / "Data" / "large.bmp").string(), HostileFile_RleBmp(4096, 4096)));
    // The level asks for its textures when the load asks it to preload,
    // after it has written "loading.sav".
    ASSERT_TRUE(WriteActorFile(game / "Data" / "Level.qva", {{MSG_INIT_PRELOAD, loads}}));
    ASSERT_TRUE(WriteActorFile(game / "Data" / "Start.qva", {{MSG_START_GAME, "sys.load_game(\"Data\\Level.qva\");"}}));
    const GameRun run = Run("loading.sav");
    EXPECT_TRUE(run.pastTheStep) << ReadText(game / "stderr.txt");
    EXPECT_TRUE(run.answered) << "no end within " << kAnswerMs << " ms of the termination signal";
    EXPECT_EQ(run.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Folders, HostileGame, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

}  // namespace
