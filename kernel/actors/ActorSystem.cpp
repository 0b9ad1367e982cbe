#include "kernel/actors/ActorSystem.h"

#include "kernel/actors/ActorFiles.h"
#include "kernel/actors/ActorSystemHandler.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/LoadingScreen.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

CQVActorSystem* g_ActorSystem = nullptr;
CQVActor* g_CurrentCamera = nullptr;
std::vector<CQVActor*> g_ActorTable;
std::vector<CQVActor*> g_PendingDeletes;

namespace {

constexpr uint32_t TABLE_GROWTH_FACTORY = 1023; // slots beyond a new id
constexpr uint32_t TABLE_GROWTH_FREE_ID = 100;  // slots beyond a free-id run

// The program's class table; the kernel constructs no other class itself.
const ActorClassInfo* g_ClassTable = nullptr;
size_t g_ClassTableCount = 0;
const ActorClassInfo* g_ClassByType[CLASS_TYPE_COUNT] = {};
void (*g_SetFileRange)(CQVActor*, uint32_t, uint32_t, const char*) = nullptr;

// Paths live in one ring: each call writes below the previous one and the
// ring starts again at the top when little room is left.
constexpr size_t PATH_RING_SIZE = 4096;
constexpr size_t PATH_RING_LOW_WATER = 256;
char g_PathRing[PATH_RING_SIZE];
size_t g_PathRingTop = PATH_RING_SIZE;

constexpr size_t PATH_SEGMENT_MAX = 127;

// The tree notifications carry {actor, parent}.
struct TreeCallbackArgs {
    CQVActor* actor;
    CQVActor* parent;
};

// "Recursive Command" carries a message id and a pointer to that message's
// block (the block itself, which knows its size), packed without a gap.
struct RecursiveCommandBlock {
    MessageArgs block;
    uint8_t bytes[4 + sizeof(void*)];
    RecursiveCommandBlock(uint32_t id, MessageArgs carried) : block(carried) {
        const MessageArgs* pointer = &block;
        std::memcpy(bytes, &id, 4);
        std::memcpy(bytes + 4, &pointer, sizeof pointer);
    }
    RecursiveCommandBlock(const RecursiveCommandBlock&) = delete;
    RecursiveCommandBlock& operator=(const RecursiveCommandBlock&) = delete;
};

class ActorSystemPathResolver : public CQVActorPathResolver {
public:
    const char* GetActorPath(CQVActor* actor, CQVActor* from) override {
        return CQVActorSystem::GetActorPath(actor, from);
    }
    CQVActor* FindActorByPath(const char* path, CQVActor* from) override {
        return CQVActorSystem::FindActorByPath(path, from);
    }
};

ActorSystemPathResolver g_PathResolver;

void FillActorSystemRecord() {
    if (g_ClassRecords.size() < CLASS_TYPE_COUNT) g_ClassRecords.resize(CLASS_TYPE_COUNT);
    ClassRecord& record = g_ClassRecords[CLASS_ACTOR_SYSTEM];
    record = ClassRecord{};
    record.Define("Actor System", "Actor System", {CLASS_ACTOR_SYSTEM});
    ActorSystem_AddSheet(record);
}

bool IsAncestorOrSelf(const CQVActor* candidate, const CQVActor* actor) {
    for (const CQVActor* walk = actor; walk; walk = walk->m_Parent) {
        if (walk == candidate) return true;
    }
    return false;
}

}  // namespace

void ActorClasses_SetTable(const ActorClassInfo* classes, size_t count,
                           void (*setFileRange)(CQVActor*, uint32_t, uint32_t, const char*)) {
    g_ClassTable = classes;
    g_ClassTableCount = count;
    g_SetFileRange = setFileRange;
    std::fill(std::begin(g_ClassByType), std::end(g_ClassByType), nullptr);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t type = classes[i].type;
        // The base, the actor system and the type without a class are never
        // made through the table.
        if (type < CLASS_TYPE_COUNT && type != CLASS_BASE && type != CLASS_ACTOR_SYSTEM && type != CLASS_NONE) {
            g_ClassByType[type] = &classes[i];
        }
    }
}

int RegisterActorClasses() {
    RegisterBaseClass();
    for (size_t i = 0; i < g_ClassTableCount; ++i) {
        if (g_ClassTable[i].registerProperties) g_ClassTable[i].registerProperties();
    }
    if (g_ActorSystem == nullptr) {
        g_ActorSystem = new (std::nothrow) CQVActorSystem;
        if (g_ActorSystem == nullptr) return 0;
    } else {
        // The registration above emptied the record the constructor fills.
        FillActorSystemRecord();
    }
    CQVActorSystem* system = g_ActorSystem;
    CQVActor* global = system->CreateActor(CLASS_FILEIO, "Global", nullptr, system, ACTOR_ID_GLOBAL, 1, 1);
    CQVActor* scenery = system->CreateActor(CLASS_FILEIO, "Scenery", nullptr, system, ACTOR_ID_SCENERY, 1, 1);
    CQVActor* clipboard = system->CreateActor(CLASS_FILEIO, "Clipboard", nullptr, system, ACTOR_ID_CLIPBOARD, 1, 1);
    if (g_SetFileRange) {
        if (global) g_SetFileRange(global, 10, 2999, "Globals.qva");
        if (scenery) g_SetFileRange(scenery, 3000, 6999, "Scenery.qva");
        if (clipboard) g_SetFileRange(clipboard, 7000, 7999, "Clipboard.qva");
    }
    system->CreateActor(CLASS_ENVIRONMENT, "Environment", nullptr, global, ACTOR_ID_ENVIRONMENT, 1, 1);
    system->CreateActor(CLASS_INVENTORY, "Inventory", nullptr, global, ACTOR_ID_INVENTORY, 1, 1);
    return 1;
}

CQVActorSystem::CQVActorSystem() {
    m_ClassType = CLASS_ACTOR_SYSTEM;
    m_Id = 0;
    m_ErrorText[0] = 0;
    FillActorSystemRecord();
    GetNullActor(1)->m_Name = "NULLACTOR(safe)";
    g_GlobalClock.owner = this;
    g_GlobalClock.flags = CLOCK_MANUAL | CLOCK_GLOBAL_SPEED;
    g_ActorTable.assign(ACTOR_TABLE_INITIAL, nullptr);
    g_ActorTable[0] = this;
    m_FreeIdHint = ACTOR_ID_FIRST_FREE;
    MessageArgs_SetPathResolver(&g_PathResolver);
}

CQVActorSystem::~CQVActorSystem() {
    // Every actor goes while the actor system can still release its records.
    for (size_t i = 0; i < m_Children.size(); ++i) {
        CQVActor* child = m_Children[i];
        if (child == nullptr) continue;
        child->m_Parent = nullptr;
        if (GetTableSlot(child->m_Id) == child) {
            ClearTableSlot(child->m_Id);
            delete child;
        }
    }
    m_Children.clear();
    while (!m_TimedMessages.empty()) ReleaseTimedMessage(m_TimedMessages.back());
    while (!m_CancelledTimedMessages.empty()) ReleaseTimedMessage(m_CancelledTimedMessages.back());
    for (ReplayLogEntry& entry : m_ReplayLog) delete[] entry.args;
    m_ReplayLog.clear();
    g_PendingDeletes.clear();
    if (g_GlobalClock.owner == this) g_GlobalClock.owner = nullptr;
    if (GetTableSlot(0) == this) g_ActorTable[0] = nullptr;
    if (g_ActorSystem == this) {
        MessageArgs_SetPathResolver(nullptr);
        g_ActorSystem = nullptr;
    }
}

CQVActorSystem* CQVActorSystem::Get() { return g_ActorSystem; }

CQVActor* CQVActorSystem::GetTableSlot(uint32_t id) { return id < g_ActorTable.size() ? g_ActorTable[id] : nullptr; }

void CQVActorSystem::ClearTableSlot(uint32_t id) {
    if (id >= g_ActorTable.size()) return;
    g_ActorTable[id] = nullptr;
    if (g_ActorSystem && id < g_ActorSystem->m_FreeIdHint) {
        // The new gap may join empty slots below it into a run.
        uint32_t hint = id;
        while (hint > ACTOR_ID_FIRST_FREE && g_ActorTable[hint - 1] == nullptr) --hint;
        g_ActorSystem->m_FreeIdHint = std::max(hint, ACTOR_ID_FIRST_FREE);
    }
}

void CQVActorSystem::GrowTable(size_t size) {
    if (size > g_ActorTable.size()) g_ActorTable.resize(size, nullptr);
}

CQVActor* CQVActorSystem::ConstructClass(uint32_t type) {
    if (type == CLASS_BASE) return new (std::nothrow) CQVActor;
    if (type >= CLASS_TYPE_COUNT || g_ClassByType[type] == nullptr) return nullptr;
    return g_ClassByType[type]->create();
}

void CQVActorSystem::RemoveFromParentList(CQVActor* actor, CQVActor* parent) {
    if (parent == nullptr) return;
    auto& children = parent->m_Children;
    for (size_t i = children.size(); i-- > 0;) {
        if (children[i] == actor) {
            children.erase(children.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void CQVActorSystem::RemoveChildEntry(CQVActor* parent, uint32_t id) {
    if (parent == nullptr) return;
    // A child is listed once, so the entry is looked for from the end,
    // where the newest children are: a parent emptied newest first then
    // never shifts its list.
    auto& children = parent->m_Children;
    for (size_t i = children.size(); i-- > 0;) {
        if (children[i] && children[i]->m_Id == id) {
            children.erase(children.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void CQVActorSystem::DestroyInSlot(uint32_t id) {
    CQVActor* occupant = GetTableSlot(id);
    if (occupant == nullptr) return;
    RemoveFromParentList(occupant, occupant->m_Parent);
    ClearTableSlot(id);
    delete occupant;
}

CQVActor* CQVActorSystem::CreateActor(uint32_t type, const char* name, CQVActor* source, CQVActor* parent,
                                      uint32_t id, int init, uint32_t flags) {
    if (id == ACTOR_ID_ANY) {
        id = FindFreeActorId(1);
        if (id == ACTOR_ID_ANY) {
            SetError("Error - No Free Actor ID.");
            return nullptr;
        }
    }
    if (id >= g_ActorTable.size()) {
        if (id > ACTOR_ID_MAX) return nullptr;
        GrowTable(static_cast<size_t>(id) + TABLE_GROWTH_FACTORY);
    }
    // A create that cannot succeed leaves the table as it was.
    if (type >= CLASS_TYPE_COUNT || (type != CLASS_BASE && g_ClassByType[type] == nullptr)) return nullptr;
    CQVActor* occupant = g_ActorTable[id];
    if (occupant) {
        // The actor system, and an actor that the new one would be built
        // from or placed under, are never replaced.
        if (occupant == this || IsAncestorOrSelf(occupant, parent) || IsAncestorOrSelf(occupant, source)) {
            return nullptr;
        }
        DestroyInSlot(id);
    }

    CQVActor* actor = ConstructClass(type);
    if (actor == nullptr) return nullptr;
    g_ActorTable[id] = actor;
    if (type == CLASS_BASE && source) {
        actor->CopyFrom(*source);
        actor->m_ParentId = ACTOR_ID_NONE;
        actor->m_Parent = nullptr;
    }
    actor->m_Id = id;
    actor->m_Name = name ? name : "";
    if (parent) {
        parent->m_Children.push_back(actor);
        actor->m_Parent = parent;
        actor->m_ParentId = parent->m_Id;
    }
    if (init) {
        if (!actor->HandleMessage(MSG_CREATE, Args_Of(&source))) {
            // A copy may have taken the source's parent; the parent it was
            // appended to gives it up.
            RemoveFromParentList(actor, parent);
            if (g_ActorTable[id] == actor) ClearTableSlot(id);
            actor->m_Parent = nullptr;
            actor->m_Children.clear();
            delete actor;
            return nullptr;
        }
    }
    // The copied child list is the source's; the copy owns no children.
    if (source) actor->m_Children.clear();
    // The copy's own name stays: "Init Copy" may have renamed it.
    actor->m_Id = id;
    // An actor that moved itself while it was made (a Character starting its
    // simulation goes under "Scenery") stays where its list entry now is:
    // pointing it back at the first parent would leave it listed in one
    // parent and owned by another, and deleted twice.
    const bool moved = parent && actor->m_Parent && actor->m_Parent != parent &&
                       std::find(parent->m_Children.begin(), parent->m_Children.end(), actor) ==
                           parent->m_Children.end();
    if (parent && !moved) {
        actor->m_Parent = parent;
        actor->m_ParentId = parent->m_Id;
    }
    return actor;
}

uint32_t CQVActorSystem::FindFreeActorId(uint32_t count) {
    for (;;) {
        const size_t size = g_ActorTable.size();
        // Below the hint no two empty slots follow each other and the slot
        // before it is taken, so a search for one id may start there.
        size_t id = count == 1 ? std::max<size_t>(m_FreeIdHint, ACTOR_ID_FIRST_FREE) : ACTOR_ID_FIRST_FREE;
        size_t runStart = size;
        size_t runLength = 0;
        for (; id < size; ++id) {
            if (g_ActorTable[id]) {
                runLength = 0;
                continue;
            }
            if (runLength == 0) runStart = id;
            ++runLength;
            if (runLength > count) break;
        }
        const size_t candidate = runLength == 0 ? size : runStart;
        if (candidate + count > static_cast<size_t>(ACTOR_ID_MAX) + 1) return ACTOR_ID_ANY;
        if (candidate + count <= size) {
            if (count == 1) m_FreeIdHint = static_cast<uint32_t>(candidate);
            return static_cast<uint32_t>(candidate);
        }
        GrowTable(candidate + count + TABLE_GROWTH_FREE_ID);
    }
}

void CQVActorSystem::NotifyRemoved(CQVActor* actor, CQVActor* parent) {
    TreeCallbackArgs args{actor, parent};
    parent->HandleMessage(MSG_CALLBACK_CHILD_REMOVED, Args_Of(&args));
    for (CQVActor* ancestor = parent->m_Parent; ancestor; ancestor = ancestor->m_Parent) {
        ancestor->HandleMessage(MSG_CALLBACK_RELCHILD_REMOVED, Args_Of(&args));
    }
}

void CQVActorSystem::NotifyAdded(CQVActor* actor, CQVActor* parent) {
    TreeCallbackArgs args{actor, parent};
    parent->HandleMessage(MSG_CALLBACK_CHILD_ADDED, Args_Of(&args));
    for (CQVActor* ancestor = parent->m_Parent; ancestor; ancestor = ancestor->m_Parent) {
        ancestor->HandleMessage(MSG_CALLBACK_RELCHILD_ADDED, Args_Of(&args));
    }
}

int CQVActorSystem::DeleteActor(CQVActor* actor) {
    if (actor == nullptr) return 0;
    if (actor->m_Parent) NotifyRemoved(actor, actor->m_Parent);
    if (actor->m_Id < ACTOR_ID_SYSTEM_LIMIT) return SetError("Error - Cant Delete System Actors");
    RemoveChildEntry(actor->m_Parent, actor->m_Id);
    // Only an actor the table owns is destroyed: the statics and the actor
    // system are never in a slot of their own id but their own.
    if (GetTableSlot(actor->m_Id) == actor) {
        ClearTableSlot(actor->m_Id);
        delete actor;
    }
    return 1;
}

int CQVActorSystem::QueueDelete(CQVActor* actor) {
    if (actor == nullptr || (actor->m_Flags & ACTOR_DELETE_PENDING)) return 1;
    g_PendingDeletes.push_back(actor);
    actor->m_Flags |= ACTOR_DELETE_PENDING;
    return 1;
}

void CQVActorSystem::RunPendingDeletes() {
    while (!g_PendingDeletes.empty()) {
        CQVActor* actor = g_PendingDeletes.back();
        g_PendingDeletes.pop_back();
        actor->m_Flags &= ~ACTOR_DELETE_PENDING;
        DeleteActor(actor);
    }
}

int CQVActorSystem::MoveActor(CQVActor* actor, CQVActor* newParent) {
    if (actor == nullptr || newParent == nullptr) return 0;
    if (newParent->m_Parent == nullptr) return SetError("Error - Cant Paste Objects In Root");
    // An actor cannot go below itself, and the root never moves.
    if (actor->m_Parent == nullptr || IsAncestorOrSelf(actor, newParent)) return 0;

    CQVActor* oldParent = actor->m_Parent;
    const Matrix world = actor->GetWorldMatrix();
    RemoveChildEntry(oldParent, actor->m_Id);
    newParent->m_Children.push_back(actor);
    actor->m_Parent = newParent;
    actor->m_ParentId = newParent->m_Id;
    actor->SetWorldMatrix(world);

    NotifyRemoved(actor, oldParent);
    NotifyAdded(actor, newParent);
    actor->HandleMessage(MSG_CALLBACK_MOVED_IN_TREE, nullptr);
    TreeCallbackArgs moved{actor, newParent};
    RecursiveCommandBlock command(MSG_CALLBACK_RELPARENT_MOVED_IN_TREE, Args_Of(&moved));
    actor->SendToChildren(MSG_RECURSIVE_COMMAND, Args_Of(command.bytes));
    return 1;
}

CQVActor* CQVActorSystem::CopyActorTree(CQVActor* source, CQVActor* parent, uint32_t flags) {
    if (source == nullptr || parent == nullptr || parent->m_Parent == nullptr) return nullptr;
    // The children are taken before the copy exists, so a copy placed below
    // its own source is not copied again.
    const std::vector<CQVActor*> children = source->m_Children;
    CQVActor* copy = CreateActor(source->m_ClassType, source->m_Name.c_str(), source, parent, ACTOR_ID_ANY, 1, flags);
    if (copy == nullptr) return nullptr;
    copy->m_Parent = parent;
    copy->m_ParentId = parent->m_Id;
    for (CQVActor* child : children) {
        // A child destroyed by an earlier copy's handlers is no longer in the table.
        if (child && GetTableSlot(child->m_Id) == child) CopyActorTree(child, copy, flags);
    }
    return copy;
}

CQVActor* CQVActorSystem::CloneActor(CQVActor* source, CQVActor* parent, uint32_t flags) {
    CQVActor* copy = CopyActorTree(source, parent, flags);
    if (copy == nullptr) return nullptr;
    uint32_t operational = 1;
    copy->HandleMessage(MSG_SET_OPERATIONAL, Args_Of(&operational));
    copy->HandleMessage(MSG_PRECALCULATE_RECURSIVE, nullptr);
    copy->HandleMessage(MSG_INVALIDATE_OLDPOSITION, nullptr);
    RecursiveCommandBlock command(MSG_SET_DRAWGROUP, Args_Of(&parent->m_DrawGroupId));
    copy->HandleMessage(MSG_RECURSIVE_COMMAND, Args_Of(command.bytes));
    return copy;
}

CQVActor* CQVActorSystem::GetActorById(uint32_t id) { return GetTableSlot(id); }

int32_t CQVActorSystem::GetActorClassById(uint32_t id) {
    CQVActor* actor = GetTableSlot(id);
    return actor ? static_cast<int32_t>(actor->m_ClassType) : -1;
}

CQVActor* CQVActorSystem::FindActorByName(const char* name, uint32_t type) {
    if (name == nullptr) return nullptr;
    for (CQVActor* actor : g_ActorTable) {
        if (actor && actor->m_Name == name && (type == 0xFFFFFFFF || actor->m_ClassType == type)) return actor;
    }
    return nullptr;
}

CQVActor* CQVActorSystem::FindActorByPath(const char* path, CQVActor* from) {
    if (path == nullptr) return nullptr;
    CQVActor* current = from;
    if (current == nullptr || path[0] == '/') current = g_ActorSystem;
    if (path[0] == '/') ++path;
    char segment[PATH_SEGMENT_MAX + 1];
    while (current && *path) {
        const char* end = std::strchr(path, '/');
        const size_t length = end ? static_cast<size_t>(end - path) : std::strlen(path);
        // A name longer than a segment holds names no actor.
        if (length > PATH_SEGMENT_MAX) return nullptr;
        std::memcpy(segment, path, length);
        segment[length] = 0;
        if (std::strcmp(segment, "..") == 0 || std::strcmp(segment, "parent") == 0) {
            current = current->m_Parent;
        } else {
            current = CQVActor::FindChildByName(current, segment);
        }
        path += length;
        if (*path == '/') ++path;
    }
    return current;
}

const char* CQVActorSystem::GetActorPath(CQVActor* actor, CQVActor* from) {
    std::string text;
    const bool relative = from != nullptr;
    if (!relative) from = g_ActorSystem;
    if (actor && actor != from) {
        auto depth = [](CQVActor* a) {
            int d = 0;
            for (; a; a = a->m_Parent) ++d;
            return d;
        };
        CQVActor* a = actor;
        CQVActor* b = from;
        int da = depth(a);
        int db = depth(b);
        while (da > db) {
            a = a->m_Parent;
            --da;
        }
        while (db > da) {
            b = b->m_Parent;
            --db;
        }
        while (a != b) {
            a = a->m_Parent;
            b = b->m_Parent;
        }
        CQVActor* common = a;
        std::vector<const std::string*> names;
        for (CQVActor* walk = actor; walk && walk != common; walk = walk->m_Parent) names.push_back(&walk->m_Name);
        if (relative) {
            for (CQVActor* walk = from; walk && walk != common; walk = walk->m_Parent) text += "../";
        } else {
            text += '/';
        }
        for (size_t i = names.size(); i-- > 0;) {
            text += *names[i];
            if (i) text += '/';
        }
    }
    // A path longer than the ring is cut rather than written past it.
    const size_t length = std::min(text.size(), PATH_RING_SIZE - 1);
    if (g_PathRingTop < PATH_RING_LOW_WATER || g_PathRingTop < length + 1) g_PathRingTop = PATH_RING_SIZE;
    g_PathRingTop -= length + 1;
    char* out = g_PathRing + g_PathRingTop;
    std::memcpy(out, text.data(), length);
    out[length] = 0;
    return out;
}

int CQVActorSystem::SendMessage(uint32_t id, uint32_t message, MessageArgs args) {
    CQVActor* actor = GetTableSlot(id);
    return actor ? actor->HandleMessage(message, args) : 0;
}

int CQVActorSystem::BroadcastMessage(uint32_t message, MessageArgs args) {
    for (size_t id = 0; id < g_ActorTable.size(); ++id) {
        if (CQVActor* actor = g_ActorTable[id]) actor->HandleMessage(message, args);
    }
    return 1;
}

int CQVActorSystem::SendMessageToChildren(CQVActor* actor, uint32_t message, MessageArgs args) {
    if (actor == nullptr) return 0;
    actor->SendToChildren(message, args);
    return 1;
}

void CQVActorSystem::PrecalculateAll() { SendMessage(0, MSG_PRECALCULATE_RECURSIVE, nullptr); }

uint32_t CQVActorSystem::CountSavedActors(uint32_t first, uint32_t last) {
    uint32_t count = 0;
    const size_t end = std::min<size_t>(last, g_ActorTable.size());
    for (size_t id = first; id < end; ++id) {
        if (g_ActorTable[id] && (g_ActorTable[id]->m_Flags & ACTOR_SAVED)) ++count;
    }
    return count;
}

uint32_t CQVActorSystem::GetIdSpan(uint32_t first, uint32_t last) {
    if (first >= last) return 0;
    const size_t end = std::min<size_t>(last, g_ActorTable.size());
    for (size_t id = end; id-- > first;) {
        if (g_ActorTable[id]) return static_cast<uint32_t>(id + 1 - first);
    }
    return 0;
}

int CQVActorSystem::SetError(const char* format, ...) {
    va_list list;
    va_start(list, format);
    std::vsnprintf(m_ErrorText, sizeof(m_ErrorText), format, list);
    va_end(list);
    return 0;
}

void Actors_Reset() {
    // Actors outside the tree (a bare record read from a file) go first: the
    // actor system's destructor only reaches those below it.
    if (g_ActorSystem != nullptr) {
        for (size_t id = 1; id < g_ActorTable.size(); ++id) {
            CQVActor* actor = g_ActorTable[id];
            if (actor == nullptr || actor->m_Parent != nullptr) continue;
            g_ActorTable[id] = nullptr;
            delete actor;
        }
        delete g_ActorSystem;
    }
    g_ActorTable.clear();
    g_PendingDeletes.clear();
    TimedMessages_ResetActorRecords();
    ActorClock& clock = g_GlobalClock;
    clock.dt = clock.time = clock.previousTime = clock.olderTime = 0.0f;
    clock.ownScale = clock.effectiveScale = 1.0f;
    clock.owner = nullptr;
    clock.frameStamp = 0;
    clock.flags = CLOCK_NOTIFY;
    DrawGroups_Reset();
    g_DrawGroupCounters = DrawGroupCounters{};
    g_DrawCameraPosition = Vector3(0.0f, 0.0f, 0.0f);
    std::fill(std::begin(g_GAVariables), std::end(g_GAVariables), nullptr);
    g_MessageCount = 0;
    g_CurrentCamera = nullptr;
    Collision_Reset();
    LoadingScreen_Reset();
    ActorSystemHandler_Reset();
    g_ActorLoadLimits = ActorLoadLimits{};
}
