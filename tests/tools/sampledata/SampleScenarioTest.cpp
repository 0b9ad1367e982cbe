// The sample level that `make run` shows, as a player sees it: the sample
// tool's own code writes it into the scenario's folder with the camera held
// still where one feature is in view and a capture at a fixed time of the
// level, the game runs headless on a fixed frame clock and its screen is
// compared with a reference image. Each feature is also run once
// without it (its actor taken out or switched off), and a plain fact a player
// would check is asserted between the two captures, so that a wrong reference
// cannot hide a fault.

#include "tests/support/Scenario.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ActorSystemHandler.h"
#include "kernel/actors/MessageIds.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tests/support/ResetGlobals.h"
#include "tools/sampledata/SampleCharacter.h"
#include "tools/sampledata/SampleData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <set>
#include <string>

namespace {

constexpr int kWidth = 320, kHeight = 240;
// Frames of a thirtieth of a second: the level's motion looks the same as at
// any rate, and a few seconds of game time take few frames under ASan.
constexpr double kFrameStep = 1.0 / 30.0;
// Per channel: llvmpipe draws the same frame the same way on every run, so
// only rounding in blends and filtering may move a value by a step or two.
constexpr int kTolerance = 6;
// Share of pixels allowed past it: the edges of particles and of text.
constexpr double kMaxBadFraction = 0.003;
// The level itself: the start scene only starts a new game on it, so that it
// loads behind the loading screen.
constexpr const char* kLevelFile = "Level.qva";

void Remove(const char* name) {
    CQVActor* actor = Scenario::FindActor(name);
    ASSERT_NE(actor, nullptr) << name;
    ASSERT_EQ(g_ActorSystem->DeleteActor(actor), 1) << name;
}

// The sample level written into the scenario's folder by the sample tool's
// code, seen from shot, captured `seconds` into the level at the scenario's
// size; change (when given) then alters the written level before the run.
void RunSample(Scenario& scenario, const SampleShot& shot, float seconds, const std::function<void()>& change,
               CapturedImage* image) {
    SampleOptions options;
    options.fixedCamera = true;
    options.shot = shot;
    options.captures = {{seconds, "capture.tga"}};
    options.captureWidth = static_cast<int>(scenario.Width());
    options.captureHeight = static_cast<int>(scenario.Height());
    std::string error;
    ASSERT_TRUE(SampleData_Write(scenario.Folder(), options, &error)) << error;
    ResetGlobals();
    if (change) {
        ASSERT_NE(scenario.OpenScene(kLevelFile), nullptr);
        change();
        if (testing::Test::HasFatalFailure()) return;
        ASSERT_TRUE(scenario.SaveScene(kLevelFile));
    }
    ASSERT_EQ(scenario.Run(kFrameStep, 120000, {"-s=0"}), 0) << scenario.ErrorOutput();
    ASSERT_TRUE(scenario.LoadCapture(image, &error)) << error;
}

struct Rect {
    uint32_t x0, y0, x1, y1;
};

double Brightness(const CapturedImage& image, const Rect& r) { return image.Brightness(r.x0, r.y0, r.x1, r.y1); }

// How far the mean colour of r lies from an 0xRRGGBB colour (the largest channel difference).
double DistanceTo(const CapturedImage& image, const Rect& r, uint32_t rgb) {
    double largest = 0.0;
    for (int shift : {16, 8, 0}) {
        const double mean = image.ChannelMean(shift, r.x0, r.y0, r.x1, r.y1);
        largest = std::max(largest, std::fabs(mean - static_cast<double>((rgb >> shift) & 0xFF)));
    }
    return largest;
}

// Pixels of r that differ between the two images by more than `by` in any channel.
size_t ChangedPixels(const CapturedImage& a, const CapturedImage& b, const Rect& r, int by) {
    size_t changed = 0;
    for (uint32_t y = r.y0; y < r.y1; ++y) {
        for (uint32_t x = r.x0; x < r.x1; ++x) {
            for (int shift : {16, 8, 0}) {
                const int d = static_cast<int>((a.At(x, y) >> shift) & 0xFF) - static_cast<int>((b.At(x, y) >> shift) & 0xFF);
                if (std::abs(d) > by) {
                    ++changed;
                    break;
                }
            }
        }
    }
    return changed;
}

// The level starts behind the Inventory's fade from black, which takes 3 s:
// the lit level is captured once it is over.
constexpr float kAfterFade = 3.5f;

// The level's fog colour (0.35, 0.42, 0.55), which is also the empty screen's.
constexpr uint32_t kFogRgb = 0x596B8C;

// One feature of the level: where to look from and when, what the level is
// without it, and what a player would see differ between the two.
struct Feature {
    const char* name;
    SampleShot shot;
    float seconds;
    std::function<void()> without;
    std::function<void(const CapturedImage& with, const CapturedImage& without)> check;
};

void CastNoShadows();
void NoLightMaps();

const Feature kFeatures[] = {
    // Down the first room: the room shells' light map keeps the middle of
    // each face bright and darkens it toward its edges. Without it the far
    // wall is lit evenly up to the ceiling.
    {"LightMapShadesTheRoom",
     SampleShot{Vector3(0.0f, 200.0f, -380.0f), 0.0f, 0.3f},
     kAfterFade,
     [] { NoLightMaps(); },
     [](const CapturedImage& with, const CapturedImage& without) {
         const Rect wallMiddle{112, 46, 132, 72}, wallTop{112, 8, 132, 22};
         EXPECT_LT(Brightness(with, wallTop), Brightness(without, wallTop) - 20.0)
             << "the far wall is not darkened toward the ceiling";
         EXPECT_GT(Brightness(with, wallMiddle), Brightness(without, wallMiddle) - 2.0)
             << "the light map darkens the middle of the wall";
     }},
    // A column of the first room seen from the far side: its stencil shadow
    // darkens the floor at its foot, toward the camera, away from the light
    // the shadow pass puts above each caster. Without shadows (the casters'
    // materials out of the shadow bucket) that floor is as lit as the rest.
    {"ShadowsDarkenTheFloor",
     SampleShot{Vector3(-50.0f, 200.0f, 380.0f), 2.37f, 0.56f},
     kAfterFade,
     [] { CastNoShadows(); },
     [](const CapturedImage& with, const CapturedImage& without) {
         const Rect columnFoot{136, 135, 164, 155};
         const double shaded = Brightness(with, columnFoot), lit = Brightness(without, columnFoot);
         EXPECT_LT(shaded, lit - 4.0) << "no shadow on the floor at the column's foot";
         EXPECT_GT(shaded, 1.0) << "the shadow is black: it should darken, not blot out";
         const Rect openFloor{200, 150, 320, 240};
         EXPECT_LT(ChangedPixels(with, without, openFloor, 8), 10u) << "shadows darken the open floor";
     }},
    // The first room's lamp hangs in its middle: from the doorway side the
    // camera looks at the back wall, which the lamp lights. Without the lamp
    // (and the spot, which points the other way) that wall has only the
    // ambient light.
    {"LampLightsTheWall",
     SampleShot{Vector3(0.0f, 150.0f, -50.0f), 3.1415927f, 0.0f},
     kAfterFade,
     [] { Remove("Lamp 1"); },
     [](const CapturedImage& with, const CapturedImage& without) {
         const Rect wall{100, 60, 220, 160};
         const double lit = Brightness(with, wall), unlit = Brightness(without, wall);
         EXPECT_GT(lit, unlit + 10.0) << "the lamp's wall is not brighter than the same wall unlit";
         EXPECT_GT(lit, unlit * 1.3) << "the lamp's wall is not brighter than the same wall unlit";
         EXPECT_GT(unlit, 5.0) << "the unlit wall is black: the ambient light is missing";
     }},
    // Down the rooms through the doorways: the rooms beyond are tinted to
    // the fog colour, the nearest wall is not. Without fog the far rooms
    // show their own bricks.
    {"FogTintsTheFarRooms",
     SampleShot{Vector3(0.0f, 160.0f, -380.0f), 0.0f, 0.05f},
     kAfterFade,
     [] {
         CQVActor* environment = Scenario::FindActor("Sample Environment");
         ASSERT_NE(environment, nullptr);
         uint32_t off = 0;
         environment->HandleMessage(MSG_SET_FOG_ENABLE, Args_Of(&off));
     },
     [](const CapturedImage& with, const CapturedImage& without) {
         const Rect far{150, 100, 170, 130};
         const Rect nearWall{10, 40, 60, 90};
         EXPECT_LT(DistanceTo(with, far, kFogRgb), 20.0) << "the far rooms are not tinted to the fog colour";
         EXPECT_GT(DistanceTo(with, nearWall, kFogRgb), 30.0) << "the nearest wall is fogged too";
         EXPECT_LT(DistanceTo(with, far, kFogRgb), DistanceTo(without, far, kFogRgb));
     }},
    // The fountain in the first room four seconds in, its fade from black
    // over: water drops over the basin where, without the fountain, the room
    // lies bare.
    {"FountainAtFourSeconds",
     SampleShot{Vector3(-70.0f, 150.0f, -120.0f), 0.0f, 0.35f},
     4.0f,
     [] { Remove("Fountain"); },
     [](const CapturedImage& with, const CapturedImage& without) {
         const Rect fountain{100, 40, 220, 200};
         EXPECT_GT(ChangedPixels(with, without, fountain, 24), 300u) << "no water drops over the basin";
         const Rect elsewhere{0, 0, 40, 40};
         EXPECT_LT(ChangedPixels(with, without, elsewhere, 24), 20u) << "the fountain changed the room far from it";
     }},
    // The skinned figure in the second room seen from its right side 4.5 s
    // in, mid-walk: its legs stride apart, its feet far wider apart along
    // the walk than its hips are deep. Without it the wall behind is bare.
    {"FigureWalksInTheSecondRoom",
     SampleShot{Vector3(100.0f, 110.0f, 570.0f), -1.5707964f, 0.05f},
     4.5f,
     [] { Remove("Figure"); },
     [](const CapturedImage& with, const CapturedImage& without) {
         const Rect figure{100, 20, 220, 230};
         EXPECT_GT(ChangedPixels(with, without, figure, 24), 2000u) << "no figure where it stands";
         const Rect elsewhere{0, 0, 60, 60};
         EXPECT_LT(ChangedPixels(with, without, elsewhere, 24), 10u) << "the figure changed the room far from it";
         const auto spread = [&](uint32_t y0, uint32_t y1) {
             uint32_t left = with.width, right = 0;
             for (uint32_t y = y0; y < y1; ++y) {
                 for (uint32_t x = 0; x < with.width; ++x) {
                     if (ChangedPixels(with, without, Rect{x, y, x + 1, y + 1}, 24) == 0) continue;
                     left = std::min(left, x);
                     right = std::max(right, x);
                 }
             }
             return right >= left ? right - left : 0u;
         };
         EXPECT_GT(spread(170, 190), 2 * spread(130, 140)) << "the feet are not apart: no stride";
     }},
    // The Character in the third room a quarter of a second into its leap
    // out of the walk, seen from behind its path, looking a little up: the
    // skinned figure is in the air, its feet far above the floor they walk
    // on, which at its distance lies at the bottom edge of the picture.
    // Without it the room is bare.
    {"CharacterLeapsInTheThirdRoom",
     SampleShot{Vector3(300.0f, 150.0f, 1215.0f), 0.0f, -0.12f},
     kSampleCharacterJump + 0.25f,
     [] { Remove("Walker"); },
     [](const CapturedImage& with, const CapturedImage& without) {
         const Rect figure{120, 60, 220, 200};
         EXPECT_GT(ChangedPixels(with, without, figure, 24), 600u) << "no figure where the Character walks";
         uint32_t lowest = 0;
         for (uint32_t y = 0; y < with.height; ++y) {
             if (ChangedPixels(with, without, Rect{0, y, with.width, y + 1}, 24) > 0) lowest = y;
         }
         EXPECT_LT(lowest, 215u) << "the feet are on the floor: no leap";
         EXPECT_GT(lowest, 120u) << "the figure is not in the room's lower half";
     }},
};

void PrintTo(const Feature& feature, std::ostream* out) { *out << feature.name; }

// The shadow casters' materials drawn only with the opaque scene: the level
// as it is without stencil shadows.
void CastNoShadows() {
    constexpr uint32_t kShadowBucket = 1u << 4;
    for (const char* name : {"Sample Crate", "Sample Column", "Sample Statue"}) {
        auto* material = dynamic_cast<CQVMaterialItem*>(
            CQVEngine::GetInstance()->library.Find(name, LIBRARY_KIND_MATERIAL));
        ASSERT_NE(material, nullptr) << name;
        ASSERT_NE(material->bucketMask & kShadowBucket, 0u) << name << " casts no shadow in the level";
        material->bucketMask &= ~kShadowBucket;
    }
    ASSERT_TRUE(Scenario::SaveLibrary());
}

// The room shells without their light map: lit by the lights alone.
void NoLightMaps() {
    for (const char* name : {"Room 1", "Room 2", "Room 3", "Room 4"}) {
        auto* mesh = dynamic_cast<CQVMeshItem*>(
            CQVEngine::GetInstance()->library.Find(name, static_cast<int32_t>(LIBRARY_MESH)));
        ASSERT_NE(mesh, nullptr) << name;
        ASSERT_FALSE(mesh->subsetInfos.empty()) << name;
        ASSERT_GE(mesh->subsetInfos[0].lightMapId, 0) << name << " has no light map in the level";
        for (SubsetInfo& subset : mesh->subsetInfos) subset.lightMapId = -1;
    }
    ASSERT_TRUE(Scenario::SaveLibrary());
}

class SampleFeature : public testing::TestWithParam<Feature> {};

TEST_P(SampleFeature, LooksAsItsReferenceAndDiffersFromTheLevelWithoutIt) {
    const Feature& feature = GetParam();
    CapturedImage with, without;
    {
        Scenario scenario(std::string(feature.name) + "Without", kWidth, kHeight);
        RunSample(scenario, feature.shot, feature.seconds, feature.without, &without);
        if (HasFatalFailure()) return;
    }
    Scenario scenario(feature.name, kWidth, kHeight);
    RunSample(scenario, feature.shot, feature.seconds, nullptr, &with);
    if (HasFatalFailure()) return;
    feature.check(with, without);
    if (HasFailure()) {
        ADD_FAILURE() << "the captures with and without the feature: " << Scenario::WriteOutput("with.png", with)
                      << " and " << Scenario::WriteOutput("without.png", without);
    }
    EXPECT_TRUE(scenario.MatchesReference(std::string("tests/tools/sampledata/reference/") + feature.name + ".png",
                                          kTolerance, kMaxBadFraction));
}

INSTANTIATE_TEST_SUITE_P(Level, SampleFeature, testing::ValuesIn(kFeatures),
                         [](const testing::TestParamInfo<Feature>& info) { return std::string(info.param.name); });

// The guard of the fourth room patrols its path: at start it copies its
// template figure into the room, which then walks from the guard's place
// along +z to its first node and on toward the second along -x. Seen from
// the room's doorway side at two times after the fade from black, the figure
// stands in two places; without the guard the room is bare at both.
TEST(SampleGuard, PatrolsItsPathCapturedAtTwoTimes) {
    const SampleShot shot{Vector3(0.0f, 180.0f, 2050.0f), 0.0f, 0.3f};
    const float times[2] = {4.0f, 6.0f};
    CapturedImage with[2], without[2];
    for (int i = 0; i < 2; ++i) {
        const std::string name = "GuardPatrolsAt" + std::to_string(static_cast<int>(times[i])) + "s";
        {
            Scenario scenario(name + "Without", kWidth, kHeight);
            RunSample(scenario, shot, times[i], [] { Remove("Guard"); }, &without[i]);
            if (HasFatalFailure()) return;
        }
        Scenario scenario(name, kWidth, kHeight);
        RunSample(scenario, shot, times[i], nullptr, &with[i]);
        if (HasFatalFailure()) return;
        EXPECT_TRUE(scenario.MatchesReference("tests/tools/sampledata/reference/" + name + ".png", kTolerance,
                                              kMaxBadFraction));
    }
    const Rect room{0, 0, kWidth, kHeight};
    // Where the figure stands at each time: the columns it changes.
    const auto columns = [&](int i) {
        uint32_t left = kWidth, right = 0;
        for (uint32_t x = 0; x < kWidth; ++x) {
            if (ChangedPixels(with[i], without[i], Rect{x, 0, x + 1, kHeight}, 24) < 3) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
        return std::make_pair(left, right);
    };
    for (int i = 0; i < 2; ++i) {
        EXPECT_GT(ChangedPixels(with[i], without[i], room, 24), 150u) << "no guard in the room at " << times[i] << " s";
        EXPECT_LT(ChangedPixels(without[0], without[1], room, 24), 20u) << "the bare room changes over time";
    }
    EXPECT_GT(ChangedPixels(with[0], with[1], room, 24), 150u) << "the guard stands still: no patrol";
    const auto first = columns(0), second = columns(1);
    EXPECT_NE(first, second) << "the guard is at the same place at both times";
    if (HasFailure()) {
        ADD_FAILURE() << "the captures: " << Scenario::WriteOutput("with4s.png", with[0]) << ", "
                      << Scenario::WriteOutput("with6s.png", with[1]) << ", "
                      << Scenario::WriteOutput("without4s.png", without[0]);
    }
}

// The loading screen the sample level loads behind (its start scene starts
// a new game on it), captured while it still shows: the level's capture
// actor captures the screen when the level is told to start, before the load
// ends. The bar stands near the bottom, framed and filled in the load bar
// colour, the "LOADING" text above it, over the library's backdrop.
constexpr int kLoadWidth = 640, kLoadHeight = 480;

// The sample level loaded behind the loading screen, captured when it is
// told to start; startScript (when given) runs in the start scene first.
void RunLoading(Scenario& scenario, const char* startScript, CapturedImage* image) {
    std::string error;
    ASSERT_TRUE(SampleData_Write(scenario.Folder(), SampleOptions{}, &error)) << error;
    ResetGlobals();
    if (startScript != nullptr) {
        CQVActor* scenery = scenario.OpenScene();
        ASSERT_NE(scenery, nullptr);
        CQVActor* actor = g_ActorSystem->CreateActor(0, "Loading Look", nullptr, scenery, scenario.NextId(), 1, 0);
        ASSERT_NE(actor, nullptr);
        CQVScript script;
        script.name = "Loading Look";
        script.boundMessage = MSG_START_GAME;
        script.source = startScript;
        actor->m_Scripts.push_back(script);
        ASSERT_TRUE(scenario.SaveScene());
    }
    ASSERT_NE(scenario.OpenScene(kLevelFile), nullptr);
    scenario.CaptureOnStart();
    ASSERT_TRUE(scenario.SaveScene(kLevelFile));
    ASSERT_EQ(scenario.Run(kFrameStep, 120000, {"-s=0"}), 0) << scenario.ErrorOutput();
    ASSERT_TRUE(scenario.LoadCapture(image, &error)) << error;
    ASSERT_EQ(image->width, static_cast<uint32_t>(kLoadWidth));
}

// Light pixels (brighter than half) in the rectangle, and how many of them
// are yellow (red and green well above blue).
struct Letters {
    uint32_t light = 0, yellow = 0;
};
Letters CountLetters(const CapturedImage& image, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
    Letters letters;
    for (uint32_t y = y0; y < y1; ++y) {
        for (uint32_t x = x0; x < x1; ++x) {
            if (image.Brightness(x, y, x + 1, y + 1) <= 100.0) continue;
            ++letters.light;
            const uint32_t p = image.At(x, y);
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            letters.yellow += r > b + 80 && g > b + 60;
        }
    }
    return letters;
}

TEST(SampleLoading, TheLoadingScreenShowsItsBarAndTextWhileTheLevelLoads) {
    Scenario scenario("Loading", kLoadWidth, kLoadHeight);
    CapturedImage loaded;
    RunLoading(scenario, nullptr, &loaded);
    if (HasFatalFailure()) return;
    const CapturedImage& image = loaded;

    // The game draws at 800 x 600 and the capture scales by 0.8: the bar is
    // 400 wide about the middle, its top 80 above the bottom, 8 high, in a
    // frame 2 wider all round; the text stands 130 above the bottom.
    const auto at = [](float game) { return static_cast<uint32_t>(game * 0.8f); };
    const uint32_t frameColour = image.At(at(400), at(519)) & 0xFFFFFF;
    EXPECT_GT(image.Brightness(at(400), at(519), at(400) + 1, at(519) + 1), 60.0) << "no bar frame";
    for (uint32_t x = at(205); x < at(595); x += 10) {
        EXPECT_EQ(image.At(x, at(519)) & 0xFFFFFF, frameColour) << "the bar's frame is broken at x " << x;
    }
    // The last loading screen, drawn once everything is loaded: the bar is
    // filled in the frame's colour from its left end to its right.
    uint32_t filled = 0;
    for (uint32_t x = at(203); x < at(597); ++x) filled += (image.At(x, at(524)) & 0xFFFFFF) == frameColour;
    const uint32_t inside = at(597) - at(203);
    EXPECT_EQ(image.At(at(205), at(524)) & 0xFFFFFF, frameColour) << "the bar is not filled from its left end";
    EXPECT_EQ(filled, inside) << "the bar does not reach its end when the load is done";
    // The text: light letters above the bar's left end on the dark screen.
    EXPECT_GT(CountLetters(image, at(198), at(462), at(330), at(490)).light, 30u) << "no \"LOADING\" text above the bar";
    // Behind them the library's loading backdrop ("Menu_Back", bricks in deep blue) fills the screen.
    EXPECT_GT(image.ChannelMean(0, 0, 0, 640, at(440)), image.ChannelMean(16, 0, 0, 640, at(440)) + 20.0)
        << "the loading backdrop does not fill the screen";
    EXPECT_TRUE(scenario.MatchesReference("tests/tools/sampledata/reference/Loading.png", kTolerance, kMaxBadFraction));
}

// The loading text is overlay text: a level may give it its own colour and
// place (here yellow, moved 200 right and 300 up before the level loads),
// and it is drawn there in that colour, in the font, over the loading screen.
TEST(SampleLoading, TheLoadingTextIsDrawnInTheColourAndPlaceTheGameGivesIt) {
    Scenario scenario("LoadingText", kLoadWidth, kLoadHeight);
    CapturedImage image;
    RunLoading(scenario,
               "sys.set_load_bar_text_color((1, 0.8, 0, 1));\n"
               "sys.set_load_bar_text_position((200, -300, 0));",
               &image);
    if (HasFatalFailure()) return;
    const auto at = [](float game) { return static_cast<uint32_t>(game * 0.8f); };
    // From (200, 470) to (400, 170) in game pixels.
    const Letters moved = CountLetters(image, at(398), at(162), at(530), at(190));
    EXPECT_GT(moved.light, 30u) << "no text where the level put it";
    EXPECT_GT(moved.yellow, moved.light * 3 / 4) << "the text is not in the level's colour";
    EXPECT_EQ(CountLetters(image, at(198), at(462), at(330), at(490)).light, 0u) << "the text is still in its old place";
    EXPECT_TRUE(scenario.MatchesReference("tests/tools/sampledata/reference/LoadingText.png", kTolerance, kMaxBadFraction));
}

// A reference rewritten with QV_UPDATE_REFERENCES=1 leaves the old image,
// the new one and both side by side in the test's output folder, so that the
// change can be judged before it is committed; a reference that still
// matches is left as it was.
TEST(SampleScenarioHarness, AnUpdatedReferenceShowsTheOldAndTheNewImageSideBySide) {
    Scenario scenario("Update");
    ASSERT_NE(scenario.BeginScene(), nullptr);
    scenario.CaptureAt(0.1f);
    ASSERT_TRUE(scenario.SaveScene());
    ASSERT_EQ(scenario.Run(kFrameStep), 0) << scenario.ErrorOutput();
    CapturedImage white;
    white.width = 320;
    white.height = 240;
    white.pixels.assign(320 * 240, 0xFFFFFFFFu);
    const std::filesystem::path reference = scenario.Folder() / "old.png";
    const std::filesystem::path written = Scenario::WriteOutput("old.png", white);
    std::filesystem::copy_file(written, reference);

    // Puts back what the run was started with, so that a whole run with
    // updates on keeps updating the tests after this one.
    struct UpdateMode {
        UpdateMode() {
            if (const char* was = std::getenv("QV_UPDATE_REFERENCES")) before = was;
            setenv("QV_UPDATE_REFERENCES", "1", 1);
        }
        ~UpdateMode() {
            if (before) {
                setenv("QV_UPDATE_REFERENCES", before->c_str(), 1);
            } else {
                unsetenv("QV_UPDATE_REFERENCES");
            }
        }
        std::optional<std::string> before;
    };
    {
        const UpdateMode update;
        EXPECT_TRUE(scenario.MatchesReference(reference.string(), 0, 0.0));
    }
    const std::filesystem::path output = written.parent_path();
    CapturedImage old, now, both;
    std::string error;
    const auto load = [&](const std::filesystem::path& path, CapturedImage* image) {
        // LoadCapture reads the scenario's own capture; the outputs are read as files of the folder.
        std::filesystem::copy_file(path, scenario.Folder() / "capture.tga", std::filesystem::copy_options::overwrite_existing);
        return scenario.LoadCapture(image, &error);
    };
    CapturedImage captured;
    ASSERT_TRUE(scenario.LoadCapture(&captured, &error)) << error;
    ASSERT_TRUE(load(output / "reference.png", &old)) << error;
    ASSERT_TRUE(load(output / "captured.png", &now)) << error;
    ASSERT_TRUE(load(output / "side-by-side.png", &both)) << error;
    ASSERT_TRUE(load(reference, &captured)) << error;  // the reference now holds the new capture
    EXPECT_EQ(old.pixels, white.pixels);
    EXPECT_EQ(now.pixels, captured.pixels);
    ASSERT_EQ(both.width, 3u * 320u);
    EXPECT_EQ(both.At(10, 10), 0xFFFFFFFFu);               // old on the left
    EXPECT_EQ(both.At(330, 10), captured.At(10, 10));      // new in the middle
    EXPECT_NE(both.At(650, 10) & 0xFFFFFF, 0u);            // their difference on the right

    // Updating again changes nothing: the reference matches.
    const auto before = std::filesystem::last_write_time(reference);
    {
        const UpdateMode update;
        EXPECT_TRUE(scenario.MatchesReference(reference.string(), 0, 0.0));
    }
    EXPECT_EQ(std::filesystem::last_write_time(reference), before);
}

// The picture of the sample level in the README: the first room from its
// back wall once the fade from black is over, with the HUD's gauges over it, the fountain, the columns, the flag and
// the fogged rooms beyond the doorway. Written by running this test with
// QV_UPDATE_REFERENCES=1.
TEST(SampleReadme, TheReadmePictureIsTheLevelAsMakeRunShowsIt) {
    Scenario scenario("Readme", 640, 480);
    CapturedImage image;
    RunSample(scenario, SampleShot{Vector3(-60.0f, 170.0f, -360.0f), 0.15f, 0.12f}, kAfterFade, nullptr,
              &image);
    if (HasFatalFailure()) return;
    // Textured, lit rooms: many colours, and no large part of the screen dark.
    std::set<uint32_t> colours;
    for (uint32_t p : image.pixels) colours.insert(p & 0xFFFFFF);
    EXPECT_GT(colours.size(), 1000u);
    for (uint32_t y = 0; y < 480; y += 120) {
        for (uint32_t x = 0; x < 640; x += 160) EXPECT_GT(image.Brightness(x, y, x + 160, y + 120), 12.0) << x << ", " << y;
    }
    EXPECT_TRUE(scenario.MatchesReference("docs/sample-level.png", kTolerance, kMaxBadFraction));
}

}  // namespace
