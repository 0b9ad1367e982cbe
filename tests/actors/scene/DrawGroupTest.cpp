// Draw groups and their connectors on the real actor system: which cells a
// connector joins, what the draw pass tells the actors of the cells it
// reaches, resource loading, the route search, copies and stored fields.

#include "tests/actors/scene/DrawGroupTestSupport.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <list>
#include <set>

namespace {

using namespace drawgroup_test;

// A cube of the given diagonal, its lowest corner at the origin.
Vector3 CubeOf(float diagonal) {
    const float side = diagonal / std::sqrt(3.0f);
    return Vector3(side, side, side);
}

// ---- connector choice --------------------------------------------------

struct ChoiceCase {
    const char* name;
    std::vector<float> diagonals;     // cells in id order, all from the origin
    Vector3 connector;                // where the portal sphere stands (radius 1)
    std::vector<float> joined;        // the diagonals of the joined cells; empty: none
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class ConnectorChoice : public DrawGroupScene, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(ConnectorChoice, JoinsTheTwoSmallestCellsItTouches) {
    const ChoiceCase& c = GetParam();
    std::vector<CQVDrawGroup*> cells;
    for (float diagonal : c.diagonals) cells.push_back(Cell(Vector3(0, 0, 0), CubeOf(diagonal)));
    CQVDrawGroupConnector* connector = Portal(c.connector, 1.0f);
    // Sizes as a load gives them, without the actor system's reordering.
    for (CQVDrawGroup* cell : cells) cell->HandleMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    connector->HandleMessage(MSG_CONNACTOR_DRAWGROUPS, nullptr);

    ASSERT_EQ(connector->m_GroupIds.size(), 2u);
    if (c.joined.empty()) {
        EXPECT_EQ(connector->m_GroupIds, (std::vector<uint32_t>{0, 0}));
        for (CQVDrawGroup* cell : cells) EXPECT_TRUE(cell->m_Connectors.empty());
        return;
    }
    std::vector<float> joined;
    for (uint32_t id : connector->m_GroupIds) {
        CQVDrawGroup* cell = DrawGroup_Get(id);
        ASSERT_NE(cell, nullptr);
        joined.push_back(std::round(cell->m_Size));
        EXPECT_EQ(cell->m_Connectors, std::vector<uint32_t>{connector->m_Id});
    }
    EXPECT_EQ(joined, c.joined);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, ConnectorChoice,
    testing::Values(
        // 10 and 5 first; 7 is smaller than 10 and takes its place.
        ChoiceCase{"Three", {10, 5, 7}, Vector3(0.5f, 0.5f, 0.5f), {7, 5}},
        ChoiceCase{"Two", {10, 5}, Vector3(0.5f, 0.5f, 0.5f), {10, 5}},
        // Equal sizes: the first of them is the one replaced.
        ChoiceCase{"EqualSizes", {8, 8, 4}, Vector3(0.5f, 0.5f, 0.5f), {4, 8}},
        // Only the 10 (side 5.77) reaches 5.2 along each axis; the 7 ends at 4.04.
        ChoiceCase{"OneTouched", {7, 10}, Vector3(5.2f, 5.2f, 5.2f), {}},
        ChoiceCase{"NoneTouched", {5, 7}, Vector3(50, 50, 50), {}}),
    [](const testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

TEST_F(DrawGroupScene, ACellDropsAConnectorItAlreadyListsAndAnInheritingCellPassesItOn) {
    CQVDrawGroup* outer = Cell(Vector3(0, 0, 0), Vector3(100, 100, 100));
    CQVDrawGroup* inner = Cell(Vector3(10, 10, 10), Vector3(20, 20, 20), outer);
    inner->HandleMessage(MSG_SET_INHERIT_DRAWGROUPID, Args_Of(&kOne));
    g_ActorSystem->BroadcastMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    EXPECT_EQ(inner->m_DrawGroupId, outer->m_DrawGroupId);

    const uint32_t connector = 4242;
    outer->HandleMessage(MSG_ADD_DRAWGROUP_CONNECTOR, Args_Of(&connector));
    outer->HandleMessage(MSG_ADD_DRAWGROUP_CONNECTOR, Args_Of(&connector));
    EXPECT_EQ(outer->m_Connectors, std::vector<uint32_t>{connector});
    const uint32_t other = 4243;
    inner->HandleMessage(MSG_ADD_DRAWGROUP_CONNECTOR, Args_Of(&other));
    EXPECT_TRUE(inner->m_Connectors.empty());
    EXPECT_EQ(outer->m_Connectors, (std::vector<uint32_t>{connector, other}));

    // Sizes: the inner diagonal is added to the outer cell, whose size the
    // inner cell then answers; a second load counts every diagonal again.
    const float outerDiagonal = Vec3_Length(Vector3(100, 100, 100));
    const float innerDiagonal = Vec3_Length(Vector3(10, 10, 10));
    float size = 0.0f;
    inner->HandleMessage(MSG_GET_DRAWGROUP_SIZE, Args_Of(&size));
    EXPECT_FLOAT_EQ(size, outerDiagonal + innerDiagonal);
    g_ActorSystem->BroadcastMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    outer->HandleMessage(MSG_GET_DRAWGROUP_SIZE, Args_Of(&size));
    EXPECT_FLOAT_EQ(size, 2 * outerDiagonal + innerDiagonal + 2 * innerDiagonal);
    // A point in the inner box belongs to the outer cell.
    EXPECT_EQ(g_ActorSystem->FindDrawGroupAt(Vector3(15, 15, 15), DRAWGROUP_FIRST_LEVEL), outer->m_DrawGroupId);
}

TEST_F(DrawGroupScene, ACellMergedIntoItsParentIsDrawnWithIt) {
    CQVDrawGroup* outer = Cell(Vector3(0, 0, 0), Vector3(100, 100, 100));
    CQVDrawGroup* inner = Cell(Vector3(10, 10, 10), Vector3(20, 20, 20), outer);
    inner->HandleMessage(MSG_SET_INHERIT_DRAWGROUPID, Args_Of(&kOne));
    Watcher* inside = Watch(inner);
    AfterLoad();
    for (int frame = 0; frame < 3; ++frame) RunDrawPass(Vector3(15, 15, 15));
    EXPECT_EQ(outer->m_Drawing, 1u);
    // Told once that it is drawn, and never that it stopped while its cell still is.
    EXPECT_EQ(inside->Count(MSG_ON_DRAW_START), 1);
    EXPECT_EQ(inside->Count(MSG_ON_DRAW_STOP), 0);
    EXPECT_EQ(inside->updates, 3);
    EXPECT_EQ(g_DrawnGroups.next->group, outer);
    EXPECT_EQ(g_DrawnGroups.next->next, &g_DrawnGroups);
}

// ---- open, closed and forced connectors ----------------------------------

TEST_F(DrawGroupScene, OpenCloseAndForceOpen) {
    CQVDrawGroupConnector* connector = Portal(Vector3(0, 0, 0), 10.0f);
    const struct {
        uint32_t message;
        uint32_t value;
        uint32_t open, forced;
    } steps[] = {
        {MSG_OPEN_CONNACTOR, 0, 1, 0},
        {MSG_CLOSE_CONNACTOR, 0, 0, 0},
        // The "Get" id sets the forced flag and opens with it.
        {MSG_GET_FORCE_OPEN_CONNACTOR, 1, 1, 1},
        {MSG_CLOSE_CONNACTOR, 0, 1, 1},
        // Clearing it closes the connector as well.
        {MSG_GET_FORCE_OPEN_CONNACTOR, 0, 0, 0},
    };
    for (const auto& step : steps) {
        uint32_t value = step.value;
        connector->HandleMessage(step.message, Args_Of(&value));
        EXPECT_EQ(connector->m_Open, step.open) << step.message;
        uint32_t forced = 7;
        connector->HandleMessage(MSG_SET_FORCE_OPEN_CONNACTOR, Args_Of(&forced));
        EXPECT_EQ(forced, step.forced) << "the \"Set\" id reads the flag";
    }
}

// ---- the draw pass over rooms in a row -----------------------------------

// Rooms A, B, C along x, 100 wide, joined by portals at x = 100 and 200.
class RoomsInARow : public DrawGroupScene {
protected:
    void SetUp() override {
        DrawGroupScene::SetUp();
        for (int i = 0; i < 3; ++i) {
            rooms.push_back(Cell(Vector3(100.0f * i, 0, 0), Vector3(100.0f * (i + 1), 100, 100)));
            watchers.push_back(Watch(rooms.back()));
        }
        ab = Portal(Vector3(100, 50, 50), 10.0f);
        bc = Portal(Vector3(200, 50, 50), 10.0f);
        AfterLoad();
        // An actor from elsewhere that stands in A: listed by A, not its child.
        visitor = Watch(Scenery());
        const uint32_t inA = rooms[0]->m_DrawGroupId;
        visitor->HandleMessage(MSG_SET_DRAWGROUP, Args_Of(&inA));
    }

    std::vector<CQVDrawGroup*> rooms;
    std::vector<Watcher*> watchers;  // a child of each room
    Watcher* visitor = nullptr;
    CQVDrawGroupConnector* ab = nullptr;
    CQVDrawGroupConnector* bc = nullptr;
};

TEST_F(RoomsInARow, DrawStartAndStopFollowTheOpenPortals) {
    ASSERT_EQ(rooms[0]->m_Connectors, std::vector<uint32_t>{ab->m_Id});
    ASSERT_EQ(rooms[1]->m_Connectors, (std::vector<uint32_t>{ab->m_Id, bc->m_Id}));
    const struct {
        float cameraX;
        bool abOpen, bcOpen;
        const char* drawing;  // rooms being drawn after the frame
        const char* updated;  // rooms whose actors got their update this frame
    } frames[] = {
        {50, false, false, "A", "A"},  {50, true, false, "AB", "AB"}, {50, true, true, "ABC", "ABC"},
        {250, false, true, "BC", "BC"}, {250, false, false, "C", "C"},
        // A camera outside every room draws nothing and stops no room.
        {-50, true, true, "C", ""},
    };
    ASSERT_EQ(rooms[0]->m_Actors, std::list<CQVActor*>{visitor});
    for (const auto& f : frames) {
        SCOPED_TRACE(f.cameraX);
        ab->m_Open = f.abOpen;
        bc->m_Open = f.bcOpen;
        for (Watcher* watcher : watchers) watcher->Clear();
        visitor->Clear();
        RunDrawPass(Vector3(f.cameraX, 50, 50));
        std::string drawing, updated;
        for (int i = 0; i < 3; ++i) {
            if (rooms[i]->m_Drawing) drawing += char('A' + i);
            if (watchers[i]->updates) updated += char('A' + i);
        }
        EXPECT_EQ(drawing, f.drawing);
        EXPECT_EQ(updated, f.updated);
        EXPECT_EQ(visitor->updates, std::string(f.updated).find('A') != std::string::npos ? 1 : 0);
    }
}

TEST_F(RoomsInARow, TheSubtreeHearsStartAndStopOnceAndConnectorsFollowTheirCells) {
    // A child of the portal between B and C.
    Watcher* onPortal = Watch(bc);
    AfterLoad();
    ab->m_Open = 1;
    RunDrawPass(Vector3(50, 50, 50));
    // Every actor of A and B was told once, C's not at all, and so was the
    // actor listed by A; the portal
    // between B and C joins a drawn cell, so its children draw as well.
    EXPECT_EQ(watchers[0]->Count(MSG_ON_DRAW_START), 1);
    EXPECT_EQ(watchers[1]->Count(MSG_ON_DRAW_START), 1);
    EXPECT_EQ(watchers[2]->Count(MSG_ON_DRAW_START), 0);
    EXPECT_EQ(onPortal->Count(MSG_ON_DRAW_START), 1);
    EXPECT_EQ(visitor->Count(MSG_ON_DRAW_START), 1);
    EXPECT_EQ(bc->m_Drawing, 1u);

    // Another frame: nothing new.
    for (Watcher* watcher : watchers) watcher->Clear();
    onPortal->Clear();
    RunDrawPass(Vector3(50, 50, 50));
    EXPECT_EQ(watchers[0]->Count(MSG_ON_DRAW_START) + watchers[1]->Count(MSG_ON_DRAW_START), 0);

    // Closing A's portal: B stops, and with it the B-C portal it alone kept drawing.
    ab->m_Open = 0;
    RunDrawPass(Vector3(50, 50, 50));
    EXPECT_EQ(watchers[1]->Count(MSG_ON_DRAW_STOP), 1);
    EXPECT_EQ(onPortal->Count(MSG_ON_DRAW_STOP), 1);
    EXPECT_EQ(bc->m_Drawing, 0u);
    EXPECT_EQ(ab->m_Drawing, 1u) << "A still reaches its own portal";
    EXPECT_EQ(watchers[0]->Count(MSG_ON_DRAW_STOP), 0);
}

TEST_F(RoomsInARow, CellsInTheDrawnListAreExactlyThoseDrawing) {
    ab->m_Open = 1;
    for (float x : {50.0f, 150.0f, 250.0f, 50.0f}) {
        RunDrawPass(Vector3(x, 50, 50));
        std::set<const CQVDrawGroupBase*> listed;
        for (DrawnGroupLink* link = g_DrawnGroups.next; link != &g_DrawnGroups; link = link->next) {
            listed.insert(link->group);
        }
        for (CQVDrawGroup* room : rooms) EXPECT_EQ(listed.count(room), room->m_Drawing) << x;
    }
}

TEST_F(RoomsInARow, LoadingSpreadsUntilALoadPoint) {
    const uint32_t on = 1;
    bc->HandleMessage(MSG_SET_LOAD_RESOURCES_POINT, Args_Of(&on));
    // A script of C's watcher waits for cells to start loading; A's watcher has none.
    CQVScript onLoad;
    onLoad.name = "onLoad";
    onLoad.boundMessage = MSG_ON_LOAD_RESOURCE_GROUP;
    onLoad.owner = watchers[2];
    watchers[2]->m_Scripts.push_back(onLoad);
    rooms[0]->HandleMessage(MSG_LOAD_RESOURCE_GROUP, nullptr);
    // Every actor listening anywhere in the level hears that a cell starts
    // loading, once; the others are not disturbed. The loading itself waits
    // for the timed step.
    EXPECT_EQ(watchers[2]->Count(MSG_ON_LOAD_RESOURCE_GROUP), 1);
    EXPECT_EQ(watchers[0]->Count(MSG_ON_LOAD_RESOURCE_GROUP), 0);
    EXPECT_EQ(watchers[0]->Count(MSG_LOAD_RESOURCES), 0);
    ASSERT_NE(rooms[0]->FindTimedMessage(MSG_I_342), nullptr);

    rooms[0]->HandleMessage(MSG_I_342, nullptr);
    EXPECT_EQ(watchers[0]->Count(MSG_LOAD_RESOURCES), 1);
    EXPECT_EQ(watchers[1]->Count(MSG_LOAD_RESOURCES), 1);
    EXPECT_EQ(watchers[2]->Count(MSG_LOAD_RESOURCES), 0);
    EXPECT_EQ(rooms[0]->m_ResourcesLoaded + rooms[1]->m_ResourcesLoaded + rooms[2]->m_ResourcesLoaded, 2u);
    // Loaded once, never again.
    rooms[1]->HandleMessage(MSG_I_342, nullptr);
    EXPECT_EQ(watchers[1]->Count(MSG_LOAD_RESOURCES), 1);
}

TEST_F(RoomsInARow, CommandNearReachesEachNeighbourOnce) {
    // A second portal between A and B.
    CQVDrawGroupConnector* second = Portal(Vector3(100, 20, 20), 10.0f);
    AfterLoad();
    ASSERT_EQ(rooms[0]->m_Connectors.size(), 2u);
    ASSERT_EQ(second->m_GroupIds.size(), 2u);
    struct {
        uint32_t id;
        Vector3 step;
    } command{MSG_POSITION_ADD, Vector3(1, 0, 0)};
    rooms[1]->HandleMessage(MSG_COMMAND_NEARDG, Args_Of(&command));
    EXPECT_FLOAT_EQ(rooms[0]->m_Position.x, 1.0f);
    EXPECT_FLOAT_EQ(rooms[2]->m_Position.x, 1.0f);
    EXPECT_FLOAT_EQ(rooms[1]->m_Position.x, 0.0f) << "not the cell itself";
    rooms[0]->HandleMessage(MSG_COMMAND_NEARDG, Args_Of(&command));
    EXPECT_FLOAT_EQ(rooms[1]->m_Position.x, 1.0f) << "two portals, one command";

    // Through the base message, from an actor standing in the cell.
    watchers[1]->HandleMessage(MSG_CUR_NEARDG, Args_Of(&command));
    EXPECT_FLOAT_EQ(rooms[0]->m_Position.x, 2.0f);
}

// ---- the route search ------------------------------------------------------

TEST_F(DrawGroupScene, RouteSearchFollowsConnectorsDepthFirst) {
    // A - B - C - D, and E off B; F stands alone.
    const char* names = "ABCDEF";
    const Vector3 corners[] = {{0, 0, 0}, {100, 0, 0}, {200, 0, 0}, {300, 0, 0}, {100, 0, 100}, {900, 0, 900}};
    std::vector<CQVDrawGroup*> cells;
    for (const Vector3& corner : corners) cells.push_back(Cell(corner, corner - Vector3(-100, -100, -100)));
    const Vector3 portals[] = {{100, 50, 50}, {200, 50, 50}, {300, 50, 50}, {150, 50, 100}};
    for (const Vector3& at : portals) Portal(at, 10.0f);
    AfterLoad();

    const struct {
        char from, to;
        uint32_t found;
        std::vector<Vector3> route;
    } cases[] = {
        {'A', 'D', 1, {portals[0], portals[1], portals[2]}},
        {'D', 'E', 1, {portals[2], portals[1], portals[3]}},
        {'B', 'B', 1, {}},
        {'A', 'F', 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.from) + c.to);
        CQVDrawGroup* from = cells[std::string(names).find(c.from)];
        CQVDrawGroup* to = cells[std::string(names).find(c.to)];
        // The route is appended to: a point already there stays first.
        std::vector<Vector3> route{Vector3(-1, -1, -1)};
        EXPECT_EQ(from->FindRoute(to->m_DrawGroupId, route), c.found);
        ASSERT_EQ(route.size(), c.route.size() + 1);
        for (size_t i = 0; i < c.route.size(); ++i) {
            EXPECT_FLOAT_EQ(route[i + 1].x, c.route[i].x);
            EXPECT_FLOAT_EQ(route[i + 1].z, c.route[i].z);
        }
    }
}

// ---- copies ---------------------------------------------------------------

TEST_F(RoomsInARow, ACopiedCellIsACellOfItsOwnThatIsNotYetDrawing) {
    rooms[0]->m_Open = 1;
    const uint32_t on = 1;
    rooms[0]->HandleMessage(MSG_SET_SHOW_DRAWGROUP_BOX, Args_Of(&on));
    RunDrawPass(Vector3(50, 50, 50));
    ASSERT_EQ(rooms[0]->m_Drawing, 1u);
    ASSERT_FALSE(rooms[0]->m_Actors.empty());

    auto* copy = static_cast<CQVDrawGroup*>(
        g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Copy", rooms[0], Scenery(), ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->m_DrawGroupId, rooms[0]->m_DrawGroupId);
    EXPECT_EQ(DrawGroup_Get(copy->m_DrawGroupId), copy);
    EXPECT_EQ(copy->m_BoxMax.x, rooms[0]->m_BoxMax.x);
    EXPECT_EQ(copy->m_Open, 1u);
    EXPECT_EQ(copy->m_ShowBox, 1u);
    EXPECT_EQ(copy->m_Connectors, rooms[0]->m_Connectors);
    EXPECT_TRUE(copy->m_Actors.empty());
    EXPECT_EQ(copy->m_Drawing, 0u);
    EXPECT_EQ(copy->m_DrawnLink.headMarker, 1u);

    // Deleting the copy leaves the original's place in the drawn list whole.
    g_ActorSystem->DeleteActor(copy);
    size_t listed = 0;
    for (DrawnGroupLink* link = g_DrawnGroups.next; link != &g_DrawnGroups; link = link->next) ++listed;
    EXPECT_EQ(listed, 1u);

    auto* portal = static_cast<CQVDrawGroupConnector*>(
        g_ActorSystem->CreateActor(CLASS_DRAW_GROUP_CONNECTOR, "Copy", ab, Scenery(), ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(portal, nullptr);
    EXPECT_EQ(portal->m_GroupIds, ab->m_GroupIds);
    EXPECT_EQ(portal->m_Radius, ab->m_Radius);
}

// ---- gone actors and bounds -------------------------------------------------

TEST_F(RoomsInARow, PortalsAndCellsThatAreGoneAreSkipped) {
    ab->m_Open = 1;
    bc->m_Open = 1;
    const uint32_t bcId = bc->m_Id;
    g_ActorSystem->DeleteActor(bc);
    // B's list still names the portal that is gone.
    RunDrawPass(Vector3(50, 50, 50));
    EXPECT_EQ(rooms[1]->m_Drawing, 1u);
    EXPECT_EQ(rooms[2]->m_Drawing, 0u);
    std::vector<Vector3> route;
    EXPECT_EQ(rooms[0]->FindRoute(rooms[2]->m_DrawGroupId, route), 0u);
    rooms[1]->HandleMessage(MSG_I_342, nullptr);
    EXPECT_EQ(watchers[2]->Count(MSG_LOAD_RESOURCES), 0);
    EXPECT_NE(std::find(rooms[1]->m_Connectors.begin(), rooms[1]->m_Connectors.end(), bcId),
              rooms[1]->m_Connectors.end());
}

TEST_F(DrawGroupScene, CalculateBoxTakesTheChildrensBoundsIntoLocalSpace) {
    CQVDrawGroup* cell = Cell(Vector3(-1, -1, -1), Vector3(1, 1, 1));
    const Vector3 at(10, 0, 0);
    cell->HandleMessage(MSG_SET_POSITION, Args_Of(&at));
    // No child adds bounds: the box stays.
    cell->HandleMessage(MSG_CALCULATE_AABOX, nullptr);
    EXPECT_EQ(cell->m_BoxMax.x, 1.0f);
    EXPECT_EQ(cell->m_BoxMin.y, -1.0f);

    Bounded* child = Adopt(new Bounded, cell);
    child->min = Vector3(12, 2, 3);
    child->max = Vector3(14, 5, 6);
    // From an enclosing cell's calculation (with a box) a cell does nothing.
    Vector3 outer[2] = {Vector3(0, 0, 0), Vector3(0, 0, 0)};
    cell->HandleMessage(MSG_CALCULATE_AABOX, Args_Of(&outer));
    EXPECT_EQ(cell->m_BoxMax.x, 1.0f);
    EXPECT_EQ(outer[1].x, 0.0f);

    cell->HandleMessage(MSG_CALCULATE_AABOX, nullptr);
    EXPECT_FLOAT_EQ(cell->m_BoxMin.x, 2.0f);
    EXPECT_FLOAT_EQ(cell->m_BoxMax.x, 4.0f);
    EXPECT_FLOAT_EQ(cell->m_BoxMin.z, 3.0f);
    EXPECT_FLOAT_EQ(cell->m_BoxMax.y, 5.0f);
}

// ---- Door connectors ---------------------------------------------------------

TEST_F(RoomsInARow, ADoorStandsInBothCellsAndDrawsWhenItsPortalIsReached) {
    Door* door = Adopt(new Door, rooms[0]);
    door->m_Position = Vector3(100, 0, 50);
    door->InvalidateTransform();
    Watcher* leaf = Adopt(new Watcher, door);
    leaf->m_Flags |= ACTOR_STATIC;
    leaf->m_ColObjs.resize(1);
    auto* portal = static_cast<CQVDrawGroupConnector*>(
        g_ActorSystem->CreateActor(CLASS_DRAW_GROUP_CONNECTOR, "Door Connector", nullptr, door, ACTOR_ID_ANY, 1, 0));
    const uint32_t doorType = CONNECTOR_TYPE_DOOR;
    portal->HandleMessage(MSG_SET_CONNACTOR_TYPE, Args_Of(&doorType));
    AfterLoad();
    ASSERT_TRUE(portal->JoinsTwoCells());
    portal->HandleMessage(MSG_PRECALCULATE, nullptr);

    // The door and its subtree end in the second cell, with their collision
    // filed in both.
    EXPECT_EQ(door->m_DrawGroupId, rooms[1]->m_DrawGroupId);
    EXPECT_EQ(leaf->m_DrawGroupId, rooms[1]->m_DrawGroupId);
    EXPECT_EQ(g_DrawGroupColObjs[rooms[0]->m_DrawGroupId].size(), 1u);
    EXPECT_EQ(g_DrawGroupColObjs[rooms[1]->m_DrawGroupId].size(), 1u);

    // Closed, the door stops B from being drawn, yet the door itself is reached.
    RunDrawPass(Vector3(50, 50, 50));
    EXPECT_EQ(door->visible, 1);
    EXPECT_EQ(rooms[1]->m_Drawing, 0u);
    portal->HandleMessage(MSG_OPEN_CONNACTOR, nullptr);
    RunDrawPass(Vector3(50, 50, 50));
    EXPECT_EQ(door->visible, 2);
    EXPECT_EQ(rooms[1]->m_Drawing, 1u);

    // Loading: the door's subtree loads with its own cell, and again with its
    // portal from each of the two cells the load spreads over.
    leaf->Clear();
    rooms[0]->HandleMessage(MSG_I_342, nullptr);
    EXPECT_EQ(leaf->Count(MSG_LOAD_RESOURCES), 3);
    EXPECT_EQ(rooms[1]->m_ResourcesLoaded, 1u);
}

TEST_F(DrawGroupScene, ADoorConnectorTouchingOneCellEntersNothing) {
    CQVDrawGroup* cell = Cell(Vector3(0, 0, 0), Vector3(100, 100, 100));
    Door* door = Adopt(new Door, cell);
    auto* portal = static_cast<CQVDrawGroupConnector*>(
        g_ActorSystem->CreateActor(CLASS_DRAW_GROUP_CONNECTOR, "Door Connector", nullptr, door, ACTOR_ID_ANY, 1, 0));
    portal->m_Type = CONNECTOR_TYPE_DOOR;
    AfterLoad();
    EXPECT_EQ(portal->m_GroupIds, (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(portal->HandleMessage(MSG_PRECALCULATE, nullptr), 1);
    EXPECT_EQ(door->m_DrawGroupId, cell->m_DrawGroupId);
    for (const CQVDrawGroupBase* builtIn : {g_DrawGroups[0], g_DrawGroups[1]}) EXPECT_TRUE(builtIn->m_Actors.empty());
}

// ---- stored fields ------------------------------------------------------------

TEST_F(DrawGroupScene, SavedCellsAndPortalsComeBackAndJoinAgain) {
    CQVDrawGroup* a = Cell(Vector3(0, 0, 0), Vector3(100, 100, 100));
    CQVDrawGroup* b = Cell(Vector3(100, 0, 0), Vector3(200, 100, 100));
    const uint32_t on = 1;
    a->HandleMessage(MSG_SET_OPEN_DRAWGROUP, Args_Of(&on));
    b->HandleMessage(MSG_SET_SHOW_DRAWGROUP_BOX, Args_Of(&on));
    CQVDrawGroupConnector* portal = Portal(Vector3(100, 50, 50), 12.5f);
    portal->HandleMessage(MSG_GET_FORCE_OPEN_CONNACTOR, Args_Of(&on));
    portal->HandleMessage(MSG_SET_LOAD_RESOURCES_POINT, Args_Of(&on));
    portal->m_Open = 0;  // a forced portal stored closed opens on load
    const uint32_t door = CONNECTOR_TYPE_DOOR;
    portal->HandleMessage(MSG_SET_CONNACTOR_TYPE, Args_Of(&door));
    const uint32_t aId = a->m_Id, bId = b->m_Id, portalId = portal->m_Id;

    const std::string file = (dir / "Cells.qva").string();
    ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), 3000, 7000, 0), 1);
    Restart();
    ASSERT_EQ(g_ActorSystem->LoadActors(file.c_str(), 0), 1) << g_ActorSystem->GetError();

    a = dynamic_cast<CQVDrawGroup*>(CQVActorSystem::GetActorById(aId));
    b = dynamic_cast<CQVDrawGroup*>(CQVActorSystem::GetActorById(bId));
    portal = DrawGroupConnector_Get(portalId);
    ASSERT_TRUE(a && b && portal);
    EXPECT_EQ(a->m_DrawGroupId, a->m_Slot);
    EXPECT_EQ(b->m_DrawGroupId, b->m_Slot);
    EXPECT_EQ(b->m_BoxMin.x, 100.0f);
    EXPECT_EQ(b->m_BoxMax.x, 200.0f);
    EXPECT_EQ(a->m_Open, 1u);
    EXPECT_EQ(b->m_ShowBox, 1u);
    EXPECT_FLOAT_EQ(portal->m_Radius, 12.5f);
    EXPECT_EQ(portal->m_Type, CONNECTOR_TYPE_DOOR);
    EXPECT_EQ(portal->m_ForceOpen, 1u);
    EXPECT_EQ(portal->m_Open, 1u);
    EXPECT_EQ(portal->m_LoadPoint, 1u);
    // Connectors are not stored: the load joins them again.
    EXPECT_EQ(a->m_Connectors, std::vector<uint32_t>{portalId});
    EXPECT_EQ(b->m_Connectors, std::vector<uint32_t>{portalId});

    // A file cut inside the last record's fields fails to load.
    Restart();
    std::filesystem::resize_file(file, std::filesystem::file_size(file) - 2);
    EXPECT_EQ(g_ActorSystem->LoadActors(file.c_str(), 0), 0);
}

}  // namespace

namespace {

using namespace drawgroup_test;

// ---- payloads and stored bytes -----------------------------------------------

TEST(DrawGroupMessages, CarryTheArgumentsTheirHandlersRead) {
    const struct {
        uint32_t id;
        int32_t size;
    } messages[] = {
        {MSG_SET_BOX_MIN, 12},          {MSG_GET_DRAWGROUP_AABOX, 24},     {MSG_ADD_DRAWGROUP_CONNECTOR, 4},
        {MSG_SET_SHOW_DRAWGROUP_BOX, 4}, {MSG_GET_SHOW_DRAWGROUP_BOX, 4},  {MSG_SET_OPEN_DRAWGROUP, 4},
        {MSG_SET_INHERIT_DRAWGROUPID, 4}, {MSG_GET_INHERIT_DRAWGROUPID, 4}, {MSG_GET_DRAWGROUP_SIZE, 4},
        {MSG_LOAD_RESOURCE_GROUP, 0},   {MSG_I_342, 0},                   {MSG_GET_ASSIGN_DRAWGROUPID, 0},
        {MSG_SET_RADIUS, 4},            {MSG_CONNACTOR_DRAWGROUPS, 0},    {MSG_SET_CONNACTOR_TYPE, 4},
        {MSG_GET_CONNACTOR_TYPE, 4},    {MSG_SET_FORCE_OPEN_CONNACTOR, 4}, {MSG_GET_FORCE_OPEN_CONNACTOR, 4},
        {MSG_OPEN_CONNACTOR, 0},        {MSG_CLOSE_CONNACTOR, 0},
        {MSG_ADD_COLLISION_RECURSIVE, static_cast<int32_t>(sizeof(void*))},
    };
    ResetGlobals();
    RegisterBaseClass();
    for (const auto& m : messages) EXPECT_EQ(GetCommandDesc(m.id).argSize, m.size) << m.id;
    // A command: its size is measured from the block.
    EXPECT_EQ(GetCommandDesc(MSG_COMMAND_NEARDG).argTypes, std::vector<uint32_t>{VT_COMMAND});
    ResetGlobals();
}

TEST_F(DrawGroupScene, NewCellsAndPortalsStartWithTheirDefaults) {
    CQVDrawGroup* cell = Cell(Vector3(0, 0, 0), Vector3(0, 0, 0));
    auto* portal = static_cast<CQVDrawGroupConnector*>(
        g_ActorSystem->CreateActor(CLASS_DRAW_GROUP_CONNECTOR, "Portal", nullptr, Scenery(), nextId++, 1, 0));
    EXPECT_EQ(cell->m_DrawGroupId, cell->m_Slot);
    EXPECT_EQ(DrawGroup_Get(cell->m_DrawGroupId), cell);
    // The base's start clears an actor's draw-group id; a cell keeps its own.
    for (uint32_t start : {MSG_INIT_NEW, MSG_INIT_LOAD, MSG_INIT_COPY}) {
        cell->HandleMessage(start, nullptr);
        EXPECT_EQ(cell->m_DrawGroupId, cell->m_Slot) << start;
    }
    EXPECT_EQ(cell->m_Open + cell->m_ShowBox + cell->m_InheritId + cell->m_Drawing + cell->m_ResourcesLoaded, 0u);
    EXPECT_EQ(cell->m_Size, 0.0f);
    EXPECT_EQ(cell->m_DrawnLink.headMarker, 1u);
    EXPECT_EQ(portal->m_Radius, 25.0f);
    EXPECT_EQ(portal->m_Position.y, 30.0f);
    EXPECT_EQ(portal->m_Open + portal->m_ForceOpen + portal->m_LoadPoint + portal->m_Type + portal->m_Drawing, 0u);
    EXPECT_TRUE(portal->m_GroupIds.empty());
}

// The fields after the base record, as stored: a cell's box, open, show box,
// inherit and a reserved zero; a portal's radius, type, open, forced and load point.
TEST_F(DrawGroupScene, StoresItsFieldsAfterTheBaseRecordInOrder) {
    const struct {
        uint32_t type;
        std::vector<uint32_t> payload;
    } cases[] = {
        {CLASS_DRAW_GROUP,
         {0xBF800000, 0x40000000, 0xC0400000, 0x40800000, 0x40A00000, 0x40C00000, 1, 1, 1, 0}},
        {CLASS_DRAW_GROUP_CONNECTOR, {0x42480000, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        Restart();
        const uint32_t on = 1;
        if (c.type == CLASS_DRAW_GROUP) {
            CQVDrawGroup* cell = Cell(Vector3(-1, 2, -3), Vector3(4, 5, 6));
            for (uint32_t id : {MSG_SET_OPEN_DRAWGROUP, MSG_SET_SHOW_DRAWGROUP_BOX, MSG_SET_INHERIT_DRAWGROUPID})
                cell->HandleMessage(id, Args_Of(&on));
        } else {
            CQVDrawGroupConnector* portal = Portal(Vector3(0, 0, 0), 50.0f);
            portal->HandleMessage(MSG_SET_CONNACTOR_TYPE, Args_Of(&on));
            portal->HandleMessage(MSG_GET_FORCE_OPEN_CONNACTOR, Args_Of(&on));
            portal->HandleMessage(MSG_SET_LOAD_RESOURCES_POINT, Args_Of(&on));
        }
        const std::filesystem::path file = dir / "One.qva";
        ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), 3000, 7000, 0), 1);
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        const size_t size = c.payload.size() * 4;
        ASSERT_GE(bytes.size(), size);
        std::vector<uint32_t> tail(c.payload.size());
        std::memcpy(tail.data(), bytes.data() + bytes.size() - size, size);
        EXPECT_EQ(tail, c.payload) << c.type;
    }
}

}  // namespace
