#include "kernel/actors/ActorLink.h"

#include "kernel/actors/Actor.h"
#include "kernel/actors/ActorSystem.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

CQVActor* g_GAVariables[GA_SLOT_COUNT] = {};

namespace {

void AppendName(std::string* trace, const char* marker, const CQVActor* actor) {
    *trace += marker;
    *trace += actor ? actor->m_Name : std::string("NULL");
}

}  // namespace

ActorLink& ActorLink::operator=(const ActorLink& other) {
    if (&other == this) return *this;
    trace += "  _AS(";
    trace += other.targetName;
    trace += "[";
    trace += other.trace;
    trace += "]";
    SetOwner(other.owner);
    SetTarget(other.target);
    return *this;
}

ActorLink::~ActorLink() { Unlink(); }

void ActorLink::SetOwner(CQVActor* newOwner) {
    owner = newOwner;
    AppendName(&trace, "  _Ow:", newOwner);
}

void ActorLink::SetTarget(CQVActor* newTarget) {
    Unlink();
    AppendName(&trace, "  _To:", newTarget);
    target = newTarget;
    if (target) target->m_BackLinks.push_back(this);
}

void ActorLink::Unlink() {
    if (target == nullptr) return;
    trace += "  _DTR()";
    auto& links = target->m_BackLinks;
    auto it = std::find(links.begin(), links.end(), this);
    if (it != links.end()) links.erase(it);
    target = nullptr;
}

int ActorLink::Resolve() {
    if (targetName.empty()) return 0;
    CQVActor* found = owner ? owner->ResolveActorName(targetName.c_str())
                            : CQVActorSystem::FindActorByPath(targetName.c_str(), nullptr);
    if (found) {
        trace += "  _Found(" + found->m_Name + ")";
        SetTarget(found);
    } else {
        trace += "  _NotFound(" + targetName + ")";
    }
    return 1;
}

int Script_ParseGAIndex(const char* name) {
    if (name == nullptr || name[0] != 'G' || name[1] != 'A') return 0;
    const size_t length = std::strlen(name);
    auto isDigit = [&](size_t i) { return i < length && std::isdigit(static_cast<unsigned char>(name[i])); };
    char digits[4] = {};
    if (isDigit(2) && !isDigit(3)) {
        digits[0] = name[2];
    } else if (!isDigit(4)) {
        digits[0] = name[2];
        digits[1] = length > 3 ? name[3] : 0;
    } else if (isDigit(5)) {
        return 0;
    } else {
        digits[0] = name[2];
        digits[1] = name[3];
        digits[2] = name[4];
    }
    return std::atoi(digits);
}

CQVActor* Script_GetGAVariable(int n) { return g_GAVariables[n]; }

CQVActor* CQVActor::ResolveActorName(const char* name) {
    const int slot = Script_ParseGAIndex(name);
    if (slot <= 0) return CQVActorSystem::FindActorByPath(name, this);
    CQVActor* actor = g_GAVariables[slot];
    const char* slash = std::strchr(name, '/');
    if (slash == nullptr || actor == nullptr) return actor;
    return CQVActorSystem::FindActorByPath(slash + 1, actor);
}
