#include "platform/sound/SoundDevice.h"

#include "platform/sound/SoundContext.h"

#include <algorithm>
#include <cmath>

namespace {

// Enough voices for every sound a level keeps loaded; the mixer only works
// for the ones that play.
constexpr ALCint MONO_VOICES = 1024;
constexpr ALCint STEREO_VOICES = 256;

bool IsMixableOutput(uint32_t channels, uint32_t sampleRate, uint32_t bits) {
    return (channels == 1 || channels == 2) && (bits == 8 || bits == 16) && sampleRate >= SOUND_FREQUENCY_MIN &&
           sampleRate <= SOUND_FREQUENCY_MAX;
}

// Attributes every context gets: the mix rate, plain panning (the engine's
// 3D sound is positional panning and distance, not a head model), voices.
std::vector<ALCint> ContextAttributes(ALCdevice* device, uint32_t sampleRate) {
    std::vector<ALCint> attributes = {ALC_FREQUENCY, static_cast<ALCint>(sampleRate), ALC_MONO_SOURCES, MONO_VOICES,
                                      ALC_STEREO_SOURCES, STEREO_VOICES};
    if (alcIsExtensionPresent(device, "ALC_SOFT_HRTF")) {
        attributes.push_back(ALC_HRTF_SOFT);
        attributes.push_back(ALC_FALSE);
    }
    return attributes;
}

// Makes the context current and sets what the engine's sound expects of
// every device: distances by the clamped inverse law.
bool CreateMixingContext(SoundDeviceContext* c, std::vector<ALCint> attributes) {
    attributes.push_back(0);
    c->context = alcCreateContext(c->device, attributes.data());
    if (c->context == nullptr || !alcMakeContextCurrent(c->context)) return false;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    if (alIsExtensionPresent("AL_SOFT_deferred_updates")) {
        c->deferUpdates = reinterpret_cast<LPALDEFERUPDATESSOFT>(alGetProcAddress("alDeferUpdatesSOFT"));
        c->processUpdates = reinterpret_cast<LPALPROCESSUPDATESSOFT>(alGetProcAddress("alProcessUpdatesSOFT"));
    }
    c->directChannels = alIsExtensionPresent("AL_SOFT_direct_channels");
    ALCint frequency = 0;
    alcGetIntegerv(c->device, ALC_FREQUENCY, 1, &frequency);
    if (frequency > 0) c->sampleRate = static_cast<uint32_t>(frequency);
    return true;
}

}  // namespace

SoundDeviceContext::~SoundDeviceContext() { Close(); }

void SoundDeviceContext::Close() {
    if (context != nullptr) {
        if (alcGetCurrentContext() == context) alcMakeContextCurrent(nullptr);
        alcDestroyContext(context);
        context = nullptr;
    }
    if (device != nullptr) alcCloseDevice(device);
    device = nullptr;
}

std::unique_ptr<PlatformSoundDevice> PlatformSoundDevice::Open(uint32_t channels, uint32_t sampleRate, uint32_t bits,
                                                               SoundOpenResult* result) {
    SoundOpenResult ignored;
    if (result == nullptr) result = &ignored;
    if (!IsMixableOutput(channels, sampleRate, bits)) {
        *result = SOUND_OPEN_BAD_FORMAT;
        return nullptr;
    }
    auto context = std::make_shared<SoundDeviceContext>();
    context->device = alcOpenDevice(nullptr);
    if (context->device == nullptr) {
        *result = SOUND_OPEN_NO_DEVICE;
        return nullptr;
    }
    context->sampleRate = sampleRate;
    context->channels = channels;
    if (!CreateMixingContext(context.get(), ContextAttributes(context->device, sampleRate))) {
        *result = SOUND_OPEN_NO_CONTEXT;
        return nullptr;
    }
    std::unique_ptr<PlatformSoundDevice> device(new PlatformSoundDevice());
    device->m_Context = std::move(context);
    *result = SOUND_OPEN_OK;
    return device;
}

std::unique_ptr<PlatformSoundDevice> PlatformSoundDevice::OpenLoopback(uint32_t channels, uint32_t sampleRate,
                                                                       uint32_t bits, SoundOpenResult* result) {
    SoundOpenResult ignored;
    if (result == nullptr) result = &ignored;
    if (!IsMixableOutput(channels, sampleRate, bits)) {
        *result = SOUND_OPEN_BAD_FORMAT;
        return nullptr;
    }
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) {
        *result = SOUND_OPEN_NO_DEVICE;
        return nullptr;
    }
    auto openLoopback =
        reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    auto isFormatSupported = reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(
        alcGetProcAddress(nullptr, "alcIsRenderFormatSupportedSOFT"));
    auto context = std::make_shared<SoundDeviceContext>();
    context->renderSamples =
        reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (openLoopback == nullptr || isFormatSupported == nullptr || context->renderSamples == nullptr) {
        *result = SOUND_OPEN_NO_DEVICE;
        return nullptr;
    }
    context->device = openLoopback(nullptr);
    if (context->device == nullptr) {
        *result = SOUND_OPEN_NO_DEVICE;
        return nullptr;
    }
    const ALCint channelLayout = channels == 1 ? ALC_MONO_SOFT : ALC_STEREO_SOFT;
    const ALCint sampleType = bits == 8 ? ALC_UNSIGNED_BYTE_SOFT : ALC_SHORT_SOFT;
    if (!isFormatSupported(context->device, static_cast<ALCsizei>(sampleRate), channelLayout, sampleType)) {
        *result = SOUND_OPEN_BAD_FORMAT;
        return nullptr;
    }
    context->loopback = true;
    context->sampleRate = sampleRate;
    context->channels = channels;
    std::vector<ALCint> attributes = ContextAttributes(context->device, sampleRate);
    attributes.insert(attributes.end(), {ALC_FORMAT_CHANNELS_SOFT, channelLayout, ALC_FORMAT_TYPE_SOFT, sampleType});
    // Without the output limiter's look-ahead, what a buffer holds comes out
    // on the very frame it plays; the levels the tests play never need it.
    if (alcIsExtensionPresent(context->device, "ALC_SOFT_output_limiter")) {
        attributes.push_back(ALC_OUTPUT_LIMITER_SOFT);
        attributes.push_back(ALC_FALSE);
    }
    if (!CreateMixingContext(context.get(), std::move(attributes))) {
        *result = SOUND_OPEN_NO_CONTEXT;
        return nullptr;
    }
    std::unique_ptr<PlatformSoundDevice> device(new PlatformSoundDevice());
    device->m_Context = std::move(context);
    *result = SOUND_OPEN_OK;
    return device;
}

// The device closes with its owner, not with the last buffer: a program
// ending with sounds still held would otherwise leave OpenAL's device open.
PlatformSoundDevice::~PlatformSoundDevice() { m_Context->Close(); }

bool PlatformSoundDevice::IsLoopback() const { return m_Context->loopback; }
uint32_t PlatformSoundDevice::GetSampleRate() const { return m_Context->sampleRate; }
uint32_t PlatformSoundDevice::GetChannels() const { return m_Context->channels; }

void PlatformSoundDevice::SetListenerPosition(float x, float y, float z) {
    float* p = m_Context->pendingListener.position;
    p[0] = x, p[1] = y, p[2] = z;
}

void PlatformSoundDevice::SetListenerVelocity(float x, float y, float z) {
    float* v = m_Context->pendingListener.velocity;
    v[0] = x, v[1] = y, v[2] = z;
}

void PlatformSoundDevice::SetListenerOrientation(float frontX, float frontY, float frontZ, float topX, float topY,
                                                 float topZ) {
    float* o = m_Context->pendingListener.orientation;
    o[0] = frontX, o[1] = frontY, o[2] = frontZ, o[3] = topX, o[4] = topY, o[5] = topZ;
}

void PlatformSoundDevice::CommitDeferredSettings() {
    SoundDeviceContext& c = *m_Context;
    const bool together = c.deferUpdates != nullptr && c.processUpdates != nullptr;
    if (together) c.deferUpdates();
    c.listener = c.pendingListener;
    float position[3], velocity[3], orientation[6];
    Sound_ToRightHanded(c.listener.position, position);
    Sound_ToRightHanded(c.listener.velocity, velocity);
    Sound_ToRightHanded(c.listener.orientation, orientation);
    Sound_ToRightHanded(c.listener.orientation + 3, orientation + 3);
    alListenerfv(AL_POSITION, position);
    alListenerfv(AL_VELOCITY, velocity);
    alListenerfv(AL_ORIENTATION, orientation);
    for (PlatformSoundBuffer* buffer : c.buffers3D) buffer->ApplyPending3D();
    if (together) c.processUpdates();
}

bool PlatformSoundDevice::RenderMix(void* out, uint32_t frames) {
    if (!m_Context->loopback || out == nullptr) return false;
    m_Context->renderSamples(m_Context->device, out, static_cast<ALCsizei>(frames));
    return true;
}
