// The engine's services as the actor system's commands, its level change,
// the loading screen and the collision pass reach them.

#include "apps/game/ActorSystemServices.h"

#include "actors/scene/Camera.h"

#include "apps/game/GameMain.h"
#include "kernel/actors/ActorSystemHandler.h"
#include "kernel/actors/Collision.h"
#include "kernel/base/TextTable.h"
#include "kernel/fileactors/File.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/MeshShapes.h"
#include "services/storage/ScreenCapture.h"

#include <algorithm>

namespace {

CQVLibraryItem* FindItem(const char* name, int32_t kind) {
    CQVEngine* engine = CQVEngine::GetInstance();
    return engine ? engine->FindItem(name, kind) : nullptr;
}

void RestartVideo(CQVLibraryItem* item) {
    if (auto* texture = dynamic_cast<CQVTextureItem*>(item)) TextureItem_RestartVideo(texture);
}

void StopVideo(CQVLibraryItem* item) {
    if (auto* texture = dynamic_cast<CQVTextureItem*>(item)) TextureItem_StopVideo(texture);
}

void SetListenerEffect(uint32_t effect) {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetListenerEffect(effect);
}

void CloseWindow() {
    if (g_MainWindow) Platform_PostMessage(g_MainWindow, WM_CLOSE, 0, 0);
}

std::string LookupText(const char* key) {
    CQVTextTable* table = CQVTextTable::GetInstance();
    return table ? table->GetText(key) : std::string(key);
}

void GetViewport(int32_t* width, int32_t* height) {
    PlatformDevice* device = CQVGraphics::GetInstance() ? CQVGraphics::GetInstance()->GetDevice() : nullptr;
    D3DVIEWPORT8 viewport{};
    if (device && device->GetViewport(&viewport) == D3D_OK) {
        *width = static_cast<int32_t>(viewport.Width);
        *height = static_cast<int32_t>(viewport.Height);
    }
}

int BeginFrame() {
    CQVEngine* engine = CQVEngine::GetInstance();
    return engine ? engine->BeginFrame(1, 1) : 0;
}

void EndFrame() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->EndFrame(1);
}

void FillScreenRect(int32_t left, int32_t top, int32_t right, int32_t bottom, const float color[4]) {
    if (CQVEngine* engine = CQVEngine::GetInstance()) {
        engine->FillScreenRect(left, top, right, bottom, color[0], color[1], color[2], color[3]);
    }
}

// The loading screen's quads and text go through the engine's overlay queues.
void AddOverlayQuad(float x, float y, float w, float h, const float color[4], CQVLibraryItem* material) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr || material == nullptr || material->kind != LIBRARY_MATERIAL) return;
    engine->AddQuad(x, y, w, h, color[0], color[1], color[2], color[3], static_cast<CQVMaterialItem*>(material));
}

void AddOverlayText(float x, float y, const float color[4], const char* text, uint32_t flags) {
    if (CQVEngine* engine = CQVEngine::GetInstance())
        engine->AddText(x, y, color[0], color[1], color[2], color[3], text, flags);
}

void DrawOverlays() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) {
        engine->DrawQuads(1);
        engine->DrawTexts(1);
    }
}

CQVMeshItem* MeshItem(uint32_t id) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr || !engine->IsValidItemId(id)) return nullptr;
    return dynamic_cast<CQVMeshItem*>(engine->GetItem(id));
}

int MeshBounds(uint32_t id, Vector3* min, Vector3* max) {
    CQVMeshItem* mesh = MeshItem(id);
    if (mesh == nullptr || mesh->subsets.empty()) return 0;
    *min = mesh->subsets[0].box.min;
    *max = mesh->subsets[0].box.max;
    for (const MeshSubset& subset : mesh->subsets) {
        Vec3_Minimize(min, *min, subset.box.min);
        Vec3_Maximize(max, *max, subset.box.max);
    }
    return 1;
}

MeshSubset* Subset(CQVMeshItem* mesh, uint32_t index) {
    return mesh && index < mesh->subsets.size() ? &mesh->subsets[index] : nullptr;
}

int MeshSweepSphere(uint32_t id, uint32_t index, const Vector3& centre, float radius, Vector3* push) {
    CQVMeshItem* mesh = MeshItem(id);
    MeshSubset* subset = Subset(mesh, index);
    if (subset == nullptr || index >= mesh->subsetInfos.size()) return 0;
    return Shape_SweepSphere(subset, mesh->subsetInfos[index].shapeType, centre, radius, push);
}

int MeshFindGround(uint32_t id, uint32_t index, const Vector3& p, Vector3* point, Vector3* normal,
                   uint32_t* cachedTriangle) {
    MeshSubset* subset = Subset(MeshItem(id), index);
    return subset ? Subset_IntersectPoint(*subset, SURFACE_AXES_XZ, p, point, normal, cachedTriangle) : 0;
}

void PrepareDraws() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->PrepareRenderItems();
}

}  // namespace

void ActorSystemServices_Install() {
    ActorSystemServices& services = g_ActorSystemServices;
    services.findItem = &FindItem;
    services.loadItem = &Library_LoadItem;
    services.unloadItem = &Library_UnloadItem;
    services.restartVideo = &RestartVideo;
    services.stopVideo = &StopVideo;
    services.setListenerEffect = &SetListenerEffect;
    services.closeWindow = &CloseWindow;
    services.captureBackBuffer = &Screen_CaptureBackBuffer;
    services.saveCapture = &Screen_SaveCapture;
    services.lookupText = &LookupText;
    services.getViewport = &GetViewport;
    services.beginFrame = &BeginFrame;
    services.endFrame = &EndFrame;
    services.fillScreenRect = &FillScreenRect;
    services.clearFileCounts = &FileCountTable_Clear;
    services.addQuad = &AddOverlayQuad;
    services.addText = &AddOverlayText;
    services.drawOverlays = &DrawOverlays;
    services.markCameraGammaChanged = &Camera_MarkGammaChanged;
    services.prepareDraws = &PrepareDraws;

    g_CollisionMeshCalls.getBounds = &MeshBounds;
    g_CollisionMeshCalls.sweepSphere = &MeshSweepSphere;
    g_CollisionMeshCalls.findGround = &MeshFindGround;
    if (CQVEngine* engine = CQVEngine::GetInstance()) g_CollisionWorldUnit = engine->worldScale;
}
