#pragma once
// A movie file played in real time in a window: the caller takes each frame
// as it comes due and draws it; the sound track plays on the front ends'
// sound output (ShellSound.h).

#include "platform/movie/MoviePlayer.h"

#include <memory>
#include <string>

class PlatformWindowMovie {
public:
    // Null, with the reason in error, for a file that cannot be read as a movie.
    static std::unique_ptr<PlatformWindowMovie> Open(const std::string& path, std::string* error);
    ~PlatformWindowMovie();
    PlatformWindowMovie(const PlatformWindowMovie&) = delete;
    PlatformWindowMovie& operator=(const PlatformWindowMovie&) = delete;

    void Run();
    void Stop();
    // The newest frame come due since the last call; false when none came.
    bool TakeFrame(MovieVideoFrame* frame);
    // True once the last frame has been shown and the sound has played out.
    bool HasEnded();

private:
    PlatformWindowMovie() = default;

    std::unique_ptr<MovieAudioSink> m_Sound;
    std::unique_ptr<MoviePlayer> m_Player;
};
