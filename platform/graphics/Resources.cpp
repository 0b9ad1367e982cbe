// Device resources: surfaces, textures and buffers with their CPU copies.

#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/DeviceState.h"
#include "platform/graphics/GLFunctions.h"
#include "platform/graphics/TextureFormats.h"

#include <SDL2/SDL.h>

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
        TextureFormat_Encode(*info, argb.data(), desc.Width, desc.Height, bits.data(), pitch, true);
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

bool DeviceContext::IsCurrent() const { return alive && SDL_GL_GetCurrentContext() == glContext; }

void DeviceContext::FlushPending() {
    std::vector<PlatformTexture*> textures;
    std::vector<uint32_t> dead, deadBufferNames;
    {
        std::lock_guard<std::mutex> hold(pendingLock);
        textures.swap(pendingTextures);
        dead.swap(deadTextures);
        deadBufferNames.swap(deadBuffers);
    }
    if (!dead.empty()) glDeleteTextures(static_cast<GLsizei>(dead.size()), dead.data());
    if (!deadBufferNames.empty()) glDeleteBuffers(static_cast<GLsizei>(deadBufferNames.size()), deadBufferNames.data());
    std::vector<PlatformTexture*> waiting;
    for (PlatformTexture* texture : textures) {
        texture->UploadPending();
        // A texture locked just now waits for the next flush.
        if (texture->HasPendingUpload()) waiting.push_back(texture);
        else texture->Release();
    }
    if (!waiting.empty()) {
        std::lock_guard<std::mutex> hold(pendingLock);
        pendingTextures.insert(pendingTextures.end(), waiting.begin(), waiting.end());
    }
}

PlatformTexture::~PlatformTexture() {
    if (!context || !context->alive || glTexture == 0) return;
    if (context->IsCurrent()) {
        glDeleteTextures(1, &glTexture);
    } else {
        std::lock_guard<std::mutex> hold(context->pendingLock);
        context->deadTextures.push_back(glTexture);
    }
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
    if (locked == nullptr || level >= levels.size()) return D3DERR_INVALIDCALL;
    std::unique_lock<std::recursive_mutex> hold(m_Lock);
    Level& l = levels[level];
    if (l.locked) return D3DERR_INVALIDCALL;
    const TextureFormatInfo* info = TextureFormat_Find(format);
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
    if (!l.readOnly) {
        RECT area = rect != nullptr ? *rect
                                    : RECT{0, 0, static_cast<int32_t>(l.width), static_cast<int32_t>(l.height)};
        TextureFormat_MarkWritten(&l.written, area);
    }
    hold.release();  // held until UnlockRect
    return D3D_OK;
}

HRESULT PlatformTexture::UnlockRect(uint32_t level) {
    if (level >= levels.size()) return D3DERR_INVALIDCALL;
    std::unique_lock<std::recursive_mutex> hold(m_Lock);
    Level& l = levels[level];
    if (!l.locked) return D3DERR_INVALIDCALL;
    l.locked = false;
    if (!l.readOnly && context && context->alive) {
        if (context->IsCurrent()) {
            TextureFormat_Upload(*this, level);
        } else if (m_PendingLevels.fetch_or(1u << level, std::memory_order_acq_rel) == 0) {
            AddRef();
            std::lock_guard<std::mutex> list(context->pendingLock);
            context->pendingTextures.push_back(this);
        }
    }
    m_Lock.unlock();  // the hold taken by LockRect
    return D3D_OK;
}

void PlatformTexture::UploadPending() {
    std::unique_lock<std::recursive_mutex> hold(m_Lock, std::try_to_lock);
    if (!hold.owns_lock()) return;
    for (const Level& l : levels)
        if (l.locked) return;
    uint32_t pending = m_PendingLevels.exchange(0, std::memory_order_acq_rel);
    for (uint32_t level = 0; pending != 0; ++level, pending >>= 1)
        if (pending & 1) TextureFormat_Upload(*this, level);
}

HRESULT PlatformTexture::FilterLevels(uint32_t sourceLevel) {
    if (sourceLevel >= levels.size()) return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> hold(m_Lock);
    for (const Level& l : levels)
        if (l.locked) return D3DERR_INVALIDCALL;
    const TextureFormatInfo& info = *TextureFormat_Find(format);
    std::vector<uint32_t> above(static_cast<size_t>(levels[sourceLevel].width) * levels[sourceLevel].height);
    TextureFormat_Decode(info, levels[sourceLevel].bits.data(), levels[sourceLevel].pitch, levels[sourceLevel].width,
                         levels[sourceLevel].height, above.data());
    std::vector<uint32_t> below;
    const bool upload = context && context->alive, now = upload && context->IsCurrent();
    uint32_t later = 0;
    for (uint32_t level = sourceLevel + 1; level < levels.size(); ++level) {
        const Level& source = levels[level - 1];
        Level& l = levels[level];
        below.resize(static_cast<size_t>(l.width) * l.height);
        TextureFormat_Downsample(above.data(), source.width, source.height, below.data(), l.width, l.height);
        // The filtered texels are in the stored form already (premultiplied where the format is).
        TextureFormat_Encode(info, below.data(), l.width, l.height, l.bits.data(), l.pitch, true);
        TextureFormat_MarkWritten(&l.written, RECT{0, 0, static_cast<int32_t>(l.width), static_cast<int32_t>(l.height)});
        if (now) TextureFormat_Upload(*this, level);
        else if (upload) later |= 1u << level;
        above.swap(below);
    }
    if (later != 0 && m_PendingLevels.fetch_or(later, std::memory_order_acq_rel) == 0) {
        AddRef();
        std::lock_guard<std::mutex> list(context->pendingLock);
        context->pendingTextures.push_back(this);
    }
    return D3D_OK;
}

PlatformBuffer::~PlatformBuffer() {
    if (!context || !context->alive || glBuffer == 0) return;
    // Only where the context is current: elsewhere (no context, or another
    // device's) the name would reach the wrong buffer or none.
    if (context->IsCurrent()) {
        glDeleteBuffers(1, &glBuffer);
    } else {
        std::lock_guard<std::mutex> hold(context->pendingLock);
        context->deadBuffers.push_back(glBuffer);
    }
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
    if (dirtyEnd > dirtyBegin) Changed(dirtyBegin, dirtyEnd);
    if (!glStored) {
        Store();
    } else if (dirtyEnd > dirtyBegin && context && context->alive) {
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

void PlatformBuffer::Store() {
    if (!context || !context->alive) return;
    // Uploads go through a binding point no vertex array records.
    glBindBuffer(GL_COPY_WRITE_BUFFER, glBuffer);
    glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(bytes.size()), bytes.data(),
                 (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    glStored = true;
}

namespace {

// Indices per run whose highest index is kept.
constexpr uint32_t kIndexRun = 256;

template <typename Index>
uint32_t HighestOf(const uint8_t* bytes, uint32_t first, uint32_t stop) {
    Index highest = 0;
    for (uint32_t i = first; i < stop; ++i) {
        Index v;
        std::memcpy(&v, bytes + static_cast<size_t>(i) * sizeof v, sizeof v);
        highest = std::max(highest, v);
    }
    return highest;
}

}  // namespace

uint32_t PlatformIndexBuffer::Index(uint32_t i) const {
    uint32_t v = 0;
    const uint32_t size = format == D3DFMT_INDEX32 ? 4 : 2;
    std::memcpy(&v, bytes.data() + static_cast<size_t>(i) * size, size);
    return v;
}

void PlatformIndexBuffer::Changed(uint32_t begin, uint32_t end) {
    m_LastCount = 0;
    const uint32_t size = format == D3DFMT_INDEX32 ? 4 : 2;
    const uint32_t count = static_cast<uint32_t>(bytes.size() / size);
    m_RunHighest.resize((count + kIndexRun - 1) / kIndexRun);
    const uint32_t lastRun = std::min<uint32_t>(static_cast<uint32_t>(m_RunHighest.size()), (end + size - 1) / size / kIndexRun + 1);
    for (uint32_t run = begin / size / kIndexRun; run < lastRun; ++run) {
        const uint32_t first = run * kIndexRun, stop = std::min(count, first + kIndexRun);
        m_RunHighest[run] = size == 4 ? HighestOf<uint32_t>(bytes.data(), first, stop)
                                      : HighestOf<uint16_t>(bytes.data(), first, stop);
    }
}

void PlatformIndexBuffer::Zeroed() {
    m_LastCount = 0;
    const uint32_t size = format == D3DFMT_INDEX32 ? 4 : 2;
    m_RunHighest.assign((bytes.size() / size + kIndexRun - 1) / kIndexRun, 0);
}

uint32_t PlatformIndexBuffer::HighestIndex(uint32_t first, uint32_t count) const {
    if (count != 0 && first == m_LastFirst && count == m_LastCount) return m_LastHighest;
    uint32_t highest = 0;
    for (uint32_t i = first, end = first + count; i < end;) {
        if (i % kIndexRun == 0 && end - i >= kIndexRun) {
            highest = std::max(highest, m_RunHighest[i / kIndexRun]);
            i += kIndexRun;
        } else {
            highest = std::max(highest, Index(i++));
        }
    }
    m_LastFirst = first;
    m_LastCount = count;
    m_LastHighest = highest;
    return highest;
}
