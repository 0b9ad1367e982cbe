// The full-screen movie on the test's clock: Movie_Update presents every
// frame as it comes due during its 100 ms wait, stretched over the screen,
// until the movie has played through; closing early ends it with black.

#include "tests/services/graphics/textures/TextureFixture.h"

namespace {

class FullScreenMovieTest : public TextureTest {
protected:
    uint32_t Presents() { return Device()->GetPresentCount(); }
};

TEST_F(FullScreenMovieTest, NothingOpenNothingToUpdate) {
    EXPECT_EQ(Movie_Update(), 0);
    Movie_Close();
    EXPECT_EQ(Movie_Open("Data\\logo_01.mpg"), 0);
    EXPECT_STREQ(Texture_GetLastError(), "   Movie_Open\n   Data\\logo_01.mpg\n   cannot open the movie file");
    EXPECT_EQ(Movie_Update(), 0);
}

TEST_F(FullScreenMovieTest, EveryDueFramePresentedStretchedOverTheScreen) {
    WriteClip("Data/logo_01.mpg", kClipColours);
    const uint32_t before = Presents();
    ASSERT_EQ(Movie_Open(".\\Data\\logo_01.mpg"), 1) << Texture_GetLastError();
    // Two black frames before it runs and two after.
    EXPECT_EQ(Presents(), before + 4);
    EXPECT_EQ(Screen(), std::vector<uint32_t>(kWidth * kHeight, 0xFF000000u));

    // The first wait (0 to 0.1 s) shows the frames at 0, 0.04 and 0.08.
    uint32_t presents = Presents();
    ASSERT_EQ(Movie_Update(), 1);
    EXPECT_EQ(Presents(), presents + 3);
    EXPECT_NEAR(g_TestClock - 1000.0, 0.1, 0.002);
    std::vector<uint32_t> screen = Screen();
    for (size_t p : {size_t{0}, size_t{kWidth - 1}, size_t{kWidth * kHeight / 2 + kWidth / 2}, screen.size() - 1})
        EXPECT_TRUE(CloseTo(screen[p], kClipColours[2])) << std::hex << screen[p];

    // Then the rest, one presented frame each, until it has played through.
    int updates = 1;
    uint32_t movieFrames = 3;
    presents = Presents();
    while (Movie_Update() == 1) {
        ++updates;
        movieFrames += Presents() - presents;
        presents = Presents();
        ASSERT_LT(updates, 20);
    }
    EXPECT_EQ(updates, 3);
    EXPECT_TRUE(CloseTo(Screen()[0], 0xFF000000u)) << "closed with black frames";
    EXPECT_EQ(movieFrames, kClipColours.size() + 1) << "the last update repeats the last frame";
    EXPECT_EQ(Movie_Update(), 0);
}

TEST_F(FullScreenMovieTest, ClosedEarlyWithBlackAndTheDeviceStatesKept) {
    WriteClip("Data/logo_01.mpg", kClipColours);
    Device()->SetRenderState(D3DRS_LIGHTING, 1);
    Device()->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    ASSERT_EQ(Movie_Open("Data\\logo_01.mpg"), 1);
    ASSERT_EQ(Movie_Update(), 1);
    EXPECT_TRUE(CloseTo(Screen()[0], kClipColours[2]));
    const uint32_t presents = Presents();
    const uint32_t sleeps = g_TestSleeps;
    Movie_Close();
    EXPECT_EQ(Presents(), presents + 2);
    EXPECT_GE(g_TestSleeps, sleeps + 1);
    EXPECT_EQ(Screen(), std::vector<uint32_t>(kWidth * kHeight, 0xFF000000u));
    EXPECT_EQ(Movie_Update(), 0);
    uint32_t value = 0;
    Device()->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, 1u);
    Device()->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, static_cast<uint32_t>(D3DZB_TRUE));
    Device()->GetTextureStageState(0, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, static_cast<uint32_t>(D3DTOP_MODULATE));
    PlatformTexture* bound = nullptr;
    Device()->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    // A new movie replaces an open one.
    ASSERT_EQ(Movie_Open("Data\\logo_01.mpg"), 1);
    ASSERT_EQ(Movie_Open("Data\\logo_01.mpg"), 1);
    ASSERT_EQ(Movie_Update(), 1);
    EXPECT_TRUE(CloseTo(Screen()[0], kClipColours[2]));
}

}  // namespace
