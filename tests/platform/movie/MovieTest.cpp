// Movies written with the MPEG-1 and MP2 encoders and read back: frames in
// order with their times and colours, the sound track, rewinding, and
// files that are not movies.

#include "tests/platform/movie/MovieClips.h"
#include "tools/content/WavWriter.h"

#include <fstream>

namespace {

struct Read {
    std::vector<MovieVideoFrame> frames;
    size_t audioFrames = 0;
    int loudest = 0;
};

Read ReadAll(PlatformMovie& movie) {
    Read read;
    for (;;) {
        MovieVideoFrame frame;
        MovieAudioChunk chunk;
        const MovieRead what = movie.ReadNext(&frame, &chunk);
        if (what == MOVIE_READ_END) return read;
        if (what == MOVIE_READ_VIDEO) read.frames.push_back(std::move(frame));
        if (what == MOVIE_READ_AUDIO) {
            read.audioFrames += chunk.samples.size() / movie.GetInfo().audioChannels;
            for (int16_t s : chunk.samples) read.loudest = std::max(read.loudest, std::abs(static_cast<int>(s)));
        }
    }
}

class MovieContainer : public MovieFolder, public testing::WithParamInterface<const char*> {};

TEST_P(MovieContainer, FramesComeInOrderWithTheirTimesAndTheSound) {
    const std::string path = Write(std::string("clip") + GetParam(), ColourClip());
    std::string error;
    std::unique_ptr<PlatformMovie> movie = OpenMovieFile(path, true, &error);
    ASSERT_NE(movie, nullptr) << error;
    const MovieInfo& info = movie->GetInfo();
    EXPECT_TRUE(info.hasVideo);
    EXPECT_EQ(info.width, 64u);
    EXPECT_EQ(info.height, 48u);
    EXPECT_DOUBLE_EQ(info.frameRate, 25.0);
    EXPECT_TRUE(info.hasAudio);
    EXPECT_EQ(info.audioRate, 44100u);
    EXPECT_EQ(info.audioChannels, 2u);
    EXPECT_GT(info.duration, 0.1);

    const Read read = ReadAll(*movie);
    ASSERT_EQ(read.frames.size(), ClipColours().size());
    // Time runs from the earliest stream: the sound may start a little before the picture.
    const double first = read.frames[0].time;
    EXPECT_LT(first, 0.02);
    for (size_t i = 0; i < read.frames.size(); ++i) {
        const MovieVideoFrame& frame = read.frames[i];
        EXPECT_NEAR(frame.time - first, 0.04 * static_cast<double>(i), 0.002) << "frame " << i;
        ASSERT_EQ(frame.pixels.size(), 64u * 48u);
        // Top-left and bottom-right corners and the middle all carry the colour.
        for (size_t p : {size_t{0}, size_t{24 * 64 + 32}, size_t{64 * 48 - 1}})
            EXPECT_TRUE(CloseTo(frame.pixels[p], ClipColours()[i])) << "frame " << i << std::hex << " got " << frame.pixels[p];
    }
    // 0.24 s of sound at 44100 Hz, give or take one encoder frame.
    EXPECT_NEAR(static_cast<double>(read.audioFrames), 0.24 * 44100, 1152 * 1.5);
    EXPECT_GT(read.loudest, 4000);
}

INSTANTIATE_TEST_SUITE_P(Containers, MovieContainer, testing::Values(".mpg", ".avi"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param + 1); });

TEST_F(MovieFolder, RewindStartsAgainAtTheFirstFrame) {
    std::string error;
    std::unique_ptr<PlatformMovie> movie = OpenMovieFile(Write("clip.mpg", ColourClip()), true, &error);
    ASSERT_NE(movie, nullptr) << error;
    for (int pass = 0; pass < 3; ++pass) {
        const Read read = ReadAll(*movie);
        ASSERT_EQ(read.frames.size(), ClipColours().size()) << "pass " << pass;
        EXPECT_TRUE(CloseTo(read.frames.front().pixels[0], 0xFFFF0000u));
        EXPECT_LT(read.frames.front().time, 0.02);
        ASSERT_TRUE(movie->Rewind());
    }
    // Rewinding midway works as well.
    MovieVideoFrame frame;
    MovieAudioChunk chunk;
    while (movie->ReadNext(&frame, &chunk) != MOVIE_READ_VIDEO || frame.time < 0.1) {
    }
    ASSERT_TRUE(movie->Rewind());
    while (movie->ReadNext(&frame, &chunk) != MOVIE_READ_VIDEO) {
    }
    EXPECT_LT(frame.time, 0.02);
    EXPECT_TRUE(CloseTo(frame.pixels[0], 0xFFFF0000u));
}

TEST_F(MovieFolder, WithoutSoundTheTrackIsNotDecoded) {
    std::string error;
    std::unique_ptr<PlatformMovie> movie = OpenMovieFile(Write("clip.mpg", ColourClip()), false, &error);
    ASSERT_NE(movie, nullptr) << error;
    EXPECT_FALSE(movie->GetInfo().hasAudio);
    const Read read = ReadAll(*movie);
    EXPECT_EQ(read.frames.size(), ClipColours().size());
    EXPECT_EQ(read.audioFrames, 0u);
    // A clip written without sound has none to decode.
    movie = OpenMovieFile(Write("silent.mpg", ColourClip(false)), true, &error);
    ASSERT_NE(movie, nullptr) << error;
    EXPECT_FALSE(movie->GetInfo().hasAudio);
    EXPECT_EQ(ReadAll(*movie).frames.size(), ClipColours().size());
}

// Files that are no movies, and files in containers the game does not play
// (a sound file, playlists that name another file, even a movie the game
// would play), are refused.
TEST_F(MovieFolder, FilesThatAreNoMoviesAreRefused) {
    const std::string good = Write("clip.mpg", ColourClip());
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    WavFormat format;
    const std::vector<uint8_t> wav = Wav_Encode(format, Wav_Sine(format, 440.0f, 0.5f, 22050).data(), 2 * 22050);
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"empty.mpg", ""},
        {"text.mpg", "This is not a movie at all, only some words in a file."},
        {"zeros.mpg", std::string(4096, '\0')},
        {"head.mpg", bytes.substr(0, 20)},
        {"sound.mpg", std::string(wav.begin(), wav.end())},
        {"list.mpg", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + good + "\n#EXT-X-ENDLIST\n"},
        {"concat.mpg", "ffconcat version 1.0\nfile " + good + "\n"},
    };
    for (const auto& f : files) {
        const std::string path = (folder / f.name).string();
        std::ofstream(path, std::ios::binary) << f.bytes;
        std::string error;
        EXPECT_EQ(OpenMovieFile(path, true, &error), nullptr) << f.name;
        EXPECT_FALSE(error.empty()) << f.name;
    }
    std::string error;
    EXPECT_EQ(OpenMovieFile((folder / "missing.mpg").string(), true, &error), nullptr);
}

// The game plays MPEG and AVI files with frames at most 2048 on a side and
// 2048 x 1536 in all: larger frames are refused before a picture is made
// for them, in either container, whatever the rest of the file holds.
TEST_F(MovieFolder, FramesLargerThanTheGamePlaysAreRefused) {
    const struct {
        uint32_t width, height;
        bool played;
    } sizes[] = {{2064, 16, false}, {2048, 1552, false}, {2048, 16, true}};
    for (const char* container : {".mpg", ".avi"}) {
        for (const auto& size : sizes) {
            MovieClip clip = ColourClip(false);
            clip.settings.width = size.width;
            clip.settings.height = size.height;
            clip.settings.bFrames = 0;
            clip.frameColours.resize(2);
            const std::string path = Write(std::string("large") + container, clip);
            std::string error;
            std::unique_ptr<PlatformMovie> movie = OpenMovieFile(path, true, &error);
            SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << container);
            if (size.played) {
                ASSERT_NE(movie, nullptr) << error;
                EXPECT_EQ(ReadAll(*movie).frames.size(), 2u);
            } else {
                EXPECT_EQ(movie, nullptr);
                EXPECT_EQ(error, "movie frames too large");
            }
        }
    }
}

// Two clips joined into one file: the sound changes from stereo at one
// rate to mono at another in the middle of the stream. It is read on to
// the end, every chunk in the channels the movie announced.
TEST_F(MovieFolder, SoundThatChangesItsLayoutIsReadOn) {
    MovieClip mono = ColourClip();
    mono.settings.audioChannels = 1;
    mono.settings.audioRate = 22050;
    std::ifstream first(Write("stereo.mpg", ColourClip()), std::ios::binary);
    std::ifstream second(Write("mono.mpg", mono), std::ios::binary);
    const std::string path = (folder / "joined.mpg").string();
    std::ofstream(path, std::ios::binary) << first.rdbuf() << second.rdbuf();
    std::string error;
    std::unique_ptr<PlatformMovie> movie = OpenMovieFile(path, true, &error);
    ASSERT_NE(movie, nullptr) << error;
    const uint32_t channels = movie->GetInfo().audioChannels;
    ASSERT_EQ(channels, 2u);
    size_t frames = 0, chunks = 0;
    for (;;) {
        MovieVideoFrame frame;
        MovieAudioChunk chunk;
        const MovieRead what = movie->ReadNext(&frame, &chunk);
        if (what == MOVIE_READ_END) break;
        frames += what == MOVIE_READ_VIDEO;
        if (what == MOVIE_READ_AUDIO) {
            ++chunks;
            EXPECT_EQ(chunk.samples.size() % channels, 0u);
        }
    }
    EXPECT_GE(frames, ClipColours().size());
    EXPECT_GT(chunks, 0u);
}

TEST_F(MovieFolder, AMovieCutShortEndsEarly) {
    const std::string good = Write("clip.mpg", ColourClip());
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    for (size_t keep : {bytes.size() / 2, bytes.size() * 3 / 4, bytes.size() - 7}) {
        const std::string path = (folder / "cut.mpg").string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, keep);
        std::string error;
        std::unique_ptr<PlatformMovie> movie = OpenMovieFile(path, true, &error);
        if (movie == nullptr) continue;  // too little left to open: refused, as above
        const Read read = ReadAll(*movie);
        EXPECT_LE(read.frames.size(), ClipColours().size()) << "kept " << keep;
        for (size_t i = 0; i < read.frames.size(); ++i)
            EXPECT_EQ(read.frames[i].pixels.size(), 64u * 48u);
    }
}

TEST_F(MovieFolder, AWriterThatCannotWriteSaysWhy) {
    std::string error;
    MovieWriteSettings settings;
    EXPECT_EQ(PlatformMovieWriter::Create((folder / "no" / "such" / "folder.mpg").string(), settings, &error), nullptr);
    EXPECT_FALSE(error.empty());
}

}  // namespace
