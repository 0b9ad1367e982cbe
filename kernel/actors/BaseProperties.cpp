#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"

namespace {

struct PropertyRow {
    const char* label;
    uint32_t kind;
    uint32_t setMessage;
    uint32_t getMessage;
};

// The editor sheet of every actor: title rows open the base, event and
// advanced sections. The choice list of "Material:" uses the indices of the
// physics-material table.
const PropertyRow kBaseSheet[] = {
    {"Base Properties", PROP_TITLE, 0, 0},
    {"Operational", PROP_CHECK, MSG_SET_OPERATIONAL, MSG_GET_OPERATIONAL},
    {"Enabled", PROP_CHECK, MSG_SET_ENABLED, MSG_GET_ENABLED},
    {"Snap To Grid", PROP_CHECK, MSG_SET_SNAP_TO_GRID, MSG_GET_SNAP_TO_GRID},
    {"Lock Transform", PROP_CHECK, MSG_SET_LOCK_TRANSFORM, MSG_GET_LOCK_TRANSFORM},
    {"Lock Transform Recursive", PROP_CHECK, MSG_SET_LOCK_TRANSFORM_RECURSIVE, MSG_GET_LOCK_TRANSFORM_RECURSIVE},
    {"Dummy Object Style|Hidden|0|wire Z|8|wire|6|solid|5|solid Z|7|", PROP_CHOICE, MSG_SET_DUMMY_OBJECT_STYLE,
     MSG_GET_DUMMY_OBJECT_STYLE},
    {"Position:", PROP_VECTOR, MSG_SET_POSITION, MSG_GET_POSITION},
    {"Scale:", PROP_SCALE, MSG_SET_SCALE, MSG_GET_SCALE},
    {"Rotation:", PROP_ROTATION, MSG_SET_QUATERNION, MSG_GET_QUATERNION},
    {"Event Properties", PROP_TITLE, 0, 0},
    {"Event", PROP_EVENT_LIST, 0, 0},
    {"Advanced Base Properties", PROP_TITLE, 0, 0},
    {"Tools", PROP_HEADING, 0, 0},
    {"Action Start Pre|Starte|", PROP_BUTTON, MSG_ACTION_START_PRE, 0},
    {"Action Stop Pre|Stop|", PROP_BUTTON, MSG_ACTION_STOP_PRE, 0},
    {"Clean Unused|Recursive|", PROP_BUTTON, MSG_CLEAN_UNUSED, 0},
    {"Action Timers", PROP_HEADING, 0, 0},
    {"Kill Delay:", PROP_TIME, MSG_SET_KILL_DELAY, MSG_GET_KILL_DELAY},
    {"Kill Time:", PROP_TIME, MSG_SET_KILL_TIME, MSG_GET_KILL_TIME},
    {"Action Start Delay:", PROP_TIME, MSG_SET_ACTION_START_DELAY, MSG_GET_ACTION_START_DELAY},
    {"Action Start Time:", PROP_TIME, MSG_SET_ACTION_START_TIME, MSG_GET_ACTION_START_TIME},
    {"Action Stop Delay:", PROP_TIME, MSG_SET_ACTION_STOP_DELAY, MSG_GET_ACTION_STOP_DELAY},
    {"Action Stop Time:", PROP_TIME, MSG_SET_ACTION_STOP_TIME, MSG_GET_ACTION_STOP_TIME},
    {"Action Time:", PROP_TIME, MSG_SET_ACTION_TIME, MSG_GET_ACTION_TIME},
    {"Calc ActionTime:|Calc|", PROP_BUTTON, MSG_CALC_ACTION_TIME_CC, 0},
    {"Action Flags", PROP_HEADING, 0, 0},
    {"- Blocks From Parent", PROP_SEPARATOR, 0, 0},
    {"Block Action_Start From Parent", PROP_CHECK, MSG_SET_BLOCKSTARTFROMPARENT, MSG_GET_BLOCKSTARTFROMPARENT},
    {"Block Action_Stop From Parent", PROP_CHECK, MSG_SET_BLOCKSTOPFROMPARENT, MSG_GET_BLOCKSTOPFROMPARENT},
    {"Block Action_Kill From Parent", PROP_CHECK, MSG_SET_BLOCKKILLFROMPARENT, MSG_GET_BLOCKKILLFROMPARENT},
    {"Block Action_Command From Parent:", PROP_CHECK, MSG_SET_BLOCKCMDFROMPARENT, MSG_GET_BLOCKCMDFROMPARENT},
    {"- Blocks To Children", PROP_SEPARATOR, 0, 0},
    {"Block Action_Start To Children", PROP_CHECK, MSG_SET_BLOCKSTARTTOCHILDREN, MSG_GET_BLOCKSTARTTOCHILDREN},
    {"Block Action_Stop To Children", PROP_CHECK, MSG_SET_BLOCKSTOPTOCHILDREN, MSG_GET_BLOCKSTOPTOCHILDREN},
    {"Block Action_Kill To Children", PROP_CHECK, MSG_SET_BLOCKKILLTOCHILDREN, MSG_GET_BLOCKKILLTOCHILDREN},
    {"Block Action_Command To Children", PROP_CHECK, MSG_SET_BLOCKCMDTOCHILDREN, MSG_GET_BLOCKCMDTOCHILDREN},
    {"-", PROP_SEPARATOR, 0, 0},
    {"Dont Execute Action_Command", PROP_CHECK, MSG_SET_DONTEXECACTIONCOMMAND, MSG_GET_DONTEXECACTIONCOMMAND},
    {"- AutoSend", PROP_SEPARATOR, 0, 0},
    {"Action_Stop_Pre On Action_Start_Post", PROP_CHECK, MSG_SET_STOPPRE_ON_STARTPOST, MSG_GET_STOPPRE_ON_STARTPOST},
    {"Action_Start_Pre On Action_Stop_Post", PROP_CHECK, MSG_SET_STARTPRE_ON_STOPPOST, MSG_GET_STARTPRE_ON_STOPPOST},
    {"Action_Kill_Pre On Action_Start_Post", PROP_CHECK, MSG_SET_KILLPRE_ON_STARTPOST, MSG_GET_KILLPRE_ON_STARTPOST},
    {"Collision/Physics Management", PROP_HEADING, 0, 0},
    {"Collision Enable (all colobj):", PROP_CHECK, MSG_SET_COLLISION_ENABLE, MSG_GET_COLLISION_ENABLE},
    {"Object:", PROP_PICKER, MSG_SET_COLLISION_STRINGLIST, MSG_GET_COLLISION_STRINGLIST},
    {"Name", PROP_STRING, MSG_SET_COLLISION_NAME, MSG_GET_COLLISION_NAME},
    {"Don't Save (MeshSynced)", PROP_CHECK, MSG_SET_COLLISION_SYNC_FROM_MESH, MSG_GET_COLLISION_SYNC_FROM_MESH},
    {"Type:|Non|0|Sphere|1|Box|2|Y-Triangles|4|RayPoint|7|Triangle(Test)|5|TriangleBoxes|8|TriangleBoxes|9|"
     "TriangleBoxes|10|",
     PROP_CHOICE, MSG_SET_COLLISION_TYPE, MSG_GET_COLLISION_TYPE},
    {"Create:|Create|", PROP_BUTTON, MSG_CREATE_COLLISION, 0},
    {"Delete Selected:|Delete|", PROP_BUTTON, MSG_DELETE_COLLISION, 0},
    {"Physique Properties", PROP_HEADING, 0, 0},
    {"Subtype:|Normal|0|Event|1|Dynamic|2|GeometryEvent|3|_unused|4|", PROP_CHOICE, MSG_SET_COLLISION_SUBTYPE,
     MSG_GET_COLLISION_SUBTYPE},
    {"Material:|Metal|0|Custom|1|Wood|2|Stone|3|Rubber|4|Glass|5|Mud|6|Character(no friction)|7|Grass|8|",
     PROP_CHOICE, MSG_SET_COLLISION_PHYSIQUE, MSG_GET_COLLISION_PHYSIQUE},
    {"Box Min / Sphere Position", PROP_SEPARATOR, 0, 0},
    {"Value:", PROP_VECTOR, MSG_SET_BOX_MIN, MSG_GET_BOX_MIN},
    {"Box Max / Sphere Radius", PROP_SEPARATOR, 0, 0},
    {"Value::", PROP_VECTOR, MSG_SET_BOX_MAX, MSG_GET_BOX_MAX},
    {"Collision Properties", PROP_HEADING, 0, 0},
    {"Collision Active:", PROP_CHECK, MSG_SET_COLLISION_ACTIVE, MSG_GET_COLLISION_ACTIVE},
    {"Set Collision Group:", PROP_GROUP_MASK, MSG_SET_COLLISION_GROUPS, MSG_GET_COLLISION_GROUPS},
    {"Set Collision Group Receive:", PROP_GROUP_MASK, MSG_SET_COLLISION_GROUPS_RECEIVE,
     MSG_GET_COLLISION_GROUPS_RECEIVE},
    {"Set Collision Group Exclude:", PROP_GROUP_MASK, MSG_SET_COLLISION_GROUPS_EXCLUDE,
     MSG_GET_COLLISION_GROUPS_EXCLUDE},
    {"Global Hit Effect (GHE):", PROP_GROUP_MASK, MSG_SET_COLLISION_GHE_82, MSG_GET_COLLISION_GHE},
};

}  // namespace

void RegisterBaseProperties(ClassRecord& record)
{
    for (const PropertyRow& row : kBaseSheet)
        record.AddProperty(row.label, row.kind, row.setMessage, row.getMessage);
}
