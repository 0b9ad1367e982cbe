#pragma once
// The sound device the engine plays through, on OpenAL Soft: one output
// device with a 3D listener, and sound buffers of PCM samples, each with its
// own voice, shaped like the secondary buffers the engine's sound code was
// written for.
//
// Rules of this boundary:
// - Positions, velocities and orientations come in the game's left-handed
//   world and are turned right-handed here (z negated).
// - 3D settings of buffers and of the listener are deferred: nothing changes
//   in the mix until CommitDeferredSettings, which applies them together.
// - Volume is in hundredths of a decibel (0 full, -10000 silence); frequency
//   in Hz, where 0 means the buffer's own sample rate.
// - Distances follow the inverse law clamped to the minimum and maximum
//   distance (gain min / (min + (d - min)) beyond the minimum, held at the
//   maximum); a buffer created with SOUND_CAPS_MUTE_AT_MAX falls silent
//   beyond its maximum distance.
// - A buffer without 3D control plays beside the listener, unattenuated;
//   stereo samples reach the left and right outputs as they are. A 3D buffer
//   must hold mono samples.
// - A static buffer is written once, whole, before it first plays. A
//   streaming buffer is a ring that plays looping while its owner rewrites
//   the half that the play cursor has left; a half that was not rewritten
//   in time plays again as it was.
// - The device and its buffers may be used from two threads (the game and
//   the sound streaming thread); the owner of a streaming buffer keeps its
//   data operations (lock, unlock, play, stop, position) on one thread at a
//   time.

#include <cstdint>
#include <atomic>
#include <memory>

// The PCM layout of a buffer, as a WAV file's format chunk gives it.
struct PlatformSoundFormat {
    uint16_t formatTag = 1;  // 1: PCM, the only one played
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;

    uint32_t BlockAlign() const { return static_cast<uint32_t>(bitsPerSample / 8) * channels; }
    uint32_t ByteRate() const { return BlockAlign() * sampleRate; }
};

// Buffer capabilities, numbered as the engine's sound code passes them.
enum : uint32_t {
    SOUND_CAPS_STATIC = 0x2,
    SOUND_CAPS_3D = 0x10,
    SOUND_CAPS_FREQUENCY = 0x20,
    SOUND_CAPS_PAN = 0x40,
    SOUND_CAPS_VOLUME = 0x80,
    SOUND_CAPS_CURSOR2 = 0x10000,
    SOUND_CAPS_MUTE_AT_MAX = 0x20000,
    SOUND_CAPS_DEFERRED = 0x40000,
};

// Sample rates a buffer may play at.
constexpr uint32_t SOUND_FREQUENCY_MIN = 100;
constexpr uint32_t SOUND_FREQUENCY_MAX = 200000;
// Distances of a new 3D buffer.
constexpr float SOUND_DEFAULT_MIN_DISTANCE = 1.0f;
constexpr float SOUND_DEFAULT_MAX_DISTANCE = 1.0e9f;

struct SoundDeviceContext;
class PlatformSoundDevice;

class PlatformSoundBuffer {
public:
    // Stops the voice and lets go of the samples (a duplicate's stay with the others).
    ~PlatformSoundBuffer();
    PlatformSoundBuffer(const PlatformSoundBuffer&) = delete;
    PlatformSoundBuffer& operator=(const PlatformSoundBuffer&) = delete;

    const PlatformSoundFormat& GetFormat() const { return m_Format; }
    uint32_t GetSize() const { return m_Size; }
    bool IsStreaming() const { return m_Streaming; }
    bool Has3D() const { return (m_Caps & SOUND_CAPS_3D) != 0; }

    // The bytes [offset, offset + bytes) to write; null when they do not lie
    // inside the buffer. A static buffer is locked whole.
    void* Lock(uint32_t offset, uint32_t bytes);
    // Hands the locked bytes to the mix; false when the samples were refused.
    bool Unlock(uint32_t offset, uint32_t bytes);

    // Plays from the current position, once or looping (a streaming buffer
    // always loops).
    bool Play(bool loop);
    // Stops where it is; Play goes on from there.
    void Stop();
    bool IsPlaying();
    // The play cursor in bytes from the buffer's start.
    uint32_t GetCurrentPosition();
    // Moves the play cursor (rounded down to a whole sample frame).
    void SetCurrentPosition(uint32_t offset);

    // Hundredths of a decibel, -10000 to 0; false outside.
    bool SetVolume(int32_t volume);
    int32_t GetVolume() const { return m_Volume; }
    // SOUND_FREQUENCY_MIN to SOUND_FREQUENCY_MAX, or 0 for the buffer's own
    // rate; false (and no change) otherwise.
    bool SetFrequency(uint32_t hz);
    uint32_t GetFrequency() const { return m_Frequency; }

    // Deferred 3D settings; ignored without 3D control.
    void SetPosition(float x, float y, float z);
    void SetDistances(float minimum, float maximum);

private:
    friend class PlatformSoundDevice;
    friend struct SoundDeviceContext;
    struct Samples;
    struct Pending3D {
        float position[3] = {0.0f, 0.0f, 0.0f};
        float minDistance = SOUND_DEFAULT_MIN_DISTANCE;
        float maxDistance = SOUND_DEFAULT_MAX_DISTANCE;
    };

    PlatformSoundBuffer() = default;
    bool AttachSamples();
    void ApplyGain();
    void ApplyPending3D();
    void QueueHalf(uint32_t half);
    void QueueFrom(uint32_t offset);
    void DetachAll();
    void ServiceRing();

    std::shared_ptr<SoundDeviceContext> m_Context;
    std::shared_ptr<Samples> m_Samples;
    PlatformSoundFormat m_Format;
    uint32_t m_Size = 0;
    uint32_t m_Caps = 0;
    bool m_Streaming = false;
    uint32_t m_Source = 0;
    int32_t m_Volume = 0;
    uint32_t m_Frequency = 0;
    bool m_Muted = false;  // beyond the maximum distance
    Pending3D m_Pending3D;
    Pending3D m_Committed3D;
    bool m_Dirty3D = false;
    // Static buffers: the bytes being written, until Unlock hands them over.
    std::unique_ptr<uint8_t[]> m_Staging;
    uint32_t m_StartOffset = 0;  // where the next Play starts when not paused
    bool m_Paused = false;
    bool m_Looping = false;
    // Streaming buffers: the ring's bytes, its two halves as mix buffers,
    // which half heads the voice's queue, how many are queued and which
    // halves were rewritten since they were last queued.
    std::unique_ptr<uint8_t[]> m_Ring;
    uint32_t m_HalfBuffers[2] = {0, 0};
    uint32_t m_HeadHalf = 0;
    uint32_t m_Queued = 0;
    bool m_Fresh[2] = {false, false};
    std::atomic<bool> m_RingPlaying{false};
};

// Why a device did not open.
enum SoundOpenResult : uint32_t {
    SOUND_OPEN_OK = 0,
    SOUND_OPEN_NO_DEVICE,   // no output device (or no loopback support)
    SOUND_OPEN_NO_CONTEXT,  // the device refused a mixing context
    SOUND_OPEN_BAD_FORMAT,  // the output format cannot be mixed
};

// One device at a time: opening a second makes it the one that plays.
class PlatformSoundDevice {
public:
    // The system's default output device mixing at the given rate; null,
    // with the reason in result, when there is none or it refuses.
    static std::unique_ptr<PlatformSoundDevice> Open(uint32_t channels, uint32_t sampleRate, uint32_t bits,
                                                     SoundOpenResult* result);
    // A device that mixes into memory when asked (RenderMix): the mix the
    // speakers would play, for tests and measurements.
    static std::unique_ptr<PlatformSoundDevice> OpenLoopback(uint32_t channels, uint32_t sampleRate, uint32_t bits,
                                                             SoundOpenResult* result);
    // Buffers made by the device keep its mix alive until they are deleted.
    ~PlatformSoundDevice();
    PlatformSoundDevice(const PlatformSoundDevice&) = delete;
    PlatformSoundDevice& operator=(const PlatformSoundDevice&) = delete;

    bool IsLoopback() const;
    uint32_t GetSampleRate() const;
    uint32_t GetChannels() const;

    // A silent buffer of bytes bytes (a whole number of sample frames); a
    // streaming buffer holds two halves of whole frames. Null for a format
    // that cannot play (not PCM, not 8 or 16 bits, not 1 or 2 channels, a
    // rate out of range, no samples) and for 3D control over more than one
    // channel.
    PlatformSoundBuffer* CreateBuffer(const PlatformSoundFormat& format, uint32_t bytes, uint32_t caps,
                                      bool streaming);
    // A second voice on the same samples (a static buffer only), with the
    // source's volume and frequency; 3D control when asked and the samples
    // are mono.
    PlatformSoundBuffer* DuplicateBuffer(PlatformSoundBuffer* source, bool with3D);

    // Deferred listener settings.
    void SetListenerPosition(float x, float y, float z);
    void SetListenerVelocity(float x, float y, float z);
    void SetListenerOrientation(float frontX, float frontY, float frontZ, float topX, float topY, float topZ);
    // Applies every deferred 3D setting of the listener and the buffers at once.
    void CommitDeferredSettings();

    // Loopback only: mixes frames sample frames of the output format into out.
    bool RenderMix(void* out, uint32_t frames);

private:
    PlatformSoundDevice() = default;
    PlatformSoundBuffer* MakeBuffer(const PlatformSoundFormat& format, uint32_t bytes, uint32_t caps, bool streaming,
                                    PlatformSoundBuffer* sharing);
    std::shared_ptr<SoundDeviceContext> m_Context;
};
