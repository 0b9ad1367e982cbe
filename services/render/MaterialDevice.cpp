#include "services/render/MaterialDevice.h"

#include <cstring>

std::vector<MaterialDeviceCall>* g_MaterialCallLog = nullptr;

namespace {

void Record(MaterialDeviceCall::Kind kind, uint32_t stage, uint32_t type, uint32_t value,
            const D3DMATRIX* matrix = nullptr, const D3DMATERIAL8* material = nullptr) {
    if (g_MaterialCallLog == nullptr) return;
    MaterialDeviceCall call{};
    call.kind = kind;
    call.stage = stage;
    call.type = type;
    call.value = value;
    if (matrix) call.matrix = *matrix;
    if (material) call.material = *material;
    g_MaterialCallLog->push_back(call);
}

}  // namespace

bool MaterialDeviceCall::operator==(const MaterialDeviceCall& other) const {
    return kind == other.kind && stage == other.stage && type == other.type && value == other.value &&
           std::memcmp(&matrix, &other.matrix, sizeof matrix) == 0 &&
           std::memcmp(&material, &other.material, sizeof material) == 0;
}

void MaterialDevice::RenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    Record(MaterialDeviceCall::RENDER_STATE, 0, state, value);
    m_Device->SetRenderState(state, value);
}

void MaterialDevice::StageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    Record(MaterialDeviceCall::STAGE_STATE, stage, type, value);
    m_Device->SetTextureStageState(stage, type, value);
}

void MaterialDevice::Transform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix) {
    Record(MaterialDeviceCall::TRANSFORM, 0, type, 0, &matrix);
    m_Device->SetTransform(type, &matrix);
}

void MaterialDevice::Material(const D3DMATERIAL8& material) {
    Record(MaterialDeviceCall::MATERIAL, 0, 0, 0, nullptr, &material);
    m_Device->SetMaterial(&material);
}

void MaterialDevice::RecordTexture(uint32_t stage, uint32_t itemId) {
    Record(MaterialDeviceCall::TEXTURE, stage, 0, itemId);
}

void MaterialDevice::NoTexture(uint32_t stage) {
    RecordTexture(stage, 0xFFFFFFFF);
    m_Device->SetTexture(stage, nullptr);
}
