#pragma once
// A light source in a level. Each Light owns one engine light and keeps its
// own copy of every parameter, so that it can be saved, copied and edited;
// it pushes the values into the engine light when they change, follows its
// actor's transform and fades in and out with the draw group above it.

#include "kernel/actors/Actor.h"
#include "platform/graphics/D3D8Types.h"

class CQVLightItem;

class CQVLight : public CQVActor {
public:
    CQVLight();
    ~CQVLight() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    // Sends every parameter (type, colours, world position and direction,
    // range, attenuations, cone) to the engine light and applies it.
    virtual void ApplyToRenderer();
    // Takes the engine light's type, colours, range and cone; the
    // attenuations stay the Light's own.
    virtual void ReadFromRenderer();
    static void RegisterProperties();

    bool IsOn() const { return (m_Activity & ACTIVITY_ENABLED) != 0; }
    // "Light Active": the switch, and the engine light with it.
    void SetOn(bool on);
    // The type as the sheet's choice counts it, from 0.
    uint32_t TypeChoice() const { return m_LightType - 1; }
    void SetTypeChoice(uint32_t choice);
    bool HasRange() const { return m_LightType != D3DLIGHT_DIRECTIONAL; }
    bool IsSpot() const { return m_LightType == D3DLIGHT_SPOT; }
    // A value just set, to the engine light (applied when the message is done).
    template <int Which>
    void SendColor();
    void SendRange();
    void SendFalloff();
    void SendTheta();
    void SendPhi();
    // The attenuations in their editing form.
    float AttenuationOffset();
    float AttenuationStrength();
    float AttenuationStyle();
    void SetAttenuationOffset(float offset);
    void SetAttenuationStrength(float strength);
    void SetAttenuationStyle(float style);

    // The three colours in the order the fades keep them.
    enum { DIFFUSE, SPECULAR, AMBIENT, COLOR_COUNT };

    CQVLightItem* m_RendererLight = nullptr; // owned
    uint32_t m_LightType = D3DLIGHT_POINT;
    D3DCOLORVALUE m_Colors[COLOR_COUNT];
    D3DCOLORVALUE m_FadeStart[COLOR_COUNT] = {};
    D3DCOLORVALUE m_FadeTarget[COLOR_COUNT] = {};
    D3DCOLORVALUE m_Current[COLOR_COUNT] = {};
    float m_Range = 200.0f;
    float m_Falloff = 0.0f;
    float m_ConeMin = 0.0f; // radians
    float m_ConeMax = 0.0f; // radians
    uint32_t m_ApplyPending = 0;
    // Constant, linear and quadratic attenuation relative to the range: the
    // engine light gets a1 / range and a2 / range², so a light keeps its look
    // when its range changes.
    float m_Attenuation[3] = {1.0f, 1.0f, 1.0f};
    // The editing form of the three: offset = a0, strength = a1 + a2,
    // style = a1 / (a1 + a2).
    float m_AttenuationOffset = 1.0f;
    float m_AttenuationStrength = 1.0f;
    float m_AttenuationStyle = 1.0f;

private:
    void EnsureRendererLight();
    void TurnOn();
    void TurnOff();
    void StartFade(bool in);
    void SendColors(const D3DCOLORVALUE* colors);
    void SendScaledAttenuations();
    void ToEditingForm();
    void FromEditingForm();
    // One value of the editing form changed, the stored attenuations with it.
    void ChangeEditingForm(float CQVLight::*value, float to);
};
