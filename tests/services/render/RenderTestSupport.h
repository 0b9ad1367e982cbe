#pragma once
// The engine on a 160x120 window device for every render test of the
// binary; each test starts from reset globals with fresh buckets, the camera
// at the origin looking along +z, fog off and no lights.

#include "services/render/Render.h"
#include "services/render/View.h"
#include "services/render/Lights.h"
#include "services/render/RenderQueue.h"
#include "tests/support/ResetGlobals.h"
#include "tools/fixtures/RenderScene.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// Another fixture of the binary may have made the device first: the tests
// take the back buffer's size as it is.
constexpr uint32_t kRenderTestWidth = 160;
constexpr uint32_t kRenderTestHeight = 120;

class RenderTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_EQ(RenderScene_StartEngine(kRenderTestWidth, kRenderTestHeight, &error), 1) << error;
    }
    void SetUp() override {
        ResetGlobals();
        engine = CQVEngine::GetInstance();
        ASSERT_EQ(RenderQueue_CreateBuckets(CQVRender::Get().Queue()), 1);
        engine->SetFogEnable(0);
        engine->SetFogNear(0.0f);
        engine->SetFogFar(0.0f);
        engine->SetAspectRatio(4.0f / 3.0f);
        engine->SetFov(1.5707964f);
        engine->SetFarPlane(4000.0f);
        engine->SetNearPlane(1.5f);
        Quaternion identity{0, 0, 0, 1};
        engine->SetCameraPositionRotation(Vector3(0, 0, 0), identity);
        engine->SetAmbientColor(0, 0, 0, 0);
        // Earlier tests left their own states on the device: the first
        // material sets all of its states again.
        engine->ForceRenderStates(0xFFFFFFFF);
        const D3DPRESENT_PARAMETERS& p = RenderScene_Device()->GetPresentParameters();
        width = static_cast<int>(p.BackBufferWidth);
        height = static_cast<int>(p.BackBufferHeight);
        D3DVIEWPORT8 viewport{0, 0, p.BackBufferWidth, p.BackBufferHeight, 0.0f, 1.0f};
        RenderScene_Device()->SetViewport(&viewport);
    }
    void TearDown() override {
        for (RenderItem* item : items) engine->DestroyRenderItem(item);
        for (CQVLightItem* light : std::vector<CQVLightItem*>(CQVRender::Get().Lights().lights)) engine->DestroyLight(light);
        ResetGlobals();
    }

    // A mesh, material and world matrix kept for the test's life.
    CQVMeshItem* Mesh(const MeshGeometry& geometry) {
        meshes.emplace_back(RenderScene_MakeMesh(geometry));
        return meshes.back().get();
    }
    CQVMeshItem* Mesh(const std::vector<MeshGeometry>& frames) {
        meshes.emplace_back(RenderScene_MakeMesh(frames));
        return meshes.back().get();
    }
    CQVMaterialItem* Material(uint32_t mask, float r = 1.0f, float g = 1.0f, float b = 1.0f, bool lit = false) {
        materials.emplace_back(RenderScene_MakeMaterial(mask, r, g, b, lit));
        return materials.back().get();
    }
    const Matrix* At(const Vector3& position) {
        auto world = std::make_unique<Matrix>();
        Mat4_Translation(world.get(), position.x, position.y, position.z);
        worlds.push_back(std::move(world));
        return worlds.back().get();
    }
    RenderItem* Item(CQVMeshItem* mesh, CQVMaterialItem* material, const Matrix* world, float depthBias = 0.0f) {
        items.push_back(engine->CreateRenderItem(mesh, 0, material, world, 8000, depthBias));
        return items.back();
    }
    // One frame: clear, the buckets, end of scene (no present: the back buffer stays readable).
    void DrawFrame(uint32_t clearColor = 0xFF000000) {
        engine->SetClearColor(clearColor);
        ASSERT_EQ(engine->BeginFrame(1, 1), 1);
        engine->DrawRenderBuckets();
        engine->EndFrame(0);
    }

    CQVEngine* engine = nullptr;
    int width = 0, height = 0;
    std::vector<std::unique_ptr<CQVMeshItem>> meshes;
    std::vector<std::unique_ptr<CQVMaterialItem>> materials;
    std::vector<std::unique_ptr<Matrix>> worlds;
    std::vector<RenderItem*> items;
};
