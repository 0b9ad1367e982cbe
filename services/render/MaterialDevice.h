#pragma once
// Every device state the material code sets passes through these calls, so
// that a run can be recorded call by call: tests compare the exact state
// sequences a material produces, and a recording shows what a frame's
// materials changed. Without a recording they go straight to the device.

#include "platform/graphics/GraphicsDevice.h"

#include <cstdint>
#include <vector>

struct MaterialDeviceCall {
    enum Kind : uint32_t { RENDER_STATE, STAGE_STATE, TRANSFORM, MATERIAL, TEXTURE };
    Kind kind;
    uint32_t stage;  // texture stage; 0 for render states, transforms and the material
    uint32_t type;   // the state or transform
    uint32_t value;  // the state's value; for a texture, the texture item's id (0xFFFFFFFF none)
    D3DMATRIX matrix;        // transforms
    D3DMATERIAL8 material;   // the material

    bool operator==(const MaterialDeviceCall& other) const;
};

// Set while a recording runs; the calls are appended to it.
extern std::vector<MaterialDeviceCall>* g_MaterialCallLog;

class MaterialDevice {
public:
    explicit MaterialDevice(PlatformDevice* device) : m_Device(device) {}
    void RenderState(D3DRENDERSTATETYPE state, uint32_t value);
    void StageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value);
    void Transform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix);
    void Material(const D3DMATERIAL8& material);
    // Records the texture item bound to a stage; the binding itself is the caller's.
    static void RecordTexture(uint32_t stage, uint32_t itemId);
    void NoTexture(uint32_t stage);

private:
    PlatformDevice* m_Device;
};
