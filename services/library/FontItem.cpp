#include "kernel/base/Archive.h"
#include "services/library/Library.h"
#include "services/library/ServiceCalls.h"

namespace {

constexpr uint32_t kGlyphStoredSize = sizeof(GlyphRect);

// The rasteriser's metrics as a font item stores them, after its texture
// item id: five words, the character set and one cell per character.
int SerializeMetrics(CQVArchive* archive, FontMetrics* metrics, uint32_t mode) {
    archive->SerializeDword(&metrics->spacing);
    archive->SerializeDword(&metrics->textureHeight);
    archive->SerializeDword(&metrics->textureWidth);
    archive->SerializeDword(&metrics->characterCount);
    archive->SerializeDword(&metrics->textScale);
    // The character set has room for 256 characters.
    if (metrics->characterCount > FONT_CHARACTER_CAPACITY) return 0;
    archive->SerializeBytes(metrics->characterSet, sizeof metrics->characterSet);
    if (mode != SERIALIZE_WRITE) {
        if (static_cast<uint64_t>(metrics->characterCount) * kGlyphStoredSize > archive->GetRemaining()) return 0;
    }
    metrics->glyphs.resize(metrics->characterCount);
    static_assert(sizeof(GlyphRect) == 16);
    archive->SerializeDwords(metrics->glyphs.data(), metrics->characterCount * 4);
    return archive->HasFailed() ? 0 : 1;
}

}  // namespace

CQVFontItem::~CQVFontItem() { LibraryCall_FreeFont(rasterizer); }

int CQVFontItem::Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) {
    if (!CQVLibraryItem::Serialize(archive, mode, version)) return 0;
    archive->SerializeString(faceName);
    archive->SerializeString(characterSet);
    // The rasteriser keeps both in fixed buffers.
    if (faceName.size() >= FONT_FACE_CAPACITY || characterSet.size() > FONT_CHARACTER_CAPACITY) return 0;
    archive->SerializeDword(&size);
    uint32_t unused = 0;
    archive->SerializeDword(&unused);
    archive->SerializeDword(&flags);
    archive->SerializeDword(&textureId);
    archive->SerializeDword(&spacing);
    if (HasStoredMetrics() && !SerializeMetrics(archive, &metrics, mode)) return 0;
    return FinishRead(archive, mode);
}

int CQVFontItem::Load() {
    if (loaded) return 1;
    if (faceName.empty()) return 0;
    if (HasStoredMetrics()) {
        CQVLibraryItem* texture = g_Library.At(textureId);
        if (texture != nullptr && texture->kind == LIBRARY_TEXTURE) {
            texture->Load();
            if (!LibraryCall_AttachFontTexture(this, static_cast<CQVTextureItem*>(texture))) return 0;
            loaded = 1;
            return 1;
        }
        // A texture id that names no texture: the face is rasterised instead.
        textureId = LIBRARY_NO_ITEM;
    }
    if (!LibraryCall_RasterizeFont(this)) return 0;
    loaded = 1;
    return 1;
}
