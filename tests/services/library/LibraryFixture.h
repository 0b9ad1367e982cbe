#pragma once
// Library tests read files that our own writer made, from memory: a fresh
// engine library for each test, the engine's defaults put back.

#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "tests/support/ResetGlobals.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MemoryFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class LibraryFixture : public testing::Test {
protected:
    MemoryFolder folder;

    void SetUp() override {
        ASSERT_EQ(CQVEngine::Create(), 1);
        ResetGlobals();
        engine()->worldScale = 100.0f;
        engine()->inverseWorldScale = 0.01f;
        engine()->soundEnabled = 1;
        engine()->textureFormat = 0;
        engine()->textureDivisor = 1;
        CQVEngine::SetError("%s", "");
    }
    void TearDown() override { Library_Reset(); }

    static CQVEngine* engine() { return CQVEngine::GetInstance(); }
    static std::string Error() { return engine()->GetErrorText(); }

    // Reads the bytes as the game's library; 1 or 0 as the reader answers.
    int Read(const std::vector<uint8_t>& bytes, uint32_t mode = SERIALIZE_READ) {
        folder.Put("DARarezev.edo", bytes);
        CQVArchive archive;
        archive.fileSystem = &folder;
        if (!archive.Open("DARarezev.edo", "rb")) return -1;
        return Library_Read(&archive, mode);
    }
    // The game's library as the writer writes it.
    std::vector<uint8_t> Written() {
        CQVArchive archive;
        archive.fileSystem = &folder;
        if (!archive.Open("out.edo", "wb") || !Library_Write(&archive, g_Library, engine()->worldScale)) return {};
        archive.Close();
        return *folder.Find("out.edo");
    }
    template <typename Item>
    static Item* ItemAt(uint32_t id) {
        return static_cast<Item*>(g_Library.At(id));
    }
    static uint32_t ItemCount() {
        uint32_t count = 0;
        for (uint32_t id = 0; id < g_Library.GetSlotCount(); ++id) count += g_Library.At(id) != nullptr ? 1 : 0;
        return count;
    }
};

// One item of every kind, every field away from its default.
inline void LibraryFixture_AddEveryKind(LibraryFile* file) {
    CQVTextureItem* texture = file->AddTexture(5, "Wall", "wall.tga", 256, 128);
    texture->textureType = 0;
    texture->mipLevels = 3;
    texture->words[0] = 11;
    texture->words[1] = 12;
    texture->thirdWord = 77;
    texture->path = "textures\\wall.tga";

    CQVMeshItem* mesh = file->AddMesh(6, "Crate", "crate.qvm");
    mesh->skinned = 1;
    mesh->frameWord = 9;
    mesh->scale = 2.5f;
    SubsetInfo info;
    info.shapeType = 2;
    info.shapeParam = 0;
    info.lightMapId = 5;
    info.box.min.x = -1.0f;
    info.box.max.z = 3.0f;
    info.sphere.radius = 4.0f;
    info.outerRadius = 6.0f;
    mesh->subsetInfos = {info, SubsetInfo()};

    CQVSoundItem* sound = file->AddSound(7, "Door Open", "door.wav");
    sound->flags = 3;
    sound->volume = 0.5f;
    sound->group = 4;

    CQVMaterialItem* material = file->AddMaterial(8, "Brick", {5, 6});
    material->material.Power = 12.0f;
    material->material.Emissive = {0.25f, 0.5f, 0.75f, 1.0f};
    material->specularEnable = 1;
    material->useAlpha = 1;
    material->word1 = 21;
    material->blendIndex = 2;
    material->stateFlagA = 1;
    material->stateFlagB = 1;
    material->fogFlag = 0;
    material->word2 = 22;
    material->collisionMaterial = 3;
    material->word3 = 23;
    material->collisionFlags = 7;
    material->bucketMask = 32;

    file->AddLight(9, "Lamp")->thirdWord = 5;
    file->AddMotion(10, "Walk", "walk.mot");

    CQVFontItem* font = file->AddFont(11, "Small", "Lucida Console", 8);
    font->characterSet = "ABC";
    font->flags = 1;
    font->spacing = 2;
    font->textureId = 5;
    font->metrics.spacing = 2.0f;
    font->metrics.textureHeight = 64;
    font->metrics.textureWidth = 128;
    font->metrics.characterCount = 3;
    font->metrics.textScale = 1.0f;
    font->metrics.characterSet[0] = 'A';
    font->metrics.characterSet[1] = 'B';
    font->metrics.characterSet[2] = 'C';
    font->metrics.glyphs = {{0, 0, 0.25f, 0.5f}, {0.25f, 0, 0.5f, 0.5f}, {0.5f, 0, 0.75f, 0.5f}};
}
