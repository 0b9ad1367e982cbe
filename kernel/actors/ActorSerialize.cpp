#include "kernel/actors/Actor.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/TreeMessages.h"
#include "kernel/actors/WordBlock.h"
#include "kernel/base/Archive.h"

#include <cstring>
#include <vector>

namespace {

// Versions that added base fields.
constexpr uint32_t VERSION_COLLISION_AND_ACTION_FLAGS = 6;
constexpr uint32_t VERSION_SCRIPT_MESSAGE_NAMES = 15;
constexpr uint32_t VERSION_SAVED_TIMED_MESSAGES = 46;
constexpr uint32_t VERSION_TIMED_MESSAGE_TAG = 50;
constexpr uint32_t VERSION_SIMULATION = 61;

// The fewest bytes a stored script (id, name, source) and a stored timed
// message (mode, channel, id, block size) take.
constexpr uint32_t SCRIPT_MIN_STORED_SIZE = 12;
constexpr uint32_t TIMED_MESSAGE_MIN_STORED_SIZE = 10;

class FieldTransfer {
public:
    explicit FieldTransfer(CQVActorArchive* archive)
        : archive(archive), reading(archive->direction == ARCHIVE_READING) {}

    void Word(void* value) { archive->SerializeDword(value); }
    void Reserved() {
        uint32_t reserved = 0;
        archive->SerializeDword(&reserved);
    }
    // One flag bit as a 32-bit 0 or 1; any non-zero word read sets it.
    void Bit(uint32_t* flags, uint32_t mask) {
        uint32_t value = (*flags & mask) ? 1 : 0;
        archive->SerializeDword(&value);
        if (reading) *flags = value ? (*flags | mask) : (*flags & ~mask);
    }
    uint8_t Byte(uint8_t value) { return archive->SerializeByte(value); }

    CQVActorArchive* archive;
    const bool reading;
};

void WriteTimedMessage(FieldTransfer& io, CQVActor* owner, TimedMessage* record, uint32_t version) {
    CQVActorArchive* archive = io.archive;
    io.Byte(record->mode);
    io.Byte(record->channel);
    if (version >= VERSION_TIMED_MESSAGE_TAG) io.Byte(record->tag);
    io.Word(&record->messageId);
    // Actor pointers are stored as paths; a block that cannot be stored is
    // written empty, so the record still fires with a zeroed block.
    ArgBlock stored;
    uint32_t storedSize = 0;
    if (record->args && ActorTree_HasStoredArgs(record, &storedSize)) {
        // Read from a file and not yet precalculated: still the stored form.
        stored = ArgBlock{storedSize, record->args.Data()};
    } else if (!record->args || !MessageArgs_Export(owner, stored, record->messageId, record->args)) {
        stored = ArgBlock{};
    }
    uint32_t size = stored.size;
    io.Word(&size);
    if (size) archive->Write(stored.data, size);
}

// A record as the timed-message system makes it, bound to owner, but not yet
// linked into a clock: "Init Load" links it. refused: the file's message
// may not be handed to an actor (MessageArgs_AcceptsData).
TimedMessage* ReadTimedMessage(FieldTransfer& io, CQVActor* owner, uint32_t version, bool* refused) {
    CQVActorArchive* archive = io.archive;
    TimedMessage* record = NewTimedMessage();
    record->actor = owner;
    // A record read from a file stays saved, so saving the actors again keeps it.
    record->state |= TIMED_STATE_SAVED;
    owner->m_TimedMessages.push_back(record);
    record->mode = io.Byte(record->mode);
    record->channel = io.Byte(record->channel);
    if (version >= VERSION_TIMED_MESSAGE_TAG) record->tag = io.Byte(record->tag);
    io.Word(&record->messageId);
    uint32_t size = 0;
    if (!archive->SerializeCount(&size, 1)) return record;
    const CommandDesc& desc = GetCommandDesc(record->messageId);
    const uint32_t fixedSize = desc.argSize > 0 ? static_cast<uint32_t>(desc.argSize) : 0;
    std::vector<uint8_t> bytes(size);
    if (size > 0) archive->Read(bytes.data(), size);
    // An empty block stands for a zeroed one of the message's fixed size.
    if (size == 0) bytes.assign(fixedSize, 0);
    // The zeroed block stands for null pointers, which any handler takes.
    *refused = !MessageArgs_AcceptsData(record->messageId, bytes.data(), bytes.size(),
                                        size > 0 ? ArgSource::Stored : ArgSource::Packed);
    TimedMessage_SetArgs(record, bytes.data(), static_cast<uint32_t>(bytes.size()), fixedSize);
    // The stored form becomes the run-time block at "Precalculate", once the
    // actors it names exist.
    if (size > 0) ActorTree_KeepStoredArgs(record, size);
    return record;
}

void SerializeTimes(FieldTransfer& io, TimedMessage* record) {
    switch (record->mode & 7) {
    case 2:
        io.Word(&record->nextFire);
        break;
    case 3:
        io.Word(&record->nextFire);
        io.Word(&record->period);
        break;
    case 4:
    case 5:
        io.Word(&record->nextFire);
        io.Word(&record->period);
        io.Word(&record->fireTime);
        io.Word(&record->endTime);
        break;
    default:
        break;
    }
}

void SerializeTimedMessages(FieldTransfer& io, CQVActor* owner, uint32_t version) {
    if (!io.reading) {
        // A cancelled record is waiting for release and would never fire.
        std::vector<TimedMessage*> saved;
        for (TimedMessage* record : owner->m_TimedMessages) {
            if ((record->state & TIMED_STATE_SAVED) && !(record->state & TIMED_STATE_CANCELLED)) {
                saved.push_back(record);
            }
        }
        uint32_t count = static_cast<uint32_t>(saved.size());
        io.Word(&count);
        for (TimedMessage* record : saved) {
            WriteTimedMessage(io, owner, record, version);
            SerializeTimes(io, record);
        }
        return;
    }
    uint32_t count = 0;
    if (!io.archive->SerializeCount(&count, TIMED_MESSAGE_MIN_STORED_SIZE)) return;
    for (uint32_t i = 0; i < count && !io.archive->HasFailed(); ++i) {
        bool refused = false;
        TimedMessage* record = ReadTimedMessage(io, owner, version, &refused);
        SerializeTimes(io, record);
        // No clock runs a channel above the last one: such a record would
        // never fire yet be kept and saved again with every save. A message
        // the file may not send (one that carries raw pointers, or an id
        // without a registration) is dropped likewise.
        if ((record->channel >= TIMED_CHANNEL_COUNT || refused) && g_ActorSystem) {
            g_ActorSystem->ReleaseTimedMessage(record);
        }
    }
}

void SerializeScripts(FieldTransfer& io, CQVActor* owner, uint32_t version) {
    CQVActorArchive* archive = io.archive;
    uint32_t count = static_cast<uint32_t>(owner->m_Scripts.size());
    if (!archive->SerializeCount(&count, SCRIPT_MIN_STORED_SIZE)) return;
    if (io.reading) owner->m_Scripts.resize(count);
    for (CQVScript& script : owner->m_Scripts) {
        io.Word(&script.boundMessage);
        if (version >= VERSION_SCRIPT_MESSAGE_NAMES) {
            // Bound by name, so files survive a renumbering of the messages.
            std::string messageName = io.reading ? std::string() : GetCommandDesc(script.boundMessage).name;
            archive->SerializeString(messageName);
            if (io.reading) script.boundMessage = FindEventCommand(messageName.c_str());
        }
        archive->SerializeString(script.name);
        archive->SerializeString(script.source);
        if (io.reading) {
            script.owner = owner;
            script.code.Clear();
        }
        if (archive->HasFailed()) return;
    }
}

void SerializeSimulation(FieldTransfer& io, CQVActor* owner) {
    uint32_t style = owner->m_SimParams ? owner->m_SimParams->words[0] : 0;
    io.Word(&style);
    if (io.reading && style != 0) {
        if (owner->m_SimParams == nullptr) owner->m_SimParams = new SimParams;
        owner->m_SimParams->words[0] = style;
    }
    if (style == 0 || owner->m_SimParams == nullptr) return;
    uint32_t* words = owner->m_SimParams->words;
    io.Word(&words[1]);
    for (int word = 5; word <= 14; ++word) io.Word(&words[word]);
    io.Bit(&words[15], 0x1);
}

}  // namespace

int CQVActor::Serialize(CQVActorArchive* archive, uint32_t flags) {
    FieldTransfer io(archive);
    const uint32_t version = archive->version;
    if (!io.reading) {
        if (version >= 1) {
            io.Word(&m_ClassType);
            io.Word(&m_Id);
        }
        if (m_Parent) m_ParentId = m_Parent->m_Id;
    }
    if (version >= 1) {
        io.Word(&m_ParentId);
        archive->SerializeString(m_Name);
    }
    WordBlock head;
    if (version >= 1) {
        head.Words(&m_Position, 3);
        head.Words(&m_Scale, 3);
        head.Words(&m_Rotation, 4);
        head.Bit(&m_Flags, ACTOR_PERSISTED_OPTION);
    }
    if (version >= VERSION_COLLISION_AND_ACTION_FLAGS) {
        head.Bit(&m_Flags, ACTOR_COLLISION_ENABLED);
        head.Word(&m_ActionFlags);
        head.Reserved();
    }
    if (version >= 1) head.Reserved();
    head.Transfer(archive);
    if (io.reading) m_ActionFlags &= ACTION_FLAGS_MASK;
    if (version >= 1) {
        // Objects made from the mesh are made again when the mesh loads.
        uint32_t count = 0;
        for (const ColObj& object : m_ColObjs) {
            if (!(object.flags & COLOBJ_GENERATED)) ++count;
        }
        if (!archive->SerializeCount(&count, COLOBJ_MIN_STORED_SIZE)) return 0;
        if (io.reading) m_ColObjs.resize(count);
        for (ColObj& object : m_ColObjs) {
            if (!io.reading && (object.flags & COLOBJ_GENERATED)) continue;
            if (io.reading) object.owner = this;
            if (!object.Serialize(archive, flags)) return 0;
        }
        SerializeScripts(io, this, version);
        WordBlock tail;
        tail.Word(&m_Activity);
        tail.Word(&m_KillDelay);
        tail.Word(&m_KillTime);
        tail.Word(&m_ActionStartDelay);
        tail.Word(&m_ActionStartTime);
        tail.Word(&m_ActionStopDelay);
        tail.Word(&m_ActionStopTime);
        tail.Word(&m_ActionTime);
        tail.Bit(&m_Flags, ACTOR_MASTER);
        tail.Word(&m_UserWord);
        tail.Reserved();
        tail.Transfer(archive);
    }
    if (version >= VERSION_SAVED_TIMED_MESSAGES) SerializeTimedMessages(io, this, version);
    if (version >= VERSION_SIMULATION) SerializeSimulation(io, this);
    return archive->HasFailed() ? 0 : 1;
}
