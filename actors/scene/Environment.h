#pragma once
// The world's ambient light, gravity, air resistance, wind and fog. The
// system Environment (id 14, under "Global") is the only one that hands its
// values to the engine; any other Environment in a level is a preset that
// copies its values into the system one when activated.

#include "kernel/actors/Actor.h"

class CQVEnvironment : public CQVActor {
public:
    CQVEnvironment();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // A colour channel as the engine takes it: 0 to 255, rounded.
    static uint32_t PackColor(const float color[4]);
    // A value just set, to the engine (the fog colour is the clear colour too).
    void SendAmbient();
    void SendFogEnable();
    void SendFogNear();
    void SendFogFar();
    void SendFogColor();

    float m_Ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float m_Gravity = 9.81f;
    float m_AirResistance = 1.0f;
    Vector3 m_Wind = Vector3(0.0f, 0.0f, 0.0f);
    uint32_t m_FogEnable = 0;
    float m_FogColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // also the colour each frame is cleared with
    float m_FogNear = 1.0f;
    float m_FogFar = 5000.0f;

private:
    bool IsSystemEnvironment() const;
    // Ambient light, fog and clear colour to the engine; the clear colour
    // last or before the fog distances.
    void PushToEngine(bool clearColorLast);
    void Activate();
    void Deactivate();
};

// The system Environment's values, for the particles and the simulation;
// the class defaults while it does not exist.
float Environment_GetGravity();
float Environment_GetAirResistance();
Vector3 Environment_GetWind();
