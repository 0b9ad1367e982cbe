#include "services/sound/Sound.h"

#include "kernel/base/Archive.h"
#include "platform/sound/SoundDevice.h"
#include "services/sound/SoundStreams.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// Flags every buffer gets beside the caller's: static memory, deferred 3D.
constexpr uint32_t STATIC_BUFFER_FLAGS = SOUND_CAPS_DEFERRED | SOUND_CAPS_STATIC;
// A stream also reports its play cursor.
constexpr uint32_t STREAM_BUFFER_FLAGS = SOUND_CAPS_DEFERRED | SOUND_CAPS_CURSOR2 | SOUND_CAPS_STATIC;

uint16_t ReadWord(CQVArchive& file) {
    uint16_t value = 0;
    file.SerializeBytes(&value, 2);
    return value;
}

uint32_t ReadDword(CQVArchive& file) {
    uint32_t value = 0;
    file.SerializeDword(&value);
    return value;
}

// The header field by field; a short file leaves the rest zero, which no
// buffer accepts.
WaveHeader ReadWaveHeader(CQVArchive& file) {
    WaveHeader h{};
    h.riffId = ReadDword(file);
    h.riffSize = ReadDword(file);
    h.waveId = ReadDword(file);
    h.formatId = ReadDword(file);
    h.formatSize = ReadDword(file);
    h.formatTag = ReadWord(file);
    h.channels = ReadWord(file);
    h.sampleRate = ReadDword(file);
    h.byteRate = ReadDword(file);
    h.blockAlign = ReadWord(file);
    h.bitsPerSample = ReadWord(file);
    h.dataId = ReadDword(file);
    h.dataSize = ReadDword(file);
    return h;
}

// The buffer format is rebuilt from the tag, channels, rate and bits; the
// header's own byte rate and block align are not used.
PlatformSoundFormat FormatOf(const WaveHeader& h) {
    PlatformSoundFormat format;
    format.formatTag = h.formatTag;
    format.channels = h.channels;
    format.sampleRate = h.sampleRate;
    format.bitsPerSample = h.bitsPerSample;
    return format;
}

// The sample bytes the file really holds: a header that claims more than
// the file has is held to the file, in whole sample frames.
uint32_t DataBytes(const WaveHeader& h, CQVArchive& file, const PlatformSoundFormat& format) {
    const uint32_t frame = std::max(format.BlockAlign(), 1u);
    return std::min(h.dataSize, file.GetRemaining()) / frame * frame;
}

bool IsPlayable(const PlatformSoundFormat& format) {
    return format.BlockAlign() != 0 && format.ByteRate() != 0;
}

CQVSoundBuffer* CreateStatic(const char* path, uint32_t caps) {
    PlatformSoundDevice* device = Sound_GetDevice();
    CQVArchive file;
    if (path == nullptr || !file.Open(path, "rb")) {
        Sound_SetError("File Open");
        return nullptr;
    }
    const WaveHeader header = ReadWaveHeader(file);
    const PlatformSoundFormat format = FormatOf(header);
    const uint32_t dataBytes = IsPlayable(format) ? DataBytes(header, file, format) : 0;
    PlatformSoundBuffer* buffer =
        device != nullptr && dataBytes > 0 ? device->CreateBuffer(format, dataBytes, caps | STATIC_BUFFER_FLAGS, false)
                                           : nullptr;
    if (buffer == nullptr) {
        Sound_SetError("Create Sound Buffer");
        return nullptr;
    }
    void* bytes = buffer->Lock(0, dataBytes);
    if (bytes == nullptr) {
        delete buffer;
        Sound_SetError("Locking Sound Buffer");
        return nullptr;
    }
    file.SerializeBytes(bytes, dataBytes);
    if (!buffer->Unlock(0, dataBytes)) {
        delete buffer;
        Sound_SetError("Unlock Sound Buffer");
        return nullptr;
    }
    file.Close();

    auto* sound = new CQVSoundBuffer();
    sound->buffer = buffer;
    sound->baseFrequency = buffer->GetFrequency();
    if (caps & SOUND_CAPS_3D) sound->buffer3D = buffer;
    // Seconds: bytes over bytes per second, whatever the sample layout.
    sound->length = static_cast<float>(dataBytes) / static_cast<float>(format.ByteRate());
    return sound;
}

CQVSoundBuffer* CreateStream(const char* path, uint32_t caps) {
    PlatformSoundDevice* device = Sound_GetDevice();
    auto* stream = new CQVStreamSoundBuffer();
    stream->kind = SOUND_KIND_STREAM;
    stream->file = new CQVArchive();
    if (path == nullptr || !stream->file->Open(path, "rb")) {
        delete stream;
        Sound_SetError("File Open");
        return nullptr;
    }
    const WaveHeader header = ReadWaveHeader(*stream->file);
    stream->dataStart = static_cast<uint32_t>(std::max(stream->file->Tell(), 0));
    const PlatformSoundFormat format = FormatOf(header);
    PlatformSoundBuffer* buffer = nullptr;
    if (device != nullptr && IsPlayable(format)) {
        // One second of sound per half, evened out over the data.
        const uint32_t dataBytes = DataBytes(header, *stream->file, format);
        stream->length = static_cast<float>(dataBytes) / static_cast<float>(format.ByteRate());
        Sound_EvenOutHalves(format.ByteRate(), format.BlockAlign(), dataBytes, &stream->halfSize, &stream->dataSize);
        buffer = device->CreateBuffer(format, 2 * stream->halfSize, caps | STREAM_BUFFER_FLAGS, true);
    }
    if (buffer == nullptr) {
        delete stream;
        Sound_SetError("Create Sound Buffer");
        return nullptr;
    }
    stream->buffer = buffer;
    if (!Sound_FillHalf(stream, 0, false) || !Sound_FillHalf(stream, 1, false)) {
        delete stream;
        return nullptr;
    }
    stream->bytesStreamed = 2 * stream->halfSize;
    stream->currentHalf = 0;
    stream->baseFrequency = buffer->GetFrequency();
    stream->fileName = path;
    if (caps & SOUND_CAPS_3D) stream->buffer3D = buffer;
    return stream;
}

CQVSoundBuffer* Duplicate(CQVSoundBuffer* sound, bool with3D) {
    if (sound == nullptr) return nullptr;
    if (sound->kind == SOUND_KIND_STREAM) {
        const std::string& name = static_cast<CQVStreamSoundBuffer*>(sound)->fileName;
        return with3D ? Sound_CreateStream3D(name.c_str(), 0) : Sound_CreateStream(name.c_str(), 0);
    }
    PlatformSoundDevice* device = Sound_GetDevice();
    PlatformSoundBuffer* buffer = device != nullptr ? device->DuplicateBuffer(sound->buffer, with3D) : nullptr;
    if (buffer == nullptr) {
        Sound_SetError("Create Sound Buffer");
        return nullptr;
    }
    auto* copy = new CQVSoundBuffer();
    copy->buffer = buffer;
    copy->baseFrequency = sound->baseFrequency;
    copy->length = sound->length;
    copy->duplicate = 1;
    if (with3D && buffer->Has3D()) copy->buffer3D = buffer;
    return copy;
}

CQVStreamSoundBuffer* AsStream(CQVSoundBuffer* sound) {
    return sound->kind == SOUND_KIND_STREAM ? static_cast<CQVStreamSoundBuffer*>(sound) : nullptr;
}

}  // namespace

CQVSoundBuffer::~CQVSoundBuffer() {
    buffer3D = nullptr;
    delete buffer;
}

CQVStreamSoundBuffer::~CQVStreamSoundBuffer() {
    // Never left listed for the streaming thread to find.
    Sound_UnlistStream(this);
    delete file;
}

CQVSoundBuffer* Sound_CreateStatic(const char* path, uint32_t flags) { return CreateStatic(path, SOUND_FLAGS_2D); }
CQVSoundBuffer* Sound_CreateStatic3D(const char* path, uint32_t flags) { return CreateStatic(path, SOUND_FLAGS_3D); }
CQVSoundBuffer* Sound_CreateStream(const char* path, uint32_t flags) { return CreateStream(path, SOUND_FLAGS_2D); }
CQVSoundBuffer* Sound_CreateStream3D(const char* path, uint32_t flags) { return CreateStream(path, SOUND_FLAGS_3D); }

CQVSoundBuffer* Sound_CreateForItem(const char* path, uint32_t itemFlags) {
    const bool whole = (itemFlags & 1) != 0, with3D = (itemFlags & 2) != 0;
    if (whole) return with3D ? Sound_CreateStatic3D(path, 0) : Sound_CreateStatic(path, 0);
    return with3D ? Sound_CreateStream3D(path, 0) : Sound_CreateStream(path, 0);
}

CQVSoundBuffer* Sound_Duplicate(CQVSoundBuffer* sound, uint32_t flags) { return Duplicate(sound, false); }
CQVSoundBuffer* Sound_Duplicate3D(CQVSoundBuffer* sound, uint32_t flags) { return Duplicate(sound, true); }

void Sound_Release(CQVSoundBuffer* sound) {
    if (sound == nullptr) return;
    Sound_Stop(sound);
    delete sound;
}

void Sound_Play(CQVSoundBuffer* sound, uint32_t loop) {
    if (sound == nullptr) return;
    CQVStreamSoundBuffer* stream = AsStream(sound);
    if (stream == nullptr) {
        sound->buffer->Play(loop != 0);
        return;
    }
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    if (g_SoundState.streamCount >= g_SoundState.maxStreams) return;
    Sound_Stop(stream);
    Sound_ListStream(stream);
    // The ring always loops; the stream's own loop flag decides what the
    // thread does at the end of the data.
    stream->buffer->Play(true);
    stream->loop = loop;
    stream->rewound = false;
}

void Sound_Stop(CQVSoundBuffer* sound) {
    if (sound == nullptr) return;
    CQVStreamSoundBuffer* stream = AsStream(sound);
    if (stream == nullptr) {
        if (sound->buffer->IsPlaying()) sound->buffer->Stop();
        sound->buffer->SetCurrentPosition(0);
        return;
    }
    // The whole stop under the lock: the streaming thread never refills a
    // half while the game thread rewinds the same stream.
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    const bool wasPlaying = stream->buffer->IsPlaying();
    if (wasPlaying) stream->buffer->Stop();
    stream->buffer->SetCurrentPosition(0);
    Sound_UnlistStream(stream);
    // A paused stream is rewound too, so that playing it again starts with
    // its first two halves rather than what the ring held at the pause.
    if (wasPlaying || !stream->rewound) Sound_RewindStream(stream);
}

void Sound_Pause(CQVSoundBuffer* sound) {
    if (sound == nullptr) return;
    CQVStreamSoundBuffer* stream = AsStream(sound);
    if (stream == nullptr) {
        sound->buffer->Stop();
        return;
    }
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    stream->buffer->Stop();
    Sound_UnlistStream(stream);
}

int Sound_IsPlaying(CQVSoundBuffer* sound) {
    if (sound == nullptr) return 0;
    return sound->buffer->IsPlaying() ? 1 : 0;
}

void Sound_SetVolume(CQVSoundBuffer* sound, float volume) {
    if (sound == nullptr) return;
    sound->buffer->SetVolume(Sound_VolumeToHundredthsDb(volume));
}

void Sound_SetFrequency(CQVSoundBuffer* sound, float factor) {
    if (sound == nullptr) return;
    if (CQVStreamSoundBuffer* stream = AsStream(sound)) stream->frequencyFactor = factor;
    // A rate that is negative, not a number or beyond 32 bits is refused as
    // out of range, like any other the buffer cannot play.
    const float hz = static_cast<float>(sound->baseFrequency) * factor;
    if (!(hz >= 0.0f) || hz >= 4294967296.0f) return;
    sound->buffer->SetFrequency(static_cast<uint32_t>(hz));
}

float Sound_GetLength(CQVSoundBuffer* sound) { return sound != nullptr ? sound->length : 0.0f; }

void Sound_SetPosition(CQVSoundBuffer* sound, const Vector3& position) {
    if (sound == nullptr || sound->buffer3D == nullptr) return;
    const float scale = g_SoundState.distanceScale;
    sound->buffer3D->SetPosition(position.x * scale, position.y * scale, position.z * scale);
}

void Sound_SetDistances(CQVSoundBuffer* sound, float minimum, float maximum) {
    if (sound == nullptr || sound->buffer3D == nullptr) return;
    const float scale = g_SoundState.distanceScale;
    sound->buffer3D->SetDistances(minimum * scale, maximum * scale);
}
