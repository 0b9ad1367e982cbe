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

// Every row reaches the base actor's simulation block.
constexpr MessageRow kSimulationRows[] = {
    SheetRow("Simulation Properties", PROP_TITLE),
    SheetRow("SimulationStyle:|PositionOnly|1|RigidBody|2|CylinerApprox|3|BoxApprox|4|SphereApprox|5|_extra2|6|"
             "_extra3|7|_extra4|8|",
             PROP_CHOICE, MSG_SET_SIM_STYLE, MSG_GET_SIM_STYLE),
    SheetRow("Weight", PROP_REAL, MSG_SET_SIM_WEIGHT, MSG_GET_SIM_WEIGHT),
    SheetRow("AirResistanceMultiplier", PROP_VECTOR, MSG_SET_SIM_AIR_RESISTANCE, MSG_GET_SIM_AIR_RESISTANCE),
    SheetRow("AirResistanceRotMultiplier", PROP_REAL, MSG_SET_SIM_AIR_RESISTANCE_ROT, MSG_GET_SIM_AIR_RESISTANCE_ROT),
    SheetRow("GravityMul", PROP_REAL, MSG_SET_SIM_GRAVITY_MUL, MSG_GET_SIM_GRAVITY_MUL),
    SheetRow("FrictionMultiplier", PROP_REAL, MSG_SET_SIM_FRICTION, MSG_GET_SIM_FRICTION),
    SheetRow("Bounce->Slide Treshold|cm/s|", PROP_REAL, MSG_SET_SIM_BOUNCE_SLIDE, MSG_GET_SIM_BOUNCE_SLIDE),
    SheetRow("Slide->Rest Treshold|cm/s|", PROP_REAL, MSG_SET_SIM_SLIDE_REST, MSG_GET_SIM_SLIDE_REST),
    SheetRow("StopRest Treshold", PROP_REAL, MSG_SET_SIM_STOP_REST, MSG_GET_SIM_STOP_REST),
    SheetRow("StickyForce", PROP_REAL, MSG_SET_SIM_STICKY, MSG_GET_SIM_STICKY),
    SheetRow("DirectionByMovement", PROP_CHECK, MSG_SET_SIM_DIRECTION_BY_MOVEMENT, MSG_GET_SIM_DIRECTION_BY_MOVEMENT),
};

constexpr MessageTable kSimulationMessages{kSimulationRows};

// The thresholds are kept as squared speeds and shown as speeds.
constexpr uint32_t kSquaredRows[] = {MSG_SET_SIM_BOUNCE_SLIDE, MSG_SET_SIM_SLIDE_REST, MSG_SET_SIM_STOP_REST};

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
