// A movie's sound track through the sound device, heard in the loopback
// mix: only while the movie runs, from its start again after a rewind.

#include "services/sound/Sound.h"
#include "tests/services/graphics/textures/TextureFixture.h"

#include <cstdlib>

namespace {

class MovieSoundTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        ASSERT_EQ(Sound_CreateLoopbackDevice(2, 44100, 16), 1) << Sound_GetLastError();
    }
    void TearDown() override {
        TextureTest::TearDown();
        Sound_CloseDevice();
    }
    // The loudest sample of the next tenth of a second of the mix, rendered
    // in steps of 10 ms a little faster than real time, so the movie's
    // worker sees its play cursor in every half of the buffer.
    static int Loudness() {
        std::vector<int16_t> mix(441 * 2);
        int loudest = 0;
        for (int step = 0; step < 10; ++step) {
            EXPECT_EQ(Sound_RenderMix(mix.data(), 441), 1);
            for (int16_t s : mix) loudest = std::max(loudest, std::abs(static_cast<int>(s)));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return loudest;
    }
};

TEST_F(MovieSoundTest, AVideoTextureIsHeardOnlyWhileItRuns) {
    // A clip of two seconds with its tone.
    CQVVideoTexture* video = VideoTexture_Create(WriteClip("Data/Tone.mpg", std::vector<uint32_t>(50, 0xFF336699u)).c_str());
    ASSERT_NE(video, nullptr) << Texture_GetLastError();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_LT(Loudness(), 50) << "stopped";
    VideoTexture_Play(video);
    EXPECT_TRUE(WaitFor([] { return Loudness() > 3000; })) << "running";
    VideoTexture_Rewind(video);
    EXPECT_TRUE(WaitFor([] { return Loudness() < 50; })) << "rewound";
    VideoTexture_Play(video);
    EXPECT_TRUE(WaitFor([] { return Loudness() > 3000; })) << "running again";
    Texture_Release(video);
    EXPECT_LT(Loudness(), 50) << "released";
}

TEST_F(MovieSoundTest, TheFullScreenMovieIsHeard) {
    WriteClip("Data/logo_01.mpg", std::vector<uint32_t>(25, 0xFF336699u));
    ASSERT_EQ(Movie_Open("Data\\logo_01.mpg"), 1);
    EXPECT_TRUE(WaitFor([] { return Loudness() > 3000; }));
    Movie_Close();
    EXPECT_LT(Loudness(), 50);
}

}  // namespace
