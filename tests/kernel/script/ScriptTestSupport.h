#pragma once
// A fresh actor system with the script interpreter installed and one actor
// that owns the scripts under test.

#include "tests/kernel/actors/ActorTestSupport.h"

#include "kernel/script/Script.h"

#include <cstring>
#include <vector>

// The pointer stored at p, in a block's bytes as a test sees them.
template <typename T>
T* StoredPointer(const void* p) {
    T* pointer = nullptr;
    std::memcpy(&pointer, p, sizeof pointer);
    return pointer;
}

class ScriptFixture : public ActorSystemFixture {
protected:
    void SetUp() override {
        ActorSystemFixture::SetUp();
        Script_Init();
        owner = Make("Owner");
        g_Seen.clear();
    }

    static std::vector<uint8_t> CodeOf(const CQVScript& script) {
        return std::vector<uint8_t>(script.code.data, script.code.data + script.code.length);
    }

    CQVActor* owner = nullptr;
};
