// The gameplay classes in actor files: each class's record written at an old
// and the current version and loaded back through the actor system, fields
// a version predates keeping their defaults; and records checked byte by
// byte against their layouts, written and read, so that a mistake made
// alike in the writer and the reader shows.

#include "actors/gameplay/Developer2.h"
#include "actors/gameplay/Door.h"
#include "actors/gameplay/GameContainer.h"
#include "actors/gameplay/Reference.h"
#include "actors/gameplay/SpawnPoint.h"
#include "actors/gameplay/Timer.h"
#include "actors/gameplay/Trigger.h"
#include "kernel/actors/ClassMessages.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"
#include "tests/support/ActorRecordFile.h"
#include "tools/content/ByteWriter.h"

#include <bit>
#include <cstring>
#include <functional>

namespace gameplay_test {
namespace {

// A record's own fields as the layout puts them, little-endian.
struct Layout {
    std::vector<uint8_t> bytes;
    Layout& U32(uint32_t value) {
        ByteWriter_Put32(&bytes, value);
        return *this;
    }
    Layout& F32(float value) { return U32(std::bit_cast<uint32_t>(value)); }
    Layout& Vec(const Vector3& v) { return F32(v.x).F32(v.y).F32(v.z); }
    Layout& Quat(const Quaternion& q) { return F32(q.x).F32(q.y).F32(q.z).F32(q.w); }
    Layout& Text(const std::string& text) {
        U32(static_cast<uint32_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
};

class GameplayFileTest : public GameplayTest {
protected:
    // The loaded actor (old files number their ids otherwise: found by name).
    template <typename T>
    static T* Loaded(const char* name, uint32_t type) {
        return static_cast<T*>(CQVActorSystem::FindActorByName(name, type));
    }
    // Writes the actor; the file must end with the layout's bytes.
    void ExpectWritten(CQVActor* actor, uint32_t version, const Layout& layout) {
        ASSERT_TRUE(file.WriteAndForget(actor, version));
        const std::vector<char> bytes = file.Bytes();
        ASSERT_GE(bytes.size(), layout.bytes.size());
        const std::vector<uint8_t> tail(bytes.end() - static_cast<std::ptrdiff_t>(layout.bytes.size()), bytes.end());
        EXPECT_EQ(tail, layout.bytes);
    }
    // The written file with its own fields replaced by the layout's, loaded: the load's result.
    int LoadWith(size_t ownSize, const Layout& layout) {
        std::vector<char> bytes = file.Bytes();
        bytes.resize(bytes.size() - ownSize);
        bytes.insert(bytes.end(), layout.bytes.begin(), layout.bytes.end());
        file.Rewrite(bytes);
        return file.Load();
    }

    ActorRecordFile file;
};

// ---------------------------------------------------------------------------
// Round trips of every class at old and current versions.

struct RoundTrip {
    const char* name;
    uint32_t type;
    uint32_t version;
    std::function<void(CQVActor*)> fill;
    std::function<void(CQVActor*, uint32_t)> check;
};

void PrintTo(const RoundTrip& trip, std::ostream* out) { *out << trip.name << " v" << trip.version; }

class GameplayRoundTrip : public GameplayFileTest, public testing::WithParamInterface<RoundTrip> {};

TEST_P(GameplayRoundTrip, TheRecordLoadsBackWithTheFieldsOfItsVersion) {
    CQVActor* actor = Make(GetParam().type, "Written");
    ASSERT_NE(actor, nullptr);
    actor->m_Position = Vector3(1.0f, 2.0f, 3.0f);
    GetParam().fill(actor);
    ASSERT_TRUE(file.WriteAndForget(actor, GetParam().version));
    ASSERT_EQ(file.Load(), 1);
    CQVActor* loaded = CQVActorSystem::FindActorByName("Written", GetParam().type);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_ClassType, GetParam().type);
    EXPECT_EQ(loaded->m_Name, "Written");
    EXPECT_EQ(loaded->m_Position.z, 3.0f);
    GetParam().check(loaded, GetParam().version);
}

void FillDoor(CQVActor* actor) {
    auto* door = static_cast<CQVDoor*>(actor);
    door->m_DoorType = DOOR_SINGLE_SIDE;
    door->m_AnimationType = 5;
    door->m_OpenTime = 2.0f;
    door->m_CloseTime = 3.0f;
    door->m_AutoCloseTime = 4.0f;
    door->m_AutoClose = 0;
    door->m_AxisCode = 3;
    door->m_UseConnector = 1;
    door->m_OpenLength = 33.0f;
    door->m_Axis = Vector3(1.0f, 0.0f, 0.0f);
    door->m_LockGroups = 6;
    door->m_Locked = 1;
    door->m_LockTime = 7.0f;
    door->m_AutoOpen = 1;
    door->m_OpenAway = 1;
    door->m_SoundSwitch = 1;
    door->m_NeverAutoCloseOnCollision = 0;
    door->m_OpenAngle = 0.5f;
    door->m_State = DOOR_OPEN;
    door->m_AngularSpeed = -2.0f;
    door->m_SlideVelocity = Vector3(1.0f, 2.0f, 3.0f);
    door->m_ClosedPosition[1] = Vector3(7.0f, 8.0f, 9.0f);
    door->m_ClosedRotation[0] = Quaternion{0.0f, 1.0f, 0.0f, 0.0f};
}

void CheckDoor(CQVActor* actor, uint32_t version) {
    const auto* door = static_cast<const CQVDoor*>(actor);
    EXPECT_EQ(door->m_DoorType, DOOR_SINGLE_SIDE);
    EXPECT_EQ(door->m_AnimationType, 5u);
    EXPECT_EQ(door->m_AutoCloseTime, 4.0f);
    EXPECT_EQ(door->m_UseConnector, 1u);
    EXPECT_EQ(door->m_Axis.x, 1.0f);
    // Without a lock in the file a door gets group 1 and 20 s.
    EXPECT_EQ(door->m_LockGroups, version >= 3 ? 6u : 1u);
    EXPECT_EQ(door->m_LockTime, version >= 3 ? 7.0f : 20.0f);
    EXPECT_EQ(door->m_OpenAway, version >= 3 ? 1u : 0u);
    EXPECT_EQ(door->m_SoundSwitch, version >= 9 ? 1u : 0u);
    EXPECT_EQ(door->m_NeverAutoCloseOnCollision, version >= 9 ? 0u : 1u);
    EXPECT_EQ(door->m_OpenAngle, version >= 25 ? 0.5f : 1.5707964f);
    EXPECT_EQ(door->m_State, version >= 28 ? DOOR_OPEN : DOOR_CLOSED);
    EXPECT_EQ(door->m_ClosedPosition[1].y, version >= 28 ? 8.0f : 0.0f);
    EXPECT_EQ(door->m_ClosedRotation[0].y, version >= 28 ? 1.0f : 0.0f);
}

void FillTrigger(CQVActor* actor) {
    auto* trigger = static_cast<CQVTrigger*>(actor);
    trigger->m_DeactivateTime = 1.5f;
    trigger->m_DelayTime = 2.5f;
    trigger->m_MaxCount = 4;
}

void CheckTrigger(CQVActor* actor, uint32_t version) {
    const auto* trigger = static_cast<const CQVTrigger*>(actor);
    EXPECT_EQ(trigger->m_DeactivateTime, version >= 21 ? 1.5f : 0.0f);
    EXPECT_EQ(trigger->m_DelayTime, version >= 21 ? 2.5f : 0.0f);
    EXPECT_EQ(trigger->m_MaxCount, version >= 63 ? 4u : 1u);
    ASSERT_EQ(trigger->m_ColObjs.size(), 1u);
    EXPECT_EQ(trigger->m_ColObjs[0].boxMax.x, 200.0f);
}

void FillTimer(CQVActor* actor) {
    auto* timer = static_cast<CQVTimer*>(actor);
    timer->m_Type = TIMER_FORWARD_LOOP;
    timer->m_StartTime = 1.0f;
    timer->m_TotalTime = 9.0f;
    timer->m_TimerFlags = 0;
    timer->m_Multiplier = 2.0f;
    timer->SetCurrentTime(4.0f);
    TimerKey& key = timer->m_Keys.emplace_back();
    key.script.name = "Ring";
    key.script.boundMessage = MSG_ON_TIMER_LOOP;
    key.script.source = "this.start_game();";
    key.time = 6.5f;
    timer->m_Keys.emplace_back().time = 2.0f;
}

void CheckTimer(CQVActor* actor, uint32_t version) {
    auto* timer = static_cast<CQVTimer*>(actor);
    EXPECT_EQ(timer->m_Type, TIMER_FORWARD_LOOP);
    EXPECT_EQ(timer->m_TotalTime, 9.0f);
    EXPECT_EQ(timer->m_TimerFlags & TIMER_START_ACTIVE, 0u);
    ASSERT_EQ(timer->m_Keys.size(), 2u);
    EXPECT_EQ(timer->m_Keys[0].script.name, "Ring");
    EXPECT_EQ(timer->m_Keys[0].script.source, "this.start_game();");
    EXPECT_EQ(timer->m_Keys[0].script.boundMessage, MSG_ON_TIMER_LOOP) << "found again by its name";
    EXPECT_EQ(timer->m_Keys[0].time, 6.5f);
    EXPECT_EQ(timer->m_SavedCurrentTime, version >= 48 ? 4.0f : 0.0f);
    EXPECT_EQ(timer->CurrentTime(), version >= 48 ? 4.0f : 0.0f);
    EXPECT_EQ(timer->State(), TIMER_STOPPED);
    EXPECT_EQ(timer->m_Multiplier, version >= 58 ? 2.0f : 1.0f);
}

void FillSpawnPoint(CQVActor* actor) {
    auto* point = static_cast<CQVSpawnPoint*>(actor);
    point->m_Type = SPAWN_POINT_PLAYER_START;
    point->m_UseSpawnBox = 1;
    point->m_SpawnBox = Vector3(1.0f, 2.0f, 3.0f);
    point->m_Entries = {{"L", 7, "/Scenery/A", 40, 9, 2, 1}, {"", 0, "/Scenery/B", 1, 1000000, 0, 0}};
    point->m_NonSpawnPercent = 30;
    point->m_SpawnOnStartGame = 0;
    point->m_MinInterval = 2.5f;
    point->m_Reserved = 0x1234;
    point->m_UseExtern = 1;
    point->m_ExternPath = "/Scenery/X";
    point->m_MaxCount = 77;
    point->m_LastSpawnTime = 3.25f;
    point->m_SpawnCounter = 5;
}

void CheckSpawnPoint(CQVActor* actor, uint32_t v) {
    const auto* point = static_cast<const CQVSpawnPoint*>(actor);
    EXPECT_EQ(point->m_Type, SPAWN_POINT_PLAYER_START);
    EXPECT_EQ(point->m_SpawnBox.z, 3.0f);
    ASSERT_EQ(point->m_Entries.size(), v >= 8 ? 2u : 0u);
    if (v >= 8) {
        const SpawnEntry& entry = point->m_Entries[0];
        EXPECT_EQ(entry.legacyName, "L");
        EXPECT_EQ(entry.legacyWord, 7u);
        EXPECT_EQ(entry.weight, 40u);
        EXPECT_EQ(entry.maxCount, v >= 23 ? 9u : 1000000u);
        EXPECT_EQ(entry.type, v >= 24 ? 1u : 0u);
        EXPECT_EQ(entry.spawnedCount, v >= 33 ? 2u : 0u);
        EXPECT_EQ(entry.name, v >= 59 ? "/Scenery/A" : "");
    }
    EXPECT_EQ(point->m_NonSpawnPercent, v >= 8 ? 30u : 0u);
    EXPECT_EQ(point->m_SpawnOnStartGame, v >= 19 ? 0u : 1u) << "older files spawn on start";
    EXPECT_EQ(point->m_MinInterval, v >= 20 ? 2.5f : 0.0f);
    EXPECT_EQ(point->m_Reserved, v >= 23 ? 0x1234u : 0xFFFFFFFFu);
    EXPECT_EQ(point->m_UseExtern, v >= 34 ? 1u : 0u);
    EXPECT_EQ(point->m_ExternPath, v >= 59 ? "/Scenery/X" : "");
    EXPECT_EQ(point->m_MaxCount, v >= 33 ? 77u : 1000000u);
    EXPECT_EQ(point->m_LastSpawnTime, v >= 32 ? 3.25f : 0.0f);
    EXPECT_EQ(point->m_SpawnCounter, v >= 33 ? 5u : 0u);
}

void FillContainer(CQVActor* actor) {
    auto* container = static_cast<CQVGameContainer*>(actor);
    container->m_ContainerType = CONTAINER_TRAP_WIRE;
    container->m_Reserved[0] = 5;
    container->m_Reserved[1] = 6;
    container->m_SearchTime = 3.0f;
    container->m_TriggerType = 1;
    container->m_TriggerTime = 4.0f;
    container->m_DeleteAfterActivation = 1;
}

void CheckContainer(CQVActor* actor, uint32_t version) {
    const auto* container = static_cast<const CQVGameContainer*>(actor);
    EXPECT_EQ(container->m_ContainerType, CONTAINER_TRAP_WIRE);
    EXPECT_EQ(container->m_Reserved[1], 6u);
    EXPECT_EQ(container->m_SearchTime, 3.0f);
    EXPECT_EQ(container->m_TriggerType, version >= 4 ? 1u : 0u);
    EXPECT_EQ(container->m_TriggerTime, version >= 4 ? 4.0f : 0.0f);
    EXPECT_EQ(container->m_DeleteAfterActivation, version >= 4 ? 1u : 0u);
    EXPECT_EQ(container->m_ColObjs.size(), 1u) << "its event box comes with the base part";
}

void FillReference(CQVActor* actor) {
    auto* reference = static_cast<CQVReference*>(actor);
    reference->m_Word = 9;
    reference->m_Path = "/Global/Inventory";
}

void CheckReference(CQVActor* actor, uint32_t) {
    const auto* reference = static_cast<const CQVReference*>(actor);
    EXPECT_EQ(reference->m_Word, 9u);
    EXPECT_EQ(reference->m_Path, "/Global/Inventory");
}

// Classes whose record is the base part alone (or base and reserved words).
void FillNothing(CQVActor*) {}
void CheckNothing(CQVActor*, uint32_t) {}

std::vector<RoundTrip> RoundTrips() {
    std::vector<RoundTrip> trips;
    const auto add = [&](const char* name, uint32_t type, std::vector<uint32_t> versions,
                         std::function<void(CQVActor*)> fill, std::function<void(CQVActor*, uint32_t)> check) {
        for (uint32_t version : versions) trips.push_back({name, type, version, fill, check});
    };
    add("Door", CLASS_DOOR, {1, 3, 9, 25, 28, 70}, FillDoor, CheckDoor);
    add("Trigger", CLASS_TRIGGER, {20, 21, 62, 63, 70}, FillTrigger, CheckTrigger);
    add("Timer", CLASS_TIMER, {1, 47, 48, 57, 58, 70}, FillTimer, CheckTimer);
    add("SpawnPoint", CLASS_SPAWN_POINT, {1, 8, 18, 19, 20, 23, 24, 32, 33, 34, 58, 59, 70}, FillSpawnPoint,
        CheckSpawnPoint);
    add("GameContainer", CLASS_GAME_CONTAINER, {1, 3, 4, 70}, FillContainer, CheckContainer);
    add("Reference", CLASS_REFERENCE, {1, 70}, FillReference, CheckReference);
    add("TimeInstance", CLASS_TIME_INSTANCE, {1, 70}, FillNothing, CheckNothing);
    add("State", CLASS_STATE, {1, 70}, FillNothing, CheckNothing);
    add("Developer", CLASS_DEVELOPER, {1, 70}, FillNothing, CheckNothing);
    add("Developer2", CLASS_DEVELOPER_2, {1, 70}, FillNothing, CheckNothing);
    add("Developer3", CLASS_DEVELOPER_3, {1, 70}, FillNothing, CheckNothing);
    return trips;
}

INSTANTIATE_TEST_SUITE_P(Classes, GameplayRoundTrip, testing::ValuesIn(RoundTrips()),
                         [](const testing::TestParamInfo<RoundTrip>& info) {
                             return std::string(info.param.name) + "_v" + std::to_string(info.param.version);
                         });

// ---------------------------------------------------------------------------
// Records byte by byte.

TEST_F(GameplayFileTest, ADoorRecordFollowsItsLayout) {
    auto* door = Make<CQVDoor>(CLASS_DOOR, "Door");
    FillDoor(door);
    const auto layout = [](uint32_t type, float openTime, uint32_t groups, float angle, uint32_t state) {
        Layout l;
        l.U32(type).U32(5).F32(openTime).F32(3.0f).F32(4.0f).U32(0).U32(3).U32(1).F32(33.0f).Vec(Vector3(1, 0, 0));
        l.U32(groups).U32(1).F32(7.0f).U32(1).U32(1);
        l.U32(1).U32(0).U32(0).U32(0).U32(0).U32(0);
        l.F32(angle);
        l.U32(state).F32(-2.0f).Vec(Vector3(1, 2, 3)).Vec(Vector3(0, 0, 0)).Vec(Vector3(7, 8, 9));
        l.Quat(Quaternion{0, 1, 0, 0}).Quat(Quaternion{0, 0, 0, 1});
        return l;
    };
    const Layout written = layout(DOOR_SINGLE_SIDE, 2.0f, 6, 0.5f, DOOR_OPEN);
    ExpectWritten(door, 28, written);
    ASSERT_EQ(LoadWith(written.bytes.size(), layout(DOOR_DOUBLE, 0.75f, 0x11, 1.25f, DOOR_CLOSING)), 1);
    auto* loaded = Loaded<CQVDoor>("Door", CLASS_DOOR);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_DoorType, DOOR_DOUBLE);
    EXPECT_EQ(loaded->m_OpenTime, 0.75f);
    EXPECT_EQ(loaded->m_LockGroups, 0x11u);
    EXPECT_EQ(loaded->m_OpenAngle, 1.25f);
    EXPECT_EQ(loaded->m_State, DOOR_CLOSING);
    EXPECT_EQ(loaded->m_ClosedPosition[1].z, 9.0f);
    EXPECT_EQ(loaded->m_ClosedRotation[0].y, 1.0f);
    // A state no door has reads as closed.
    ASSERT_EQ(LoadWith(written.bytes.size(), layout(DOOR_SINGLE, 1.0f, 1, 1.0f, 9)), 1);
    EXPECT_EQ(Loaded<CQVDoor>("Door", CLASS_DOOR)->m_State, DOOR_CLOSED);
}

TEST_F(GameplayFileTest, ATimerRecordFollowsItsLayout) {
    auto* timer = Make<CQVTimer>(CLASS_TIMER, "Timer");
    FillTimer(timer);
    const auto layout = [](const std::string& name, float time, float saved, uint32_t state, float multiplier) {
        Layout l;
        l.U32(TIMER_FORWARD_LOOP).F32(1.0f).F32(9.0f).U32(0).U32(2);
        l.U32(MSG_ON_TIMER_LOOP).Text("On Timer Loop").Text(name).Text("this.start_game();").F32(time);
        l.U32(0).Text(GetCommandDesc(0).name).Text("").Text("").F32(2.0f);
        l.F32(saved).U32(state).F32(multiplier);
        return l;
    };
    const Layout written = layout("Ring", 6.5f, 4.0f, TIMER_STOPPED, 2.0f);
    ExpectWritten(timer, 58, written);
    ASSERT_EQ(LoadWith(written.bytes.size(), layout("Bell", 7.5f, 5.0f, TIMER_PAUSED, 0.5f)), 1);
    auto* loaded = Loaded<CQVTimer>("Timer", CLASS_TIMER);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->m_Keys.size(), 2u);
    EXPECT_EQ(loaded->m_Keys[0].script.name, "Bell");
    EXPECT_EQ(loaded->m_Keys[0].time, 7.5f);
    EXPECT_EQ(loaded->m_SavedCurrentTime, 5.0f);
    EXPECT_EQ(loaded->State(), TIMER_PAUSED);
    EXPECT_EQ(loaded->m_Multiplier, 0.5f);
}

TEST_F(GameplayFileTest, ASpawnPointRecordFollowsItsLayout) {
    auto* point = Make<CQVSpawnPoint>(CLASS_SPAWN_POINT, "Spawn");
    FillSpawnPoint(point);
    const auto layout = [](uint32_t weight, const std::string& name, float interval, uint32_t counter) {
        Layout l;
        l.U32(SPAWN_POINT_PLAYER_START).U32(1).Vec(Vector3(1, 2, 3)).U32(2);
        l.Text("L").U32(7).U32(weight).U32(9).U32(1).U32(2).Text(name);
        l.Text("").U32(0).U32(1).U32(1000000).U32(0).U32(0).Text("/Scenery/B");
        l.U32(30).U32(0).U32(0).U32(0).F32(interval).U32(0x1234).U32(1).Text("/Scenery/X");
        l.U32(77).F32(3.25f).U32(counter);
        return l;
    };
    const Layout written = layout(40, "/Scenery/A", 2.5f, 5);
    ExpectWritten(point, 59, written);
    // A weight beyond the sheet's range is taken as its greatest.
    ASSERT_EQ(LoadWith(written.bytes.size(), layout(5000, "/Global/C", 0.5f, 8)), 1);
    auto* loaded = Loaded<CQVSpawnPoint>("Spawn", CLASS_SPAWN_POINT);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->m_Entries.size(), 2u);
    EXPECT_EQ(loaded->m_Entries[0].weight, 100u);
    EXPECT_EQ(loaded->m_Entries[0].name, "/Global/C");
    EXPECT_EQ(loaded->m_MinInterval, 0.5f);
    EXPECT_EQ(loaded->m_SpawnCounter, 8u);
}

TEST_F(GameplayFileTest, ATriggerAndAContainerRecordFollowTheirLayouts) {
    auto* trigger = Make<CQVTrigger>(CLASS_TRIGGER, "Trigger");
    FillTrigger(trigger);
    const Layout triggerBytes = Layout().F32(1.5f).F32(2.5f).U32(4);
    ExpectWritten(trigger, 63, triggerBytes);
    ASSERT_EQ(LoadWith(triggerBytes.bytes.size(), Layout().F32(9.0f).F32(8.0f).U32(3)), 1);
    auto* loadedTrigger = Loaded<CQVTrigger>("Trigger", CLASS_TRIGGER);
    ASSERT_NE(loadedTrigger, nullptr);
    EXPECT_EQ(loadedTrigger->m_DelayTime, 8.0f);
    EXPECT_EQ(loadedTrigger->m_MaxCount, 3u);

    auto* container = Make<CQVGameContainer>(CLASS_GAME_CONTAINER, "Chest");
    FillContainer(container);
    const auto layout = [](float search, uint32_t trigger) {
        Layout l;
        l.U32(CONTAINER_TRAP_WIRE).U32(5).U32(6).F32(search).U32(0);
        l.U32(trigger).F32(4.0f).U32(1).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0);
        return l;
    };
    const Layout written = layout(3.0f, 1);
    ExpectWritten(container, 4, written);
    ASSERT_EQ(LoadWith(written.bytes.size(), layout(0.25f, 2)), 1);
    auto* loadedContainer = Loaded<CQVGameContainer>("Chest", CLASS_GAME_CONTAINER);
    ASSERT_NE(loadedContainer, nullptr);
    EXPECT_EQ(loadedContainer->m_SearchTime, 0.25f);
    EXPECT_EQ(loadedContainer->m_TriggerType, 2u);
}

// Counts from files are bounded by the bytes that remain: a lying count
// is refused, never allocated.
TEST_F(GameplayFileTest, CountsBeyondTheFileAreRefused) {
    auto* timer = Make<CQVTimer>(CLASS_TIMER, "Timer");
    const auto layout = [](uint32_t keys) {
        return Layout().U32(0).F32(0.0f).F32(0.0f).U32(1).U32(keys).F32(-1.0f).U32(TIMER_STOPPED).F32(1.0f);
    };
    ExpectWritten(timer, 70, layout(0));
    EXPECT_EQ(LoadWith(layout(0).bytes.size(), layout(0x40000000)), 0);
    EXPECT_EQ(Loaded<CQVTimer>("Timer", CLASS_TIMER), nullptr);

    auto* point = Make<CQVSpawnPoint>(CLASS_SPAWN_POINT, "Spawn");
    point->m_Type = SPAWN_POINT_SPAWN;
    ASSERT_TRUE(file.WriteAndForget(point, 8));
    std::vector<char> bytes = file.Bytes();
    // The record ends with its entry count (0), percent and two reserved words.
    const uint32_t lying = 0x7FFFFFFF;
    std::memcpy(bytes.data() + bytes.size() - 16, &lying, 4);
    file.Rewrite(bytes);
    EXPECT_EQ(file.Load(), 0);
}

// ---------------------------------------------------------------------------
// The class records.

struct SheetCase {
    uint32_t type;
    const char* name;
    const char* description;
    size_t rows;
    size_t row;          // one row checked whole
    const char* label;
    uint32_t kind, set, get;
    float scale;
};

class GameplaySheets : public GameplayTest, public testing::WithParamInterface<SheetCase> {};

TEST_P(GameplaySheets, TheClassRecordHoldsItsSheetWithTheMessagesTypes) {
    const SheetCase& c = GetParam();
    const ClassRecord& record = g_ClassRecords[c.type];
    EXPECT_EQ(record.name, c.name);
    EXPECT_EQ(record.description, c.description);
    EXPECT_EQ(record.chain, (std::vector<uint32_t>{CLASS_BASE, c.type}));
    ASSERT_EQ(record.properties.size(), c.rows);
    if (c.rows == 0) return;
    const PropertyDesc& row = record.properties[c.row];
    EXPECT_EQ(row.label, c.label);
    EXPECT_EQ(row.kind, c.kind);
    EXPECT_EQ(row.setMessage, c.set);
    EXPECT_EQ(row.getMessage, c.get);
    EXPECT_EQ(row.scale, c.scale);
    EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "");
}

INSTANTIATE_TEST_SUITE_P(
    Classes, GameplaySheets,
    testing::Values(
        SheetCase{CLASS_DOOR, "Door", "Door", 23, 1, "Create:|Single|0|Single Side|1|Double|2|Double Side|3|", 0x10,
                  MSG_SET_DOOR_TYPE, MSG_GET_DOOR_TYPE, 1.0f},
        SheetCase{CLASS_GAME_CONTAINER, "Game Container",
                  "Game Container is a an object that the player can interact with...", 10, 5,
                  "Delete After Activation: ", 0x11, MSG_SET_DELETE_AFTER_ACTIVATION, MSG_GET_DELETE_AFTER_ACTIVATION,
                  1.0f},
        SheetCase{CLASS_TRIGGER, "Trigger", "Trigger", 8, 5, "Max Count:", 3, MSG_SET_SELECTION_MAX_COUNT,
                  MSG_GET_SELECTION_MAX_COUNT, 1.0f},
        SheetCase{CLASS_TIMER, "Timer", "Time Line, used for timer scripts...", 10, 2, "Time Multiplier:|%|", 4,
                  MSG_SET_TIMER_MULTIPLIER, MSG_GET_TIMER_MULTIPLIER, 100.0f},
        SheetCase{CLASS_SPAWN_POINT, "Spawn Point", "Spawn Point", 24, 17, "Weight:", 3, 1267, 1268, 1.0f},
        SheetCase{CLASS_TIME_INSTANCE, "Time Instance", "", 6, 2, "Time (Sim) Mul:|%|", 4,
                  MSG_SET_TIMEINSTANCE_SIMMULTIPLIER, MSG_GET_TIMEINSTANCE_SIMMULTIPLIER, 100.0f},
        SheetCase{CLASS_REFERENCE, "Reference", "A Reference to another Actor", 2, 1, "Path:", 6, 1698, 1699, 1.0f},
        SheetCase{CLASS_STATE, "State", "", 1, 0, "State Properties", 0x0d, 0, 0, 1.0f},
        SheetCase{CLASS_DEVELOPER, "Developer", "Do Not Use This!!!", 0, 0, "", 0, 0, 0, 1.0f},
        SheetCase{CLASS_DEVELOPER_2, "Developer 2", "Temp Send Voice Command", 0, 0, "", 0, 0, 0, 1.0f},
        SheetCase{CLASS_DEVELOPER_3, "Developer 3", "Temp Transform Object Trigger", 0, 0, "", 0, 0, 0, 1.0f}),
    [](const testing::TestParamInfo<SheetCase>& info) {
        std::string name = info.param.name;
        std::erase(name, ' ');
        return name;
    });

}  // namespace
}  // namespace gameplay_test
