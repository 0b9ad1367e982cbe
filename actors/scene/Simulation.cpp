#include "actors/scene/Simulation.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"

#include <cstring>

namespace {

// The simulation block's pairs without registered names: set id, then get id.
enum : uint32_t {
    SIM_SET_WEIGHT = 304,
    SIM_GET_WEIGHT = 305,
    SIM_SET_AIR_RESISTANCE = 308,
    SIM_GET_AIR_RESISTANCE = 309,
    SIM_SET_AIR_RESISTANCE_ROT = 310,
    SIM_GET_AIR_RESISTANCE_ROT = 311,
    SIM_SET_FRICTION = 314,
    SIM_GET_FRICTION = 315,
    SIM_SET_BOUNCE_SLIDE = 316,
    SIM_GET_BOUNCE_SLIDE = 317,
    SIM_SET_SLIDE_REST = 318,
    SIM_GET_SLIDE_REST = 319,
    SIM_SET_STOP_REST = 320,
    SIM_GET_STOP_REST = 321,
    SIM_SET_STICKY = 322,
    SIM_GET_STICKY = 323,
    SIM_SET_DIRECTION_BY_MOVEMENT = 324,
    SIM_GET_DIRECTION_BY_MOVEMENT = 325,
};

// Every row reaches the base actor's simulation block.
constexpr MessageRow kSimulationRows[] = {
    SheetRow("Simulation Properties", PROP_TITLE),
    SheetRow("SimulationStyle:|PositionOnly|1|RigidBody|2|CylinerApprox|3|BoxApprox|4|SphereApprox|5|_extra2|6|"
             "_extra3|7|_extra4|8|",
             PROP_CHOICE, MSG_SET_SIM_STYLE, MSG_GET_SIM_STYLE),
    SheetRow("Weight", PROP_REAL, SIM_SET_WEIGHT, SIM_GET_WEIGHT),
    SheetRow("AirResistanceMultiplier", PROP_VECTOR, SIM_SET_AIR_RESISTANCE, SIM_GET_AIR_RESISTANCE),
    SheetRow("AirResistanceRotMultiplier", PROP_REAL, SIM_SET_AIR_RESISTANCE_ROT, SIM_GET_AIR_RESISTANCE_ROT),
    SheetRow("GravityMul", PROP_REAL, MSG_SET_SIM_GRAVITY_MUL, MSG_GET_SIM_GRAVITY_MUL),
    SheetRow("FrictionMultiplier", PROP_REAL, SIM_SET_FRICTION, SIM_GET_FRICTION),
    SheetRow("Bounce->Slide Treshold|cm/s|", PROP_REAL, SIM_SET_BOUNCE_SLIDE, SIM_GET_BOUNCE_SLIDE),
    SheetRow("Slide->Rest Treshold|cm/s|", PROP_REAL, SIM_SET_SLIDE_REST, SIM_GET_SLIDE_REST),
    SheetRow("StopRest Treshold", PROP_REAL, SIM_SET_STOP_REST, SIM_GET_STOP_REST),
    SheetRow("StickyForce", PROP_REAL, SIM_SET_STICKY, SIM_GET_STICKY),
    SheetRow("DirectionByMovement", PROP_CHECK, SIM_SET_DIRECTION_BY_MOVEMENT, SIM_GET_DIRECTION_BY_MOVEMENT),
};

constexpr MessageTable kSimulationMessages{kSimulationRows};

// The thresholds are kept as squared speeds and shown as speeds.
constexpr uint32_t kSquaredRows[] = {SIM_SET_BOUNCE_SLIDE, SIM_SET_SLIDE_REST, SIM_SET_STOP_REST};

// The simulation block's centre-of-mass offset (three words) and the flag
// that its default stands.
constexpr int SIM_WORD_CENTRE_OF_MASS = 2;
constexpr uint32_t SIM_FLAG_DEFAULT_CENTRE = 0x2;

// Files before this version end after the base fields.
constexpr uint32_t VERSION_CONTACT_INTERVAL = 21;

constexpr uint32_t FLAGS_EVERY_FRAME = 0x100;
constexpr uint8_t CHANNEL_PROCESS = 2;

// The default body volume: a sphere of radius 50 about the origin, told of
// what it meets and telling it, switched with the body's collision.
constexpr uint32_t DEFAULT_VOLUME_FLAGS = 0x66;

}  // namespace

CQVSimulation::CQVSimulation() { m_ClassType = CLASS_SIMULATION; }

TimedMessage* CQVSimulation::ProcessRecord() const {
    for (TimedMessage* record : m_TimedMessages) {
        if (record->messageId == MSG_PROCESS && !(record->state & TIMED_STATE_CANCELLED)) return record;
    }
    return nullptr;
}

void CQVSimulation::SwitchCollision(bool on) {
    // The draw group files static collision objects by address and state.
    if (g_ActorSystem) g_ActorSystem->RemoveFromDrawGroup(this, 0);
    const uint32_t value = on ? 1 : 0;
    HandleMessage(MSG_SET_COLLISION_ENABLE, Args_Of(&value));
    if (g_ActorSystem) g_ActorSystem->AddToDrawGroup(this, 0);
}

int CQVSimulation::HandleMessage(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_SET_COLLISION_ENABLE:
        if (Args_Get<uint32_t>(args) != 0) {
            m_InContact = 0;
            m_WasInContact = 0;
        }
        break;
    case MSG_PRECALCULATE:
        if (m_SimState == nullptr) m_SimState = new SimState;
        if (CQVActor* centre = FindChild("CenterOfMass")) {
            if (m_SimParams == nullptr) m_SimParams = new SimParams;
            const float offset[3] = {centre->m_Position.x, centre->m_Position.y, centre->m_Position.z};
            std::memcpy(&m_SimParams->words[SIM_WORD_CENTRE_OF_MASS], offset, sizeof offset);
            m_SimParams->words[SIM_WORD_FLAGS] &= ~SIM_FLAG_DEFAULT_CENTRE;
        }
        break;
    case MSG_CREATE:
        if (Args_Pointer<CQVActor>(id, args) == nullptr) {
            ColObj volume;
            volume.name = "Simulation";
            volume.flags |= DEFAULT_VOLUME_FLAGS;
            volume.type = COLOBJ_SPHERE;
            volume.physique = 0;
            volume.fill = 7;
            volume.boxMin = Vector3(0.0f, 0.0f, 0.0f);
            volume.boxMax = Vector3(50.0f, 0.0f, 0.0f);
            volume.persistedWord = 0xFFFFFFFF;
            volume.owner = this;
            m_ColObjs.push_back(volume);
        }
        break;
    case MSG_COLLISION_EVENT:
        m_InContact = 1;
        if (ProcessRecord() == nullptr && g_ActorSystem) {
            g_ActorSystem->ScheduleMessage(this, MSG_PROCESS, nullptr, FLAGS_EVERY_FRAME, 0.0f, 0.0f, 0.0f, nullptr,
                                           CHANNEL_PROCESS);
        }
        break;
    case MSG_ACTION_START:
        HandleMessage(MSG_START_SIMULATE, nullptr);
        if (!(m_Flags & ACTOR_COLLISION_ENABLED)) SwitchCollision(true);
        break;
    case MSG_ACTION_STOP_POST:
    case MSG_KILL_POST:
        if (m_Flags & ACTOR_COLLISION_ENABLED) SwitchCollision(false);
        HandleMessage(MSG_STOP_SIMULATE, nullptr);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVSimulation::Process() {
    if (!IsOperational()) return;
    // A contact has ended: the step stops until the next "Collision Event".
    if (!m_InContact && m_WasInContact) {
        if (TimedMessage* record = ProcessRecord()) CancelTimedMessage(record);
    }
    m_WasInContact = m_InContact;
    m_InContact = 0;
    CQVActor::Process();
}

int CQVSimulation::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= VERSION_CONTACT_INTERVAL) {
        archive->SerializeDword(&m_ContactInterval);
        archive->SerializeDword(&m_Reserved);
    }
    if (archive->direction == ARCHIVE_READING && archive->HasFailed()) return 0;
    return 1;
}

void CQVSimulation::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_SIMULATION];
    record.Define("Simulation", "Simulation", {CLASS_BASE, CLASS_SIMULATION});
    kSimulationMessages.AddSheet(record);
    for (PropertyDesc& row : record.properties) {
        for (uint32_t squared : kSquaredRows) {
            if (row.setMessage == squared) row.conversion = &Property_SquareOrRoot;
        }
    }
}
