// The frame places the listener at the engine's camera, facing where the
// camera looks, and commits it: a sound ahead of the camera is heard in
// front, beside it on the side it is on.

#include "apps/game/FrameLoop.h"
#include "kernel/actors/DrawGroups.h"
#include "services/engine/Engine.h"
#include "services/render/Render.h"
#include "tests/kernel/actors/ActorTestSupport.h"
#include "tests/services/sound/SoundTestSupport.h"

namespace {

double SixtiethOfASecond() { return 1.0 / 60.0; }

class SoundFrameTest : public ActorSystemFixture {
protected:
    void SetUp() override {
        ActorSystemFixture::SetUp();
        Sound_CloseDevice();
        ASSERT_EQ(Sound_CreateLoopbackDevice(2, kMixRate, 16), 1);
        Sound_Reset();
        ASSERT_EQ(CQVEngine::Create(), 1);
        FrameClock_SetSource(&SixtiethOfASecond);
        g_FrameListener = FrameListener{};
        DrawGroups_Reset();
        engine = CQVEngine::GetInstance();
        CQVRender::Get().View().cameraPosition = Vector3(0.0f, 0.0f, 0.0f);
        Look(Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1));
        path = (std::filesystem::temp_directory_path() / ("qv_sound_frame_" + std::to_string(::getpid()) + ".wav"))
                   .string();
        const WavFormat mono{1, kMixRate, 16};
        ASSERT_TRUE(Wav_Write(path, mono, Wav_Sine(mono, 441.0f, 0.5f, 4410)));
    }
    void TearDown() override {
        Sound_Release(sound);
        Sound_CloseDevice();
        FrameClock_SetSource(nullptr);
        DrawGroups_Reset();
        std::filesystem::remove(path);
        ActorSystemFixture::TearDown();
    }
    // A view matrix with the camera's right, up and forward axes as its columns.
    void Look(const Vector3& right, const Vector3& up, const Vector3& forward) {
        Matrix& view = CQVRender::Get().View().viewMatrix;
        view = Matrix{};
        const Vector3 axes[3] = {right, up, forward};
        for (int column = 0; column < 3; ++column) {
            view.m[0][column] = axes[column].x;
            view.m[1][column] = axes[column].y;
            view.m[2][column] = axes[column].z;
        }
        view.m[3][3] = 1.0f;
    }
    static std::pair<double, double> LeftRight() { return RenderStereo(4410).Sides(2205, 2205); }

    CQVEngine* engine = nullptr;
    std::string path;
    CQVSoundBuffer* sound = nullptr;
};

TEST_F(SoundFrameTest, ListenerFollowsTheCameraEachFrame) {
    sound = Sound_CreateStatic3D(path.c_str(), 0);
    ASSERT_NE(sound, nullptr) << Sound_GetLastError();
    Sound_SetPosition(sound, Vector3(0.0f, 0.0f, 300.0f));
    Sound_Play(sound, 1);
    // Straight ahead of the camera.
    ASSERT_EQ(FrameStep(system), 1);
    auto [left, right] = LeftRight();
    EXPECT_GT(left, 0.05);
    EXPECT_NEAR(left, right, 0.02);
    // The camera turned to look along +x: the sound at +z is on its left.
    Look(Vector3(0, 0, -1), Vector3(0, 1, 0), Vector3(1, 0, 0));
    ASSERT_EQ(FrameStep(system), 1);
    std::tie(left, right) = LeftRight();
    EXPECT_GT(left, 2.0 * right);
    // Moved beyond the sound, still looking along +x: now on its right.
    CQVRender::Get().View().cameraPosition = Vector3(0.0f, 0.0f, 600.0f);
    ASSERT_EQ(FrameStep(system), 1);
    std::tie(left, right) = LeftRight();
    EXPECT_GT(right, 2.0 * left);
    EXPECT_FLOAT_EQ(g_FrameListener.velocity.z, -600.0f);
}

}  // namespace
