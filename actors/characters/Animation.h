#pragma once
// Plays one motion of the resource library on a subtree of actors: each
// track of the motion names an actor below the Animation actor, which takes
// the track's rotation, position and scale at the current time. Six play
// styles (once, loop and back and forth, each way), a speed, play, stop and
// reset, play on "Start Game", and an editor button that creates the actors
// the tracks name. The time advances in the update step.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <list>
#include <string>

class CQVMotionItem;
struct KeyTrack;

// Play styles.
enum : uint32_t {
    ANIMATION_FORWARD_ONCE = 0,
    ANIMATION_BACKWARD_ONCE = 1,
    ANIMATION_FORWARD_BACKWARD_ONCE = 2,
    ANIMATION_FORWARD_LOOP = 3,
    ANIMATION_BACKWARD_LOOP = 4,
    ANIMATION_FORWARD_BACKWARD_LOOP = 5,
};

// m_AnimFlags bits.
constexpr uint32_t ANIMATION_LOADED = 0x1;
constexpr uint32_t ANIMATION_PLAY_ON_START = 0x2;

// The playing bit is the second bit of the base actor's activity word.
constexpr uint32_t ANIMATION_PLAYING = ACTIVITY_ENABLED;

// One bound track: the actor it moves, held by a link, and the track.
struct AnimationBinding {
    ActorLink link;
    KeyTrack* track = nullptr;
};

class CQVAnimation : public CQVActor {
public:
    CQVAnimation();
    ~CQVAnimation() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    // Advances the time by the play style and poses the bound actors.
    void Update() override;
    static void RegisterProperties();

    bool IsPlaying() const { return (m_Activity & ANIMATION_PLAYING) != 0; }
    // Members the message table calls.
    void ApplyStyle();
    int SetTime(float time);
    // A name other than the one bound rebinds and starts at the beginning.
    void SetMotionName(const std::string& name);
    // A motion of no length stands at its start.
    float NormalizedTime() const { return m_TotalTime > 0.0f ? m_Time / m_TotalTime : 0.0f; }
    void SetNormalizedTime(float t) { SetTime(m_TotalTime * t); }

    std::list<AnimationBinding> m_Bindings;  // a list: the links must stay where they are
    std::string m_MotionName;
    CQVMotionItem* m_Motion = nullptr;
    float m_TotalTime = 0.0f;
    float m_Time = 0.0f;
    float m_ActionValue = 1.0f;
    uint32_t m_Style = ANIMATION_FORWARD_LOOP;
    uint32_t m_Direction = 0;  // 0 forward, 1 backward
    float m_Speed = 1.0f;
    uint32_t m_AnimFlags = 0;

private:
    void Bind();
    void ApplyPose();
    void AutoCreate();
    void Step(float dt);
    void CopyBindings(const CQVAnimation& source);
    CQVMotionItem* FindMotion() const;
};
