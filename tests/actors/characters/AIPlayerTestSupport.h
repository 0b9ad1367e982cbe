#pragma once
// AI Players on real Characters: bodies with the figure's skin on the floor
// of the level fixture, run frame by frame on a fixed clock through the
// timed messages and the collision pass. The bodies' walks carry them along
// -z, the side the controller steers their heading to face.

#include "actors/characters/AIHelper.h"
#include "actors/characters/AIPlayer.h"
#include "tests/actors/characters/CharacterTestSupport.h"

#include <cmath>

inline const std::vector<CharacterMotion>& AIBodyMotions() {
    static const std::vector<CharacterMotion> motions = {
        {"N_Neutral", 1.0f},
        {"N_Forward", 1.0f, Vector3(0.0f, 0.0f, -120.0f)},
        {"R_Forward", 0.6f, Vector3(0.0f, 0.0f, -216.0f)},
        {"M_Neutral", 0.5f},
        {"M_Forward", 0.5f},
        {"M_Back", 0.5f},
        {"M_Left", 0.5f},
        {"M_Right", 0.5f},
        {"M_Attack0", 0.5f},
        {"M_Attack1", 0.5f},
        {"M_Attack2", 0.5f},
        {"M_Attack3", 0.5f},
        {"N_Gethit0", 0.5f},
        {"N_Damage0", 0.5f},
        {"N_Action", 0.5f},
        {"N_Die0", 1.0f},
        {"N_Dead0", 1.0f},
    };
    return motions;
}

// The events an AI Player raises about its states.
inline const std::vector<uint32_t>& AIStateEvents() {
    static const std::vector<uint32_t> events = {
        MSG_ON_AI_PLAYER_START_FOLLOW,  MSG_ON_AI_PLAYER_STOP_FOLLOW,  MSG_ON_AI_PLAYER_FOLLOW_TO_IDLE,
        MSG_ON_AI_PLAYER_FOLLOW_TO_SCARED, MSG_ON_AI_PLAYER_FOLLOW_TO_FIGHT, MSG_ON_AI_PLAYER_START_SCARED,
        MSG_ON_AI_PLAYER_STOP_SCARED,   MSG_ON_AI_PLAYER_SCARED_TO_IDLE, MSG_ON_AI_PLAYER_SCARED_TO_FOLLOW,
        MSG_ON_AI_PLAYER_START_FIGHT,   MSG_ON_AI_PLAYER_STOP_FIGHT,   MSG_ON_AI_PLAYER_START_IDLE,
        MSG_ON_AI_PLAYER_STOP_IDLE,     MSG_ON_AI_PLAYER_IDLE_TO_FOLLOW, MSG_ON_AI_PLAYER_START_DEAD,
        MSG_ON_AI_PLAYER_STOP_DEAD,     MSG_ON_AI_PLAYER_NOT_DRAWN_TIMER,
    };
    return events;
}

class AIPlayerFixture : public CharacterLevelFixture {
protected:
    // A body of the level standing at the place, in the groups of the mask.
    CQVCharacter* Body(const char* name, const Vector3& at, uint32_t groups = 0) {
        CQVCharacter* body = MakeCharacter(name, AIBodyMotions());
        if (body == nullptr) return nullptr;
        Send<uint32_t>(body, MSG_SET_MASTER, 1);
        Send(body, MSG_SET_POSITION, at);
        Send(body, MSG_SET_HEALTH, 99.0f);
        Send(body, MSG_SET_CHARACTERGROUP, groups);
        Send(body, MSG_SET_HOLD_TIME, 0.0f);
        return body;
    }

    // An AI Player under the body, bound to it as a loaded level binds it.
    CQVAIPlayer* Controller(CQVCharacter* body) {
        auto* ai = static_cast<CQVAIPlayer*>(Make(CLASS_AI_PLAYER, "AI", body));
        if (ai) ai->HandleMessage(MSG_PRECALCULATE, nullptr);
        return ai;
    }

    // A collision volume of the body: a box of the half size about its centre.
    static ColObj& AddVolume(CQVCharacter* body, const char* name, float half, uint32_t flags) {
        ColObj volume;
        volume.name = name;
        volume.flags = flags;
        volume.boxMin = Vector3(-half, -half, -half);
        volume.boxMax = Vector3(half, half, half);
        volume.owner = body;
        volume.UpdateDerivedGroups(CLASS_CHARACTER);
        body->m_ColObjs.push_back(volume);
        return body->m_ColObjs.back();
    }

    // The events the AI Player raised since the last call, by id.
    std::vector<uint32_t> Events() {
        std::vector<uint32_t> ids;
        if (spy) {
            for (const SpiedMessage& m : spy->seen) ids.push_back(m.id);
            spy->seen.clear();
        }
        return ids;
    }
    void WatchEvents(CQVActor* ai) { Watch({ai}, AIStateEvents()); }

    // Frames until the time has passed.
    static void Seconds(float seconds) { Frames(static_cast<int>(std::lround(seconds / kFrame))); }
};
