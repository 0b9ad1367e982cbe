#include "tests/support/ResetGlobals.h"

#include "actors/characters/CharactersState.h"
#include "actors/gameplay/MissionFlow.h"
#include "actors/gameplay/SaveGame.h"
#include "apps/game/GameMain.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/base/KernelBase.h"
#include "kernel/fileactors/File.h"
#include "kernel/script/Script.h"
#include "services/engine/Engine.h"
#include "services/graphics/Texture.h"
#include "services/input/Input.h"
#include "services/library/Library.h"
#include "services/overlay/Overlay.h"
#include "services/render/Render.h"
#include "services/sound/SoundState.h"

void ResetGlobals() {
    // Actors first: their destructors still reach the other subsystems.
    Actors_Reset();
    Characters_Reset();
    FileActors_Reset();
    Script_Reset();
    App_Reset();
    KernelBase_Reset();
    Input_Reset();
    Engine_Reset();
    Overlay_Reset();
    Library_Reset();
    Render_Reset();
    Texture_Reset();
    Sound_Reset();
    SaveGame_Reset();
    MissionFlow_Reset();
}
