#include "services/library/LibraryItem.h"

#include "kernel/base/Archive.h"
#include "kernel/base/Path.h"
#include "services/engine/Engine.h"
#include "services/library/ItemPool.h"

#include <new>

namespace {

template <typename Item>
CQVLibraryItem* MakeItem() {
    return new (std::nothrow) Item();
}

using ItemMaker = CQVLibraryItem* (*)();

// Indexed by stored kind; kind 3 has no class.
constexpr ItemMaker kItemMakers[LIBRARY_KIND_LIMIT] = {
    MakeItem<CQVTextureItem>, MakeItem<CQVMeshItem>,  MakeItem<CQVSoundItem>,  nullptr,
    MakeItem<CQVMaterialItem>, MakeItem<CQVLightItem>, MakeItem<CQVMotionItem>, MakeItem<CQVFontItem>,
};

}  // namespace

CQVLibraryItem* LibraryItem_Create(uint32_t kind) {
    return kind < LIBRARY_KIND_LIMIT && kItemMakers[kind] != nullptr ? kItemMakers[kind]() : nullptr;
}

void* CQVLibraryItem::operator new(std::size_t size) {
    void* block = operator new(size, std::nothrow);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* CQVLibraryItem::operator new(std::size_t size, const std::nothrow_t&) noexcept {
#if QV_ITEM_POOL
    return ItemPool_Allocate(size);
#else
    return ::operator new(size, std::nothrow);
#endif
}

void CQVLibraryItem::operator delete(void* block) noexcept {
#if QV_ITEM_POOL
    ItemPool_Free(block);
#else
    ::operator delete(block);
#endif
}

// Called only when a constructor throws after a nothrow new.
void CQVLibraryItem::operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }

std::string CQVLibraryItem::GetFullPath() const {
    if (fileName.empty()) return path;
    // The name comes from the library file: one that would leave the data
    // folder names nothing.
    if (!Path_StaysInside(fileName)) return std::string();
    const CQVEngine* engine = CQVEngine::GetInstance();
    return (engine != nullptr ? engine->baseFolder : std::string()) + "\\Data\\" + fileName;
}

int CQVLibraryItem::Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) {
    if (mode == SERIALIZE_WRITE) {
        uint32_t head[2] = {kind, id};
        archive->SerializeDwords(head, 2);
    }
    archive->SerializeDword(&thirdWord);
    archive->SerializeString(name);
    archive->SerializeString(fileName);
    archive->SerializeString(path);
    // Two words no reader uses; written as zeros.
    uint32_t unused[2] = {};
    archive->SerializeDwords(unused, 2);
    return archive->HasFailed() ? 0 : 1;
}

int CQVLibraryItem::FinishRead(CQVArchive* archive, uint32_t mode) {
    if (archive->HasFailed()) return 0;
    return mode == SERIALIZE_READ_LOAD ? Load() : 1;
}

CQVLightItem::CQVLightItem() : CQVLibraryItem(LIBRARY_LIGHT) {
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Range = 200.0f;
    light.Attenuation0 = 1.0f;
    light.Attenuation1 = 0.001f;
}
