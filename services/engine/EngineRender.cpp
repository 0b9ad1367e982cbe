// The render service's operations under the engine's names.

#include "services/engine/Engine.h"

void CQVEngine::SetFarPlane(float distance) { render.SetFarPlane(distance); }
void CQVEngine::SetNearPlane(float distance) { render.SetNearPlane(distance); }
uint32_t CQVEngine::ForceRenderStates(uint32_t mask) { return render.ForceRenderStates(mask); }
void CQVEngine::SetRenderStateWord(uint32_t word) { render.SetRenderStateWord(word); }
CQVLibraryItem* CQVEngine::GetMaterialTexture(const CQVMaterialItem* material, uint32_t n) {
    return render.GetMaterialTexture(material, n);
}
void CQVEngine::ApplyMaterial(CQVMaterialItem* material, float alpha, int32_t lightMapId) {
    render.ApplyMaterial(material, alpha, lightMapId);
}
void CQVEngine::RestoreDeviceState() { render.RestoreDeviceState(); }

RenderItem* CQVEngine::CreateRenderItem(CQVMeshItem* mesh, uint32_t subset, CQVMaterialItem* material,
                                        const Matrix* world, uint32_t ownerId, float depthBias) {
    return render.CreateRenderItem(mesh, subset, material, world, ownerId, depthBias);
}
void CQVEngine::DestroyRenderItem(RenderItem* item) { render.DestroyRenderItem(item); }
void CQVEngine::QueueRenderItem(RenderItem* item, float frame, float alpha) { render.QueueRenderItem(item, frame, alpha); }
int CQVEngine::InsertRenderItem(RenderItem* item, uint32_t firstBucket) {
    return render.InsertRenderItem(item, firstBucket);
}
void CQVEngine::DrawRenderBuckets() { render.DrawRenderBuckets(); }
void CQVEngine::DrawRenderItemMesh(RenderItem* item) { render.DrawRenderItemMesh(item); }
void CQVEngine::PrepareRenderItems() { render.PrepareRenderItems(); }
void CQVEngine::SetBucketItemCallback(uint32_t bucket, RenderItemCallback callback) {
    render.SetBucketItemCallback(bucket, callback);
}
void CQVEngine::SetBucketBeginCallback(uint32_t bucket, RenderBucketCallback callback) {
    render.SetBucketBeginCallback(bucket, callback);
}
void CQVEngine::SetBucketEndCallback(uint32_t bucket, RenderBucketCallback callback) {
    render.SetBucketEndCallback(bucket, callback);
}
void CQVEngine::SetBucketCreateCallback(uint32_t bucket, RenderItemCallback callback) {
    render.SetBucketCreateCallback(bucket, callback);
}
void CQVEngine::SetBucketDestroyCallback(uint32_t bucket, RenderItemCallback callback) {
    render.SetBucketDestroyCallback(bucket, callback);
}
void CQVEngine::SetBucketNoLighting(uint32_t bucket, uint32_t value) { render.SetBucketNoLighting(bucket, value); }
void CQVEngine::SetBucketNoWorldTransform(uint32_t bucket, uint32_t value) {
    render.SetBucketNoWorldTransform(bucket, value);
}
void CQVEngine::SetBucketNoMaterial(uint32_t bucket, uint32_t value) { render.SetBucketNoMaterial(bucket, value); }
void CQVEngine::SetBucketNoMeshDraw(uint32_t bucket, uint32_t value) { render.SetBucketNoMeshDraw(bucket, value); }
void CQVEngine::SetBucketOption(uint32_t bucket, uint32_t value) { render.SetBucketOption(bucket, value); }

void CQVEngine::SetCameraPositionRotation(const Vector3& position, const Quaternion& rotation) {
    render.SetCameraPositionRotation(position, rotation);
}
void CQVEngine::SetCameraLookAt(const Vector3& eye, const Vector3& target, const Vector3& up) {
    render.SetCameraLookAt(eye, target, up);
}
void CQVEngine::GetCameraDirection(Vector3* direction) const { render.GetCameraDirection(direction); }
void CQVEngine::GetCameraUp(Vector3* up) const { render.GetCameraUp(up); }
void CQVEngine::SetFov(float angle) { render.SetFov(angle); }
void CQVEngine::SetAspectRatio(float ratio) { render.SetAspectRatio(ratio); }
int CQVEngine::IsSphereVisible(const Vector3& centre, float radius, float* depth, uint32_t fogFlag) const {
    return render.IsSphereVisible(centre, radius, depth, fogFlag);
}
void CQVEngine::SetFogColor(uint32_t argb) { render.SetFogColor(argb); }
void CQVEngine::SetFogEnable(uint32_t enable) { render.SetFogEnable(enable); }
void CQVEngine::SetFogNear(float distance) { render.SetFogNear(distance); }
void CQVEngine::SetFogFar(float distance) { render.SetFogFar(distance); }
void CQVEngine::SetGamma(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen,
                         float addBlue) {
    render.SetGamma(scaleRed, scaleGreen, scaleBlue, addRed, addGreen, addBlue);
}

CQVLightItem* CQVEngine::CreateLight() { return render.CreateLight(); }
void CQVEngine::DestroyLight(CQVLightItem* light) { render.DestroyLight(light); }
void CQVEngine::EnableLight(CQVLightItem* light, uint32_t on) { render.EnableLight(light, on); }
