#include "tests/support/Scenario.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/app/ActorClasses.h"
#include "platform/image/Image.h"
#include "platform/image/ImageEncode.h"
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

}  // namespace

Scenario::Scenario(const std::string& name, int width, int height)
    : m_Name(name), m_Width(width), m_Height(height) {
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

void Scenario::CaptureAt(float seconds) {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* capturer = g_ActorSystem->CreateActor(0, "Scenario Capture", nullptr, scenery, NextId(), 1, 0);
    ASSERT_NE(capturer, nullptr);
    CQVScript record;
    record.name = "Capture";
    record.boundMessage = MSG_ACTION_START;
    record.source = "sys.capture_backbuffer((" + std::to_string(m_Width) + ", " + std::to_string(m_Height) +
                    "));\nsys.capture_save(\"" + kCaptureName + "\");\nsys.exit_engine();";
    capturer->m_Scripts.push_back(record);
    // Kept with the actor in its file: the game fires it `seconds` into the level.
    capturer->ScheduleMessage(MSG_ACTION_START, nullptr, TIMED_SAVED_FLAG | (TIMED_MODE_ONCE << 8), seconds, 0.0f,
                            0.0f);
}

bool Scenario::SaveScene() {
    const std::string file = (DataFolder() / "Start.qva").string();
    const bool saved = g_ActorSystem != nullptr && g_ActorSystem->SaveActors(file.c_str(), kFirstSceneId, kSceneIdEnd, 0) == 1;
    ResetGlobals();
    m_SceneOpen = false;
    return saved;
}

int Scenario::Run(double frameStep, int timeoutMs) {
    char step[32];
    std::snprintf(step, sizeof step, "QV_FRAME_STEP=%.9g", frameStep);
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("QV_FRAME_STEP=", 0) != 0) env.push_back(*e);
    }
    env.push_back(step);
    env.push_back(nullptr);

    const fs::path errors = m_Folder / "stderr.txt";
    pid_t pid = StartProgram("game", {"-win=1", "-w=" + std::to_string(m_Width), "-h=" + std::to_string(m_Height)},
                             m_Folder, errors, env.data());
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

testing::AssertionResult Scenario::MatchesReference(const std::string& reference, int tolerance,
                                                    double maxBadFraction) const {
    CapturedImage captured;
    std::string error;
    if (!LoadCapture(&captured, &error)) {
        return testing::AssertionFailure() << "no capture: " << error << "\ngame's standard error:\n" << m_ErrorOutput;
    }
    const fs::path referencePath = fs::path(QV_SOURCE_DIR) / reference;
    const fs::path output = fs::path(QV_SCENARIO_OUTPUT_DIR) / TestName();
    if (const char* update = std::getenv("QV_UPDATE_REFERENCES"); update && *update && *update != '0') {
        if (!SavePng(referencePath, captured)) return testing::AssertionFailure() << "cannot write " << referencePath;
        return testing::AssertionSuccess() << "reference written: " << referencePath;
    }
    CapturedImage expected;
    if (!LoadImage(referencePath, &expected, &error)) {
        SavePng(output / "captured.png", captured);
        return testing::AssertionFailure() << "no reference (" << error << "); the capture is in " << output
                                           << "; run with QV_UPDATE_REFERENCES=1 to keep it";
    }
    if (expected.width != captured.width || expected.height != captured.height) {
        SavePng(output / "side-by-side.png", SideBySide(expected, captured));
        return testing::AssertionFailure() << "capture is " << captured.width << "x" << captured.height
                                           << ", reference " << expected.width << "x" << expected.height;
    }
    size_t bad = 0;
    int largest = 0;
    for (size_t i = 0; i < captured.pixels.size(); ++i) {
        const int difference = LargestChannelDifference(captured.pixels[i], expected.pixels[i]);
        largest = std::max(largest, difference);
        if (difference > tolerance) ++bad;
    }
    const double fraction = static_cast<double>(bad) / static_cast<double>(captured.pixels.size());
    if (fraction <= maxBadFraction) return testing::AssertionSuccess();
    SavePng(output / "reference.png", expected);
    SavePng(output / "captured.png", captured);
    SavePng(output / "side-by-side.png", SideBySide(expected, captured));
    return testing::AssertionFailure() << bad << " pixels (" << fraction * 100.0 << " %) differ by more than "
                                       << tolerance << " (largest " << largest << "); allowed "
                                       << maxBadFraction * 100.0 << " %. Reference | capture | difference x4: "
                                       << (output / "side-by-side.png");
}
