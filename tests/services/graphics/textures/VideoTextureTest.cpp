// Video textures on the test's clock: black and stopped when made, frames
// in order as they come due, upright, the texture beyond the video left
// alone, the last frame kept at the end, rewinding back to black.

#include "platform/movie/MoviePlayer.h"
#include "services/graphics/VideoTexturePlayback.h"
#include "tests/services/graphics/textures/TextureFixture.h"

namespace {

// An 80 x 60 clip (the texture becomes 128 x 64): each frame's top half
// one colour and its bottom half black.
std::string WriteHalfClip(const std::string& path) {
    MovieWriteSettings settings;
    settings.width = 80;
    settings.height = 60;
    std::vector<std::vector<uint32_t>> frames;
    for (uint32_t colour : kClipColours) {
        std::vector<uint32_t> frame(80 * 60, 0xFF000000u);
        std::fill(frame.begin(), frame.begin() + 80 * 30, colour);
        frames.push_back(frame);
    }
    std::string error;
    EXPECT_TRUE(MovieWriter_WriteFrames(path, settings, frames, 440.0, &error)) << error;
    return path;
}

class VideoTextureTest : public TextureTest {
protected:
    CQVVideoTexture* video = nullptr;
    void TearDown() override {
        Texture_Release(video);
        TextureTest::TearDown();
    }
    uint32_t Texel(uint32_t x, uint32_t y) { return Texels(video->texture)[size_t{y} * 128 + x]; }
    // Moves the clock and waits for the frame of that time to show.
    bool ShowsAt(double seconds, uint32_t colour) {
        g_TestClock = 1000.0 + seconds;
        return WaitFor([&] { return CloseTo(Texel(10, 10), colour); });
    }
};

TEST_F(VideoTextureTest, FramesShowInOrderUprightAndTheLastOneStays) {
    video = VideoTexture_Create(WriteHalfClip("Data/Screen.mpg").c_str());
    ASSERT_NE(video, nullptr) << Texture_GetLastError();
    D3DSURFACE_DESC desc{};
    video->texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 128u);
    EXPECT_EQ(desc.Height, 64u);
    EXPECT_EQ(desc.Format, static_cast<D3DFORMAT>(D3DFMT_A8R8G8B8));
    EXPECT_EQ(video->texture->GetLevelCount(), 1u);
    // Stopped and black until it runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(Texels(video->texture), std::vector<uint32_t>(128 * 64, 0u));
    MoviePlayer* player = VideoTexturePlayback_GetPlayer(video->playback);
    EXPECT_EQ(player->GetState(), MOVIE_STOPPED);

    VideoTexture_Play(video);
    for (size_t i = 0; i < kClipColours.size(); ++i)
        ASSERT_TRUE(ShowsAt(0.04 * static_cast<double>(i) + 0.02, kClipColours[i])) << "frame " << i;
    // Upright: the coloured half is the top; beyond the video nothing was written.
    EXPECT_TRUE(CloseTo(Texel(70, 5), kClipColours.back()));
    EXPECT_TRUE(CloseTo(Texel(70, 50), 0xFF000000u));
    EXPECT_EQ(Texel(100, 10), 0u);
    EXPECT_EQ(Texel(10, 62), 0u);
    // At the end it stays on the last frame.
    g_TestClock = 1010.0;
    ASSERT_TRUE(WaitFor([&] { return player->GetState() == MOVIE_ENDED; }));
    EXPECT_TRUE(CloseTo(Texel(10, 10), kClipColours.back()));
    // Playing again at the end changes nothing.
    VideoTexture_Play(video);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(CloseTo(Texel(10, 10), kClipColours.back()));
}

TEST_F(VideoTextureTest, RewindGoesBackToBlackAndPlaysFromTheStart) {
    video = VideoTexture_Create(WriteHalfClip("Data/Screen.mpg").c_str());
    ASSERT_NE(video, nullptr) << Texture_GetLastError();
    VideoTexture_Play(video);
    ASSERT_TRUE(ShowsAt(0.1, kClipColours[2]));
    VideoTexture_Rewind(video);
    EXPECT_EQ(Texels(video->texture), std::vector<uint32_t>(128 * 64, 0u));
    // Stopped: time passes, the texture stays black.
    g_TestClock = 1001.0;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Texels(video->texture), std::vector<uint32_t>(128 * 64, 0u));
    // Restarted (rewind, then play), as texture items restart their videos.
    VideoTexture_Rewind(video);
    VideoTexture_Play(video);
    ASSERT_TRUE(WaitFor([&] { return CloseTo(Texel(10, 10), kClipColours[0]); }));
    ASSERT_TRUE(ShowsAt(1.0 + 0.13, kClipColours[3]));
}

TEST_F(VideoTextureTest, FilesThatDoNotPlayGiveNoTexture) {
    EXPECT_EQ(VideoTexture_Create("Data\\Missing.mpg"), nullptr);
    EXPECT_STREQ(Texture_GetLastError(), "   VideoTexture_Create\n   Data\\Missing.mpg\n   cannot open the movie file");
    std::ofstream("Data/Words.mpg") << "Not a movie: words in a file with the movie's name.";
    EXPECT_EQ(VideoTexture_Create("Data\\Words.mpg"), nullptr);
    // Only the first bytes of a movie.
    WriteHalfClip("Data/Whole.mpg");
    std::filesystem::copy_file("Data/Whole.mpg", "Data/Head.mpg");
    std::filesystem::resize_file("Data/Head.mpg", 24);
    EXPECT_EQ(VideoTexture_Create("Data\\Head.mpg"), nullptr);
    std::ofstream("Data/Empty.mpg").close();
    EXPECT_EQ(VideoTexture_Create("Data\\Empty.mpg"), nullptr);
    EXPECT_NE(std::string(Texture_GetLastError()).find("Data\\Empty.mpg"), std::string::npos);
}

TEST_F(VideoTextureTest, ReleasedWhilePlaying) {
    video = VideoTexture_Create(WriteHalfClip("Data/Screen.mpg").c_str());
    ASSERT_NE(video, nullptr);
    VideoTexture_Play(video);
    ASSERT_TRUE(ShowsAt(0.05, kClipColours[1]));
    g_TestClock = 1000.15;
    Texture_Release(video);
    video = nullptr;
}

}  // namespace
