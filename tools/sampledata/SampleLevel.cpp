#include "tools/sampledata/SampleLevel.h"

#include "kernel/actors/ActorScript.h"
#include "kernel/actors/ActorSystem.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"

#include <cstdio>

namespace {

constexpr uint32_t LEVEL_LAST_ID = 6999;

}  // namespace

CQVActor* SampleLevel::Make(uint32_t classType, const char* name, CQVActor* parent) {
    CQVActor* actor = nextId <= LEVEL_LAST_ID
                          ? g_ActorSystem->CreateActor(classType, name, nullptr, parent, nextId, 1, 0)
                          : nullptr;
    if (actor == nullptr) {
        std::fprintf(stderr, "qv_make_sample: cannot make \"%s\" (class %u)\n", name, classType);
        if (ok) error = "cannot make \"" + std::string(name) + "\"";
        ok = false;
        return nullptr;
    }
    ++nextId;
    return actor;
}

bool SampleLevel::Written(bool written, const std::string& name) {
    if (!written) {
        std::fprintf(stderr, "qv_make_sample: cannot write %s\n", (data / name).c_str());
        if (ok) error = "cannot write " + (data / name).string();
        ok = false;
    }
    return written;
}

void Sample_AddScript(CQVActor* actor, const char* name, uint32_t message, const std::string& source) {
    CQVScript script;
    script.name = name;
    script.boundMessage = message;
    script.source = source;
    script.owner = actor;
    actor->m_Scripts.push_back(std::move(script));
}

int SampleLevel_StartEngine() {
    if (CQVEngine::Create() != 1) return 0;
    auto* mesh = new CQVMeshItem;
    mesh->name = "Fallback";
    mesh->subsetInfos.resize(1);
    mesh->loaded = 1;
    auto* material = new CQVMaterialItem;
    material->name = "Fallback";
    material->loaded = 1;
    return g_Library.SetItem(3, mesh) && g_Library.SetItem(4, material) ? 1 : 0;
}
