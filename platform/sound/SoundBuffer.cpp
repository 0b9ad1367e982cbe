#include "platform/sound/SoundContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// The samples of a static buffer, shared by the buffer and its duplicates.
struct PlatformSoundBuffer::Samples {
    ~Samples() {
        if (buffer != 0 && alcGetCurrentContext() == owner) alDeleteBuffers(1, &buffer);
    }
    ALCcontext* owner = nullptr;
    ALuint buffer = 0;
};

namespace {

ALenum MixFormat(const PlatformSoundFormat& format) {
    if (format.channels == 1) return format.bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    return format.bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

bool IsPlayableFormat(const PlatformSoundFormat& format) {
    return format.formatTag == 1 && (format.channels == 1 || format.channels == 2) &&
           (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.sampleRate >= SOUND_FREQUENCY_MIN &&
           format.sampleRate <= SOUND_FREQUENCY_MAX;
}

ALint SourceState(ALuint source) {
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state;
}

bool Upload(ALuint buffer, const PlatformSoundFormat& format, const uint8_t* bytes, uint32_t size) {
    alGetError();
    alBufferData(buffer, MixFormat(format), bytes, static_cast<ALsizei>(size), static_cast<ALsizei>(format.sampleRate));
    return alGetError() == AL_NO_ERROR;
}

}  // namespace

PlatformSoundBuffer::~PlatformSoundBuffer() {
    std::vector<PlatformSoundBuffer*>& list = m_Context->buffers3D;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    // The device closed (and perhaps another opened): this voice went with its own mix.
    if (m_Context->context == nullptr || alcGetCurrentContext() != m_Context->context) return;
    if (m_Source != 0) {
        alSourceStop(m_Source);
        alSourcei(m_Source, AL_BUFFER, 0);
        alDeleteSources(1, &m_Source);
    }
    for (ALuint& half : m_HalfBuffers) {
        if (half != 0) alDeleteBuffers(1, &half);
    }
}

void* PlatformSoundBuffer::Lock(uint32_t offset, uint32_t bytes) {
    if (offset > m_Size || bytes > m_Size - offset || bytes == 0) return nullptr;
    if (m_Streaming) return m_Ring.get() + offset;
    if (offset != 0 || bytes != m_Size) return nullptr;
    m_Staging.reset(new (std::nothrow) uint8_t[m_Size]);
    if (m_Staging) std::memset(m_Staging.get(), 0, m_Size);
    return m_Staging.get();
}

bool PlatformSoundBuffer::Unlock(uint32_t offset, uint32_t bytes) {
    if (offset > m_Size || bytes > m_Size - offset) return false;
    if (m_Streaming) {
        const uint32_t half = m_Size / 2;
        for (uint32_t h = 0; h < 2; ++h) {
            if (offset < (h + 1) * half && offset + bytes > h * half) m_Fresh[h] = true;
        }
        if (m_RingPlaying) ServiceRing();
        return true;
    }
    if (!m_Staging) return false;
    // Samples that voices are playing cannot be replaced under them.
    const bool uploaded = Upload(m_Samples->buffer, m_Format, m_Staging.get(), m_Size);
    m_Staging.reset();
    return uploaded;
}

bool PlatformSoundBuffer::AttachSamples() {
    ALint attached = 0;
    alGetSourcei(m_Source, AL_BUFFER, &attached);
    if (attached != 0) return true;
    alGetError();
    alSourcei(m_Source, AL_BUFFER, static_cast<ALint>(m_Samples->buffer));
    return alGetError() == AL_NO_ERROR;
}

// Uploads one half of the ring and queues it behind what the voice holds.
void PlatformSoundBuffer::QueueHalf(uint32_t half) {
    const uint32_t halfSize = m_Size / 2;
    Upload(m_HalfBuffers[half], m_Format, m_Ring.get() + half * halfSize, halfSize);
    alSourceQueueBuffers(m_Source, 1, &m_HalfBuffers[half]);
    m_Fresh[half] = false;
    ++m_Queued;
}

// Queues the ring in play order from the half that holds offset, and starts
// the voice at offset within it.
void PlatformSoundBuffer::QueueFrom(uint32_t offset) {
    const uint32_t halfSize = m_Size / 2;
    const uint32_t first = offset >= halfSize ? 1 : 0;
    m_HeadHalf = first;
    QueueHalf(first);
    QueueHalf(first ^ 1);
    alSourcei(m_Source, AL_BYTE_OFFSET, static_cast<ALint>(offset - first * halfSize));
}

void PlatformSoundBuffer::DetachAll() {
    alSourceStop(m_Source);
    alSourcei(m_Source, AL_BUFFER, 0);
    m_Queued = 0;
}

// A half the voice has played goes back behind the other as soon as it was
// rewritten, or as it stands when the voice is about to run out (the last
// quarter of the other half plays), as a ring that loops would replay it. A
// voice that ran out all the same starts again at that half.
void PlatformSoundBuffer::ServiceRing() {
    if (m_Queued == 0) return;
    const uint32_t halfSize = m_Size / 2;
    if (SourceState(m_Source) == AL_STOPPED) {
        DetachAll();
        QueueFrom(m_HeadHalf * halfSize);
        alSourcePlay(m_Source);
        return;
    }
    ALint processed = 0, offset = 0;
    alGetSourcei(m_Source, AL_BUFFERS_PROCESSED, &processed);
    alGetSourcei(m_Source, AL_BYTE_OFFSET, &offset);
    const bool runningOut = static_cast<int64_t>(m_Queued) * halfSize - offset <= halfSize / 4;
    while (processed > 0 && (m_Fresh[m_HeadHalf] || runningOut)) {
        ALuint played = 0;
        alSourceUnqueueBuffers(m_Source, 1, &played);
        --m_Queued;
        QueueHalf(m_HeadHalf);
        m_HeadHalf ^= 1;
        --processed;
    }
}

bool PlatformSoundBuffer::Play(bool loop) {
    if (m_Streaming) {
        if (m_RingPlaying) return true;
        if (!m_Paused) {
            DetachAll();
            QueueFrom(m_StartOffset);
        }
        alSourcePlay(m_Source);
        m_Paused = false;
        m_RingPlaying = true;
        return true;
    }
    if (!AttachSamples()) return false;
    m_Looping = loop;
    alSourcei(m_Source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    const ALint state = SourceState(m_Source);
    if (state == AL_PLAYING) return true;
    if (state != AL_PAUSED || !m_Paused) alSourcei(m_Source, AL_BYTE_OFFSET, static_cast<ALint>(m_StartOffset));
    alSourcePlay(m_Source);
    // A sound that plays to its end starts from the beginning next time.
    m_StartOffset = 0;
    m_Paused = false;
    return true;
}

void PlatformSoundBuffer::Stop() {
    if (m_Streaming) {
        if (!m_RingPlaying) return;
        const uint32_t position = GetCurrentPosition();
        m_RingPlaying = false;
        alSourcePause(m_Source);
        m_Paused = SourceState(m_Source) == AL_PAUSED;
        if (!m_Paused) {
            DetachAll();
            m_StartOffset = position;
        }
        return;
    }
    if (SourceState(m_Source) != AL_PLAYING) return;
    alSourcePause(m_Source);
    m_Paused = true;
}

bool PlatformSoundBuffer::IsPlaying() {
    if (m_Streaming) return m_RingPlaying;
    return SourceState(m_Source) == AL_PLAYING;
}

uint32_t PlatformSoundBuffer::GetCurrentPosition() {
    if (m_Streaming) {
        if (m_Queued == 0) return m_StartOffset;
        if (m_RingPlaying) ServiceRing();
        ALint offset = 0;
        alGetSourcei(m_Source, AL_BYTE_OFFSET, &offset);
        return (m_HeadHalf * (m_Size / 2) + static_cast<uint32_t>(std::max(offset, 0))) % m_Size;
    }
    const ALint state = SourceState(m_Source);
    if (state != AL_PLAYING && state != AL_PAUSED) return m_StartOffset;
    ALint offset = 0;
    alGetSourcei(m_Source, AL_BYTE_OFFSET, &offset);
    return static_cast<uint32_t>(std::max(offset, 0));
}

void PlatformSoundBuffer::SetCurrentPosition(uint32_t offset) {
    const uint32_t frame = m_Format.BlockAlign();
    offset = std::min(offset, m_Size - frame) / frame * frame;
    if (m_Streaming) {
        const bool playing = m_RingPlaying;
        DetachAll();
        m_Paused = false;
        m_StartOffset = offset;
        if (playing) {
            QueueFrom(offset);
            alSourcePlay(m_Source);
        }
        return;
    }
    if (SourceState(m_Source) == AL_PLAYING) {
        alSourcei(m_Source, AL_BYTE_OFFSET, static_cast<ALint>(offset));
        return;
    }
    alSourceStop(m_Source);
    m_Paused = false;
    m_StartOffset = offset;
}

void PlatformSoundBuffer::ApplyGain() {
    const float gain = m_Muted ? 0.0f : std::pow(10.0f, static_cast<float>(m_Volume) / 2000.0f);
    alSourcef(m_Source, AL_GAIN, gain);
}

bool PlatformSoundBuffer::SetVolume(int32_t volume) {
    if (volume < -10000 || volume > 0) return false;
    m_Volume = volume;
    ApplyGain();
    return true;
}

bool PlatformSoundBuffer::SetFrequency(uint32_t hz) {
    if (hz == 0) hz = m_Format.sampleRate;
    if (hz < SOUND_FREQUENCY_MIN || hz > SOUND_FREQUENCY_MAX) return false;
    m_Frequency = hz;
    alSourcef(m_Source, AL_PITCH, static_cast<float>(hz) / static_cast<float>(m_Format.sampleRate));
    return true;
}

void PlatformSoundBuffer::SetPosition(float x, float y, float z) {
    if (!Has3D()) return;
    m_Pending3D.position[0] = x, m_Pending3D.position[1] = y, m_Pending3D.position[2] = z;
    m_Dirty3D = true;
}

void PlatformSoundBuffer::SetDistances(float minimum, float maximum) {
    if (!Has3D()) return;
    m_Pending3D.minDistance = minimum;
    m_Pending3D.maxDistance = maximum;
    m_Dirty3D = true;
}

// Runs in the commit: deferred settings reach the voice, and a buffer that
// mutes at its maximum distance is silenced or heard again for the
// listener's committed place.
void PlatformSoundBuffer::ApplyPending3D() {
    if (m_Dirty3D) {
        m_Committed3D = m_Pending3D;
        m_Dirty3D = false;
        float position[3];
        Sound_ToRightHanded(m_Committed3D.position, position);
        alSourcefv(m_Source, AL_POSITION, position);
        alSourcef(m_Source, AL_REFERENCE_DISTANCE, std::max(m_Committed3D.minDistance, 0.0f));
        alSourcef(m_Source, AL_MAX_DISTANCE, std::max(m_Committed3D.maxDistance, 0.0f));
    }
    if (!(m_Caps & SOUND_CAPS_MUTE_AT_MAX)) return;
    const float* listener = m_Context->listener.position;
    const float dx = m_Committed3D.position[0] - listener[0];
    const float dy = m_Committed3D.position[1] - listener[1];
    const float dz = m_Committed3D.position[2] - listener[2];
    const bool muted = dx * dx + dy * dy + dz * dz > m_Committed3D.maxDistance * m_Committed3D.maxDistance;
    if (muted != m_Muted) {
        m_Muted = muted;
        ApplyGain();
    }
}

PlatformSoundBuffer* PlatformSoundDevice::CreateBuffer(const PlatformSoundFormat& format, uint32_t bytes, uint32_t caps,
                                                       bool streaming) {
    return MakeBuffer(format, bytes, caps, streaming, nullptr);
}

// A new voice, on new samples or on those of the buffer it shares them with.
PlatformSoundBuffer* PlatformSoundDevice::MakeBuffer(const PlatformSoundFormat& format, uint32_t bytes, uint32_t caps,
                                                     bool streaming, PlatformSoundBuffer* sharing) {
    if (!IsPlayableFormat(format) || bytes == 0) return nullptr;
    const uint32_t frame = format.BlockAlign();
    if (bytes % (streaming ? 2 * frame : frame) != 0) return nullptr;
    if ((caps & SOUND_CAPS_3D) && format.channels != 1) return nullptr;

    std::unique_ptr<PlatformSoundBuffer> buffer(new PlatformSoundBuffer());
    buffer->m_Context = m_Context;
    buffer->m_Format = format;
    buffer->m_Size = bytes;
    buffer->m_Caps = caps;
    buffer->m_Streaming = streaming;
    buffer->m_Frequency = format.sampleRate;
    alGetError();
    alGenSources(1, &buffer->m_Source);
    if (alGetError() != AL_NO_ERROR) {
        buffer->m_Source = 0;
        return nullptr;
    }
    if (streaming) {
        buffer->m_Ring.reset(new (std::nothrow) uint8_t[bytes]);
        if (!buffer->m_Ring) return nullptr;
        std::memset(buffer->m_Ring.get(), format.bitsPerSample == 8 ? 0x80 : 0, bytes);
        alGenBuffers(2, buffer->m_HalfBuffers);
    } else if (sharing != nullptr) {
        buffer->m_Samples = sharing->m_Samples;
    } else {
        buffer->m_Samples = std::make_shared<PlatformSoundBuffer::Samples>();
        buffer->m_Samples->owner = m_Context->context;
        alGenBuffers(1, &buffer->m_Samples->buffer);
    }
    if (alGetError() != AL_NO_ERROR) return nullptr;

    const ALuint source = buffer->m_Source;
    if (caps & SOUND_CAPS_3D) {
        alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 1.0f);
        alSourcef(source, AL_REFERENCE_DISTANCE, SOUND_DEFAULT_MIN_DISTANCE);
        alSourcef(source, AL_MAX_DISTANCE, SOUND_DEFAULT_MAX_DISTANCE);
        m_Context->buffers3D.push_back(buffer.get());
    } else {
        // Beside the listener, whatever the listener does.
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
        if (m_Context->directChannels) alSourcei(source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
    }
    return buffer.release();
}

PlatformSoundBuffer* PlatformSoundDevice::DuplicateBuffer(PlatformSoundBuffer* source, bool with3D) {
    if (source == nullptr || source->m_Streaming) return nullptr;
    uint32_t caps = source->m_Caps & ~(SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX);
    if (with3D && source->m_Format.channels == 1) caps |= SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX;
    PlatformSoundBuffer* copy = MakeBuffer(source->m_Format, source->m_Size, caps, false, source);
    if (copy == nullptr) return nullptr;
    copy->SetVolume(source->m_Volume);
    copy->SetFrequency(source->m_Frequency);
    return copy;
}
