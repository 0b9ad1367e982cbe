#pragma once
// One textured rectangle with a material of the resource library: menu
// backgrounds, frames, icons, HUD bars, the mouse cursor (drawn through the
// engine's single sprite slot) and labels over points of the 3D scene. A
// material whose first texture is a video makes it a movie screen.

#include "actors/gameplay/UIVisual.h"

class CQVMaterialItem;
class CQVTextureItem;

class CQVUISprite : public CQVUIVisual {
public:
    CQVUISprite();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    void SetMaterialByName(const char* name);
    void SetMaterialId(int32_t id);
    // The rectangle in the parent's scale, aligned; unrounded.
    UIRectF Rect();
    // The material's first texture, when it is a texture item.
    CQVTextureItem* MovieTexture() const;

    uint32_t m_Type = 0;
    int32_t m_MaterialId = -1;
    CQVMaterialItem* m_Material = nullptr;
    float m_Color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float m_Width = 64.0f;
    float m_Height = 64.0f;
    uint32_t m_AlignX = UI_ALIGN_START;
    uint32_t m_AlignY = UI_ALIGN_START;
    uint32_t m_Cursor = 0;
};
