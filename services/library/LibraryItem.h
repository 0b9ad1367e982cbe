#pragma once
// The items of the resource library: every texture, mesh, sound, material,
// light, motion and font the game uses. Items live in the library's table
// (Library.h), indexed by their id; actors refer to them by id and reach them
// through the engine's lookups. Each kind reads and writes its own fields
// through one Serialize routine and makes or frees its device objects in
// Load and Unload, through the service that owns them (ServiceCalls.h).

#include "kernel/base/Maths.h"
#include "platform/graphics/D3D8Types.h"
#include "services/mesh/KeyTrack.h"
#include "services/mesh/Mesh.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

class CQVArchive;
class CQVSoundBuffer;
class FontRasterizer;
struct CQVVideoTexture;

// Item kinds as stored in the file; 3 was never used.
enum : uint32_t {
    LIBRARY_TEXTURE = 0,
    LIBRARY_MESH = 1,
    LIBRARY_SOUND = 2,
    LIBRARY_MATERIAL = 4,
    LIBRARY_LIGHT = 5,
    LIBRARY_MOTION = 6,
    LIBRARY_FONT = 7,
    LIBRARY_KIND_LIMIT = 8,
};

// An item id that names no item.
constexpr uint32_t LIBRARY_NO_ITEM = 0xFFFFFFFF;

class CQVLibraryItem {
public:
    virtual ~CQVLibraryItem() = default;
    // Items of every kind come from the item pool (ItemPool.h): a library
    // read makes thousands and the library frees them all at once. Any
    // item made with new, by anyone, is freed with delete as before.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* block) noexcept;
    static void operator delete(void* block, const std::nothrow_t&) noexcept;
    // Reads (modes 0 and 1) the fields after the kind and id, which the
    // library reads itself; mode 0 then loads the item. Writing (mode 2)
    // writes kind and id too. 1, or 0 when the stored item is short or
    // damaged.
    virtual int Serialize(CQVArchive* archive, uint32_t mode, uint32_t version);
    // Make and free the item's device objects; 1 or 0.
    virtual int Load() = 0;
    virtual int Unload() = 0;

    // The file name below the base folder's "Data" folder, or, without a
    // file name, the path as it stands; empty for a file name that would
    // leave the data folder.
    std::string GetFullPath() const;

    uint32_t kind;
    uint32_t id = 0;
    uint32_t thirdWord = 0;  // stored after the id; kept as read
    std::string name;
    std::string fileName;
    std::string path;
    uint32_t loaded = 0;
    uint32_t shared = 0;  // handed out by a lookup: someone holds it

protected:
    explicit CQVLibraryItem(uint32_t itemKind) : kind(itemKind) {}
    CQVLibraryItem(const CQVLibraryItem&) = default;
    CQVLibraryItem& operator=(const CQVLibraryItem&) = default;
    // Mode 0 ends by loading: 1 when the read held and the load (when asked) succeeded.
    int FinishRead(CQVArchive* archive, uint32_t mode);
};

class CQVTextureItem : public CQVLibraryItem {
public:
    CQVTextureItem() : CQVLibraryItem(LIBRARY_TEXTURE) {}
    CQVTextureItem(const CQVTextureItem&) = delete;
    CQVTextureItem& operator=(const CQVTextureItem&) = delete;
    ~CQVTextureItem() override;
    int Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) override;
    int Load() override;
    int Unload() override;

    uint32_t words[2] = {};  // kept as read
    uint32_t mipLevels = 0;
    // 3 and above keep the file's size at the finer size settings; 4 keeps
    // the file's format too.
    uint32_t textureType = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    CQVVideoTexture* texture = nullptr;
};

class CQVMeshItem : public CQVLibraryItem {
public:
    CQVMeshItem() : CQVLibraryItem(LIBRARY_MESH) {}
    CQVMeshItem(const CQVMeshItem&) = delete;
    CQVMeshItem& operator=(const CQVMeshItem&) = delete;
    ~CQVMeshItem() override;
    int Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) override;
    int Load() override;
    int Unload() override;

    // 1 for a skinned mesh; the library stores a first value that the mesh file replaces.
    uint32_t skinned = 0;
    uint32_t frameWord = 0;  // kept as read
    float scale = 1.0f;      // kept as read
    std::vector<MeshSubset> subsets;
    std::vector<SubsetInfo> subsetInfos;  // one per subset, as the library stores them
    std::vector<Bone*> bones;             // owned by the mesh
};

class CQVSoundItem : public CQVLibraryItem {
public:
    CQVSoundItem() : CQVLibraryItem(LIBRARY_SOUND) {}
    CQVSoundItem(const CQVSoundItem&) = delete;
    CQVSoundItem& operator=(const CQVSoundItem&) = delete;
    ~CQVSoundItem() override;
    int Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) override;
    int Load() override;
    int Unload() override;

    CQVSoundBuffer* buffer = nullptr;
    // A private copy plays a duplicate of this item's buffer.
    uint32_t sourceId = LIBRARY_NO_ITEM;
    uint32_t flags = SOUND_WHOLE_FILE;
    float volume = 1.0f;
    uint32_t group = 0;  // 0 to 31

    enum : uint32_t { SOUND_WHOLE_FILE = 1, SOUND_3D = 2 };
};

class CQVMaterialItem : public CQVLibraryItem {
public:
    CQVMaterialItem();
    CQVMaterialItem(const CQVMaterialItem&) = default;
    // Whoever remembers a material by address (the render service's last
    // applied one) hears of its release through the hook, so that a new
    // material made at the same address is not taken as applied.
    ~CQVMaterialItem() override;
    static void (*releaseHook)(const CQVMaterialItem* material);
    int Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) override;
    int Load() override;
    int Unload() override;

    D3DMATERIAL8 material{};
    uint32_t specularEnable = 0;
    uint32_t useAlpha = 0;
    uint32_t word1 = 0;  // kept as read
    std::vector<uint32_t> textureIds;
    uint32_t blendIndex = 0;  // into the engine's blend-mode table
    uint32_t stateFlagA = 0;  // 0 sets render-state bit 0x80
    uint32_t stateFlagB = 0;  // 0 sets render-state bit 0x20
    uint32_t fogFlag = 1;
    uint32_t word2 = 0;  // kept as read
    uint32_t collisionMaterial = 0;
    uint32_t word3 = 0;  // kept as read
    uint32_t collisionFlags = 15;
    uint32_t bucketMask = 8;  // render buckets the material draws into
};

class CQVLightItem : public CQVLibraryItem {
public:
    CQVLightItem();
    int Load() override { return 1; }
    int Unload() override { return 1; }

    uint32_t lightNumber = 0;  // the device light index
    D3DLIGHT8 light{};
    uint32_t enabled = 0;  // 1 while in the engine's local-light list
};

class CQVMotionItem : public CQVLibraryItem {
public:
    CQVMotionItem() : CQVLibraryItem(LIBRARY_MOTION) {}
    // A private copy holds copies of every track.
    CQVMotionItem(const CQVMotionItem& other);
    CQVMotionItem& operator=(const CQVMotionItem&) = delete;
    ~CQVMotionItem() override;
    int Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) override;
    int Load() override;
    int Unload() override;

    MotionTracks tracks;  // in file order, each track its own allocation
    uint32_t trackCount = 0;
    Vector3 firstTriple{0, 0, 0};       // kept as the motion file gives it
    Vector3 rootDisplacement{0, 0, 0};  // carried over one track length
};

// One glyph's cell in the font texture.
struct GlyphRect {
    float u0, v0, u1, v1;
};

// What a font item that names a texture item stores in place of
// rasterising: the rasteriser's metrics, character set and glyph cells.
struct FontMetrics {
    float spacing = 0.0f;
    uint32_t textureHeight = 0;
    uint32_t textureWidth = 0;
    uint32_t characterCount = 0;  // at most 256
    float textScale = 1.0f;
    uint8_t characterSet[256] = {};
    std::vector<GlyphRect> glyphs;  // characterCount entries
};

class CQVFontItem : public CQVLibraryItem {
public:
    CQVFontItem() : CQVLibraryItem(LIBRARY_FONT) {}
    CQVFontItem(const CQVFontItem&) = delete;
    CQVFontItem& operator=(const CQVFontItem&) = delete;
    ~CQVFontItem() override;
    int Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) override;
    int Load() override;
    int Unload() override { return 1; }
    // A texture item id other than -1 and 0 carries stored metrics.
    bool HasStoredMetrics() const { return textureId != LIBRARY_NO_ITEM && textureId != 0; }

    FontRasterizer* rasterizer = nullptr;
    std::string faceName;      // shorter than the rasteriser's 512-byte face name
    std::string characterSet;  // empty for the default set; at most 256 characters
    uint32_t size = 0;
    uint32_t spacing = 0;  // a whole number of pixels, used as a float
    uint32_t flags = 0;    // bit 0 bold, bit 1 italic
    uint32_t textureId = LIBRARY_NO_ITEM;
    FontMetrics metrics;
};

// Longest face name and character set a font item may carry.
constexpr uint32_t FONT_FACE_CAPACITY = 512;
constexpr uint32_t FONT_CHARACTER_CAPACITY = 256;

// A new, empty item of a stored kind; null for kind 3 and kinds above 7.
CQVLibraryItem* LibraryItem_Create(uint32_t kind);

// A texture item's texture on a device texture stage (none for a missing
// item or texture); its video rewound and run again, or rewound and stopped.
void TextureItem_Bind(const CQVTextureItem* item, uint32_t stage);
void TextureItem_RestartVideo(CQVTextureItem* item);
void TextureItem_StopVideo(CQVTextureItem* item);
