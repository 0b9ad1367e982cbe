#pragma once
// Movies on FFmpeg: a file read through a source the caller provides (the
// engine's own file system), demuxed and decoded into video frames of 32-bit
// ARGB (rows top first, the picture upright) and audio of interleaved
// 16-bit samples, in stream order. One thread uses a movie at a time;
// MoviePlayer.h runs one on a worker thread against a clock.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Where a movie's bytes come from.
class MovieSource {
public:
    virtual ~MovieSource() = default;
    // Bytes read into buffer; 0 at the end of the file, -1 on an error.
    virtual int Read(uint8_t* buffer, int size) = 0;
    // Moves to offset from the start (0), the position (1) or the end (2);
    // the new position, or -1.
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    virtual int64_t GetSize() = 0;
};

struct MovieVideoFrame {
    double time = 0.0;  // seconds from the start of the movie
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;  // ARGB, rows top first
};

struct MovieAudioChunk {
    double time = 0.0;
    std::vector<int16_t> samples;  // interleaved, MovieInfo::audioChannels per frame
};

struct MovieInfo {
    bool hasVideo = false;
    uint32_t width = 0, height = 0;
    double frameRate = 0.0;
    bool hasAudio = false;  // an audio track that is decoded
    uint32_t audioRate = 0;
    uint32_t audioChannels = 0;  // 1 or 2; more are mixed down to 2
    // Seconds, as the file says: 0 when it does not, an estimate from the
    // time stamps it holds in others (MPEG program streams).
    double duration = 0.0;
};

enum MovieRead { MOVIE_READ_VIDEO, MOVIE_READ_AUDIO, MOVIE_READ_END };

// The largest video frame a movie may have: the game's movies and video
// textures are at most screen-sized. A file whose frames are larger is
// refused when it is opened (and a larger frame later in it is dropped).
constexpr uint32_t kMovieMaxSide = 2048;
constexpr uint64_t kMovieMaxPixels = uint64_t{2048} * 1536;

// The decoders live in a module of their own (MovieCodecs.h), loaded with
// the first movie, so that programs and tests that play none do not load
// the codec libraries and everything they bring.
class PlatformMovie {
public:
    // Null, with the reason in error, for a file without a decodable video
    // or audio track, of a container or codec the game does not play, or
    // with frames beyond kMovieMaxSide or kMovieMaxPixels. Without
    // withAudio the audio track is left undecoded.
    static std::unique_ptr<PlatformMovie> Open(std::unique_ptr<MovieSource> source, bool withAudio,
                                               std::string* error);
    virtual ~PlatformMovie() = default;

    virtual const MovieInfo& GetInfo() const = 0;
    // The next video frame or audio chunk in stream order, or the end (also
    // after damaged data that cannot be read on).
    virtual MovieRead ReadNext(MovieVideoFrame* video, MovieAudioChunk* audio) = 0;
    // Back to the start; false when the file cannot be read again.
    virtual bool Rewind() = 0;
};

// Writes a movie file: MPEG-1 video with MP2 audio in an MPEG program
// stream (".mpg"), or in AVI (".avi"). Used by the content tools and
// test fixtures.
struct MovieWriteSettings {
    uint32_t width = 320, height = 240;
    uint32_t frameRate = 25;  // a rate MPEG-1 allows: 24, 25, 30, 50 or 60
    uint32_t bFrames = 2;     // none in AVI files
    bool withAudio = true;
    uint32_t audioRate = 44100;
    uint32_t audioChannels = 2;
};

class PlatformMovieWriter {
public:
    static std::unique_ptr<PlatformMovieWriter> Create(const std::string& path, const MovieWriteSettings& settings,
                                                       std::string* error);
    virtual ~PlatformMovieWriter() = default;
    // One frame of width x height ARGB pixels, rows top first.
    virtual bool AddVideoFrame(const uint32_t* pixels) = 0;
    // Interleaved samples; any count, buffered into the encoder's frames.
    virtual bool AddAudio(const int16_t* samples, size_t frames) = 0;
    // Flushes the encoders and writes the trailer; false when any write failed.
    virtual bool Finish() = 0;
};
