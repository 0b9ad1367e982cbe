#pragma once
// The game's sound layer: one device with a 3D listener, static sounds held
// whole, streamed sounds played from a two-half ring that the streaming
// thread refills from the WAV file every 100 ms, volume, frequency and
// deferred 3D settings, and the layer's own error text.
//
// Every operation on a sound accepts null and then does nothing; the 3D and
// listener operations do nothing without a device or without 3D control.
// Creation failures set the error text and return null (or 0).

#include "kernel/base/Maths.h"
#include "platform/Messages.h"
#include "services/sound/SoundState.h"

#include <cstdint>
#include <string>

class CQVArchive;
class PlatformSoundBuffer;

// The canonical 44-byte header at the start of every WAV file; the samples
// follow at offset 44. No id is checked.
struct WaveHeader {
    uint32_t riffId;
    uint32_t riffSize;
    uint32_t waveId;
    uint32_t formatId;
    uint32_t formatSize;
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t byteRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint32_t dataId;
    uint32_t dataSize;
};
constexpr uint32_t kWaveHeaderSize = 44;

enum : uint32_t { SOUND_KIND_STATIC = 0, SOUND_KIND_STREAM = 1 };

// Buffer flags the creating operations use in place of the caller's.
constexpr uint32_t SOUND_FLAGS_2D = 0xE0;      // volume, pan and frequency control
constexpr uint32_t SOUND_FLAGS_3D = 0x200B0;   // 3D, volume, frequency, muted beyond the maximum distance

class CQVSoundBuffer {
public:
    CQVSoundBuffer() = default;
    CQVSoundBuffer(const CQVSoundBuffer&) = delete;
    CQVSoundBuffer& operator=(const CQVSoundBuffer&) = delete;
    // Releases the 3D control, then the buffer.
    virtual ~CQVSoundBuffer();

    PlatformSoundBuffer* buffer = nullptr;
    PlatformSoundBuffer* buffer3D = nullptr;  // the buffer again when it has 3D control, else null
    uint32_t baseFrequency = 0;               // Hz
    uint32_t kind = SOUND_KIND_STATIC;
    uint32_t duplicate = 0;                   // shares another buffer's samples
    float length = 0.0f;                      // seconds
};

class CQVStreamSoundBuffer : public CQVSoundBuffer {
public:
    // Closes the file, then the base releases the buffer.
    ~CQVStreamSoundBuffer() override;

    CQVArchive* file = nullptr;
    uint32_t dataStart = 0;        // file position of the first sample byte
    CQVStreamSoundBuffer* next = nullptr;
    uint32_t halfSize = 0;         // bytes
    uint32_t dataSize = 0;         // bytes streamed before the end
    uint32_t bytesStreamed = 0;
    uint32_t currentHalf = 0;      // the half to refill next
    float frequencyFactor = 1.0f;
    std::string fileName;
    uint32_t loop = 0;
    // Not listed: the file stands at the start of the data, both halves hold
    // its first two halves and the play cursor is at 0.
    bool rewound = true;
};

// Opens the default output device (window, channels, rate, bits) and starts
// the streaming thread; 1, or 0 with the error text set. A device already
// open is kept.
int Sound_CreateDevice(HWND window, uint32_t channels, uint32_t sampleRate, uint32_t bits);
// The same with a device that mixes into memory, rendered by Sound_RenderMix.
int Sound_CreateLoopbackDevice(uint32_t channels, uint32_t sampleRate, uint32_t bits);
// Loopback only: the next frames sample frames of the mix.
int Sound_RenderMix(void* out, uint32_t frames);
// Closes the device (tests); every sound must have been released.
void Sound_CloseDevice();
PlatformSoundDevice* Sound_GetDevice();

// New sounds from a WAV file; the flags argument is replaced by the layer's own.
CQVSoundBuffer* Sound_CreateStatic(const char* path, uint32_t flags);
CQVSoundBuffer* Sound_CreateStatic3D(const char* path, uint32_t flags);
CQVSoundBuffer* Sound_CreateStream(const char* path, uint32_t flags);
CQVSoundBuffer* Sound_CreateStream3D(const char* path, uint32_t flags);
// The sound of a library sound item from its file: item flag bit 0 holds
// the whole file (static), otherwise it streams; bit 1 asks for 3D control.
CQVSoundBuffer* Sound_CreateForItem(const char* path, uint32_t itemFlags);
// A new sound playing the same samples (a static sound) or the same file (a
// stream, opened anew).
CQVSoundBuffer* Sound_Duplicate(CQVSoundBuffer* sound, uint32_t flags);
CQVSoundBuffer* Sound_Duplicate3D(CQVSoundBuffer* sound, uint32_t flags);
// Stops and deletes it.
void Sound_Release(CQVSoundBuffer* sound);

void Sound_Play(CQVSoundBuffer* sound, uint32_t loop);
// Stops and rewinds.
void Sound_Stop(CQVSoundBuffer* sound);
// Stops without rewinding.
void Sound_Pause(CQVSoundBuffer* sound);
int Sound_IsPlaying(CQVSoundBuffer* sound);
// v from 0 (silence, -5000 hundredths of a decibel) to 1 (full).
void Sound_SetVolume(CQVSoundBuffer* sound, float volume);
// The base frequency times the factor; 0 plays at the base frequency.
void Sound_SetFrequency(CQVSoundBuffer* sound, float factor);
float Sound_GetLength(CQVSoundBuffer* sound);
// Deferred: world units, scaled by the distance scale.
void Sound_SetPosition(CQVSoundBuffer* sound, const Vector3& position);
void Sound_SetDistances(CQVSoundBuffer* sound, float minimum, float maximum);
void Sound_SetListenerPosition(const Vector3& position);
void Sound_SetListenerVelocity(const Vector3& velocity);
// Each stores its vector and sets the listener orientation from both.
void Sound_SetListenerFront(const Vector3& front);
void Sound_SetListenerTop(const Vector3& top);
// Applies every deferred 3D setting; once a frame.
void Sound_CommitListener();

const char* Sound_GetLastError();
// Copies the text into the error text; always 0.
int Sound_SetError(const char* text);

// Hundredths of a decibel for a volume of 0 to 1 (clamped; not a number is 0).
int32_t Sound_VolumeToHundredthsDb(float volume);
// Half size after evening out the data over whole halves (bytes per second
// at first), and the data size that whole halves then cover.
void Sound_EvenOutHalves(uint32_t byteRate, uint32_t blockAlign, uint32_t dataBytes, uint32_t* halfSize,
                         uint32_t* dataSize);

// The streaming thread's work on one stream for a play cursor: refills the
// half the cursor has left, loops, pads the end with silence and stops the
// stream once two silent halves have played. Caller holds g_SoundLock.
void Sound_RefillStream(CQVStreamSoundBuffer* stream, uint32_t playCursor);
// One pass of the streaming thread over every listed stream.
void Sound_RunStreams();
// The number of streams listed now.
uint32_t Sound_GetStreamCount();
