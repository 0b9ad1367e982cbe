#pragma once
// A movie's sound track on the sound device: a streamed buffer whose two
// halves the movie's worker refills as the play cursor leaves them. Made
// and deleted on the game thread; every other call comes from the worker.

#include "platform/movie/MoviePlayer.h"

#include <memory>
#include <vector>

class PlatformSoundBuffer;

class MovieSound : public MovieAudioSink {
public:
    // Null when no sound device is open (sound switched off) or it refuses
    // the format: the movie then plays silent.
    static std::unique_ptr<MovieSound> Create(const MovieInfo& info);
    ~MovieSound() override;

    void Queue(const int16_t* samples, size_t frames) override;
    void Pause() override;
    void Resume() override;
    void Flush() override;
    void Service() override;

private:
    MovieSound(PlatformSoundBuffer* buffer, uint32_t channels, uint32_t halfBytes);
    void FillHalf(uint32_t half);

    PlatformSoundBuffer* m_Buffer;
    uint32_t m_Channels;
    uint32_t m_HalfBytes;
    std::vector<int16_t> m_Pending;  // samples not yet in the buffer
    size_t m_PendingStart = 0;
    bool m_Started = false;
    bool m_Playing = false;
    uint32_t m_CursorHalf = 0;
};
