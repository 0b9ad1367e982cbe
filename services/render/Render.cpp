#include "services/render/Render.h"

#include "services/library/LibraryItem.h"

namespace {

// A material that goes is forgotten as the last applied one.
void ForgetReleasedMaterial(const CQVMaterialItem* material) {
    MaterialState& state = CQVRender::Get().Materials();
    if (state.lastMaterial == material) state.lastMaterial = nullptr;
}

}  // namespace

CQVRender::CQVRender() : queue(g_RenderQueue), lights(g_LightState), materials(g_MaterialState) {
    blendModes = {{"Normal", 0x19, 1},
                  {"Texture Alpha", 0x0D, 1},
                  {"Multiply", 0x0B, 1},
                  {"Add", 0x0A, 1},
                  {"* Env", 0x2019, 1},
                  {"* Add Env", 0x201A, 1},
                  {"* 1(Normal) <ADD> 2(ENV)", 0x4219, 1},
                  {"* 1(ENV) <Texture2Alpha> 2", 0x2619, 1}};
    CQVMaterialItem::releaseHook = &ForgetReleasedMaterial;
}

CQVRender& CQVRender::Get() {
    static CQVRender render;
    return render;
}

void Render_Reset() {
    View_Reset();
    RenderQueue_Reset();
    Lights_Reset();
    Material_Reset();
}
