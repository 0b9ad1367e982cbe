#include "platform/sound/MovieSound.h"

#include "platform/sound/SoundDevice.h"

#include <algorithm>
#include <cstring>

namespace {

// Each half holds a tenth of a second: the worker looks in far more often.
constexpr uint32_t kHalvesPerSecond = 10;

}  // namespace

std::unique_ptr<PlatformMovieSound> PlatformMovieSound::Create(PlatformSoundDevice* device, const MovieInfo& info,
                                                               uint32_t caps, std::recursive_mutex* lock) {
    if (device == nullptr || !info.hasAudio || info.audioRate == 0) return nullptr;
    PlatformSoundFormat format;
    format.channels = static_cast<uint16_t>(info.audioChannels);
    format.sampleRate = info.audioRate;
    format.bitsPerSample = 16;
    const uint32_t halfBytes = std::max(1u, info.audioRate / kHalvesPerSecond) * format.BlockAlign();
    std::lock_guard<std::recursive_mutex> hold(*lock);
    PlatformSoundBuffer* buffer = device->CreateBuffer(format, halfBytes * 2, caps, true);
    if (buffer == nullptr) return nullptr;
    return std::unique_ptr<PlatformMovieSound>(new PlatformMovieSound(buffer, info.audioChannels, halfBytes, lock));
}

PlatformMovieSound::PlatformMovieSound(PlatformSoundBuffer* buffer, uint32_t channels, uint32_t halfBytes,
                                       std::recursive_mutex* lock)
    : m_Buffer(buffer), m_Channels(channels), m_HalfBytes(halfBytes), m_Lock(lock) {}

PlatformMovieSound::~PlatformMovieSound() {
    std::lock_guard<std::recursive_mutex> hold(*m_Lock);
    delete m_Buffer;
}

void PlatformMovieSound::Queue(const int16_t* samples, size_t frames) {
    // Samples already played make room at the front now and then.
    if (m_PendingStart > 0 && m_PendingStart * 2 >= m_Pending.size()) {
        m_Pending.erase(m_Pending.begin(), m_Pending.begin() + static_cast<std::ptrdiff_t>(m_PendingStart));
        m_PendingStart = 0;
    }
    m_Pending.insert(m_Pending.end(), samples, samples + frames * m_Channels);
}

// The next tenth of a second of sound into one half, silence where the movie
// has none (yet, or any more).
void PlatformMovieSound::FillHalf(uint32_t half) {
    auto* bytes = static_cast<uint8_t*>(m_Buffer->Lock(half * m_HalfBytes, m_HalfBytes));
    if (bytes == nullptr) return;
    const size_t wanted = m_HalfBytes / sizeof(int16_t);
    const size_t taken = std::min(wanted, m_Pending.size() - m_PendingStart);
    if (taken > 0) std::memcpy(bytes, m_Pending.data() + m_PendingStart, taken * sizeof(int16_t));
    std::memset(bytes + taken * sizeof(int16_t), 0, (wanted - taken) * sizeof(int16_t));
    m_PendingStart += taken;
    m_Buffer->Unlock(half * m_HalfBytes, m_HalfBytes);
}

void PlatformMovieSound::Resume() {
    std::lock_guard<std::recursive_mutex> hold(*m_Lock);
    if (!m_Started) {
        FillHalf(0);
        FillHalf(1);
        m_Buffer->SetCurrentPosition(0);
        m_CursorHalf = 0;
        m_Started = true;
    }
    m_Buffer->Play(true);
    m_Playing = true;
}

void PlatformMovieSound::Pause() {
    std::lock_guard<std::recursive_mutex> hold(*m_Lock);
    m_Buffer->Stop();
    m_Playing = false;
}

void PlatformMovieSound::Flush() {
    m_Pending.clear();
    m_PendingStart = 0;
    m_Started = false;
}

void PlatformMovieSound::Service() {
    if (!m_Playing) return;
    std::lock_guard<std::recursive_mutex> hold(*m_Lock);
    const uint32_t half = m_Buffer->GetCurrentPosition() >= m_HalfBytes ? 1 : 0;
    // The cursor has left a half: it gets the sound after the other one.
    if (half != m_CursorHalf) {
        FillHalf(m_CursorHalf);
        m_CursorHalf = half;
    }
}
