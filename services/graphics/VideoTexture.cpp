// Video textures: a movie decoded on its own worker thread, each frame
// written into the texture as it comes due.

#include "services/graphics/Graphics.h"
#include "services/graphics/MovieFile.h"
#include "services/graphics/MovieSound.h"
#include "services/graphics/Texture.h"
#include "services/graphics/VideoTexturePlayback.h"

#include <algorithm>
#include <cstring>

namespace {

// Writes frames into level 0 of the texture, rows in image order from the
// top-left corner; texels beyond the video's size stay as they are. Runs on
// the player's worker; the device uploads the level on its own thread.
class TextureFrameSink : public MovieVideoSink {
public:
    explicit TextureFrameSink(PlatformTexture* texture) : m_Texture(texture) {}

    void ShowFrame(const MovieVideoFrame& frame) override {
        // Only the frame's own rectangle is locked, so only it is uploaded.
        const PlatformTexture::Level& level = m_Texture->levels[0];
        const uint32_t width = std::min(frame.width, level.width), height = std::min(frame.height, level.height);
        if (width == 0 || height == 0) return;
        const RECT area{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
        D3DLOCKED_RECT locked{};
        if (!Succeeded(m_Texture->LockRect(0, &locked, &area, 0))) return;
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t{y} * locked.Pitch,
                        frame.pixels.data() + size_t{y} * frame.width, size_t{width} * 4);
        m_Texture->UnlockRect(0);
    }

private:
    PlatformTexture* m_Texture;
};

// Video sizes round up to powers of two, as the drivers the content was
// made for required.
uint32_t PowerOfTwo(uint32_t size) {
    uint32_t power = 1;
    while (power < size) power <<= 1;
    return power;
}

}  // namespace

struct VideoTexturePlayback {
    explicit VideoTexturePlayback(PlatformTexture* texture) : sink(texture) {}
    TextureFrameSink sink;
    std::unique_ptr<MovieSound> sound;
    std::unique_ptr<MoviePlayer> player;  // goes first, with its worker
};

void VideoTexturePlayback_Delete(VideoTexturePlayback* playback) {
    if (playback == nullptr) return;
    playback->player->Stop();
    delete playback;
}

MoviePlayer* VideoTexturePlayback_GetPlayer(VideoTexturePlayback* playback) {
    return playback != nullptr ? playback->player.get() : nullptr;
}

CQVVideoTexture* VideoTexture_Create(const char* path) {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    PlatformDevice* device = graphics != nullptr ? graphics->GetDevice() : nullptr;
    std::string error = "no graphics device";
    std::unique_ptr<PlatformMovie> movie = device != nullptr ? MovieFile_Open(path, &error) : nullptr;
    if (movie != nullptr && !movie->GetInfo().hasVideo) {
        error = "the movie has no video";
        movie.reset();
    }
    PlatformTexture* texture = nullptr;
    if (movie != nullptr) {
        const MovieInfo& info = movie->GetInfo();
        const HRESULT result = device->CreateTexture(PowerOfTwo(info.width), PowerOfTwo(info.height), 1, 0,
                                                     D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
        if (!Succeeded(result)) {
            error = Graphics_GetErrorName(result);
            movie.reset();
        }
    }
    if (movie == nullptr) {
        Texture_SetError("   VideoTexture_Create\n   %s\n   %s", path != nullptr ? path : "", error.c_str());
        return nullptr;
    }
    auto* record = new CQVVideoTexture{};
    record->texture = texture;
    record->playback = new VideoTexturePlayback(texture);
    record->playback->sound = MovieSound_Create(movie->GetInfo());
    record->playback->player = std::make_unique<MoviePlayer>(std::move(movie), MovieClock_Now, &record->playback->sink,
                                                             record->playback->sound.get());
    return record;
}

void VideoTexture_Play(CQVVideoTexture* texture) {
    if (texture != nullptr && texture->playback != nullptr) texture->playback->player->Run();
}

void VideoTexture_Rewind(CQVVideoTexture* texture) {
    if (texture == nullptr || texture->playback == nullptr) return;
    texture->playback->player->Rewind();
    D3DLOCKED_RECT locked{};
    if (!Succeeded(texture->texture->LockRect(0, &locked, nullptr, 0))) return;
    std::memset(locked.pBits, 0, static_cast<size_t>(locked.Pitch) * texture->texture->levels[0].height);
    texture->texture->UnlockRect(0);
}
