#pragma once
// A fresh actor system per test with the kernel's own classes (File, FileIO,
// Class, UVAnimation) and plain stand-ins for the system actors start-up
// makes, running in a temporary folder whose "Data" folder holds the actor
// files; and a writer of expected file bytes.

#include "kernel/actors/ActorFiles.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/Class.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/UVAnimation.h"
#include "kernel/base/FrameTime.h"
#include "kernel/fileactors/File.h"
#include "kernel/fileactors/FileIO.h"
#include "tests/support/ResetGlobals.h"
#include "tools/fixtures/KernelActorClasses.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// Expected file bytes, little-endian.
struct Bytes {
    std::string data;
    Bytes& U32(uint32_t value) {
        data.append(reinterpret_cast<const char*>(&value), 4);
        return *this;
    }
    Bytes& F32(float value) {
        data.append(reinterpret_cast<const char*>(&value), 4);
        return *this;
    }
    Bytes& U8(uint8_t value) {
        data.push_back(static_cast<char>(value));
        return *this;
    }
    Bytes& Str(const std::string& text) {
        U32(static_cast<uint32_t>(text.size()));
        data += text;
        return *this;
    }
    Bytes& Raw(const std::string& bytes) {
        data += bytes;
        return *this;
    }
    Bytes& Words(std::initializer_list<uint32_t> words) {
        for (uint32_t w : words) U32(w);
        return *this;
    }
};

class FileActorsTest : public testing::Test {
protected:
    std::filesystem::path root;
    std::filesystem::path previous;
    CQVActorSystem* system = nullptr;
    CQVActor* global = nullptr;
    CQVActor* scenery = nullptr;

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv_actorfiles_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
        std::filesystem::create_directories(root / "Data");
        ResetGlobals();
        ASSERT_EQ(KernelActorClasses_Start(), 1);
        system = g_ActorSystem;
        system->m_BaseDirectory = std::string(".");
        global = system->GetActorById(ACTOR_ID_GLOBAL);
        scenery = system->GetActorById(ACTOR_ID_SCENERY);
    }

    void TearDown() override {
        ResetGlobals();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(root);
    }

    CQVActor* Make(uint32_t type, const char* name, CQVActor* parent, uint32_t id = ACTOR_ID_ANY) {
        return system->CreateActor(type, name, nullptr, parent, id, 1, 0);
    }

    static std::string ReadData(const std::string& name) {
        std::ifstream in(std::filesystem::path("Data") / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteData(const std::string& name, const std::string& bytes) {
        std::ofstream(std::filesystem::path("Data") / name, std::ios::binary) << bytes;
    }
    static std::string DataPath(const std::string& name) { return ".\\Data\\" + name; }

    int Open(CQVActor* fileIO, const std::string& name) {
        return fileIO->HandleMessage(MSG_OPEN_FILE, Args_Of(name.c_str()));
    }
    int Save(CQVActor* fileIO, const std::string& name) {
        return fileIO->HandleMessage(MSG_SAVE_FILE, Args_Of(name.c_str()));
    }
};
