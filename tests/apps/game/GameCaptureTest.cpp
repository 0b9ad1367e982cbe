// The game as a player sees it: started headless on a level made here, its
// screen captured at a fixed game time and compared with a stored image.

#include "tests/support/Scenario.h"

#include "platform/image/ImageEncode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(GameCapture, AnEmptyLevelShowsTheClearedScreenAndAnyOtherImageIsShownBesideIt) {
    Scenario scenario("EmptyLevel");
    ASSERT_NE(scenario.BeginScene(), nullptr);
    scenario.CaptureAt(0.25f);
    ASSERT_TRUE(scenario.SaveScene());
    ASSERT_EQ(scenario.Run(), 0) << scenario.ErrorOutput();
    EXPECT_TRUE(scenario.MatchesReference("tests/apps/game/reference/empty-level.png", 0, 0.0));

    // A white reference: every pixel differs, and the report leaves the two
    // images side by side for whoever has to judge the change.
    const std::vector<uint32_t> white(320 * 240, 0xFFFFFFFFu);
    std::vector<uint8_t> png;
    ASSERT_TRUE(Image_EncodePng(white.data(), 320, 240, PNG_LAYOUT_RGB, &png));
    const fs::path reference = scenario.Folder() / "white.png";
    std::ofstream(reference, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    const testing::AssertionResult result = scenario.MatchesReference(reference.string(), 8, 0.5);
    EXPECT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find("76800 pixels"), std::string::npos) << result.message();
    EXPECT_NE(std::string(result.message()).find("side-by-side.png"), std::string::npos) << result.message();
}

}  // namespace
