#include "platform/input/Joystick.h"

#include <SDL2/SDL.h>

#include <cmath>

struct PlatformJoystick {
    SDL_Joystick* sdl = nullptr;
    int32_t minimum = -32768;
    int32_t maximum = 32767;
};

namespace {

// Hat positions as hundredths of a degree clockwise from up.
uint32_t HatToPov(uint8_t hat) {
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
    }
}

}  // namespace

bool PlatformJoystick_Init() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) return true;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    // The devices are read by polling; their events would only fill the window queue.
    SDL_JoystickEventState(SDL_IGNORE);
    return true;
}

int PlatformJoystick_GetDeviceCount() {
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return 0;
    const int count = SDL_NumJoysticks();
    return count > 0 ? count : 0;
}

PlatformJoystick* PlatformJoystick_Open(int deviceIndex) {
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return nullptr;
    SDL_Joystick* sdl = SDL_JoystickOpen(deviceIndex);
    if (sdl == nullptr) return nullptr;
    return new PlatformJoystick{sdl};
}

void PlatformJoystick_Close(PlatformJoystick* joystick) {
    if (joystick == nullptr) return;
    SDL_JoystickClose(joystick->sdl);
    delete joystick;
}

void PlatformJoystick_SetAxisRange(PlatformJoystick* joystick, int32_t minimum, int32_t maximum) {
    if (joystick == nullptr || minimum >= maximum) return;
    joystick->minimum = minimum;
    joystick->maximum = maximum;
}

void PlatformJoystick_Update() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_JoystickUpdate();
}

bool PlatformJoystick_Read(PlatformJoystick* joystick, JoystickState* state) {
    if (joystick == nullptr || !SDL_JoystickGetAttached(joystick->sdl)) return false;
    *state = JoystickState{};
    // The toolkit's -32768 to 32767 spread linearly over the device's range.
    const double span = static_cast<double>(joystick->maximum) - joystick->minimum;
    const int axes = SDL_JoystickNumAxes(joystick->sdl);
    for (int a = 0; a < 8; ++a) {
        const int raw = a < axes ? SDL_JoystickGetAxis(joystick->sdl, a) : 0;
        state->axes[a] = static_cast<int32_t>(std::lround(joystick->minimum + (raw + 32768.0) * span / 65535.0));
    }
    const int hats = SDL_JoystickNumHats(joystick->sdl);
    for (int h = 0; h < 4; ++h) {
        state->pov[h] = h < hats ? HatToPov(SDL_JoystickGetHat(joystick->sdl, h)) : 0xFFFFFFFFu;
    }
    const int buttons = SDL_JoystickNumButtons(joystick->sdl);
    for (int b = 0; b < 32 && b < buttons; ++b) {
        state->buttons[b] = SDL_JoystickGetButton(joystick->sdl, b) ? 0x80 : 0;
    }
    return true;
}
