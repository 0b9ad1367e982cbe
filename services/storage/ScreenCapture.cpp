#include "services/storage/ScreenCapture.h"

#include "services/graphics/Graphics.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

std::unique_ptr<ImageBuffer> g_CaptureImage;

// Positions are fixed point with 15 fraction bits.
constexpr int64_t kOne = 32768;

struct Color3 {
    int64_t blue, green, red;
};

Color3 ReadSource(const uint8_t* row, int64_t x, D3DFORMAT format) {
    uint16_t v = 0;
    switch (format) {
    case D3DFMT_R5G6B5:
        std::memcpy(&v, row + x * 2, 2);
        return Color3{(v & 31) * 8, ((v >> 5) & 63) * 4, (v >> 11) * 8};
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        std::memcpy(&v, row + x * 2, 2);
        return Color3{(v & 31) * 8, ((v >> 5) & 31) * 8, ((v >> 10) & 31) * 8};
    default:
        return Color3{row[x * 4], row[x * 4 + 1], row[x * 4 + 2]};
    }
}

// Bilinear scaling of the locked source into the image's B, G, R bytes; the
// alpha bytes stay as they are.
void ScaleInto(ImageBuffer* image, const uint8_t* source, int64_t sourcePitch, int64_t sourceWidth,
               int64_t sourceHeight, D3DFORMAT format) {
    const int64_t stepX = sourceWidth * kOne / image->width;
    const int64_t stepY = sourceHeight * kOne / image->height;
    for (int64_t y = 0; y < image->height; ++y) {
        const int64_t qy = y * stepY;
        const int64_t sy = std::min(qy / kOne, sourceHeight - 2), ty = qy % kOne;
        const uint8_t* row0 = source + sy * sourcePitch;
        const uint8_t* row1 = row0 + sourcePitch;
        uint8_t* out = image->pixels.get() + y * image->pitch;
        for (int64_t x = 0; x < image->width; ++x, out += 4) {
            const int64_t qx = x * stepX;
            const int64_t sx = std::min(qx / kOne, sourceWidth - 2), tx = qx % kOne;
            const Color3 p00 = ReadSource(row0, sx, format), p01 = ReadSource(row0, sx + 1, format);
            const Color3 p10 = ReadSource(row1, sx, format), p11 = ReadSource(row1, sx + 1, format);
            const int64_t w11 = ty * tx / kOne, w10 = ty - w11, w01 = tx - w11, w00 = kOne - tx - ty + w11;
            out[0] = static_cast<uint8_t>((p00.blue * w00 + p01.blue * w01 + p10.blue * w10 + p11.blue * w11) / kOne);
            out[1] = static_cast<uint8_t>((p00.green * w00 + p01.green * w01 + p10.green * w10 + p11.green * w11) / kOne);
            out[2] = static_cast<uint8_t>((p00.red * w00 + p01.red * w01 + p10.red * w10 + p11.red * w11) / kOne);
        }
    }
}

}  // namespace

void Screen_CaptureBackBuffer(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    PlatformDevice* device = graphics != nullptr ? graphics->GetDevice() : nullptr;
    PlatformSurface* surface = nullptr;
    if (device == nullptr || !Succeeded(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface))) return;
    D3DSURFACE_DESC desc{};
    // A capture samples the back buffer: a larger one could hold nothing
    // more, only more memory and a larger file, so it is refused.
    if (!Succeeded(surface->GetDesc(&desc)) || static_cast<uint32_t>(width) > desc.Width ||
        static_cast<uint32_t>(height) > desc.Height) {
        surface->Release();
        return;
    }
    if (g_CaptureImage && (g_CaptureImage->GetWidth() != width || g_CaptureImage->GetHeight() != height))
        g_CaptureImage.reset();
    if (!g_CaptureImage) {
        auto image = std::make_unique<ImageBuffer>();
        if (!image->Create(width, height, 32)) {
            surface->Release();
            return;
        }
        std::memset(image->pixels.get(), 0xFF, static_cast<size_t>(image->size));
        g_CaptureImage = std::move(image);
    }
    D3DLOCKED_RECT locked{};
    if (desc.Width >= 2 && desc.Height >= 2 && Succeeded(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        ScaleInto(g_CaptureImage.get(), static_cast<const uint8_t*>(locked.pBits), locked.Pitch, desc.Width,
                  desc.Height, desc.Format);
        surface->UnlockRect();
    }
    surface->Release();
}

int Screen_SaveCapture(const char* fileName) {
    if (!g_CaptureImage) return 0;
    return g_CaptureImage->WriteTga(fileName);
}

const ImageBuffer* Screen_GetCapture() { return g_CaptureImage.get(); }

void Screen_Reset() { g_CaptureImage.reset(); }
