// Device resources: surfaces, textures and buffers with their CPU copies.

#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/DeviceState.h"
#include "platform/graphics/GLFunctions.h"
#include "platform/graphics/TextureFormats.h"

#include <algorithm>
#include <cstring>

using namespace glfn;

uint32_t PlatformResource::Release() {
    const uint32_t left = --m_References;
    if (left == 0) delete this;
    return left;
}

namespace {

// Points a lock at the rectangle (or the whole block); false for a rectangle
// outside the block.
bool LockBits(uint8_t* base, uint32_t width, uint32_t height, uint32_t pitch, uint32_t bytesPerPixel,
              const RECT* rect, D3DLOCKED_RECT* locked) {
    size_t offset = 0;
    if (rect != nullptr) {
        if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<int32_t>(width) ||
            rect->bottom > static_cast<int32_t>(height) || rect->left >= rect->right || rect->top >= rect->bottom)
            return false;
        offset = static_cast<size_t>(rect->top) * pitch + static_cast<size_t>(rect->left) * bytesPerPixel;
    }
    locked->pBits = base + offset;
    locked->Pitch = static_cast<int32_t>(pitch);
    return true;
}

}  // namespace

HRESULT PlatformSurface::GetDesc(D3DSURFACE_DESC* out) const {
    if (out == nullptr) return D3DERR_INVALIDCALL;
    *out = desc;
    return D3D_OK;
}

HRESULT PlatformSurface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, uint32_t flags) {
    if (lockedRect == nullptr || locked) return D3DERR_INVALIDCALL;
    const TextureFormatInfo* info = TextureFormat_Find(desc.Format);
    if (info == nullptr) return D3DERR_INVALIDCALL;
    if (backBufferOf != nullptr) {
        std::vector<uint32_t> argb;
        if (!backBufferOf->ReadBackBuffer(&argb)) return D3DERR_INVALIDCALL;
        TextureFormat_FromArgb(desc.Format, argb.data(), desc.Width, desc.Height, bits.data(), pitch);
    }
    if (!LockBits(bits.data(), desc.Width, desc.Height, pitch, info->bytesPerBlock, rect, lockedRect))
        return D3DERR_INVALIDCALL;
    locked = true;
    return D3D_OK;
}

HRESULT PlatformSurface::UnlockRect() {
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    return D3D_OK;
}

PlatformTexture::~PlatformTexture() {
    if (context && context->alive && glTexture != 0) glDeleteTextures(1, &glTexture);
}

HRESULT PlatformTexture::GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) const {
    if (desc == nullptr || level >= levels.size()) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{format,
                            D3DRTYPE_SURFACE,
                            usage,
                            pool,
                            static_cast<uint32_t>(levels[level].bits.size()),
                            0,
                            levels[level].width,
                            levels[level].height};
    return D3D_OK;
}

HRESULT PlatformTexture::LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags) {
    if (locked == nullptr || level >= levels.size() || levels[level].locked) return D3DERR_INVALIDCALL;
    const TextureFormatInfo* info = TextureFormat_Find(format);
    Level& l = levels[level];
    if (rect != nullptr && info->blockSize > 1) {
        // Compressed levels lock whole blocks only.
        if (rect->left % 4 || rect->top % 4) return D3DERR_INVALIDCALL;
        RECT blocks{rect->left / 4, rect->top / 4, (rect->right + 3) / 4, (rect->bottom + 3) / 4};
        if (!LockBits(l.bits.data(), (l.width + 3) / 4, (l.height + 3) / 4, l.pitch, info->bytesPerBlock, &blocks,
                      locked))
            return D3DERR_INVALIDCALL;
    } else if (!LockBits(l.bits.data(), l.width, l.height, l.pitch, info->bytesPerBlock, rect, locked)) {
        return D3DERR_INVALIDCALL;
    }
    l.locked = true;
    l.readOnly = (flags & D3DLOCK_READONLY) != 0;
    return D3D_OK;
}

HRESULT PlatformTexture::UnlockRect(uint32_t level) {
    if (level >= levels.size() || !levels[level].locked) return D3DERR_INVALIDCALL;
    Level& l = levels[level];
    l.locked = false;
    if (!l.readOnly && context && context->alive) TextureFormat_Upload(*this, level);
    return D3D_OK;
}

PlatformBuffer::~PlatformBuffer() {
    if (context && context->alive && glBuffer != 0) glDeleteBuffers(1, &glBuffer);
}

HRESULT PlatformBuffer::Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t flags) {
    if (data == nullptr) return D3DERR_INVALIDCALL;
    const uint64_t length = bytes.size();
    // Size 0 locks everything from the offset on.
    const uint64_t end = size == 0 ? length : static_cast<uint64_t>(offset) + size;
    if (offset > length || end > length) {
        *data = nullptr;
        return D3DERR_INVALIDCALL;
    }
    *data = bytes.data() + offset;
    if (!(flags & D3DLOCK_READONLY)) {
        if (dirtyBegin == dirtyEnd) {
            dirtyBegin = offset;
            dirtyEnd = static_cast<uint32_t>(end);
        } else {
            dirtyBegin = std::min(dirtyBegin, offset);
            dirtyEnd = std::max(dirtyEnd, static_cast<uint32_t>(end));
        }
        if (flags & D3DLOCK_DISCARD) discard = true;
    }
    ++lockCount;
    return D3D_OK;
}

HRESULT PlatformBuffer::Unlock() {
    if (lockCount == 0) return D3DERR_INVALIDCALL;
    if (--lockCount > 0) return D3D_OK;
    if (dirtyEnd > dirtyBegin && context && context->alive) {
        // Uploads go through a binding point no vertex array records.
        glBindBuffer(GL_COPY_WRITE_BUFFER, glBuffer);
        if (discard || (dirtyBegin == 0 && dirtyEnd == bytes.size())) {
            glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(bytes.size()), bytes.data(),
                         (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
        } else {
            glBufferSubData(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin, bytes.data() + dirtyBegin);
        }
        glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    }
    dirtyBegin = dirtyEnd = 0;
    discard = false;
    return D3D_OK;
}
