#include "actors/characters/Player.h"

#include "actors/characters/Character.h"
#include "actors/characters/CharactersState.h"
#include "actors/scene/Camera.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/input/Input.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr MessageRow kPlayerRows[] = {
    SheetRow("Player Properties", PROP_TITLE),
    FieldRow<&CQVPlayer::m_PlayerType>(MSG_SET_PLAYER_TYPE, MSG_GET_PLAYER_TYPE, "Type:|Foo|0|Kabal|1|", PROP_CHOICE),
    FieldRow<&CQVPlayer::m_ControlSet>(MSG_SET_CONTROLLERSET, MSG_GET_CONTROLLERSET, "Control:|Control 1|0|Control 2|1|",
                                       PROP_CHOICE),
    SheetRow("Master:", PROP_CHECK, MSG_SET_MASTER, MSG_GET_MASTER),
    BoolRow<&CQVPlayer::m_Host>(MSG_SET_HOST, MSG_GET_HOST),
};

constexpr MessageTable kPlayerMessages{kPlayerRows,
                                       CopiedFields<&CQVPlayer::m_CharacterType, &CQVPlayer::m_CharacterPath>()};

constexpr uint32_t FLAGS_EVERY_FRAME = 0x100;
constexpr uint8_t PROCESS_CHANNEL = 2;

// Seconds of running time before the Player sends anything, and before
// "Escape" does.
constexpr float kWarmUpTime = 0.4f;
constexpr float kEscapeTime = 1.0f;
constexpr float kLookScale = 0.05f;
constexpr float kSensitivityMin = 0.07f;
constexpr float kSensitivityMax = 5.0f;
constexpr float kSensitivityDown = 0.04f;
constexpr float kSensitivityUp = 0.07f;
// Side steps creep forward a little, so left and right together still move.
constexpr float kSideCreep = 0.05f;

// The developer chord: four letters held together.
constexpr uint32_t kDeveloperChord[] = {'I', 'J', 'K', 'L'};

// Slow motion: the time scale's bounds while slowing and while recovering,
// the window of a double tap, the burst's length and the scale it leaves.
constexpr float kSlowScaleMin = 0.1f;
constexpr float kRecoverScaleMin = 0.006f;
constexpr float kDoubleTapTime = 0.2f;
constexpr float kBurstTime = 0.5f;
constexpr float kAfterBurstScale = 0.005f;
constexpr float kNoAmountLimit = 999.0f;
constexpr float kHeldConsumeRate = 0.111f;
constexpr float kBurstConsume = 0.5f;

struct HandCommands {
    uint32_t held = 0;  // 0: none
    uint32_t pressed = 0;
    uint32_t released = 0;
};
constexpr HandCommands kRAction1{MSG_CC_RACTION1, MSG_CC_RACTION1_START, MSG_CC_RACTION1_STOP};
constexpr HandCommands kRAction2{MSG_CC_RACTION2, MSG_CC_RACTION2_START, MSG_CC_RACTION2_STOP};
constexpr HandCommands kLAction1{MSG_CC_LACTION1, MSG_CC_LACTION1_START, MSG_CC_LACTION1_STOP};

// One action of a hand table and the commands it sends, first and second.
struct HandRow {
    uint32_t action;
    bool needsHiddenInventory;
    HandCommands first;
    HandCommands second;
};
constexpr HandRow kFirstPersonHands[] = {
    {QVDI_BUTTONK, true, kRAction1, {}},
    {QVDI_BUTTONL, true, kRAction2, {}},
    {QVDI_BUTTONB, false, kLAction1, {}},
};
constexpr HandRow kThirdPersonHands[] = {
    {QVDI_BUTTONB, true, kRAction1, kLAction1},
};
constexpr HandRow kShooterHands[] = {
    {QVDI_BUTTONK, true, kLAction1, {}},
    {QVDI_BUTTONL, true, kRAction1, {}},
};

enum class KeyGate : uint8_t {
    None,
    Reload,           // starts only while "Action" is not held; stops once a start was sent
    InventoryHidden,  // only while the Inventory's selector is closed
    Escape,           // only after a second of running time; the press has its own rule
};

// One key action: a key code or an action of row 0, and the actor whose
// "Action Start Pre" and "Action Stop Pre" it sends.
struct KeyActionRow {
    uint32_t code;
    bool action;  // code is an action of row 0
    bool stops;   // the release sends "Action Stop Pre"
    KeyGate gate;
    const char* path;
};
constexpr KeyActionRow kKeyActions[] = {
    {QVI_F5, false, false, KeyGate::None, "/Global/Inventory/QuickSave"},
    {QVI_F6, false, false, KeyGate::None, "/Global/Inventory/QuickLoad"},
    {QVDI_BUTTONR, true, true, KeyGate::None, "/Global/Inventory/Tab"},
    {QVDI_BUTTOND, true, true, KeyGate::Reload, "/Global/Inventory/pow2"},
    {QVDI_BUTTONM, true, true, KeyGate::None, "/Global/Inventory/E"},
    {QVDI_BUTTONE, true, true, KeyGate::None, "/Global/Inventory/Q"},
    {QVI_RETURN, false, true, KeyGate::None, "/Global/Inventory/Return"},
    {QVDI_BUTTONL, true, true, KeyGate::InventoryHidden, "/Global/Inventory/RMouseButton"},
    {QVI_PAD0, false, true, KeyGate::None, "/Global/Inventory/PAD0"},
    {QVI_PAD1, false, true, KeyGate::None, "/Global/Inventory/PAD1"},
    {QVI_PAD2, false, true, KeyGate::None, "/Global/Inventory/PAD2"},
    {QVI_PAD3, false, true, KeyGate::None, "/Global/Inventory/PAD3"},
    {QVI_PAD4, false, true, KeyGate::None, "/Global/Inventory/PAD4"},
    {QVI_PAD5, false, true, KeyGate::None, "/Global/Inventory/PAD5"},
    {QVI_PAD6, false, true, KeyGate::None, "/Global/Inventory/PAD6"},
    {QVI_PAD7, false, true, KeyGate::None, "/Global/Inventory/PAD7"},
    {QVI_PAD8, false, true, KeyGate::None, "/Global/Inventory/PAD8"},
    {QVI_PAD9, false, true, KeyGate::None, "/Global/Inventory/PAD9"},
    {QVI_F1, false, true, KeyGate::None, "/Global/Inventory/F1"},
    {QVI_F2, false, true, KeyGate::None, "/Global/Inventory/F2"},
    {QVI_F3, false, true, KeyGate::None, "/Global/Inventory/F3"},
    {QVI_F4, false, true, KeyGate::None, "/Global/Inventory/F4"},
    {QVDI_BUTTONP, true, true, KeyGate::Escape, "/Global/Inventory/Esc"},
};
constexpr const char* kEscPath = "/Global/Inventory/Esc";

void Send(CQVActor* to, uint32_t id) {
    if (to) to->HandleMessage(id, nullptr);
}

void SendReal(CQVActor* to, uint32_t id, float value) {
    if (to) to->HandleMessage(id, Args_Of(&value));
}

void SendText(CQVActor* to, uint32_t id, const char* text) {
    if (to) to->HandleMessage(id, Args_Of(text));
}

template <typename T>
T Ask(CQVActor* from, uint32_t id, T otherwise) {
    T value = otherwise;
    from->HandleMessage(id, Args_Of(&value));
    return value;
}

bool ActionPressed(uint32_t action, uint32_t row) { return CQVEngine::WasActionPressed(action, row) != 0; }
bool ActionReleased(uint32_t action, uint32_t row) { return CQVEngine::WasActionReleased(action, row) != 0; }
bool ActionDown(uint32_t action, uint32_t row) { return CQVEngine::IsActionDown(action, row) != 0; }
float ActionValue(uint32_t action) { return CQVEngine::GetActionValue(action, 0); }

bool IsPaused() { return g_ActorSystem && g_ActorSystem->m_PauseWord != 0; }

// The Inventory's weapon selector is open.
bool InventoryVisible() {
    uint32_t visible = 0;
    CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_GET_VISIBLE_223, Args_Of(&visible));
    return visible != 0;
}

// The current camera's forward axis on the ground plane, normalised; a
// program without an engine looks along +z.
Vector3 CameraForwardOnGround() {
    Vector3 forward(0.0f, 0.0f, 1.0f);
    if (const CQVEngine* engine = CQVEngine::GetInstance()) engine->GetCameraDirection(&forward);
    forward.y = 0.0f;
    Vec3_Normalize(&forward, forward);
    return forward;
}

// The heading of a direction on the ground: 0 along +z, positive towards +x.
float HeadingOf(float x, float z) {
    const float length = std::sqrt(x * x + z * z);
    const float angle = std::acos(std::clamp(z / length, -1.0f, 1.0f));
    return x < 0.0f ? -angle : angle;
}

CQVActor* SkinOf(CQVActor* character) {
    if (character == nullptr) return nullptr;
    for (CQVActor* child : character->m_Children) {
        if (child && child->m_ClassType == CLASS_SKINOBJECT) return child;
    }
    return nullptr;
}

}  // namespace

CQVPlayer::CQVPlayer() {
    m_ClassType = CLASS_PLAYER;
    m_Character.SetOwner(this);
    // A new Player, as "Start Game" makes one, brings back normal speed
    // and starts the actor system's clock again.
    SlowMotion_Reset();
    if (g_ActorSystem && g_ActorSystem->m_Clock) {
        g_ActorSystem->m_Clock->dt = 0.0f;
        g_ActorSystem->m_Clock->time = 0.0f;
    }
}

void CQVPlayer::SetCharacter(CQVActor* character) {
    m_Character.SetTarget(character);
    // A character that does not answer counts as ThirdPerson, as it does at the game's start.
    if (character) m_CharacterType = Ask<uint32_t>(character, MSG_GET_CHARACTER_TYPE, CHARACTER_THIRD_PERSON);
}

void CQVPlayer::Precalculate() {
    if (!m_CharacterPath.empty()) m_Character.SetTarget(CQVActorSystem::FindActorByPath(m_CharacterPath.c_str(), this));
    const TimedMessage* held = FindTimedMessage(MSG_PROCESS);
    if ((held == nullptr || (held->state & TIMED_STATE_CANCELLED)) && g_ActorSystem) {
        g_ActorSystem->ScheduleMessage(this, MSG_PROCESS, nullptr, FLAGS_EVERY_FRAME, 0.0f, 0.0f, 0.0f, nullptr,
                                       PROCESS_CHANNEL);
    }
}

int CQVPlayer::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kPlayerMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_SET_CHARACTER:
        SetCharacter(Args_HandedActor(id, args));
        break;
    case MSG_GET_CHARACTER:
        if (MessageArgs_IsPointerAt(id, args, 0)) Args_Set(args, 0, m_Character.target);
        break;
    case MSG_PRECALCULATE:
        Precalculate();
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVPlayer*>(Args_Pointer<CQVActor>(id, args)); source && source != this) {
            kPlayerMessages.Copy(*this, *source);
            m_Character.SetTarget(source->m_Character.target);
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVPlayer::Process() {
    if (!IsOperational()) return;
    if (!(m_Clock->flags & CLOCK_MANUAL) && m_Clock->frameStamp != g_FrameNumber) UpdateClock(m_Clock);
    // The running time: the Player's own clock, so slow motion slows it too.
    m_ActionTime += m_Clock->dt;
    if (m_ActionTime < kWarmUpTime) return;
    switch (m_CharacterType) {
    case CHARACTER_FIRST_PERSON:
    case CHARACTER_THIRD_PERSON:
    case CHARACTER_THIRD_PERSON_SHOOTER:
        if ((m_Flags & ACTOR_MASTER) && m_Character.target) KeyboardMouseStep();
        break;
    case CHARACTER_CONSOLE:
        if (m_Character.target) AnalogStep();
        break;
    default:
        break;
    }
    CQVActor::Process();
}

void CQVPlayer::KeyboardMouseStep() {
    if (CQVEngine::WasKeyPressed(QVI_F2)) g_MouseInvertY = g_MouseInvertY == 0 ? 1 : 0;
    if (CQVEngine::WasKeyPressed(QVI_F3)) g_MouseSensitivity = std::max(g_MouseSensitivity - kSensitivityDown, kSensitivityMin);
    if (CQVEngine::WasKeyPressed(QVI_F4)) g_MouseSensitivity = std::min(g_MouseSensitivity + kSensitivityUp, kSensitivityMax);

    const bool paused = IsPaused();
    const uint32_t row = m_ControlSet;
    Vector3 move(0.0f, 0.0f, 0.0f);
    if (!paused) {
        StanceStep();
        if (ActionDown(QVDI_BUTTONLEFT, row)) {
            move.x -= 1.0f;
            move.z += kSideCreep;
        }
        if (ActionDown(QVDI_BUTTONRIGHT, row)) {
            move.x += 1.0f;
            move.z += kSideCreep;
        }
        if (ActionDown(QVDI_BUTTONBACKWARD, row)) move.z -= 1.0f;
        if (ActionDown(QVDI_BUTTONFORWARD, row)) move.z += 1.0f;
    }

    move.x += ActionValue(QVDI_AXISZ);
    move.z += ActionValue(QVDI_AXISW);
    const float yaw = ActionValue(QVDI_AXISX) * g_MouseSensitivity * kLookScale;
    float pitch = -ActionValue(QVDI_AXISY) * g_MouseSensitivity * kLookScale;
    if (g_MouseInvertY) pitch = -pitch;
    const Vector3 view = CameraForwardOnGround();
    // The camera-relative input direction, negated.
    const Vector3 desired(-(view.x * move.z + view.z * move.x), move.y, view.x * move.x - view.z * move.z);
    SendReal(m_Character.target, MSG_SET_RELATIVE_LOOK_ROT_Y, yaw);
    SendReal(m_Character.target, MSG_SET_RELATIVE_LOOK_ROT_X, pitch);
    SendReal(m_Character.target, MSG_CHAR_ADD_LOOK_ROT2_Y, yaw);
    SendReal(m_Character.target, MSG_CHAR_ADD_LOOK_ROT2_X, pitch);

    if (!paused) {
        if (std::fabs(move.x) > 0.001f || std::fabs(move.z) > 0.001f) {
            if (auto* body = dynamic_cast<CQVCharacter*>(m_Character.target)) {
                body->m_DesiredYawOffset = HeadingOf(move.x, move.z);
            }
        }
        if (CQVActor* target = m_Character.target) target->HandleMessage(MSG_SET_DESIRED_MOVEMENT, Args_Of(&desired));
        if (ActionPressed(QVDI_BUTTONA, row)) Send(m_Character.target, MSG_CC_JUMP);
        if (ActionReleased(QVDI_BUTTONA, row)) Send(m_Character.target, MSG_CC_JUMP_STOP);
        HandStep();
        DeveloperChordStep();
        SlowMotionStep();
    }
    KeyActionStep();
}

void CQVPlayer::StanceStep() {
    const uint32_t row = m_ControlSet;
    const bool runPressed = ActionPressed(QVDI_BUTTONO, row);
    const bool crouchPressed = ActionPressed(QVDI_BUTTONC, row);
    const bool released = ActionReleased(QVDI_BUTTONO, row) || ActionReleased(QVDI_BUTTONC, row);
    // The stance rules follow the type the Character has now.
    CQVActor* character = m_Character.target;
    if (character == nullptr) return;
    if (Ask<uint32_t>(character, MSG_GET_CHARACTER_TYPE, m_CharacterType) == uint32_t{CHARACTER_THIRD_PERSON_SHOOTER}) {
        // Running is the shooter's resting stance.
        if (runPressed) Send(m_Character.target, MSG_CC_STATE_NEUTRAL);
        if (crouchPressed) Send(m_Character.target, MSG_CC_STATE_CROUCH);
        if (released) Send(m_Character.target, MSG_CC_STATE_RUN);
        return;
    }
    if (crouchPressed) Send(m_Character.target, MSG_CC_STATE_CROUCH);
    if (runPressed) {
        const auto* body = dynamic_cast<const CQVCharacter*>(m_Character.target);
        if (body == nullptr || body->m_MotionLetter != 'C') Send(m_Character.target, MSG_CC_STATE_RUN);
    }
    if (released) Send(m_Character.target, MSG_CC_STATE_NEUTRAL);
}

void CQVPlayer::HandStep() {
    const HandRow* rows = nullptr;
    size_t count = 0;
    switch (m_CharacterType) {
    case CHARACTER_FIRST_PERSON:
        rows = kFirstPersonHands;
        count = std::size(kFirstPersonHands);
        break;
    case CHARACTER_THIRD_PERSON:
        rows = kThirdPersonHands;
        count = std::size(kThirdPersonHands);
        break;
    case CHARACTER_THIRD_PERSON_SHOOTER:
        rows = kShooterHands;
        count = std::size(kShooterHands);
        break;
    default:
        return;
    }
    const bool hidden = !InventoryVisible();
    const uint32_t row = m_ControlSet;
    for (size_t i = 0; i < count; ++i) {
        const HandRow& hand = rows[i];
        if (hand.needsHiddenInventory && !hidden) continue;
        const auto sendBoth = [&](uint32_t HandCommands::*which) {
            Send(m_Character.target, hand.first.*which);
            if (hand.second.*which) Send(m_Character.target, hand.second.*which);
        };
        if (ActionDown(hand.action, row)) sendBoth(&HandCommands::held);
        if (ActionPressed(hand.action, row)) sendBoth(&HandCommands::pressed);
        if (ActionReleased(hand.action, row)) sendBoth(&HandCommands::released);
    }
}

void CQVPlayer::DeveloperChordStep() {
    for (uint32_t key : kDeveloperChord) {
        if (!CQVEngine::IsKeyDown(key)) return;
    }
    g_DeveloperMode = 1;
    Input_BindKey(QVDI_BUTTONN, QVI_MOUSEM, 0);
}

void CQVPlayer::SlowMotionStep() {
    // The engine frame's own time: the burst and the curve run in real time.
    const float dt = g_FrameTime;
    CQVActor* amountActor = ResolveActorName("/Global/ScriptSoul/Amount");
    float amount = amountActor ? Ask<float>(amountActor, MSG_GET_CURRENT_TIME, 0.0f) : kNoAmountLimit;
    float consume = 0.0f;
    if (amount > 0.0f) {
        if (CQVActor* consumeActor = ResolveActorName("/Global/ScriptSoul/ConsumeMul")) {
            consume = Ask<float>(consumeActor, MSG_GET_CURRENT_TIME, 0.0f);
        }
    }
    const auto spend = [&](float cost) {
        amount = std::max(amount - cost, 0.0f);
        if (amountActor) SendReal(amountActor, MSG_SET_CURRENT_TIME, amount);
    };

    SlowMotionState& slow = g_CharactersState.slowMotion;
    if (slow.burstActive) {
        // A burst freezes time; the key is not looked at until it ends.
        slow.burstCountdown -= dt;
        slow.timeScale = 0.0f;
        if (slow.burstCountdown <= 0.0f) {
            slow.burstActive = 0;
            slow.timeScale = kAfterBurstScale;
        }
    } else {
        if (ActionDown(QVDI_BUTTONN, 0)) {
            slow.timeScale = std::clamp(slow.timeScale - dt * slow.timeScale, kSlowScaleMin, 1.0f);
            spend(dt * consume * kHeldConsumeRate);
        } else {
            slow.timeSinceRelease += dt;
            slow.timeScale = std::clamp(slow.timeScale * (1.0f + dt), kRecoverScaleMin, 1.0f);
        }
        if (ActionReleased(QVDI_BUTTONN, 0)) slow.timeSinceRelease = 0.0f;
        if (ActionPressed(QVDI_BUTTONN, 0) && slow.timeSinceRelease < kDoubleTapTime) {
            slow.burstActive = 1;
            slow.burstCountdown = kBurstTime;
            slow.timeScale = 0.0f;
            spend(consume * kBurstConsume);
        }
    }

    if (g_ActorSystem && g_ActorSystem->m_Clock) g_ActorSystem->m_Clock->ownScale = slow.timeScale;
    // The player's own time slows less than the world's.
    if (CQVActor* instance = CQVActorSystem::FindActorByPath("/Global/ti_ga1", nullptr)) {
        const float scale = std::sqrt(slow.timeScale);
        SendReal(instance, MSG_SET_TIMEINSTANCE_SIMMULTIPLIER, scale);
        SendReal(instance, MSG_SET_TIMEINSTANCE_MULTIPLIER, scale);
    }
}

void CQVPlayer::KeyActionStep() {
    for (const KeyActionRow& key : kKeyActions) {
        bool pressed = key.action ? ActionPressed(key.code, 0) : CQVEngine::WasKeyPressed(key.code) != 0;
        bool released = key.stops && (key.action ? ActionReleased(key.code, 0) : CQVEngine::WasKeyReleased(key.code) != 0);
        if (!pressed && !released) continue;
        switch (key.gate) {
        case KeyGate::None:
            break;
        case KeyGate::Reload:
            // The latch is set even when the actor is missing, and stays.
            pressed = pressed && !ActionDown(QVDI_BUTTONB, 0);
            if (pressed) g_ReloadStarted = 1;
            released = released && g_ReloadStarted != 0;
            break;
        case KeyGate::InventoryHidden:
            if (InventoryVisible()) continue;
            break;
        case KeyGate::Escape:
            if (!(m_ActionTime > kEscapeTime)) continue;
            if (pressed) EscapePressed();
            pressed = false;
            break;
        }
        if (pressed) Send(CQVActorSystem::FindActorByPath(key.path, nullptr), MSG_ACTION_START_PRE);
        if (released) Send(CQVActorSystem::FindActorByPath(key.path, nullptr), MSG_ACTION_STOP_PRE);
    }
}

void CQVPlayer::EscapePressed() {
    CQVActor* esc = CQVActorSystem::FindActorByPath(kEscPath, nullptr);
    if (esc == nullptr) {
        // Without the menu's Esc actor, Escape ends the game.
        if (g_ActorSystem) g_ActorSystem->HandleMessage(MSG_EXIT_ENGINE, nullptr);
        return;
    }
    // The hands let go before the menu opens.
    for (uint32_t stop : {MSG_CC_RACTION1_STOP, MSG_CC_RACTION2_STOP, MSG_CC_LACTION1_STOP}) {
        Send(Script_GetGAVariable(1), stop);
    }
    Send(CQVActorSystem::FindActorByPath(kEscPath, nullptr), MSG_ACTION_START_PRE);
}

void CQVPlayer::AnalogStep() {
    Vector3 stick(ActionValue(QVDI_AXISX), 0.0f, -ActionValue(QVDI_AXISY));
    const float length = Vec3_Length(stick);
    float motionSpeed = 1.0f;
    const char* motion = nullptr;
    float turnSpeed = 0.0f;
    if (length > 0.5f) {
        motion = "R_Forward";
        turnSpeed = 15.0f;
        motionSpeed = (length - 1.0f) * 0.8f + 1.0f;
    } else if (length > 0.1f) {
        motion = "N_Forward";
        turnSpeed = length > 0.25f ? 10.0f : 5.0f;
        motionSpeed = length * 1.5f + 0.1f;
    }
    if (motion) {
        SendText(m_Character.target, MSG_SET_MOTION, motion);
        SendReal(m_Character.target, MSG_SET_TURN_SPEED, turnSpeed);
        SendReal(SkinOf(m_Character.target), MSG_SET_MOTION_SPEED, motionSpeed);
    } else {
        SendReal(SkinOf(m_Character.target), MSG_SET_MOTION_SPEED, motionSpeed);
        SendText(m_Character.target, MSG_SET_MOTION, "N_Neutral");
    }
    if (ActionDown(QVDI_BUTTONA, m_ControlSet)) Send(m_Character.target, MSG_CC_JUMP);

    if (length > 0.1f) {
        Vec3_Normalize(&stick, stick);
        const Vector3 view = CameraForwardOnGround();
        g_ConsoleHeading = HeadingOf(stick.x, stick.z) + HeadingOf(view.x, view.z);
    }

    // The right stick orbits the camera while the left one rests.
    CQVActor* camera = nullptr;
    if (CQVActor* body = m_Character.target) {
        CQVActor* block[1] = {nullptr};
        body->HandleMessage(MSG_GET_NOTIFYCAMERA, Args_Of(block));
        camera = block[0];
    }
    const float dt = m_Clock->dt;
    const float side = ActionValue(QVDI_AXIS1);
    if (camera && std::fabs(side) > 0.2f && length < 0.14f) SendReal(camera, MSG_SET_RELATIVE_ROTY, side * dt * 2.0f);
    const float up = ActionValue(QVDI_AXIS2);
    if (camera && std::fabs(up) > 0.2f && length < 0.14f) SendReal(camera, MSG_SET_RELATIVE_ROTX, up * dt * 2.0f);
    SendReal(m_Character.target, MSG_SET_ROT_Y_3D0, g_ConsoleHeading);
}

int CQVPlayer::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        archive->SerializeDword(&m_PlayerType);
        archive->SerializeDword(&m_CharacterType);
        archive->SerializeDword(&m_ControlSet);
        m_CharacterPath.clear();
        if (archive->direction != ARCHIVE_READING && m_Character.target) {
            if (const char* path = CQVActorSystem::GetActorPath(m_Character.target, this)) m_CharacterPath = path;
        }
        archive->SerializeString(m_CharacterPath);
    }
    if (archive->direction == ARCHIVE_READING && archive->HasFailed()) return 0;
    return 1;
}

void CQVPlayer::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_PLAYER];
    record.Define("Player", "Player", {CLASS_BASE, CLASS_PLAYER});
    kPlayerMessages.AddSheet(record);
}
