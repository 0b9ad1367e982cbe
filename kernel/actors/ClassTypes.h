#pragma once
// The actor class types by id. The ids are stored in actor files and own the
// messages of the vocabulary; type 39 was never given a class.

#include <cstdint>

#define QV_CLASS_TYPES(X)                           \
    X(0, BASE, "Base")                              \
    X(1, ACTOR_SYSTEM, "Actor System")              \
    X(2, SOUND, "Sound")                            \
    X(3, OBJECT, "Object")                          \
    X(4, LIGHT, "Light")                            \
    X(5, FILE, "File")                              \
    X(6, FILEIO, "FileIO")                          \
    X(7, ENVIRONMENT, "Environment")                \
    X(8, CLASS, "Class")                            \
    X(9, PLAYER, "Player")                          \
    X(10, INVENTORY, "Inventory")                   \
    X(11, TIMER, "Timer")                           \
    X(12, GAME_OBJECT, "Game Object")               \
    X(13, DOOR, "Door")                             \
    X(14, GAME_CONTAINER, "Game Container")         \
    X(15, DRAW_GROUP, "Draw Group")                 \
    X(16, CHARACTER, "Character")                   \
    X(17, SKINOBJECT, "SkinObject")                 \
    X(18, PARTICLE, "Particle")                     \
    X(19, CAMERA, "Camera")                         \
    X(20, DRAW_GROUP_CONNECTOR, "Draw Group Connector") \
    X(21, SPAWN_POINT, "Spawn Point")               \
    X(22, DEVELOPER, "Developer")                   \
    X(23, DEVELOPER_2, "Developer 2")               \
    X(24, DEVELOPER_3, "Developer 3")               \
    X(25, GUARD, "Guard")                           \
    X(26, PATH_NODE, "Path Node")                   \
    X(27, PATH, "Path")                             \
    X(28, MATRIX_ANIMATION, "Matrix Animation")     \
    X(29, AI_PLAYER, "AI Player")                   \
    X(30, AMBIENT_SOUND, "Ambient Sound")           \
    X(31, TRIGGER, "Trigger")                       \
    X(32, AI_HELPER, "AI Helper")                   \
    X(33, UI_SYSTEM, "UI System")                   \
    X(34, UI_BUTTON, "UI Button")                   \
    X(35, UI_TEXT, "UI Text")                       \
    X(36, UI_SPRITE, "UI Sprite")                   \
    X(37, REFERENCE, "Reference")                   \
    X(38, UI_MAP_INPUT, "UI Map Input")             \
    X(40, ANIMATION, "Animation")                   \
    X(41, UVANIMATION, "UVAnimation")               \
    X(42, AUTOAIM, "AutoAim")                       \
    X(43, SIMULATION, "Simulation")                 \
    X(44, UI_WINDOW, "UI Window")                   \
    X(45, SAVE_GAME, "Save Game")                   \
    X(46, LOD, "Lod")                               \
    X(47, TIME_INSTANCE, "Time Instance")           \
    X(48, AIM_TARGET, "Aim Target")                 \
    X(49, PLAYER_2, "Player 2")                     \
    X(50, AI_PLAYER_2, "AI Player 2")               \
    X(51, CHARACTER_2, "Character 2")               \
    X(52, LIGHT_SENSOR, "Light Sensor")             \
    X(53, STATE, "State")

enum ClassType : uint32_t {
#define QV_CLASS_ENUM(id, sym, name) CLASS_##sym = id,
    QV_CLASS_TYPES(QV_CLASS_ENUM)
#undef QV_CLASS_ENUM
    CLASS_NONE = 39,  // the type id without a class
    CLASS_TYPE_COUNT = 54
};
