#include "platform/shell/WindowMovie.h"

#include "platform/Time.h"
#include "platform/shell/ShellSound.h"

#include <cstdio>
#include <limits>

namespace {

class FileMovieSource : public MovieSource {
public:
    explicit FileMovieSource(std::FILE* file) : m_File(file) {}
    ~FileMovieSource() override { std::fclose(m_File); }

    int Read(uint8_t* buffer, int size) override {
        const size_t n = std::fread(buffer, 1, static_cast<size_t>(size), m_File);
        return n == 0 && std::ferror(m_File) ? -1 : static_cast<int>(n);
    }
    int64_t Seek(int64_t offset, int origin) override {
        if (offset < std::numeric_limits<long>::min() || offset > std::numeric_limits<long>::max()) return -1;
        const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
        if (std::fseek(m_File, static_cast<long>(offset), whence) != 0) return -1;
        return std::ftell(m_File);
    }
    int64_t GetSize() override {
        const long here = std::ftell(m_File);
        if (here < 0 || std::fseek(m_File, 0, SEEK_END) != 0) return -1;
        const long size = std::ftell(m_File);
        std::fseek(m_File, here, SEEK_SET);
        return size;
    }

private:
    std::FILE* m_File;
};

double Seconds() {
    int64_t count = 0, frequency = 1;
    Platform_QueryPerformanceFrequency(&frequency);
    Platform_QueryPerformanceCounter(&count);
    return static_cast<double>(count) / static_cast<double>(frequency);
}

}  // namespace

std::unique_ptr<PlatformWindowMovie> PlatformWindowMovie::Open(const std::string& path, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        if (error) *error = "cannot open " + path;
        return nullptr;
    }
    std::string reason;
    std::unique_ptr<PlatformMovie> movie = PlatformMovie::Open(std::make_unique<FileMovieSource>(file), true, &reason);
    if (!movie) {
        if (error) *error = reason;
        return nullptr;
    }
    std::unique_ptr<PlatformWindowMovie> playback(new PlatformWindowMovie());
    playback->m_Sound = Platform_CreateMovieSound(movie->GetInfo());
    playback->m_Player = std::make_unique<MoviePlayer>(std::move(movie), Seconds, nullptr, playback->m_Sound.get());
    return playback;
}

PlatformWindowMovie::~PlatformWindowMovie() {
    // The worker goes first: it feeds the sound.
    m_Player.reset();
    m_Sound.reset();
}

void PlatformWindowMovie::Run() { m_Player->Run(); }
void PlatformWindowMovie::Stop() { m_Player->Stop(); }
bool PlatformWindowMovie::TakeFrame(MovieVideoFrame* frame) { return m_Player->TakeFrame(frame); }
bool PlatformWindowMovie::HasEnded() { return m_Player->GetState() == MOVIE_ENDED; }
