#include "ActorTestSupport.h"

#include "kernel/base/Random.h"

#include <cstring>

namespace {

using ActorSystemTest = ActorSystemFixture;

TEST_F(ActorSystemTest, StartUpCreatesTheSystemActors) {
    struct Expected {
        uint32_t id;
        const char* name;
        uint32_t type;
        uint32_t parentId;
    };
    const Expected expected[] = {
        {ACTOR_ID_GLOBAL, "Global", CLASS_FILEIO, 0},       {ACTOR_ID_SCENERY, "Scenery", CLASS_FILEIO, 0},
        {ACTOR_ID_CLIPBOARD, "Clipboard", CLASS_FILEIO, 0}, {ACTOR_ID_ENVIRONMENT, "Environment", CLASS_ENVIRONMENT, 1},
        {ACTOR_ID_INVENTORY, "Inventory", CLASS_INVENTORY, 1},
    };
    for (const Expected& e : expected) {
        CQVActor* actor = CQVActorSystem::GetActorById(e.id);
        ASSERT_NE(actor, nullptr) << e.name;
        EXPECT_EQ(actor->m_Name, e.name);
        EXPECT_EQ(actor->m_ClassType, e.type);
        EXPECT_EQ(actor->m_ParentId, e.parentId);
        EXPECT_EQ(actor->m_Parent, CQVActorSystem::GetActorById(e.parentId));
    }
    EXPECT_EQ(CQVActorSystem::GetActorById(0), system);
    EXPECT_EQ(system->m_ClassType, CLASS_ACTOR_SYSTEM);
    EXPECT_EQ(system->m_Children.size(), 3u);
    EXPECT_EQ(g_FileRanges, (std::vector<std::string>{"Global 10-2999 Globals.qva", "Scenery 3000-6999 Scenery.qva",
                                                       "Clipboard 7000-7999 Clipboard.qva"}));
    EXPECT_EQ(g_GlobalClock.owner, system);
    EXPECT_EQ(g_GlobalClock.flags, CLOCK_MANUAL | CLOCK_GLOBAL_SPEED);
    EXPECT_EQ(GetNullActor(1)->m_Name, "NULLACTOR(safe)");
    EXPECT_EQ(g_ActorTable.size(), 8000u);

    // A second registration keeps the actor system and its record.
    ASSERT_EQ(RegisterActorClasses(), 1);
    EXPECT_EQ(g_ActorSystem, system);
    const ClassRecord& record = g_ClassRecords[CLASS_ACTOR_SYSTEM];
    EXPECT_EQ(record.name, "Actor System");
    EXPECT_EQ(record.chain, std::vector<uint32_t>{CLASS_ACTOR_SYSTEM});
    ASSERT_EQ(record.properties.size(), 8u);
    EXPECT_EQ(record.properties[2].label, "Meter:|4.0 m|0|3.0 m|1|2.0 m|2|1.5 m|3|1.0 m|4|0.5 m|5|0.25 m|6|0.1 m|7|0.05 m|8|");
    EXPECT_EQ(record.properties[2].setMessage, static_cast<uint32_t>(MSG_SET_SNAP_SETTING));
    EXPECT_EQ(record.properties[7].label, "Unload All File Actors:|Unload|");
    EXPECT_EQ(record.properties[7].kind, 14u);
}

TEST_F(ActorSystemTest, FreeIdsGrowUpwardAndSkipALoneGap) {
    CQVActor* a = Make("a");
    CQVActor* b = Make("b");
    CQVActor* c = Make("c");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->m_Id, 8000u);
    EXPECT_EQ(b->m_Id, 8001u);
    EXPECT_EQ(c->m_Id, 8002u);
    ASSERT_EQ(system->DeleteActor(b), 1);
    EXPECT_EQ(Make("d")->m_Id, 8003u);

    // A run that reaches the end of the table is taken when it is long enough.
    const uint32_t last = static_cast<uint32_t>(g_ActorTable.size()) - 1;
    CQVActor* atEnd = Make("end", nullptr, last);
    ASSERT_NE(atEnd, nullptr);
    for (uint32_t id = 8004; id < last - 1; ++id) ASSERT_NE(Make("fill", nullptr, id), nullptr);
    EXPECT_EQ(system->FindFreeActorId(1), last + 1);
    ASSERT_EQ(system->DeleteActor(atEnd), 1);
    EXPECT_EQ(system->FindFreeActorId(1), last - 1);
}

// The free id as a scan of the whole table from 8000 gives it.
uint32_t FreeIdByFullScan() {
    size_t runStart = 0;
    size_t runLength = 0;
    for (size_t id = ACTOR_ID_FIRST_FREE; id < g_ActorTable.size(); ++id) {
        if (g_ActorTable[id]) {
            runLength = 0;
            continue;
        }
        if (runLength++ == 0) runStart = id;
        if (runLength > 1) return static_cast<uint32_t>(runStart);
    }
    return static_cast<uint32_t>(runLength ? runStart : g_ActorTable.size());
}

TEST_F(ActorSystemTest, FreeIdSearchAgreesWithAFullScan) {
    Random_Seed(5);
    std::vector<CQVActor*> live;
    for (int step = 0; step < 3000; ++step) {
        if (live.empty() || Random_Next() % 3 != 0) {
            const uint32_t expected = FreeIdByFullScan();
            CQVActor* actor = Make("a");
            ASSERT_NE(actor, nullptr);
            ASSERT_EQ(actor->m_Id, expected) << step;
            live.push_back(actor);
        } else {
            const size_t index = static_cast<size_t>(Random_Next()) % live.size();
            ASSERT_EQ(system->DeleteActor(live[index]), 1);
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(index));
        }
    }
}

TEST_F(ActorSystemTest, CreateRefusesWhatCannotBeMade) {
    EXPECT_EQ(Make("far", nullptr, 500001), nullptr);
    EXPECT_EQ(g_ActorTable.size(), 8000u);
    ASSERT_NE(Make("grown", nullptr, 20000), nullptr);
    EXPECT_EQ(g_ActorTable.size(), 21023u);
    for (uint32_t type : {1u, 39u, 54u, 1000u}) {
        EXPECT_EQ(system->CreateActor(type, "x", nullptr, global, ACTOR_ID_ANY, 1, 0), nullptr) << type;
    }
    // A class missing from the table makes nothing either.
    EXPECT_EQ(system->CreateActor(CLASS_SOUND, "x", nullptr, global, ACTOR_ID_ANY, 1, 0), nullptr);
    EXPECT_EQ(system->GetError()[0], 0);

    // A refused create leaves the actor in the slot alone.
    CQVActor* kept = Make("kept", nullptr, 9000);
    EXPECT_EQ(system->CreateActor(54, "x", nullptr, global, 9000, 1, 0), nullptr);
    EXPECT_EQ(CQVActorSystem::GetActorById(9000), kept);
    // The actor system, and an ancestor of the new actor's parent, are never replaced.
    EXPECT_EQ(system->CreateActor(TEST_TYPE, "x", nullptr, global, 0, 1, 0), nullptr);
    EXPECT_EQ(system->CreateActor(TEST_TYPE, "x", nullptr, kept, 9000, 1, 0), nullptr);
    EXPECT_EQ(CQVActorSystem::GetActorById(9000), kept);
}

TEST_F(ActorSystemTest, NoFreeIdBeyondTheLimit) {
    EXPECT_EQ(system->FindFreeActorId(ACTOR_ID_MAX), ACTOR_ID_ANY);
    // Every id up to the limit taken (by a stand-in the table never owns).
    g_ActorTable.assign(ACTOR_ID_MAX + 1, GetNullActor(0));
    g_ActorTable[0] = system;
    EXPECT_EQ(system->CreateActor(TEST_TYPE, "more", nullptr, global, ACTOR_ID_ANY, 1, 0), nullptr);
    EXPECT_STREQ(system->GetError(), "Error - No Free Actor ID.");
    g_ActorTable.assign(8000, nullptr);
    g_ActorTable[0] = system;
    for (CQVActor* child : system->m_Children) {
        g_ActorTable[child->m_Id] = child;
        for (CQVActor* grandchild : child->m_Children) g_ActorTable[grandchild->m_Id] = grandchild;
    }
}

TEST_F(ActorSystemTest, ReplacingAnIdDestroysTheOccupantAndItsPlaceInTheTree) {
    CQVActor* parent = Make("parent");
    CQVActor* old = Make("old", parent, 9100);
    CQVActor* oldChild = Make("oldChild", old);
    const uint32_t oldChildId = oldChild->m_Id;
    CQVActor* fresh = Make("fresh", global, 9100);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(CQVActorSystem::GetActorById(9100), fresh);
    EXPECT_TRUE(parent->m_Children.empty());
    EXPECT_EQ(CQVActorSystem::GetActorById(oldChildId), nullptr);
}

TEST_F(ActorSystemTest, DeleteRefusesSystemActorsAfterTellingTheParent) {
    CQVActor* spy = Make("spy");
    uint32_t spyId = spy->m_Id;
    system->HandleMessage(MSG_ADD_COMMANDSPY, Args_Of(&spyId));
    // Until "Add CommandSpy" is handled, the spy is listed directly.
    if (system->m_CommandSpies.empty()) {
        system->m_CommandSpies.push_back(std::make_unique<ActorLink>());
        system->m_CommandSpies.back()->SetTarget(spy);
    }
    g_Seen.clear();
    EXPECT_EQ(system->DeleteActor(global), 0);
    EXPECT_STREQ(system->GetError(), "Error - Cant Delete System Actors");
    EXPECT_EQ(CQVActorSystem::GetActorById(ACTOR_ID_GLOBAL), global);
    ASSERT_FALSE(g_Seen.empty());
    EXPECT_EQ(g_Seen[0].id, static_cast<uint32_t>(MSG_COMMAND_SPY));
    EXPECT_EQ(g_Seen[0].word, static_cast<uint32_t>(MSG_CALLBACK_CHILD_REMOVED));
    EXPECT_EQ(system->DeleteActor(nullptr), 0);
}

TEST_F(ActorSystemTest, DeleteNotifiesParentAndAncestorsAndDestroysTheSubtree) {
    CQVActor* top = Make("top");
    CQVActor* mid = Make("mid", top);
    CQVActor* leaf = Make("leaf", mid);
    CQVActor* leafChild = Make("leafChild", leaf);
    const uint32_t leafId = leaf->m_Id;
    const uint32_t leafChildId = leafChild->m_Id;
    g_Seen.clear();
    ASSERT_EQ(system->DeleteActor(leaf), 1);
    EXPECT_EQ(SeenBy(mid), std::vector<uint32_t>{MSG_CALLBACK_CHILD_REMOVED});
    EXPECT_EQ(SeenBy(top), std::vector<uint32_t>{MSG_CALLBACK_RELCHILD_REMOVED});
    EXPECT_EQ(SeenBy(global), std::vector<uint32_t>{MSG_CALLBACK_RELCHILD_REMOVED});
    EXPECT_TRUE(mid->m_Children.empty());
    EXPECT_EQ(CQVActorSystem::GetActorById(leafId), nullptr);
    EXPECT_EQ(CQVActorSystem::GetActorById(leafChildId), nullptr);
}

TEST_F(ActorSystemTest, QueuedDeletesRunLastFirstAndOnlyOnce) {
    CQVActor* a = Make("a");
    CQVActor* b = Make("b");
    const uint32_t aId = a->m_Id;
    const uint32_t bId = b->m_Id;
    EXPECT_EQ(system->QueueDelete(a), 1);
    EXPECT_EQ(system->QueueDelete(a), 1);
    EXPECT_EQ(system->QueueDelete(b), 1);
    EXPECT_EQ(system->QueueDelete(nullptr), 1);
    EXPECT_EQ(g_PendingDeletes.size(), 2u);
    EXPECT_TRUE(a->m_Flags & ACTOR_DELETE_PENDING);
    g_Seen.clear();
    system->RunPendingDeletes();
    EXPECT_TRUE(g_PendingDeletes.empty());
    EXPECT_EQ(CQVActorSystem::GetActorById(aId), nullptr);
    EXPECT_EQ(CQVActorSystem::GetActorById(bId), nullptr);
    // b went first: Global heard of b's removal before a's.
    ASSERT_EQ(g_Seen.size(), 2u);
    EXPECT_EQ(g_Seen[0].word, bId);
    EXPECT_EQ(g_Seen[1].word, aId);
}

TEST_F(ActorSystemTest, AQueuedActorDestroyedWithItsParentLeavesTheQueue) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    system->QueueDelete(child);
    ASSERT_EQ(system->DeleteActor(parent), 1);
    EXPECT_TRUE(g_PendingDeletes.empty());
    system->RunPendingDeletes();
}

TEST_F(ActorSystemTest, MoveRefusesTheRootAndCycles) {
    CQVActor* a = Make("a");
    CQVActor* b = Make("b", a);
    EXPECT_EQ(system->MoveActor(a, system), 0);
    EXPECT_STREQ(system->GetError(), "Error - Cant Paste Objects In Root");
    EXPECT_EQ(system->MoveActor(a, b), 0);
    EXPECT_EQ(system->MoveActor(a, a), 0);
    EXPECT_EQ(b->m_Parent, a);
    EXPECT_EQ(a->m_Parent, global);
}

TEST_F(ActorSystemTest, MoveKeepsTheWorldPlaceAndNotifies) {
    CQVActor* from = Make("from");
    CQVActor* to = Make("to");
    CQVActor* actor = Make("actor", from);
    CQVActor* child = Make("child", actor);
    from->m_Position = Vector3(1.0f, 2.0f, 3.0f);
    to->m_Position = Vector3(10.0f, 0.0f, 0.0f);
    actor->m_Position = Vector3(0.0f, 1.0f, 0.0f);
    from->InvalidateTransform();
    to->InvalidateTransform();
    g_Seen.clear();
    ASSERT_EQ(system->MoveActor(actor, to), 1);
    EXPECT_EQ(actor->m_Parent, to);
    EXPECT_EQ(actor->m_ParentId, to->m_Id);
    EXPECT_TRUE(from->m_Children.empty());
    ASSERT_EQ(to->m_Children.size(), 1u);
    const Vector3 world = actor->GetWorldPosition();
    EXPECT_FLOAT_EQ(world.x, 1.0f);
    EXPECT_FLOAT_EQ(world.y, 3.0f);
    EXPECT_FLOAT_EQ(world.z, 3.0f);
    EXPECT_FLOAT_EQ(actor->m_Position.x, -9.0f);
    EXPECT_EQ(SeenBy(from), std::vector<uint32_t>{MSG_CALLBACK_CHILD_REMOVED});
    EXPECT_EQ(SeenBy(to), std::vector<uint32_t>{MSG_CALLBACK_CHILD_ADDED});
    EXPECT_EQ(SeenBy(global), (std::vector<uint32_t>{MSG_CALLBACK_RELCHILD_REMOVED, MSG_CALLBACK_RELCHILD_ADDED}));
    // The moved subtree joins its new parent's draw group.
    EXPECT_EQ(SeenBy(actor),
              (std::vector<uint32_t>{MSG_CALLBACK_MOVED_IN_TREE, MSG_RECURSIVE_COMMAND, MSG_SET_DRAWGROUP}));
    EXPECT_EQ(SeenBy(child), (std::vector<uint32_t>{MSG_RECURSIVE_COMMAND, MSG_SET_DRAWGROUP, MSG_RECURSIVE_COMMAND,
                                                    MSG_CALLBACK_RELPARENT_MOVED_IN_TREE}));
}

struct PathCase {
    const char* path;
    uint32_t fromId;   // 0xFFFFFFFF: no start actor
    int32_t expectedId; // -1: none
};

class FindByPathTest : public ActorSystemFixture, public testing::WithParamInterface<PathCase> {};

TEST_P(FindByPathTest, Finds) {
    CQVActor* a = Make("Door", CQVActorSystem::GetActorById(ACTOR_ID_SCENERY), 9001);
    Make("Handle", a, 9002);
    const PathCase& c = GetParam();
    CQVActor* from = c.fromId == 0xFFFFFFFF ? nullptr : CQVActorSystem::GetActorById(c.fromId);
    CQVActor* found = CQVActorSystem::FindActorByPath(c.path, from);
    if (c.expectedId < 0) {
        EXPECT_EQ(found, nullptr);
    } else {
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->m_Id, static_cast<uint32_t>(c.expectedId));
    }
}

const std::string LONG_SEGMENT(200, 'x');

INSTANTIATE_TEST_SUITE_P(
    Paths, FindByPathTest,
    testing::Values(PathCase{"/", 0xFFFFFFFF, 0}, PathCase{"/Global/Inventory", 0xFFFFFFFF, 16},
                    PathCase{"Global/Inventory", 0xFFFFFFFF, 16}, PathCase{"/Global/Inventory", 14, 16},
                    PathCase{"parent", 16, 1}, PathCase{"..", 16, 1}, PathCase{"../Environment", 16, 14},
                    PathCase{"../../Scenery/Door/Handle", 16, 9002}, PathCase{"Handle/..", 9001, 9001},
                    PathCase{"/global/inventory", 0xFFFFFFFF, -1}, PathCase{"/Global/Nothing", 0xFFFFFFFF, -1},
                    PathCase{"../../..", 16, -1}, PathCase{"Door/", 2, 9001}, PathCase{"", 16, 16},
                    PathCase{LONG_SEGMENT.c_str(), 16, -1}));

TEST_F(ActorSystemTest, PathsFromTheRootAndFromAnActor) {
    CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
    CQVActor* environment = CQVActorSystem::GetActorById(ACTOR_ID_ENVIRONMENT);
    CQVActor* door = Make("Door", CQVActorSystem::GetActorById(ACTOR_ID_SCENERY));
    CQVActor* handle = Make("Handle", door);
    EXPECT_STREQ(CQVActorSystem::GetActorPath(inventory, nullptr), "/Global/Inventory");
    EXPECT_STREQ(CQVActorSystem::GetActorPath(environment, inventory), "../Environment");
    EXPECT_STREQ(CQVActorSystem::GetActorPath(handle, inventory), "../../Scenery/Door/Handle");
    EXPECT_STREQ(CQVActorSystem::GetActorPath(handle, door), "Handle");
    EXPECT_STREQ(CQVActorSystem::GetActorPath(door, door), "");
    EXPECT_STREQ(CQVActorSystem::GetActorPath(system, nullptr), "");
    // Every path found back leads to its actor.
    for (CQVActor* from : {inventory, environment, door, handle}) {
        for (CQVActor* to : {inventory, environment, door, handle}) {
            if (from == to) continue;
            EXPECT_EQ(CQVActorSystem::FindActorByPath(CQVActorSystem::GetActorPath(to, from), from), to);
        }
    }
}

TEST_F(ActorSystemTest, PathRingKeepsRecentPathsAndNeverOverruns) {
    CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
    const char* first = CQVActorSystem::GetActorPath(inventory, nullptr);
    const char* second = CQVActorSystem::GetActorPath(inventory, nullptr);
    EXPECT_NE(first, second);
    EXPECT_STREQ(first, "/Global/Inventory");
    // A chain deeper than the ring holds gives a cut path, not an overrun.
    CQVActor* parent = global;
    const std::string name(100, 'n');
    for (int i = 0; i < 60; ++i) parent = Make(name.c_str(), parent);
    const char* deep = CQVActorSystem::GetActorPath(parent, nullptr);
    EXPECT_EQ(std::strlen(deep), 4095u);
    for (int i = 0; i < 100; ++i) EXPECT_STREQ(CQVActorSystem::GetActorPath(inventory, nullptr), "/Global/Inventory");
}

TEST_F(ActorSystemTest, NamesAreFoundCaseSensitivelyInIdOrder) {
    Make("Door", nullptr, 9500);
    Make("Door", nullptr, 9400);
    Make("door", nullptr, 9300);
    EXPECT_EQ(CQVActorSystem::FindActorByName("Door", 0xFFFFFFFF)->m_Id, 9400u);
    EXPECT_EQ(CQVActorSystem::FindActorByName("door", 0xFFFFFFFF)->m_Id, 9300u);
    EXPECT_EQ(CQVActorSystem::FindActorByName("Door", CLASS_SOUND), nullptr);
    EXPECT_EQ(CQVActorSystem::FindActorByName("Door", TEST_TYPE)->m_Id, 9400u);
    EXPECT_EQ(CQVActorSystem::FindActorByName("DOOR", 0xFFFFFFFF), nullptr);
    EXPECT_EQ(CQVActorSystem::GetActorClassById(9300), static_cast<int32_t>(TEST_TYPE));
    EXPECT_EQ(CQVActorSystem::GetActorClassById(9301), -1);
    EXPECT_EQ(CQVActorSystem::GetActorClassById(999999), -1);
}

TEST_F(ActorSystemTest, SubtreeSearchesByNameAndClass) {
    CQVActor* a = Make("a");
    CQVActor* b = Make("b", a);
    CQVActor* target = Make("target", b);
    CQVActor* other = Make("other", a);
    EXPECT_EQ(CQVActor::FindDescendantByName(a, "target"), target);
    EXPECT_EQ(CQVActor::FindChildByName(a, "target"), nullptr);
    EXPECT_EQ(a->FindChild("other"), other);
    EXPECT_EQ(a->FindChild("target"), nullptr);
    EXPECT_EQ(CQVActor::FindDescendantByClass(global, CLASS_INVENTORY)->m_Id, 16u);
    EXPECT_EQ(CQVActor::FindDescendantByName(nullptr, "a"), nullptr);
}

TEST_F(ActorSystemTest, SendingByIdToChildrenAndToAll) {
    CQVActor* a = Make("a", nullptr, 9000);
    CQVActor* b = Make("b", a, 9001);
    Make("c", a, 9002);
    uint32_t word = 1;
    g_Seen.clear();
    EXPECT_EQ(CQVActorSystem::SendMessage(9001, MSG_SET_MASTER, Args_Of(&word)), 1);
    EXPECT_TRUE(b->m_Flags & ACTOR_MASTER);
    EXPECT_EQ(CQVActorSystem::SendMessage(9003, MSG_SET_MASTER, Args_Of(&word)), 0);
    EXPECT_EQ(CQVActorSystem::SendMessage(9999999, MSG_SET_MASTER, Args_Of(&word)), 0);
    EXPECT_EQ(CQVActorSystem::SendMessageToChildren(nullptr, MSG_SET_MASTER, Args_Of(&word)), 0);
    g_Seen.clear();
    EXPECT_EQ(CQVActorSystem::SendMessageToChildren(a, MSG_GET_MASTER, Args_Of(&word)), 1);
    ASSERT_EQ(g_Seen.size(), 2u);
    EXPECT_EQ(g_Seen[0].actorId, 9001u);
    EXPECT_EQ(g_Seen[1].actorId, 9002u);
    g_Seen.clear();
    EXPECT_EQ(CQVActorSystem::BroadcastMessage(MSG_GET_MASTER, Args_Of(&word)), 1);
    std::vector<uint32_t> order;
    for (const SeenMessage& seen : g_Seen) order.push_back(seen.actorId);
    EXPECT_EQ(order, (std::vector<uint32_t>{1, 2, 3, 14, 16, 9000, 9001, 9002}));
}

TEST_F(ActorSystemTest, CountsAndSpans) {
    Make("a", nullptr, 3000);
    CQVActor* unsaved = Make("b", nullptr, 3005);
    unsaved->m_Flags &= ~ACTOR_SAVED;
    Make("c", nullptr, 3010);
    EXPECT_EQ(CQVActorSystem::CountSavedActors(3000, 7000), 2u);
    EXPECT_EQ(CQVActorSystem::CountSavedActors(3000, 3010), 1u);
    EXPECT_EQ(CQVActorSystem::GetIdSpan(3000, 7000), 11u);
    EXPECT_EQ(CQVActorSystem::GetIdSpan(3000, 3006), 6u);
    EXPECT_EQ(CQVActorSystem::GetIdSpan(3011, 7000), 0u);
    EXPECT_EQ(CQVActorSystem::GetIdSpan(7000, 3000), 0u);
    EXPECT_EQ(CQVActorSystem::CountSavedActors(3000, 4000000000u), 2u);
}

TEST_F(ActorSystemTest, CloneCopiesTheSubtreeThroughInitCopy) {
    CQVActor* source = Make("Lamp");
    CQVActor* bulb = Make("Bulb", source);
    source->m_KillDelay = 2.5f;
    source->m_UserWord = 77;
    bulb->m_Position = Vector3(0.0f, 3.0f, 0.0f);
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    g_Seen.clear();
    CQVActor* copy = system->CloneActor(source, scenery, 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->m_Id, source->m_Id);
    EXPECT_EQ(copy->m_Name, "Lamp");
    EXPECT_EQ(copy->m_Parent, scenery);
    EXPECT_FLOAT_EQ(copy->m_KillDelay, 2.5f);
    EXPECT_EQ(copy->m_UserWord, 77u);
    ASSERT_EQ(copy->m_Children.size(), 1u);
    CQVActor* bulbCopy = copy->m_Children[0];
    EXPECT_NE(bulbCopy, bulb);
    EXPECT_EQ(bulbCopy->m_Name, "Bulb");
    EXPECT_EQ(bulbCopy->m_Parent, copy);
    EXPECT_FLOAT_EQ(bulbCopy->m_Position.y, 3.0f);
    EXPECT_EQ(source->m_Children, std::vector<CQVActor*>{bulb});
    const std::vector<uint32_t> seen = SeenBy(copy);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], static_cast<uint32_t>(MSG_CREATE));
    EXPECT_EQ(seen[1], static_cast<uint32_t>(MSG_INIT_COPY));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), static_cast<uint32_t>(MSG_SET_OPERATIONAL)), 1);
    EXPECT_EQ(system->CloneActor(source, system, 0), nullptr);
    EXPECT_EQ(system->CloneActor(nullptr, scenery, 0), nullptr);
}

TEST_F(ActorSystemTest, CloneBelowItselfCopiesOnce) {
    CQVActor* source = Make("Tree");
    Make("Branch", source);
    CQVActor* copy = system->CloneActor(source, source, 0);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(source->m_Children.size(), 2u);
    ASSERT_EQ(copy->m_Children.size(), 1u);
    EXPECT_TRUE(copy->m_Children[0]->m_Children.empty());
}

// A copy made as a base actor stays one, whether or not "Create" copies the
// source's fields once more.
TEST_F(ActorSystemTest, BaseTypeCopyKeepsItsOwnClassType) {
    CQVActor* source = Make("Source");
    source->m_ActionTime = 4.0f;
    for (int init : {0, 1}) {
        CQVActor* copy = system->CreateActor(CLASS_BASE, "Copy", source, global, ACTOR_ID_ANY, init, 0);
        ASSERT_NE(copy, nullptr) << init;
        EXPECT_EQ(copy->m_ClassType, CLASS_BASE) << init;
        EXPECT_EQ(copy->m_Name, "Copy") << init;
        EXPECT_FLOAT_EQ(copy->m_ActionTime, 4.0f) << init;
        EXPECT_EQ(copy->m_Parent, global) << init;
    }
}

}  // namespace
