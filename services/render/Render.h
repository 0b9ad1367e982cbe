#pragma once
// The render service: the view (camera, projection, culling frames, fog
// and gamma), the render queue, the lights and the material applier. One
// object per process, made on first use, so code without a device (tools,
// headless tests) calls it as the game does; its device work is skipped
// while no device exists.

#include "kernel/base/Maths.h"
#include "services/render/Lights.h"
#include "services/render/Material.h"
#include "services/render/RenderQueue.h"

#include <cstdint>
#include <string>
#include <vector>

class CQVLibraryItem;
class CQVLightItem;
class CQVMaterialItem;
class CQVMeshItem;
class PlatformDevice;

// A material blend mode; the code is what the material code turns into device states.
struct BlendModeDesc {
    std::string name;
    uint32_t code;
    uint32_t available;
};

// The view's state: camera, projection, culling frames, fog and gamma.
struct ViewState {
    float fieldOfView = 1.5707964f;
    float aspectRatio = 1.3333334f;
    float nearPlane = 10.0f;
    float farPlane = 4000.0f;
    float projectionFar = 4000.0f;
    uint32_t fogColor = 0;
    uint32_t fogEnabled = 0;
    float fogNear = 0.0f;
    float fogFar = 0.0f;
    Vector3 cameraPosition{0, 0, 0};
    Quaternion cameraRotation{0, 0, 0, 1};
    Vector3 cameraTarget{0, 0, 0};
    Matrix viewMatrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    Matrix sideFrames[4]{};
    float gammaScale[3] = {1.0f, 1.0f, 1.0f};
    float gammaAdd[3] = {0.0f, 0.0f, 0.0f};
};

// Finds the library item at an id for the material applier (textures and
// light maps); installed by whoever owns the library.
using RenderItemLookup = CQVLibraryItem* (*)(uint32_t id);

class CQVRender {
public:
    // The one render service; made on first use and kept for the process.
    static CQVRender& Get();

    // The library lookup the material applier binds textures through;
    // without one no texture is bound.
    void SetItemLookup(RenderItemLookup lookup) { itemLookup = lookup; }
    CQVLibraryItem* LookUpItem(uint32_t id) const { return itemLookup != nullptr ? itemLookup(id) : nullptr; }

    // The view (View.cpp).
    void SetCameraPositionRotation(const Vector3& position, const Quaternion& rotation);
    void SetCameraLookAt(const Vector3& eye, const Vector3& target, const Vector3& up);
    void GetCameraDirection(Vector3* direction) const;
    void GetCameraUp(Vector3* up) const;
    const Vector3* GetCameraPosition() const { return &view.cameraPosition; }
    const Vector3* GetCameraTarget() const { return &view.cameraTarget; }
    // Stores three quarters of the angle as the vertical field of view.
    void SetFov(float angle);
    void SetAspectRatio(float ratio);
    void SetFarPlane(float distance);
    void SetNearPlane(float distance);
    // 1 visible, 0 culled; the centre's view depth goes to depth when given.
    int IsSphereVisible(const Vector3& centre, float radius, float* depth, uint32_t fogFlag) const;
    void SetFogColor(uint32_t argb);
    void SetFogEnable(uint32_t enable);
    void SetFogNear(float distance);
    void SetFogFar(float distance);
    float GetFogFar() const { return view.fogFar; }
    void SetGamma(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen, float addBlue);
    // After a device reset: the lights and the fog set on the device again.
    void RestoreDeviceState();
    const ViewState& View() const { return view; }
    ViewState& View() { return view; }

    // The render queue (RenderQueue.cpp).
    RenderItem* CreateRenderItem(CQVMeshItem* mesh, uint32_t subset, CQVMaterialItem* material, const Matrix* world,
                                 uint32_t ownerId, float depthBias);
    void DestroyRenderItem(RenderItem* item);
    void QueueRenderItem(RenderItem* item, float frame, float alpha);
    int InsertRenderItem(RenderItem* item, uint32_t firstBucket);
    void DrawRenderBuckets();
    void DrawRenderItemMesh(RenderItem* item);
    void PrepareRenderItems();
    void SetBucketItemCallback(uint32_t bucket, RenderItemCallback callback);
    void SetBucketBeginCallback(uint32_t bucket, RenderBucketCallback callback);
    void SetBucketEndCallback(uint32_t bucket, RenderBucketCallback callback);
    void SetBucketCreateCallback(uint32_t bucket, RenderItemCallback callback);
    void SetBucketDestroyCallback(uint32_t bucket, RenderItemCallback callback);
    void SetBucketNoLighting(uint32_t bucket, uint32_t value);
    void SetBucketNoWorldTransform(uint32_t bucket, uint32_t value);
    void SetBucketNoMaterial(uint32_t bucket, uint32_t value);
    void SetBucketNoMeshDraw(uint32_t bucket, uint32_t value);
    void SetBucketOption(uint32_t bucket, uint32_t value);
    RenderQueueState& Queue() { return queue; }

    // Materials (Material.cpp). The material, faded by alpha, with the
    // subset's light map (-1 none) on stage 1.
    void ApplyMaterial(CQVMaterialItem* material, float alpha, int32_t lightMapId);
    // Sets the device states of the word's groups that changed since the last word or are forced.
    void SetRenderStateWord(uint32_t word);
    // Bits of the material render-state word that the next material must set again.
    uint32_t ForceRenderStates(uint32_t mask);
    // The material's n-th texture item; null for null, no such texture or an empty slot.
    CQVLibraryItem* GetMaterialTexture(const CQVMaterialItem* material, uint32_t n);
    const std::vector<BlendModeDesc>& BlendModes() const { return blendModes; }
    MaterialState& Materials() { return materials; }

    // The lights (Lights.cpp).
    CQVLightItem* CreateLight();
    void DestroyLight(CQVLightItem* light);
    void EnableLight(CQVLightItem* light, uint32_t on);
    CQVLightItem* GetLocalLight(uint32_t index) { return lights.localLights[index]; }
    LightState& Lights() { return lights; }

private:
    CQVRender();
    void ApplyProjection(float farValue);
    void RebuildSideFrames();
    friend void View_Reset();

    ViewState view;
    RenderQueueState& queue;
    LightState& lights;
    MaterialState& materials;
    std::vector<BlendModeDesc> blendModes;
    RenderItemLookup itemLookup = nullptr;
};

// The view back to its start values (camera at the origin, default
// projection, no fog, gamma 1).
void View_Reset();

// Every part of the render service back to its start: view, queue, lights, materials.
void Render_Reset();
