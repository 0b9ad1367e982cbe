#include "actors/gameplay/UISprite.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/render/View.h"

#include <cstdio>

namespace {

constexpr MessageRow kUISpriteRows[] = {
    SheetRow("UI Sprite Properties", PROP_TITLE),
    FieldRow<&CQVUISprite::m_Type>(MSG_SET_UI_SPRITE_TYPE, MSG_GET_UI_SPRITE_TYPE, "Type:|Type0|0|", PROP_CHOICE),
    FieldRow<&CQVUISprite::m_MaterialId>(MSG_SET_UI_SPRITE_MATERIAL_ID, MSG_GET_UI_SPRITE_MATERIAL, "Material:",
                                         PROP_ICON)
        .StoredBy<&CQVUISprite::SetMaterialId>(),
    // The material by its name; the get answers the id.
    MemberRow<nullptr, &CQVUISprite::SetMaterialByName>(MSG_SET_UI_SPRITE_MATERIAL, 0),
    FieldRow<&CQVUISprite::m_Color>(MSG_SET_UI_SPRITE_COLOR, MSG_GET_UI_SPRITE_COLOR, "Color:", PROP_COLOR),
    FieldRow<&CQVUISprite::m_Width>(MSG_SET_UI_SPRITE_WIDTH, MSG_GET_UI_SPRITE_WIDTH, "Width:", PROP_REAL),
    FieldRow<&CQVUISprite::m_Height>(MSG_SET_UI_SPRITE_HEIGHT, MSG_GET_UI_SPRITE_HEIGHT, "Height:", PROP_REAL),
    FieldRow<&CQVUISprite::m_AlignX>(MSG_SET_UI_SPRITE_ALIGN_X, MSG_GET_UI_SPRITE_ALIGN_X,
                                     "Align X:|Left|0|Center|1|Right|2|", PROP_CHOICE),
    FieldRow<&CQVUISprite::m_AlignY>(MSG_SET_UI_SPRITE_ALIGN_Y, MSG_GET_UI_SPRITE_ALIGN_Y,
                                     "Align Y:|Top|0|Middle|1|Bottom|2|", PROP_CHOICE),
    FieldRow<&CQVUISprite::m_Style>(MSG_SET_UI_SPRITE_ORIENTATION_STYLE, MSG_GET_UI_SPRITE_ORIENTATION_STYLE,
                                    "Orientation Style:|2D Label|0|3D Label|1|3D|2|", PROP_CHOICE)
        .StoredBy<&CQVUIVisual::SetOrientationStyle>(),
    // The two distance rows are labelled the other way round.
    FieldRow<&CQVUISprite::m_FadeDistance>(MSG_SET_UI_SPRITE_3D_LABEL_FADE_DISTANCE,
                                           MSG_GET_UI_SPRITE_3D_LABEL_FADE_DISTANCE, "3D Label Max Dist:", PROP_REAL),
    FieldRow<&CQVUISprite::m_MaxDistance>(MSG_SET_UI_SPRITE_3D_LABEL_MAX_DISTANCE,
                                          MSG_GET_UI_SPRITE_3D_LABEL_MAX_DISTANCE, "3D Label Fade Dist:", PROP_REAL),
    FieldRow<&CQVUISprite::m_Cursor>(MSG_SET_UI_SPRITE_CURSOR, MSG_GET_UI_SPRITE_CURSOR, "Cursor", PROP_CHECK),
    MemberRow<&CQVUIVisual::Visible, &CQVUIVisual::SetVisible>(MSG_SET_UI_SPRITE_VISIBLE, MSG_GET_UI_SPRITE_VISIBLE,
                                                               "Visible", PROP_CHECK),
};

constexpr MessageTable kUISpriteMessages{kUISpriteRows,
                                         CopiedFields<&CQVUISprite::m_Material, &CQVUIVisual::m_ActionValue>()};

// Versions of the actor file that added fields.
constexpr uint32_t VERSION_COLOR = 26;
constexpr uint32_t VERSION_CURSOR = 30;
constexpr uint32_t VERSION_VISIBLE = 31;
constexpr uint32_t VERSION_LABELS = 60;
// A material name in a file must fit this buffer with its terminator.
constexpr uint32_t MATERIAL_NAME_CAPACITY = 256;

CQVMaterialItem* AsMaterial(CQVLibraryItem* item) {
    return item && item->kind == LIBRARY_MATERIAL ? static_cast<CQVMaterialItem*>(item) : nullptr;
}

}  // namespace

CQVUISprite::CQVUISprite() { m_ClassType = CLASS_UI_SPRITE; }

void CQVUISprite::SetMaterialByName(const char* name) {
    CQVEngine* engine = CQVEngine::GetInstance();
    CQVMaterialItem* material = engine ? AsMaterial(engine->FindItem(name, LIBRARY_MATERIAL)) : nullptr;
    if (material == nullptr) return;
    m_Material = material;
    // Its textures are made now, not on the frame that first draws them.
    Library_LoadItem(material);
    if (material->id != LIBRARY_NO_ITEM) m_MaterialId = static_cast<int32_t>(material->id);
}

void CQVUISprite::SetMaterialId(int32_t id) {
    m_MaterialId = id;
    CQVEngine* engine = CQVEngine::GetInstance();
    m_Material = engine && id >= 0 ? AsMaterial(engine->UseItem(static_cast<uint32_t>(id))) : nullptr;
    if (m_Material) Library_LoadItem(m_Material);
}

UIRectF CQVUISprite::Rect() {
    const Matrix& m = GetWorldMatrix();
    const float width = m.m[0][0] * m_Width;
    const float height = m.m[1][1] * m_Height;
    const float x = m.m[3][0] - UI_AlignOffset(m_AlignX, width);
    const float y = m.m[3][1] - UI_AlignOffset(m_AlignY, height);
    return UIRectF{x, y, x + width, y + height};
}

CQVTextureItem* CQVUISprite::MovieTexture() const {
    CQVEngine* engine = CQVEngine::GetInstance();
    CQVLibraryItem* texture = engine ? engine->GetMaterialTexture(m_Material, 0) : nullptr;
    return texture && texture->kind == LIBRARY_TEXTURE ? static_cast<CQVTextureItem*>(texture) : nullptr;
}

int CQVUISprite::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kUISpriteMessages.Apply(*this, id, args); row.Ends()) return row.result;
    if (HandleVisualMessage(id, args)) return CQVActor::HandleMessage(id, args);
    switch (id) {
    case MSG_SET_RESOURCE:
        SetMaterialByName(Args_TextOr(args));
        break;
    case MSG_UI_RECT_FLOAT:
        if (auto* rect = Args_Pointer<UIRectF>(id, args)) *rect = Rect();
        break;
    case MSG_UI_RECT:
        if (auto* rect = Args_Pointer<UIRect>(id, args)) {
            const UIRectF r = Rect();
            *rect = UIRect{UI_Truncate(r.left), UI_Truncate(r.top), UI_Truncate(r.right), UI_Truncate(r.bottom)};
        }
        break;
    case MSG_UI_SPRITE_PLAY_MOVIE:
        if (CQVTextureItem* texture = MovieTexture()) TextureItem_RestartVideo(texture);
        break;
    case MSG_UI_SPRITE_STOP_MOVIE:
    case MSG_UI_SPRITE_PAUSE_MOVIE:
        if (CQVTextureItem* texture = MovieTexture()) TextureItem_StopVideo(texture);
        break;
    case MSG_PRECALCULATE:
        if (m_Material) Library_LoadItem(m_Material);
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVUISprite*>(Args_Pointer<CQVActor>(id, args)); source && source != this)
            kUISpriteMessages.Copy(*this, *source);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVUISprite::Update() {
    if (!IsOperational()) return;
    CQVEngine* engine = CQVEngine::GetInstance();
    if ((m_Activity & ACTIVITY_ENABLED) && m_Material && engine) {
        const Matrix& m = GetWorldMatrix();
        if (m_Style == UI_STYLE_2D && !m_Cursor) {
            const float x0 = -UI_AlignOffset(m_AlignX, m_Width), x1 = x0 + m_Width;
            const float y0 = -UI_AlignOffset(m_AlignY, m_Height), y1 = y0 + m_Height;
            // Top left, top right, bottom left, bottom right.
            const float local[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
            float corner[4][2];
            for (int i = 0; i < 4; ++i) {
                corner[i][0] = m.m[0][0] * local[i][0] + m.m[0][1] * local[i][1] + m.m[3][0];
                corner[i][1] = m.m[1][0] * local[i][0] + m.m[1][1] * local[i][1] + m.m[3][1];
            }
            engine->AddQuadCorners(corner[0][0], corner[0][1], corner[1][0], corner[1][1], corner[2][0], corner[2][1],
                                   corner[3][0], corner[3][1], 0.0f, 0.0f, 1.0f, 1.0f, m_Color[0], m_Color[1],
                                   m_Color[2], m_Color[3] * m_ActionValue, m_Material);
        } else if (m_Style == UI_STYLE_2D) {
            engine->SetSpriteQuad(m.m[3][0], m.m[3][1], m_Material);
        } else {
            const Vector3 position(m.m[3][0], m.m[3][1], m.m[3][2]);
            const float fade = LabelFade(position);
            if (fade * m_ActionValue > 0.0f) {
                Vector3 screen = position;
                Camera_ProjectToScreen(&screen);
                engine->AddQuadUV(screen.x - UI_AlignOffset(m_AlignX, m_Width),
                                  screen.y - UI_AlignOffset(m_AlignY, m_Height), m_Width, m_Height, 0.0f, 0.0f, 1.0f,
                                  1.0f, m_Color[0], m_Color[1], m_Color[2], m_Color[3] * fade * m_ActionValue,
                                  m_Material);
            }
        }
    }
    CQVActor::Update();
}

int CQVUISprite::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        archive->SerializeDword(&m_Type);
        archive->SerializeDword(&m_MaterialId);
        archive->SerializeDword(&m_Width);
        archive->SerializeDword(&m_Height);
    }
    if (version >= VERSION_COLOR) {
        archive->SerializeDwords(m_Color, 4);
        archive->SerializeDword(&m_AlignX);
    }
    if (version >= VERSION_CURSOR) archive->SerializeDword(&m_Cursor);
    SerializeVisibleWord(archive, VERSION_VISIBLE);
    char materialName[MATERIAL_NAME_CAPACITY] = {};
    if (!reading || version < VERSION_LABELS)
        std::snprintf(materialName, sizeof materialName, "%s", UI_ItemName(m_MaterialId));
    if (version >= VERSION_LABELS) {
        archive->SerializeDword(&m_Style);
        archive->SerializeDword(&m_MaxDistance);
        archive->SerializeDword(&m_FadeDistance);
        archive->SerializeDword(&m_AlignY);
        // A stored name too long for the buffer is skipped: the sprite has no material.
        archive->SerializeCString(materialName, sizeof materialName);
    }
    if (reading) {
        CQVEngine* engine = CQVEngine::GetInstance();
        m_Material = engine && materialName[0] ? AsMaterial(engine->FindItem(materialName, LIBRARY_MATERIAL)) : nullptr;
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVUISprite::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_UI_SPRITE];
    record.Define("UI Sprite", "UI Sprite", {CLASS_BASE, CLASS_UI_SPRITE});
    kUISpriteMessages.AddSheet(record);
}
