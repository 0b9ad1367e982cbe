// Any bytes as a movie file, opened through the game's decoder as the
// logo, mission movies and video textures open theirs: only the containers
// and codecs the game plays are read, nothing outside the file is opened,
// and a movie that opens gives frames within the size the game plays, in
// the size it announced, and sound in the channels it announced, before
// and after a rewind.

#include "fuzz/files/FuzzCheck.h"
#include "platform/movie/Movie.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The input as the file, read through the same kind of source the game's
// file system gives a movie.
class BytesSource : public MovieSource {
public:
    BytesSource(const uint8_t* data, size_t size) : m_Data(data), m_Size(static_cast<int64_t>(size)) {}
    int Read(uint8_t* buffer, int size) override {
        const int64_t count = std::clamp<int64_t>(m_Size - m_Position, 0, size);
        std::memcpy(buffer, m_Data + m_Position, static_cast<size_t>(count));
        m_Position += count;
        return static_cast<int>(count);
    }
    int64_t Seek(int64_t offset, int origin) override {
        const int64_t base = origin == 0 ? 0 : origin == 1 ? m_Position : m_Size;
        if (offset < -base || base + offset > m_Size) return -1;
        m_Position = base + offset;
        return m_Position;
    }
    int64_t GetSize() override { return m_Size; }

private:
    const uint8_t* m_Data;
    int64_t m_Size;
    int64_t m_Position = 0;
};

// Reads up to this many frames and chunks: enough for the headers, the
// first pictures and sound, and every kind of packet a short file holds.
constexpr int kMostReads = 64;

void ReadSome(PlatformMovie& movie) {
    const MovieInfo& info = movie.GetInfo();
    for (int i = 0; i < kMostReads; ++i) {
        MovieVideoFrame frame;
        MovieAudioChunk chunk;
        const MovieRead read = movie.ReadNext(&frame, &chunk);
        if (read == MOVIE_READ_END) return;
        if (read == MOVIE_READ_VIDEO) {
            Check(info.hasVideo);
            Check(frame.width <= kMovieMaxSide && frame.height <= kMovieMaxSide);
            Check(uint64_t{frame.width} * frame.height <= kMovieMaxPixels);
            Check(frame.pixels.size() == size_t{frame.width} * frame.height);
            Check(frame.time >= 0.0);
        } else {
            Check(info.hasAudio && info.audioChannels >= 1 && info.audioChannels <= 2);
            Check(chunk.samples.size() % info.audioChannels == 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    std::unique_ptr<PlatformMovie> movie = PlatformMovie::Open(std::make_unique<BytesSource>(data, size), true, &error);
    if (movie == nullptr) {
        Check(!error.empty());
        return 0;
    }
    const MovieInfo& info = movie->GetInfo();
    Check(info.hasVideo || info.hasAudio);
    if (info.hasVideo) Check(info.width <= kMovieMaxSide && info.height <= kMovieMaxSide);
    ReadSome(*movie);
    if (movie->Rewind()) ReadSome(*movie);
    return 0;
}
