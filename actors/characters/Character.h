#pragma once
// A character with its movement and motion controller.

#include "kernel/actors/Actor.h"

#include <cstdint>

// Messages the Character handles that have no registered name.
enum : uint32_t {
    MSG_CHAR_ADD_LOOK_ROT2_Y = 1005,
    MSG_CHAR_ADD_LOOK_ROT2_X = 1006,
};

enum CharacterType : int32_t {
    CHARACTER_CUSTOM = 0,
    CHARACTER_FIRST_PERSON = 1,
    CHARACTER_GUARD = 2,
    CHARACTER_THIRD_PERSON = 3,
    CHARACTER_THIRD_PERSON_SHOOTER = 4,
    CHARACTER_CONSOLE = 5,
};

class CQVCharacter : public CQVActor {
public:
    CQVCharacter();
    static void RegisterProperties();

    char m_MotionLetter = 'N';        // the letter of the motion now playing
    float m_DesiredYawOffset = 0.0f;  // heading of the movement from the look yaw
};
