#include "services/sound/Sound.h"

#include "platform/sound/SoundDevice.h"
#include "services/sound/SoundStreams.h"

#include <cmath>
#include <cstring>

namespace {

// The layer's text for each reason a device does not open.
const char* OpenErrorText(SoundOpenResult result) {
    static const char* const texts[] = {"", "Create Sound Device", "Create Primary Sound Buffer",
                                        "Set Primary Sound Buffer Format"};
    return result < sizeof texts / sizeof texts[0] ? texts[result] : "Create Sound Device";
}

int TakeDevice(std::unique_ptr<PlatformSoundDevice> device, SoundOpenResult result) {
    if (device == nullptr) return Sound_SetError(OpenErrorText(result));
    g_SoundState.device = std::move(device);
    // Positions arrive in world units (centimetres) and are mixed in metres.
    g_SoundState.distanceScale = 0.01f;
    Sound_StartStreamThread();
    return 1;
}

}  // namespace

int Sound_CreateDevice(HWND window, uint32_t channels, uint32_t sampleRate, uint32_t bits) {
    (void)window;  // the mix does not follow a window's focus
    g_SoundState.errorText[0] = '\0';
    if (g_SoundState.device != nullptr) return 1;
    SoundOpenResult result = SOUND_OPEN_OK;
    std::unique_ptr<PlatformSoundDevice> device = PlatformSoundDevice::Open(channels, sampleRate, bits, &result);
    return TakeDevice(std::move(device), result);
}

int Sound_CreateLoopbackDevice(uint32_t channels, uint32_t sampleRate, uint32_t bits) {
    g_SoundState.errorText[0] = '\0';
    if (g_SoundState.device != nullptr) return 1;
    SoundOpenResult result = SOUND_OPEN_OK;
    std::unique_ptr<PlatformSoundDevice> device =
        PlatformSoundDevice::OpenLoopback(channels, sampleRate, bits, &result);
    return TakeDevice(std::move(device), result);
}

int Sound_RenderMix(void* out, uint32_t frames) {
    return g_SoundState.device != nullptr && g_SoundState.device->RenderMix(out, frames) ? 1 : 0;
}

void Sound_CloseDevice() {
    g_SoundState.device.reset();
    g_SoundState.distanceScale = 1.0f;
}

PlatformSoundDevice* Sound_GetDevice() { return g_SoundState.device.get(); }

void Sound_SetListenerPosition(const Vector3& position) {
    PlatformSoundDevice* device = g_SoundState.device.get();
    if (device == nullptr) return;
    const float scale = g_SoundState.distanceScale;
    device->SetListenerPosition(position.x * scale, position.y * scale, position.z * scale);
}

void Sound_SetListenerVelocity(const Vector3& velocity) {
    PlatformSoundDevice* device = g_SoundState.device.get();
    if (device == nullptr) return;
    const float scale = g_SoundState.distanceScale;
    device->SetListenerVelocity(velocity.x * scale, velocity.y * scale, velocity.z * scale);
}

namespace {

void SetListenerOrientation() {
    const Vector3& front = g_SoundState.listenerFront;
    const Vector3& top = g_SoundState.listenerTop;
    g_SoundState.device->SetListenerOrientation(front.x, front.y, front.z, top.x, top.y, top.z);
}

}  // namespace

void Sound_SetListenerFront(const Vector3& front) {
    if (g_SoundState.device == nullptr) return;
    g_SoundState.listenerFront = front;
    SetListenerOrientation();
}

void Sound_SetListenerTop(const Vector3& top) {
    if (g_SoundState.device == nullptr) return;
    g_SoundState.listenerTop = top;
    SetListenerOrientation();
}

void Sound_CommitListener() {
    if (g_SoundState.device != nullptr) g_SoundState.device->CommitDeferredSettings();
}

const char* Sound_GetLastError() { return g_SoundState.errorText; }

int Sound_SetError(const char* text) {
    std::strncpy(g_SoundState.errorText, text != nullptr ? text : "", sizeof g_SoundState.errorText - 1);
    g_SoundState.errorText[sizeof g_SoundState.errorText - 1] = '\0';
    return 0;
}

int32_t Sound_VolumeToHundredthsDb(float volume) {
    // Single precision as the game computes it: a group volume of 0.5 and an
    // item volume of 0.8 come to exactly -3000.
    if (!(volume > 0.0f)) volume = 0.0f;
    if (volume > 1.0f) volume = 1.0f;
    return static_cast<int32_t>(-(1.0f - volume) * 5000.0f);
}
