#pragma once
// A movie's sound track on a sound device: a streamed buffer whose two
// halves the movie's worker refills as the play cursor leaves them. Made
// and deleted on the owner's thread; every other call comes from the
// worker. Each call on the buffer holds the owner's sound lock, so the
// owner's other threads may use the device meanwhile.

#include "platform/movie/MoviePlayer.h"

#include <memory>
#include <mutex>
#include <vector>

class PlatformSoundBuffer;
class PlatformSoundDevice;

class PlatformMovieSound : public MovieAudioSink {
public:
    // Null without a device or a sound track, or for a format the device
    // refuses: the movie then plays silent. caps are the buffer's.
    static std::unique_ptr<PlatformMovieSound> Create(PlatformSoundDevice* device, const MovieInfo& info, uint32_t caps,
                                                      std::recursive_mutex* lock);
    ~PlatformMovieSound() override;

    void Queue(const int16_t* samples, size_t frames) override;
    void Pause() override;
    void Resume() override;
    void Flush() override;
    void Service() override;

private:
    PlatformMovieSound(PlatformSoundBuffer* buffer, uint32_t channels, uint32_t halfBytes, std::recursive_mutex* lock);
    void FillHalf(uint32_t half);

    PlatformSoundBuffer* m_Buffer;
    uint32_t m_Channels;
    uint32_t m_HalfBytes;
    std::recursive_mutex* m_Lock;
    std::vector<int16_t> m_Pending;  // samples not yet in the buffer
    size_t m_PendingStart = 0;
    bool m_Started = false;
    bool m_Playing = false;
    uint32_t m_CursorHalf = 0;
};
