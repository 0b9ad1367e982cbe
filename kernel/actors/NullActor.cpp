#include "kernel/actors/ActorSystem.h"

namespace {

NullActor g_NullActor;
NullActor g_SafeNullActor;

}  // namespace

NullActor::NullActor() {
    m_ClassType = CLASS_NONE;
    m_Name = "NULLACTOR";
}

int NullActor::HandleMessage(uint32_t id, MessageArgs args) { return 1; }

void NullActor::Process() {}

void NullActor::Update() {}

void NullActor::PrepareRender() {}

NullActor* GetNullActor(int safe) { return safe ? &g_SafeNullActor : &g_NullActor; }
