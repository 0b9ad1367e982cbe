#include "tools/content/HudPictures.h"

#include "services/library/LibraryItem.h"
#include "tools/content/ImageWriter.h"

#include <cmath>
#include <functional>
#include <vector>

namespace {

struct Picture {
    const char* name;  // the material's name; the file is the name with ".tga"
    uint32_t width, height;
    std::function<uint32_t(float x, float y)> pixel;  // x, y from 0 to 1
    bool blended;
};

uint32_t Argb(float a, float r, float g, float b) {
    const auto c = [](float v) { return static_cast<uint32_t>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); };
    return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

// The gauge: a dark plate with a golden rim and an open column where the
// fill shows (28..98 x 7..77 of 128 x 96).
uint32_t Gauge(float x, float y, float glow) {
    const float px = x * 128.0f, py = y * 96.0f;
    const bool column = px >= 28.0f && px < 98.0f && py >= 7.0f && py < 77.0f;
    const bool rim = (px >= 25.0f && px < 101.0f && py >= 4.0f && py < 80.0f) && !column;
    if (column) return 0;
    if (rim) return Argb(1.0f, 0.85f + glow * 0.15f, 0.65f - glow * 0.4f, 0.2f);
    return Argb(0.0f, 0.0f, 0.0f, 0.0f);
}

float Disc(float x, float y) { return std::sqrt((x - 0.5f) * (x - 0.5f) + (y - 0.5f) * (y - 0.5f)) * 2.0f; }

std::vector<Picture> Pictures() {
    return {
        {"SoulIcon", 128, 96, [](float x, float y) { return Gauge(x, y, 0.0f); }, true},
        {"SoulIcon02", 128, 96, [](float x, float y) { return Gauge(x, y, 1.0f); }, true},
        {"SoulIconFill", 32, 32, [](float, float y) { return Argb(1.0f, 1.0f - y * 0.5f, 1.0f - y * 0.5f, 1.0f - y * 0.5f); }, false},
        {"AmmoFlare", 64, 64, [](float x, float y) { const float d = Disc(x, y); return Argb(1.0f - d, 1.0f, 0.9f, 0.4f); }, true},
        {"LightSensor", 64, 64, [](float x, float y) { return Argb(Disc(x, y) < 0.6f ? 1.0f : 0.0f, 1.0f, 1.0f, 1.0f); }, true},
        {"LightSensor2", 64, 64, [](float x, float y) { const float d = Disc(x, y); return Argb(d >= 0.6f && d < 0.8f ? 1.0f : 0.0f, 1.0f, 1.0f, 1.0f); }, true},
        {"endurance_mark", 4, 16, [](float x, float) { return Argb(x < 0.75f ? 1.0f : 0.0f, 1.0f, 1.0f, 1.0f); }, true},
        {"endurance_back", 80, 18, [](float x, float y) { const bool edge = x < 0.02f || x > 0.97f || y < 0.1f || y > 0.85f; return Argb(edge ? 1.0f : 0.0f, 0.8f, 0.8f, 0.8f); }, true},
        {"FilmGrain", 64, 64, [](float x, float y) { const uint32_t h = static_cast<uint32_t>(x * 6400.0f + y * 64.0f) * 2654435761u; return Argb(((h >> 24) & 0x1F) / 255.0f, 1.0f, 1.0f, 1.0f); }, true},
        // A pistol seen from the side: barrel, grip and trigger guard.
        {"Icon_Pistol", 64, 64, [](float x, float y) {
             const bool barrel = x > 0.15f && x < 0.9f && y > 0.3f && y < 0.45f;
             const bool grip = x > 0.2f && x < 0.38f && y >= 0.45f && y < 0.85f;
             const bool guard = x >= 0.38f && x < 0.5f && y >= 0.45f && y < 0.6f;
             return barrel || grip || guard ? Argb(1.0f, 0.75f, 0.78f, 0.85f) : 0u;
         }, true},
    };
}

constexpr uint32_t kWeaponIconIndex = 9;

}  // namespace

uint32_t HudPictures_WeaponIcon(const HudPictureIds& ids) { return ids.firstMaterial + kWeaponIconIndex; }

bool HudPictures_Add(LibraryFile& library, const std::filesystem::path& dataFolder, const HudPictureIds& ids) {
    const std::vector<Picture> pictures = Pictures();
    for (uint32_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        std::vector<uint32_t> pixels(size_t{p.width} * p.height);
        for (uint32_t y = 0; y < p.height; ++y)
            for (uint32_t x = 0; x < p.width; ++x)
                pixels[size_t{y} * p.width + x] = p.pixel((static_cast<float>(x) + 0.5f) / static_cast<float>(p.width),
                                                           (static_cast<float>(y) + 0.5f) / static_cast<float>(p.height));
        const std::string file = std::string(p.name) + ".tga";
        if (!ImageWriter_Save((dataFolder / file).string(), ImageWriter_Tga(pixels.data(), p.width, p.height, TgaWriteOptions{})))
            return false;
        library.AddTexture(ids.firstTexture + i, p.name, file, p.width, p.height);
        CQVMaterialItem* material = library.AddMaterial(ids.firstMaterial + i, p.name, {ids.firstTexture + i});
        material->material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        material->stateFlagB = 1;  // unlit: a quad shows its texture times its colour
        if (p.blended) material->blendIndex = 1;  // the texture's alpha
    }
    CQVMaterialItem* black = library.AddMaterial(ids.firstMaterial + static_cast<uint32_t>(pictures.size()), "Black", {});
    black->material.Diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
    black->stateFlagB = 1;
    black->blendIndex = 1;
    library.AddFont(ids.font, "GameFont", "DejaVu Sans", 16);
    return true;
}
