#pragma once
// A clock of its own for the actors connected to it, so that part of a level
// runs at its own speed; made global, it drives the global clock instead. It
// pumps its clock's timed messages through per-frame messages of its own,
// scheduled only while a channel of its clock holds work.

#include "kernel/actors/Actor.h"
#include "kernel/actors/TimedMessage.h"

#include <list>

class CQVTimeInstance : public CQVActor {
public:
    CQVTimeInstance();
    ~CQVTimeInstance() override;
    int HandleMessage(uint32_t id, MessageArgs args) override;
    static void RegisterProperties();

    float Multiplier() const { return m_Controlled->ownScale; }
    void SetMultiplier(float value) { m_Controlled->ownScale = value; }
    float SimMultiplier() const;
    void SetSimMultiplier(float value);
    bool IsGlobal() const { return (m_Controlled->flags & CLOCK_MANUAL) != 0; }
    void SetGlobal(bool global);
    bool CalcFromRawTime() const { return (m_Controlled->flags & CLOCK_GLOBAL_SPEED) != 0; }
    void SetCalcFromRawTime(bool raw);
    float GlobalTime() const { return m_Controlled->time; }
    void SetGlobalTime(float time);
    uint32_t ConnectedCount() const { return static_cast<uint32_t>(m_Connections.size()); }

    void Connect(CQVActor* actor);
    // 1 when the actor was connected (and is now on the global clock).
    int Unconnect(CQVActor* actor);

    // The clock the settings act on: the own one, or the global one while global.
    ActorClock* m_Controlled;
    ActorClock m_OwnClock;
    // The connected actors; a list, since each link is registered with its
    // target by its address.
    std::list<ActorLink> m_Connections;
    uint32_t m_ChannelMarks[TIMED_CHANNEL_COUNT] = {0, 0, 0, 0};

private:
    void Notify(const TimedMessage* record);
    void ProcessLayer(uint32_t channel);
    int Forget(const ActorLink* link);
};
