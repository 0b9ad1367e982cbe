// Materials as a player sees them: a square filling the offscreen device,
// drawn lit, textured, light-mapped and environment-mapped through the
// material items, from meshes and images the content tools made.

#include "services/library/Library.h"
#include "services/mesh/MeshAccess.h"
#include "services/render/Material.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tests/support/ResetGlobals.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/MeshBuild.h"

#include <cmath>

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

// An 8 x 8 image of four colours, one per quarter (top left, top right, bottom left, bottom right).
std::vector<uint32_t> Quarters(uint32_t tl, uint32_t tr, uint32_t bl, uint32_t br) {
    std::vector<uint32_t> pixels(64);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) pixels[y * 8 + x] = y < 4 ? (x < 4 ? tl : tr) : (x < 4 ? bl : br);
    return pixels;
}

// A square over the whole view at depth 0.5, facing the viewer; texture
// coordinates (0, 0) at the top left.
MeshGeometry Square() {
    MeshGeometry g;
    const Vector3 corners[4] = {{-1, 1, 0.5f}, {1, 1, 0.5f}, {1, -1, 0.5f}, {-1, -1, 0.5f}};
    const Vector2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    g.AddQuad(corners, Vector3(0, 0, -1), uv);
    return g;
}

// Channel c (0 blue, 1 green, 2 red) of an ARGB pixel.
int Channel(uint32_t pixel, int c) { return static_cast<int>((pixel >> (8 * c)) & 0xFF); }

class MaterialDrawTest : public MeshDeviceTest {
protected:
    enum : uint32_t { QUARTERS = 2, LIGHT_MAP = 3, GREY = 4 };

    void SetUp() override {
        MeshDeviceTest::SetUp();
        ResetGlobals();
        engine()->SetBaseFolder(root.string());
        std::filesystem::create_directories("Data");
        AddTexture(QUARTERS, "quarters.tga", Quarters(kRed, kGreen, kBlue, kWhite));
        AddTexture(LIGHT_MAP, "lightmap.tga", Quarters(kWhite, 0xFF404040, kWhite, 0xFF404040));
        AddTexture(GREY, "grey.tga", std::vector<uint32_t>(64, 0xFF808080));
        // Whatever earlier tests left on the device, the first material sets every group.
        engine()->ForceRenderStates(0xFFFFFFFF);
    }
    void TearDown() override {
        Library_Reset();
        Device()->LightEnable(0, 0);
        MeshDeviceTest::TearDown();
    }
    static CQVEngine* engine() { return CQVEngine::GetInstance(); }

    static void AddTexture(uint32_t id, const char* name, const std::vector<uint32_t>& pixels) {
        ASSERT_TRUE(ImageWriter_Save(std::string("Data/") + name, ImageWriter_Tga(pixels.data(), 8, 8, {})));
        auto* item = new CQVTextureItem;
        item->fileName = name;
        item->textureType = 4;  // the file's own size and format
        g_Library.SetItem(id, item);
    }
    static CQVMaterialItem* AddMaterial(uint32_t id, uint32_t blendIndex, std::vector<uint32_t> textures, bool lit) {
        auto* item = new CQVMaterialItem;
        item->blendIndex = blendIndex;
        item->textureIds = std::move(textures);
        item->stateFlagB = lit ? 0 : 1;
        g_Library.SetItem(id, item);
        return item;
    }
    // A library mesh read from a ".qvm" file of the geometry.
    CQVMeshItem* AddMesh(uint32_t id, const MeshGeometry& geometry, bool lightMapped, int32_t lightMapId) {
        const std::string name = "mesh" + std::to_string(id) + ".qvm";
        EXPECT_TRUE(Qvm_WriteFile("Data/" + name, MeshBuild_RigidFile({MeshBuild_ToSubset(geometry, lightMapped)})));
        auto* mesh = new CQVMeshItem;
        mesh->fileName = name;
        SubsetInfo info;
        info.lightMapId = lightMapId;
        mesh->subsetInfos = {info};
        g_Library.SetItem(id, mesh);
        EXPECT_EQ(mesh->Load(), 1) << ErrorText();
        return mesh;
    }

    // Draws the mesh's first subset with the material (and the subset's
    // light map) on black and reads the picture back.
    void Draw(CQVMeshItem* mesh, CQVMaterialItem* material, float alpha = 1.0f) {
        PlatformDevice* device = Device();
        const D3DPRESENT_PARAMETERS& p = device->GetPresentParameters();
        width = static_cast<int>(p.BackBufferWidth);
        height = static_cast<int>(p.BackBufferHeight);
        D3DVIEWPORT8 viewport{0, 0, p.BackBufferWidth, p.BackBufferHeight, 0.0f, 1.0f};
        device->SetViewport(&viewport);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        D3DMATRIX identity{};
        for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
        for (D3DTRANSFORMSTATETYPE t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION}) device->SetTransform(t, &identity);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        const MeshSubset& subset = mesh->subsets[0];
        engine()->ApplyMaterial(material, alpha, mesh->subsetInfos[0].lightMapId);
        device->SetVertexShader(subset.vertexFormat);
        device->SetStreamSource(0, subset.vertexBuffer, subset.stride);
        device->SetIndices(subset.indexBuffer, 0);
        ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, subset.vertexCount, 0, subset.triangleCount),
                  D3D_OK);
        device->EndScene();
        ASSERT_TRUE(device->ReadBackBuffer(&pixels));
    }
    // The pixel at a fraction of the picture's width and height.
    uint32_t At(float fx, float fy) const {
        const int x = static_cast<int>(fx * static_cast<float>(width)), y = static_cast<int>(fy * static_cast<float>(height));
        return pixels[static_cast<size_t>(y * width + x)];
    }
    static void ExpectColour(uint32_t pixel, int red, int green, int blue, const char* where) {
        EXPECT_NEAR(Channel(pixel, 2), red, 3) << where << std::hex << " pixel " << pixel;
        EXPECT_NEAR(Channel(pixel, 1), green, 3) << where << std::hex << " pixel " << pixel;
        EXPECT_NEAR(Channel(pixel, 0), blue, 3) << where << std::hex << " pixel " << pixel;
    }

    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
};

TEST_F(MaterialDrawTest, ALitSubsetTakesTheLightOnItsDiffuseColour) {
    // A square built from arrays, lit by one white light along the view.
    const MeshGeometry square = Square();
    std::vector<Vector3> positions, normals;
    std::vector<Vector2> uv;
    for (const MeshVertex& v : square.vertices) {
        positions.push_back(v.position);
        normals.push_back(v.normal);
        uv.push_back(v.uv);
    }
    CQVMeshItem* mesh = engine()->CreateMesh(positions.data(), normals.data(), nullptr, uv.data(),
                                             square.indices.data(), 4, 2);
    ASSERT_NE(mesh, nullptr) << ErrorText();
    CQVMaterialItem* red = AddMaterial(10, 0, {}, true);
    red->material.Diffuse = {1.0f, 0.0f, 0.0f, 1.0f};
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    Device()->SetLight(0, &light);
    Device()->LightEnable(0, 1);

    Draw(mesh, red);
    ExpectColour(At(0.5f, 0.5f), 255, 0, 0, "head-on");
    // Half faded over black: blended by the faded diffuse alpha.
    Draw(mesh, red, 0.5f);
    ExpectColour(At(0.5f, 0.5f), 128, 0, 0, "faded");
    // Light at 60 degrees to the face: half as bright.
    light.Direction = {std::sin(1.0471976f), 0.0f, std::cos(1.0471976f)};
    Device()->SetLight(0, &light);
    Draw(mesh, red);
    ExpectColour(At(0.5f, 0.5f), 128, 0, 0, "sideways");
    // Unlit, the face shows its vertices' white whatever the light.
    Draw(mesh, AddMaterial(11, 0, {}, false));
    ExpectColour(At(0.5f, 0.5f), 255, 255, 255, "unlit");
    engine()->ReleaseMesh(mesh);
}

TEST_F(MaterialDrawTest, ATexturedSubsetShowsItsTextureUpright) {
    CQVMeshItem* mesh = AddMesh(1, Square(), false, -1);
    Draw(mesh, AddMaterial(10, 0, {QUARTERS}, false));
    ExpectColour(At(0.25f, 0.25f), 255, 0, 0, "top left");
    ExpectColour(At(0.75f, 0.25f), 0, 255, 0, "top right");
    ExpectColour(At(0.25f, 0.75f), 0, 0, 255, "bottom left");
    ExpectColour(At(0.75f, 0.75f), 255, 255, 255, "bottom right");
}

TEST_F(MaterialDrawTest, ALightMapDoublesItsProductFromTheSecondCoordinates) {
    // The first coordinates all name one spot; only the second set spans the light map.
    MeshGeometry square = Square();
    for (MeshVertex& v : square.vertices) v.uv = Vector2(0.1f, 0.1f);
    CQVMeshItem* mesh = AddMesh(1, square, true, LIGHT_MAP);
    EXPECT_EQ(mesh->subsets[0].stride, 40u);
    EXPECT_TRUE(g_Library.At(LIGHT_MAP)->loaded);  // the mesh's load loaded its light map
    EXPECT_TRUE(g_Library.At(LIGHT_MAP)->shared);
    CQVMaterialItem* grey = AddMaterial(10, 0, {GREY}, false);
    Draw(mesh, grey);
    // Grey 0x80 times white, doubled, saturates; times 0x40, doubled, is a quarter.
    ExpectColour(At(0.25f, 0.5f), 255, 255, 255, "under the white half");
    ExpectColour(At(0.75f, 0.5f), 64, 64, 64, "under the dark half");

    // The same material on a subset without a light map: the plain grey texture.
    CQVMeshItem* plain = AddMesh(5, square, false, -1);
    Draw(plain, grey);
    ExpectColour(At(0.25f, 0.5f), 128, 128, 128, "no light map");
    ExpectColour(At(0.75f, 0.5f), 128, 128, 128, "no light map");
}

TEST_F(MaterialDrawTest, AnEnvironmentMapFollowsTheNormalsSeenFromTheCamera) {
    // Normals splayed out toward the corners, and texture coordinates all
    // naming the white quarter: only the normals can pick the other colours.
    MeshGeometry square = Square();
    for (MeshVertex& v : square.vertices) {
        v.normal = Vector3(0.6f * v.position.x, 0.6f * v.position.y, -0.53f);
        v.uv = Vector2(0.9f, 0.9f);
    }
    CQVMeshItem* mesh = AddMesh(1, square, false, -1);
    CQVMaterialItem* chrome = AddMaterial(10, 4, {QUARTERS}, false);  // "* Env"
    Draw(mesh, chrome);
    ExpectColour(At(0.25f, 0.25f), 255, 0, 0, "top left");
    ExpectColour(At(0.75f, 0.25f), 0, 255, 0, "top right");
    ExpectColour(At(0.25f, 0.75f), 0, 0, 255, "bottom left");
    ExpectColour(At(0.75f, 0.75f), 255, 255, 255, "bottom right");

    // A plain material afterwards takes the vertices' coordinates again.
    Draw(mesh, AddMaterial(11, 0, {QUARTERS}, false));
    ExpectColour(At(0.25f, 0.25f), 255, 255, 255, "plain");
    ExpectColour(At(0.75f, 0.75f), 255, 255, 255, "plain");
}

}  // namespace
