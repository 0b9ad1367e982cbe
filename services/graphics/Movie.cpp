// The full-screen movie: decoded on a worker, each frame drawn stretched
// over the whole back buffer and presented as it comes due while the
// caller polls Movie_Update.

#include "platform/movie/MoviePlayer.h"
#include "services/graphics/Graphics.h"
#include "services/graphics/MovieFile.h"
#include "services/graphics/MovieSound.h"
#include "services/graphics/Texture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// How long one Movie_Update waits, presenting due frames meanwhile.
constexpr double kUpdateWait = 0.1;

struct OpenMovie {
    std::unique_ptr<MovieSound> sound;
    std::unique_ptr<MoviePlayer> player;
    PlatformTexture* frame = nullptr;  // the frame on show, in the video's size
    bool hasFrame = false;

    ~OpenMovie() {
        player.reset();
        if (frame != nullptr) frame->Release();
    }
};

OpenMovie* g_Movie = nullptr;

PlatformDevice* Device() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

// A cleared frame, as the device shows between movies.
void BlackFrame() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    if (graphics == nullptr) return;
    graphics->Clear(0);
    graphics->BeginScene();
    graphics->EndScene();
    graphics->Present();
}

struct ScreenVertex {
    float x, y, z, rhw;
    float u, v;
};

// States the movie's quad draws with; everything is put back afterwards.
const struct {
    D3DRENDERSTATETYPE state;
    uint32_t value;
} kMovieRenderStates[] = {
    {D3DRS_ZENABLE, D3DZB_FALSE},    {D3DRS_ZWRITEENABLE, 0},       {D3DRS_LIGHTING, 0},
    {D3DRS_ALPHABLENDENABLE, 0},     {D3DRS_ALPHATESTENABLE, 0},    {D3DRS_FOGENABLE, 0},
    {D3DRS_CULLMODE, D3DCULL_NONE},  {D3DRS_STENCILENABLE, 0},
};
const struct {
    uint32_t stage;
    D3DTEXTURESTAGESTATETYPE type;
    uint32_t value;
} kMovieStageStates[] = {
    {0, D3DTSS_COLOROP, D3DTOP_SELECTARG1},  {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
    {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},  {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
    {0, D3DTSS_MINFILTER, D3DTEXF_LINEAR},   {0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR},
    {0, D3DTSS_MIPFILTER, D3DTEXF_NONE},     {0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP},
    {0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP}, {0, D3DTSS_TEXCOORDINDEX, 0},
    {1, D3DTSS_COLOROP, D3DTOP_DISABLE},     {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
};

// Draws the frame on show stretched over the back buffer and presents it.
void PresentFrame(OpenMovie& movie) {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    PlatformDevice* device = Device();
    if (graphics == nullptr || device == nullptr) return;
    graphics->Clear(0);
    graphics->BeginScene();
    if (movie.hasFrame) {
        uint32_t saved = 0;
        device->CreateStateBlock(D3DSBT_ALL, &saved);
        const D3DPRESENT_PARAMETERS& screen = device->GetPresentParameters();
        const D3DVIEWPORT8 viewport{0, 0, screen.BackBufferWidth, screen.BackBufferHeight, 0.0f, 1.0f};
        device->SetViewport(&viewport);
        for (const auto& s : kMovieRenderStates) device->SetRenderState(s.state, s.value);
        for (const auto& s : kMovieStageStates) device->SetTextureStageState(s.stage, s.type, s.value);
        device->SetTexture(0, movie.frame);
        device->SetTexture(1, nullptr);
        // Pixel edges, so the picture covers the screen exactly.
        const float w = static_cast<float>(screen.BackBufferWidth) - 0.5f;
        const float h = static_cast<float>(screen.BackBufferHeight) - 0.5f;
        const ScreenVertex quad[4] = {{-0.5f, -0.5f, 0.0f, 1.0f, 0.0f, 0.0f},
                                      {w, -0.5f, 0.0f, 1.0f, 1.0f, 0.0f},
                                      {-0.5f, h, 0.0f, 1.0f, 0.0f, 1.0f},
                                      {w, h, 0.0f, 1.0f, 1.0f, 1.0f}};
        device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
        device->ApplyStateBlock(saved);
        device->DeleteStateBlock(saved);
    }
    graphics->EndScene();
    graphics->Present();
}

void ShowFrame(OpenMovie& movie, const MovieVideoFrame& frame) {
    if (movie.frame == nullptr) return;
    // Only the frame's own rectangle is locked, so only it is uploaded.
    const PlatformTexture::Level& level = movie.frame->levels[0];
    const uint32_t width = std::min(frame.width, level.width), height = std::min(frame.height, level.height);
    if (width == 0 || height == 0) return;
    const RECT area{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
    D3DLOCKED_RECT locked{};
    if (!Succeeded(movie.frame->LockRect(0, &locked, &area, 0))) return;
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t{y} * locked.Pitch,
                    frame.pixels.data() + size_t{y} * frame.width, size_t{width} * 4);
    movie.frame->UnlockRect(0);
    movie.hasFrame = true;
}

}  // namespace

int Movie_Open(const char* path) {
    Movie_Close();
    PlatformDevice* device = Device();
    std::string error = "no graphics device";
    std::unique_ptr<PlatformMovie> file = device != nullptr ? MovieFile_Open(path, &error) : nullptr;
    if (file == nullptr) {
        Texture_SetError("   Movie_Open\n   %s\n   %s", path != nullptr ? path : "", error.c_str());
        return 0;
    }
    auto* movie = new OpenMovie;
    const MovieInfo& info = file->GetInfo();
    if (info.hasVideo &&
        !Succeeded(device->CreateTexture(info.width, info.height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &movie->frame))) {
        Texture_SetError("   Movie_Open\n   %s\n   %s", path, "no texture for the frames");
        delete movie;
        return 0;
    }
    movie->sound = MovieSound_Create(info);
    movie->player = std::make_unique<MoviePlayer>(std::move(file), MovieClock_Now, nullptr, movie->sound.get());
    g_Movie = movie;
    BlackFrame();
    BlackFrame();
    movie->player->Run();
    BlackFrame();
    BlackFrame();
    return 1;
}

int Movie_Update() {
    if (g_Movie == nullptr) return 0;
    OpenMovie& movie = *g_Movie;
    MoviePlayer& player = *movie.player;
    // A file's duration may be an estimate: the movie also plays on until
    // its last frame has been shown.
    if (player.GetPosition() >= player.GetDuration() && player.GetState() == MOVIE_ENDED) {
        Movie_Close();
        return 0;
    }
    // Every frame that comes due in the wait is presented when it does.
    const double end = MovieClock_Now() + kUpdateWait;
    bool presented = false;
    for (;;) {
        MovieVideoFrame frame;
        if (player.TakeFrame(&frame)) {
            ShowFrame(movie, frame);
            PresentFrame(movie);
            presented = true;
        }
        const double now = MovieClock_Now();
        if (now >= end) break;
        double wait = end - now;
        const double next = player.GetNextFrameTime();
        if (next >= 0.0) wait = std::min(wait, next - player.GetPosition());
        MovieClock_Sleep(static_cast<uint32_t>(std::max(1.0, std::ceil(wait * 1000.0))));
    }
    if (!presented) PresentFrame(movie);
    return 1;
}

void Movie_Close() {
    if (g_Movie == nullptr) return;
    BlackFrame();
    BlackFrame();
    g_Movie->player->Stop();
    MovieClock_Sleep(100);
    delete g_Movie;
    g_Movie = nullptr;
}
