#pragma once
// A fresh actor system with the script interpreter installed and one actor
// that owns the scripts under test.

#include "tests/kernel/actors/ActorTestSupport.h"

#include "kernel/script/Script.h"

#include <vector>

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
