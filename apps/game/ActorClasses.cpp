#include "apps/game/ActorClasses.h"

#include "actors/characters/AIHelper.h"
#include "actors/characters/AIPlayer.h"
#include "actors/characters/AIPlayer2.h"
#include "actors/characters/AimTarget.h"
#include "actors/characters/Animation.h"
#include "actors/characters/AutoAim.h"
#include "actors/characters/Character.h"
#include "actors/characters/Character2.h"
#include "actors/characters/Guard.h"
#include "actors/characters/Path.h"
#include "actors/characters/PathNode.h"
#include "actors/characters/Player.h"
#include "actors/characters/Player2.h"
#include "actors/characters/SkinObject.h"
#include "actors/gameplay/Developer.h"
#include "actors/gameplay/Developer2.h"
#include "actors/gameplay/Developer3.h"
#include "actors/gameplay/Door.h"
#include "actors/gameplay/GameContainer.h"
#include "actors/gameplay/GameObject.h"
#include "actors/gameplay/Inventory.h"
#include "actors/gameplay/Reference.h"
#include "actors/gameplay/SaveGame.h"
#include "actors/gameplay/SpawnPoint.h"
#include "actors/gameplay/State.h"
#include "actors/gameplay/TimeInstance.h"
#include "actors/gameplay/Timer.h"
#include "actors/gameplay/Trigger.h"
#include "actors/gameplay/UIButton.h"
#include "actors/gameplay/UIMapInput.h"
#include "actors/gameplay/UISprite.h"
#include "actors/gameplay/UISystem.h"
#include "actors/gameplay/UIText.h"
#include "actors/gameplay/UIWindow.h"
#include "actors/scene/AmbientSound.h"
#include "actors/scene/Camera.h"
#include "actors/scene/DrawGroup.h"
#include "actors/scene/DrawGroupConnector.h"
#include "actors/scene/Environment.h"
#include "actors/scene/Light.h"
#include "actors/scene/LightSensor.h"
#include "actors/scene/Lod.h"
#include "actors/scene/MatrixAnimation.h"
#include "actors/scene/Object.h"
#include "actors/scene/Particle.h"
#include "actors/scene/Simulation.h"
#include "actors/scene/Sound.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/Class.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/UVAnimation.h"
#include "kernel/fileactors/File.h"
#include "kernel/fileactors/FileIO.h"

#include <iterator>
#include <new>

namespace {

template <typename T>
CQVActor* CreateActorOf() {
    return new (std::nothrow) T;
}

template <typename T>
constexpr ActorClassInfo ActorClass(uint32_t type) {
    return ActorClassInfo{type, &CreateActorOf<T>, &T::RegisterProperties};
}

// Every class but the base and the actor system, in the order of their
// registration at start-up.
const ActorClassInfo ACTOR_CLASS_LIST[] = {
    ActorClass<CQVSound>(CLASS_SOUND),
    ActorClass<CQVObject>(CLASS_OBJECT),
    ActorClass<CQVLight>(CLASS_LIGHT),
    ActorClass<CQVFile>(CLASS_FILE),
    ActorClass<CQVFileIO>(CLASS_FILEIO),
    ActorClass<CQVEnvironment>(CLASS_ENVIRONMENT),
    ActorClass<CQVClass>(CLASS_CLASS),
    ActorClass<CQVPlayer>(CLASS_PLAYER),
    ActorClass<CQVInventory>(CLASS_INVENTORY),
    ActorClass<CQVTimer>(CLASS_TIMER),
    ActorClass<CQVGameObject>(CLASS_GAME_OBJECT),
    ActorClass<CQVDoor>(CLASS_DOOR),
    ActorClass<CQVGameContainer>(CLASS_GAME_CONTAINER),
    ActorClass<CQVDrawGroup>(CLASS_DRAW_GROUP),
    ActorClass<CQVCharacter>(CLASS_CHARACTER),
    ActorClass<CQVSkinObject>(CLASS_SKINOBJECT),
    ActorClass<CQVParticle>(CLASS_PARTICLE),
    ActorClass<CQVCamera>(CLASS_CAMERA),
    ActorClass<CQVDrawGroupConnector>(CLASS_DRAW_GROUP_CONNECTOR),
    ActorClass<CQVSpawnPoint>(CLASS_SPAWN_POINT),
    ActorClass<CQVDeveloper>(CLASS_DEVELOPER),
    ActorClass<CQVDeveloper2>(CLASS_DEVELOPER_2),
    ActorClass<CQVDeveloper3>(CLASS_DEVELOPER_3),
    ActorClass<CQVGuard>(CLASS_GUARD),
    ActorClass<CQVPathNode>(CLASS_PATH_NODE),
    ActorClass<CQVPath>(CLASS_PATH),
    ActorClass<CQVMatrixAnimation>(CLASS_MATRIX_ANIMATION),
    ActorClass<CQVAIPlayer>(CLASS_AI_PLAYER),
    ActorClass<CQVAmbientSound>(CLASS_AMBIENT_SOUND),
    ActorClass<CQVTrigger>(CLASS_TRIGGER),
    ActorClass<CQVAIHelper>(CLASS_AI_HELPER),
    ActorClass<CQVUISystem>(CLASS_UI_SYSTEM),
    ActorClass<CQVUIButton>(CLASS_UI_BUTTON),
    ActorClass<CQVUIText>(CLASS_UI_TEXT),
    ActorClass<CQVUISprite>(CLASS_UI_SPRITE),
    ActorClass<CQVUIMapInput>(CLASS_UI_MAP_INPUT),
    ActorClass<CQVAnimation>(CLASS_ANIMATION),
    ActorClass<CQVAutoAim>(CLASS_AUTOAIM),
    ActorClass<CQVUVAnimation>(CLASS_UVANIMATION),
    ActorClass<CQVSimulation>(CLASS_SIMULATION),
    ActorClass<CQVReference>(CLASS_REFERENCE),
    ActorClass<CQVUIWindow>(CLASS_UI_WINDOW),
    ActorClass<CQVSaveGame>(CLASS_SAVE_GAME),
    ActorClass<CQVLod>(CLASS_LOD),
    ActorClass<CQVTimeInstance>(CLASS_TIME_INSTANCE),
    ActorClass<CQVAimTarget>(CLASS_AIM_TARGET),
    ActorClass<CQVPlayer2>(CLASS_PLAYER_2),
    ActorClass<CQVAIPlayer2>(CLASS_AI_PLAYER_2),
    ActorClass<CQVCharacter2>(CLASS_CHARACTER_2),
    ActorClass<CQVLightSensor>(CLASS_LIGHT_SENSOR),
    ActorClass<CQVState>(CLASS_STATE),
};

void SetFileRange(CQVActor* actor, uint32_t firstId, uint32_t lastId, const char* fileName) {
    if (actor == nullptr || actor->m_ClassType != CLASS_FILEIO) return;
    auto* fileIO = static_cast<CQVFileIO*>(actor);
    fileIO->m_FirstId = firstId;
    fileIO->m_LastId = lastId;
    fileIO->m_FileName = fileName;
}

}  // namespace

void ActorClasses_Install() { ActorClasses_SetTable(ACTOR_CLASS_LIST, std::size(ACTOR_CLASS_LIST), &SetFileRange); }

const ActorClassInfo* ActorClasses_GetList(size_t* count) {
    *count = std::size(ACTOR_CLASS_LIST);
    return ACTOR_CLASS_LIST;
}
