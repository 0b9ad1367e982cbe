// Lights in the rooms of a level, driven by the real draw pass: a room's
// lights fade in when the room comes into view and go off 0.6 s after it
// leaves it; the lights of rooms not in view stay off.

#include "tests/actors/scene/DrawGroupTestSupport.h"
#include "tests/actors/scene/LightTestSupport.h"
#include "services/render/Render.h"

namespace {

// Rooms A and B along x, 100 wide, joined by a portal at x = 100.
class LightInRooms : public drawgroup_test::DrawGroupScene {
protected:
    void SetUp() override {
        drawgroup_test::DrawGroupScene::SetUp();
        ASSERT_EQ(CQVEngine::Create(), 1);
        engine = CQVEngine::GetInstance();
        for (int i = 0; i < 2; ++i) {
            CQVDrawGroup* room = Cell(Vector3(100.0f * i, 0, 0), Vector3(100.0f * (i + 1), 100, 100));
            auto* lamp = static_cast<CQVLight*>(
                g_ActorSystem->CreateActor(CLASS_LIGHT, "Lamp", nullptr, room, nextId++, 1, 0));
            LightTest_Send(lamp, MSG_SET_POSITION, Vector3(100.0f * i + 50.0f, 90.0f, 50.0f));
            LightTest_Send(lamp, MSG_SET_DIFFUSE_COLOR, D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f});
            lamps.push_back(lamp);
        }
        portal = Portal(Vector3(100, 50, 50), 10.0f);
        AfterLoad();
        // As a loaded level has them: switched on, the engine lights not yet lit.
        for (CQVLight* lamp : lamps) lamp->HandleMessage(MSG_LIGHT_DEACTIVATE, nullptr);
    }

    // Frames of 45 ms: the timed messages, then the draw pass from the camera.
    void Frames(int count, const Vector3& camera) {
        for (int i = 0; i < count; ++i) {
            LightTest_Frame(0.045f);
            g_DrawCameraPosition = camera;
            g_ActorSystem->DrawVisibleGroups(0.045f);
        }
    }

    bool Lit(const CQVLight* lamp) const {
        const auto& on = CQVRender::Get().Lights().localLights;
        return std::find(on.begin(), on.end(), lamp->m_RendererLight) != on.end();
    }
    static float Red(const CQVLight* lamp) { return lamp->m_RendererLight->light.Diffuse.r; }

    CQVEngine* engine = nullptr;
    std::vector<CQVLight*> lamps;
    CQVDrawGroupConnector* portal = nullptr;
};

TEST_F(LightInRooms, FadeInWithTheirRoomAndOutAfterIt) {
    const Vector3 inA(50, 50, 50), inB(150, 50, 50);
    Frames(1, inA);
    EXPECT_TRUE(Lit(lamps[0]));
    EXPECT_FALSE(Lit(lamps[1]));
    EXPECT_EQ(Red(lamps[0]), 0.0f);  // from black
    Frames(10, inA);
    EXPECT_FLOAT_EQ(Red(lamps[0]), 1.0f);

    portal->m_Open = 1;
    Frames(1, inA);
    EXPECT_TRUE(Lit(lamps[1]));
    Frames(10, inA);
    EXPECT_FLOAT_EQ(Red(lamps[1]), 1.0f);

    // Into B with the portal shut: A leaves the view in the first frame's draw pass.
    portal->m_Open = 0;
    Frames(10, inB);
    EXPECT_EQ(Red(lamps[0]), 0.0f);
    EXPECT_TRUE(Lit(lamps[0]));  // still on 0.405 s after
    Frames(4, inB);
    EXPECT_TRUE(Lit(lamps[0]));  // 0.585 s
    Frames(1, inB);
    EXPECT_FALSE(Lit(lamps[0]));
    EXPECT_TRUE(lamps[0]->IsOn());
    EXPECT_TRUE(Lit(lamps[1]));
}

// Through an actor file: the loaded lamps get their engine lights at
// "Precalculate", stay dark until their room is drawn, and keep their look.
TEST_F(LightInRooms, ALoadedLevelsLampsWaitForTheirRoom) {
    LightTest_Send(lamps[0], MSG_SET_RADIUS, 80.0f);
    LightTest_Send(lamps[0], MSG_SET_ATTENUATION_STRENGTH, 2.0f);
    LightTest_Send(lamps[0], MSG_SET_ATTENUATION_STYLE, 0.5f);
    const uint32_t ids[2] = {lamps[0]->m_Id, lamps[1]->m_Id};
    const std::string file = (dir / "Lamps.qva").string();
    ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), 3000, 7000, 0), 1) << g_ActorSystem->GetError();
    Restart();
    ASSERT_EQ(CQVEngine::Create(), 1);
    ASSERT_EQ(g_ActorSystem->LoadActors(file.c_str(), 0), 1) << g_ActorSystem->GetError();
    g_ActorSystem->PrecalculateAll();  // as the game does after loading its files
    for (int i = 0; i < 2; ++i) {
        lamps[i] = dynamic_cast<CQVLight*>(CQVActorSystem::GetActorById(ids[i]));
        ASSERT_NE(lamps[i], nullptr);
        ASSERT_NE(lamps[i]->m_RendererLight, nullptr);
        EXPECT_TRUE(lamps[i]->IsOn());
        EXPECT_FALSE(Lit(lamps[i]));
    }
    const D3DLIGHT8& record = lamps[0]->m_RendererLight->light;
    EXPECT_EQ(record.Range, 80.0f);
    EXPECT_FLOAT_EQ(record.Attenuation1, 1.0f / 80.0f);
    EXPECT_FLOAT_EQ(record.Attenuation2, 1.0f / 6400.0f);
    EXPECT_EQ(record.Position.x, 50.0f);
    Frames(1, Vector3(50, 50, 50));
    EXPECT_TRUE(Lit(lamps[0]));
    EXPECT_FALSE(Lit(lamps[1]));
}

TEST_F(LightInRooms, ALampCarriedAcrossItsRoomIsFollowedByItsEngineLight) {
    Frames(1, Vector3(50, 50, 50));
    LightTest_Send(lamps[0], MSG_SET_POSITION, Vector3(20.0f, 30.0f, 40.0f));
    Frames(1, Vector3(50, 50, 50));
    const D3DVECTOR& at = lamps[0]->m_RendererLight->light.Position;
    EXPECT_EQ(at.x, 20.0f);
    EXPECT_EQ(at.y, 30.0f);
    EXPECT_EQ(at.z, 40.0f);
}

}  // namespace
