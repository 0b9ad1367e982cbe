#include "tests/support/Scenario.h"

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "platform/image/Image.h"
#include "platform/image/ImageEncode.h"
#include "services/engine/Engine.h"
#include "services/mesh/KeyTrack.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ResetGlobals.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <fstream>
#include <iterator>


namespace fs = std::filesystem;

namespace {

constexpr const char* kCaptureName = "capture.tga";
constexpr uint32_t kFirstSceneId = 3000;
constexpr uint32_t kSceneIdEnd = 7000;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool LoadImage(const fs::path& path, CapturedImage* image, std::string* error) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    if (bytes.empty()) {
        *error = "cannot read " + path.string();
        return false;
    }
    ImageData data;
    if (!Image_Decode(bytes.data(), bytes.size(), &data, error)) return false;
    image->width = data.levels[0].width;
    image->height = data.levels[0].height;
    image->pixels = Image_LevelPixels(data, 0);
    return true;
}

bool SavePng(const fs::path& path, const CapturedImage& image) {
    std::vector<uint8_t> file;
    if (!Image_EncodePng(image.pixels.data(), image.width, image.height, PNG_LAYOUT_RGB, &file)) return false;
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

int Channel(uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }

int LargestChannelDifference(uint32_t a, uint32_t b) {
    int largest = 0;
    for (int shift : {0, 8, 16}) largest = std::max(largest, std::abs(Channel(a, shift) - Channel(b, shift)));
    return largest;
}

// Reference, capture and their difference (scaled up four times) in one row.
CapturedImage SideBySide(const CapturedImage& reference, const CapturedImage& captured) {
    CapturedImage row;
    const uint32_t width = std::max(reference.width, captured.width);
    const uint32_t height = std::max(reference.height, captured.height);
    row.width = width * 3;
    row.height = height;
    row.pixels.assign(size_t{row.width} * height, 0xFF000000u);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool inReference = x < reference.width && y < reference.height;
            const bool inCapture = x < captured.width && y < captured.height;
            const size_t at = size_t{y} * row.width + x;
            if (inReference) row.pixels[at] = reference.At(x, y);
            if (inCapture) row.pixels[at + width] = captured.At(x, y);
            if (inReference && inCapture) {
                uint32_t diff = 0xFF000000u;
                for (int shift : {0, 8, 16}) {
                    const int d = std::min(255, 4 * std::abs(Channel(reference.At(x, y), shift) -
                                                             Channel(captured.At(x, y), shift)));
                    diff |= static_cast<uint32_t>(d) << shift;
                }
                row.pixels[at + 2 * width] = diff;
            }
        }
    }
    return row;
}

std::string TestName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    if (info == nullptr) return "scenario";
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

// The highest id in use at or below `actor`.
uint32_t HighestId(const CQVActor* actor) {
    uint32_t highest = actor->m_Id;
    for (const CQVActor* child : actor->m_Children) {
        if (child != nullptr) highest = std::max(highest, HighestId(child));
    }
    return highest;
}

CQVActor* FindByName(CQVActor* actor, const char* name) {
    if (actor == nullptr) return nullptr;
    if (actor->m_Name == name) return actor;
    for (CQVActor* child : actor->m_Children) {
        if (CQVActor* found = FindByName(child, name)) return found;
    }
    return nullptr;
}

}  // namespace

double CapturedImage::ChannelMean(int shift, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const {
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    if (x0 >= x1 || y0 >= y1) return 0.0;
    double sum = 0.0;
    for (uint32_t y = y0; y < y1; ++y) {
        for (uint32_t x = x0; x < x1; ++x) sum += Channel(At(x, y), shift);
    }
    return sum / (static_cast<double>(x1 - x0) * static_cast<double>(y1 - y0));
}

double CapturedImage::Brightness(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const {
    return (ChannelMean(16, x0, y0, x1, y1) + ChannelMean(8, x0, y0, x1, y1) + ChannelMean(0, x0, y0, x1, y1)) / 3.0;
}

Scenario::Scenario(const std::string& name, int width, int height)
    : m_Name(name), m_Width(width), m_Height(height) {
    // What an earlier run of this test left in its output folder would pass
    // for this run's: the folder starts empty with the test's first scenario.
    static std::string s_ClearedFor;
    if (TestName() != s_ClearedFor) {
        s_ClearedFor = TestName();
        std::error_code ignoredOutput;
        fs::remove_all(fs::path(QV_SCENARIO_OUTPUT_DIR) / s_ClearedFor, ignoredOutput);
    }
    m_Folder = fs::temp_directory_path() / ("qv_scenario_" + std::to_string(::getpid()) + "_" + name);
    std::error_code ignored;
    fs::remove_all(m_Folder, ignored);
    EXPECT_TRUE(EmptyActorFile_WriteStartContent(m_Folder)) << m_Folder;
    std::ofstream init(m_Folder / "init.txt", std::ios::binary);
    // Base folder, start scene, globals file, window title.
    init << ".\nStart.qva\n\nScenario " << name << "\n";
}

Scenario::~Scenario() {
    if (m_SceneOpen) ResetGlobals();
    std::error_code ignored;
    fs::remove_all(m_Folder, ignored);
}

fs::path Scenario::LibraryPath() const { return m_Folder / "DARarezev.edo"; }

CQVActor* Scenario::BeginScene() {
    ResetGlobals();
    delete g_ActorSystem;
    ActorClasses_Install();
    if (RegisterActorClasses() != 1) return nullptr;
    m_SceneOpen = true;
    m_NextId = kFirstSceneId;
    return CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
}

CQVActor* Scenario::OpenScene(const std::string& fileName) {
    ResetGlobals();
    delete g_ActorSystem;
    m_SceneOpen = true;
    if (CQVEngine::Create() != 1) return nullptr;
    CQVEngine* engine = CQVEngine::GetInstance();
    engine->SetBaseFolder(m_Folder.string());
    if (!engine->SerializeLibrary(SERIALIZE_READ)) return nullptr;
    ActorClasses_Install();
    if (RegisterActorClasses() != 1) return nullptr;
    g_ActorSystem->m_BaseDirectory = m_Folder.string();
    if (!CQVActorSystem::SendMessage(ACTOR_ID_SCENERY, MSG_OPEN_FILE, Args_Of(fileName.c_str()))) return nullptr;
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    m_NextId = std::max(kFirstSceneId, HighestId(scenery) + 1);
    return scenery;
}

bool Scenario::SaveLibrary() {
    CQVEngine* engine = CQVEngine::GetInstance();
    return engine != nullptr && engine->SerializeLibrary(SERIALIZE_WRITE) != 0;
}

CQVActor* Scenario::FindActor(const char* name) {
    return FindByName(CQVActorSystem::GetActorById(ACTOR_ID_SCENERY), name);
}

namespace {

// An actor under "Scenery" whose script, run by `message`, captures the
// screen at the scenario's size, saves it and ends the game.
CQVActor* MakeCapturer(uint32_t id, int width, int height, uint32_t message) {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* capturer = g_ActorSystem->CreateActor(0, "Scenario Capture", nullptr, scenery, id, 1, 0);
    if (capturer == nullptr) return nullptr;
    CQVScript record;
    record.name = "Capture";
    record.boundMessage = message;
    record.source = "sys.capture_backbuffer((" + std::to_string(width) + ", " + std::to_string(height) +
                    "));\nsys.capture_save(\"" + kCaptureName + "\");\nsys.exit_engine();";
    capturer->m_Scripts.push_back(record);
    return capturer;
}

}  // namespace

void Scenario::CaptureAt(float seconds) {
    CQVActor* capturer = MakeCapturer(NextId(), m_Width, m_Height, MSG_ACTION_START);
    ASSERT_NE(capturer, nullptr);
    // Kept with the actor in its file: the game fires it `seconds` into the level.
    capturer->ScheduleMessage(MSG_ACTION_START, nullptr, TIMED_SAVED_FLAG | (TIMED_MODE_ONCE << 8), seconds, 0.0f,
                            0.0f);
}

CQVActor* Scenario::MakeCaptureActor(uint32_t message) { return MakeCapturer(NextId(), m_Width, m_Height, message); }

void Scenario::CaptureOnStart() { ASSERT_NE(MakeCapturer(NextId(), m_Width, m_Height, MSG_START_GAME), nullptr); }

bool Scenario::SaveScene(const std::string& fileName) {
    const std::string file = (DataFolder() / fileName).string();
    const bool saved = g_ActorSystem != nullptr && g_ActorSystem->SaveActors(file.c_str(), kFirstSceneId, kSceneIdEnd, 0) == 1;
    ResetGlobals();
    m_SceneOpen = false;
    return saved;
}

int Scenario::Run(double frameStep, int timeoutMs, std::vector<std::string> options) {
    char step[32];
    std::snprintf(step, sizeof step, "QV_FRAME_STEP=%.9g", frameStep);
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("QV_FRAME_STEP=", 0) != 0) env.push_back(*e);
    }
    env.push_back(step);
    env.push_back(nullptr);

    const fs::path errors = m_Folder / "stderr.txt";
    std::vector<std::string> arguments{"-win=1", "-w=" + std::to_string(m_Width), "-h=" + std::to_string(m_Height)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    pid_t pid = StartProgram("game", arguments, m_Folder, errors, env.data());
    if (pid < 0) {
        m_ErrorOutput = "cannot start the game";
        return -1;
    }
    int status = WaitChildExit(pid, timeoutMs);
    if (status == -1) {
        ::kill(pid, SIGKILL);
        WaitChildExit(pid, 10000);
    }
    const std::vector<uint8_t> text = ReadBytes(errors);
    m_ErrorOutput.assign(text.begin(), text.end());
    return status;
}

bool Scenario::LoadCapture(CapturedImage* image, std::string* error) const {
    return LoadImage(m_Folder / kCaptureName, image, error);
}

fs::path Scenario::WriteOutput(const std::string& fileName, const CapturedImage& image) {
    const fs::path path = fs::path(QV_SCENARIO_OUTPUT_DIR) / TestName() / fileName;
    SavePng(path, image);
    return path;
}

namespace {

struct Comparison {
    size_t bad = 0;        // pixels past the tolerance
    int largest = 0;       // the largest channel difference
    double fraction = 1.0; // bad over all pixels; 1 when the sizes differ
    bool sameSize = false;
};

Comparison Compare(const CapturedImage& expected, const CapturedImage& captured, int tolerance) {
    Comparison c;
    c.sameSize = expected.width == captured.width && expected.height == captured.height;
    if (!c.sameSize || captured.pixels.empty()) return c;
    for (size_t i = 0; i < captured.pixels.size(); ++i) {
        const int difference = LargestChannelDifference(captured.pixels[i], expected.pixels[i]);
        c.largest = std::max(c.largest, difference);
        if (difference > tolerance) ++c.bad;
    }
    c.fraction = static_cast<double>(c.bad) / static_cast<double>(captured.pixels.size());
    return c;
}

// The old image, the new one and both side by side with their difference,
// in the test's output folder; the side-by-side file.
fs::path WriteBoth(const fs::path& output, const CapturedImage& reference, const CapturedImage& captured) {
    SavePng(output / "reference.png", reference);
    SavePng(output / "captured.png", captured);
    SavePng(output / "side-by-side.png", SideBySide(reference, captured));
    return output / "side-by-side.png";
}

}  // namespace

testing::AssertionResult Scenario::MatchesReference(const std::string& reference, int tolerance,
                                                    double maxBadFraction) const {
    CapturedImage captured;
    std::string error;
    if (!LoadCapture(&captured, &error)) {
        return testing::AssertionFailure() << "no capture: " << error << "\ngame's standard error:\n" << m_ErrorOutput;
    }
    const fs::path referencePath = fs::path(QV_SOURCE_DIR) / reference;
    const fs::path output = fs::path(QV_SCENARIO_OUTPUT_DIR) / TestName();
    CapturedImage expected;
    const bool haveReference = LoadImage(referencePath, &expected, &error);
    const Comparison c = haveReference ? Compare(expected, captured, tolerance) : Comparison{};
    const bool matches = haveReference && c.sameSize && c.fraction <= maxBadFraction;

    if (const char* update = std::getenv("QV_UPDATE_REFERENCES"); update && *update && *update != '0') {
        // A reference that still matches is kept as it is, so an update
        // run changes only the images whose look really changed.
        if (matches) return testing::AssertionSuccess() << "reference still matches: " << referencePath;
        if (!SavePng(referencePath, captured)) return testing::AssertionFailure() << "cannot write " << referencePath;
        if (haveReference) {
            // Whoever commits the change sees what it was and what it is.
            const fs::path both = WriteBoth(output, expected, captured);
            std::fprintf(stderr, "reference changed: %s\n  old | new | difference x4: %s\n", referencePath.c_str(),
                         both.c_str());
            testing::Test::RecordProperty("reference_changed", both.string());
        } else {
            std::fprintf(stderr, "reference written: %s\n", referencePath.c_str());
        }
        return testing::AssertionSuccess() << "reference written: " << referencePath;
    }
    if (!haveReference) {
        SavePng(output / "captured.png", captured);
        return testing::AssertionFailure() << "no reference (" << error << "); the capture is in " << output
                                           << "; run with QV_UPDATE_REFERENCES=1 to keep it";
    }
    if (matches) return testing::AssertionSuccess();
    const fs::path both = WriteBoth(output, expected, captured);
    if (!c.sameSize) {
        return testing::AssertionFailure() << "capture is " << captured.width << "x" << captured.height
                                           << ", reference " << expected.width << "x" << expected.height
                                           << ". Reference | capture: " << both;
    }
    return testing::AssertionFailure() << c.bad << " pixels (" << c.fraction * 100.0 << " %) differ by more than "
                                       << tolerance << " (largest " << c.largest << "); allowed "
                                       << maxBadFraction * 100.0 << " %. Reference | capture | difference x4: "
                                       << both;
}
