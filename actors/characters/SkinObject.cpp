#include "actors/characters/SkinObject.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Motion.h"
#include "services/mesh/Skeleton.h"
#include "services/render/Lights.h"
#include "services/render/RenderQueue.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

// A row of the selected motion, which the sheet edits: without one a set
// is refused and a get is not applicable.
constexpr MessageRow OfSelectedMotion(const MessageRow& row) {
    return row.StoresWhen<&CQVSkinObject::HasSelectedMotion>(0).AppliesWhen<&CQVSkinObject::HasSelectedMotion>(0);
}

constexpr MessageRow kSkinObjectRows[] = {
    SheetRow("SkinObject Properties", PROP_TITLE),
    BoolRow<&CQVSkinObject::m_Slave>(MSG_SET_SKIN_SLAVE, MSG_GET_SKIN_SLAVE, "Slave", PROP_CHECK),
    SheetRow("Motion:", PROP_PICKER, MSG_SET_MOTIONSTRINGLIST_447, MSG_SET_MOTIONSTRINGLIST_448),
    SheetRow("Add Motion:|Add|", PROP_BUTTON, MSG_ADD_MOTION),
    SheetRow("Delete All Motion:|Delete All|", PROP_BUTTON, MSG_SKIN_DELETE_ALL_MOTIONS),
    SheetRow("Delete Selected Motion:|Delete|", PROP_BUTTON, MSG_DELETE_MOTION),
    OfSelectedMotion(MemberRow<&CQVSkinObject::SelectedName, &CQVSkinObject::SetSelectedName>(
        MSG_SET_MOTION_NAME, MSG_GET_MOTION_NAME, "Name:", PROP_STRING)),
    OfSelectedMotion(MemberRow<&CQVSkinObject::SelectedByte<&SkinMotion::priority>,
                               &CQVSkinObject::SetSelectedByte<&SkinMotion::priority>>(
        MSG_SET_MOTION_PRIORITY, MSG_GET_MOTION_PRIORITY, "Priority:", PROP_UINT)),
    OfSelectedMotion(MemberRow<&CQVSkinObject::SelectedByte<&SkinMotion::layer>, &CQVSkinObject::SetSelectedLayer>(
        MSG_SET_MOTION_LAYER, MSG_GET_MOTION_LAYER, "Layer:", PROP_UINT)),
    OfSelectedMotion(MemberRow<&CQVSkinObject::SelectedBlendTime, &CQVSkinObject::SetSelectedBlendTime>(
        MSG_SKIN_SET_BLEND_TIME, MSG_SKIN_GET_BLEND_TIME, "BlendTime:", PROP_REAL)),
    OfSelectedMotion(MemberRow<&CQVSkinObject::SelectedByte<&SkinMotion::playStyle>,
                               &CQVSkinObject::SetSelectedByte<&SkinMotion::playStyle>>(
        MSG_SKIN_SET_PLAY_STYLE, MSG_SKIN_GET_PLAY_STYLE, "PlayStyle:|Loop|0|Once|1|OnceThenHold|2|", PROP_CHOICE)),
    // A pointer to the library item: the pair is in the switch.
    SheetRow("Set Motion:", PROP_MOTION, MSG_SET_MOTION_H, MSG_GET_MOTION_H),
    SheetRow("SkinObject Properties2", PROP_TITLE),
    FieldRow<&CQVSkinObject::CurrentLayerBlock, &SkinMotionLayer::speed>(MSG_SET_MOTION_SPEED, MSG_GET_MOTION_SPEED,
                                                                          "Speed:|%|", PROP_REAL),
    SheetRow("Auto Assign motions:", PROP_SEPARATOR),
    FieldRow<&CQVSkinObject::m_AutoAssignName>(MSG_SET_AUTOASSIGN_NAME, MSG_GET_AUTOASSIGN_NAME, "Name:",
                                                PROP_STRING),
    SheetRow("Auto Assign:", PROP_BUTTON, MSG_AUTOASSIGN_MOTIONS),
    SheetRow("Tools:", PROP_SEPARATOR),
    SheetRow("BoneSync AutoCreate", PROP_BUTTON, MSG_CREATE_BONESYNC_ACTORS_470),
    SheetRow("Activate AutoCreate", PROP_BUTTON, MSG_CREATE_BONESYNC_ACTORS_471),
    SheetRow("ReSync Bones", PROP_BUTTON, MSG_RESYNC_BONES),

    // The current layer's clock. The get is answered here alone: the mesh
    // actor would write its own animation time over it (see the switch).
    FieldRow<&CQVSkinObject::CurrentLayerBlock, &SkinMotionLayer::time>(MSG_SET_CURRENT_TIME, MSG_GET_CURRENT_TIME),
    MemberRow<&CQVSkinObject::NormalizedLayerTime, &CQVSkinObject::SetNormalizedLayerTime>(
        MSG_SET_CURRENT_NORMALIZED_TIME, MSG_GET_CURRENT_NORMALIZED_TIME)
        .Returns(1),
};

// The layers (all but their bindings), the links and the bone actors are
// copied by hand; the current layer starts again at 0.
constexpr MessageTable kSkinObjectMessages{
    kSkinObjectRows,
    CopiedFields<&CQVSkinObject::m_Motions, &CQVSkinObject::m_SkinFlags, &CQVSkinObject::m_MotionUpdateTime,
                 &CQVSkinObject::m_BonesStamp, &CQVSkinObject::m_SkinStamp, &CQVSkinObject::m_SelectedMotion,
                 &CQVSkinObject::m_ClippingSphere, &CQVSkinObject::m_HasClippingSphere>()};

constexpr const char* kFallbackMotion = "N_Neutral";
constexpr const char* kRootBone = "Bip01";
constexpr const char* kBonesName = "Bones";
// The next motion step after a start advances by at least this much.
constexpr float kRestartLead = 0.005f;
// A fading copy above this weight is no fading copy: no cross-fade is made.
constexpr float kMaxFadeWeight = 5.0f;
// Library motion names carry a three-letter owner prefix and a separator.
constexpr size_t kItemPrefixLength = 4;
constexpr uint32_t kAutoAssignPrefixLength = 3;
constexpr float kDieBlendTime = 0.1f;
// The smallest stored motion record: item id, blend time, the byte word,
// and from version 37 a name length.
constexpr uint32_t kStoredMotionSize = 12;
constexpr uint32_t kStoredNamedMotionSize = 16;

enum class MotionStart { Missing, Queued, Started };

bool NameHas(std::string_view name, size_t position, std::string_view text) {
    return name.size() >= position + text.size() && name.compare(position, text.size(), text) == 0;
}

// An item's name without its owner prefix.
std::string NameAfterPrefix(const CQVLibraryItem* item) {
    const char* name = Library_GetItemName(item);
    const size_t length = name ? std::strlen(name) : 0;
    return length > kItemPrefixLength ? std::string(name + kItemPrefixLength) : std::string();
}

CQVMotionItem* AcquireMotion(int32_t id) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return nullptr;
    return static_cast<CQVMotionItem*>(engine->AcquireItem(static_cast<uint32_t>(id), LIBRARY_MOTION, 0, 0));
}

std::string ActivateName(uint32_t layer) { return "Activate" + std::to_string(layer); }

int32_t BoneIndex(const Skeleton* skeleton, const char* name) {
    const Bone* bone = Skeleton_FindBone(skeleton, name);
    for (uint32_t i = 0; bone != nullptr && i < Skeleton_GetBoneCount(skeleton); ++i) {
        if (Skeleton_GetBone(skeleton, i) == bone) return static_cast<int32_t>(i);
    }
    return -1;
}

std::vector<KeyTrack*> TracksOf(CQVMotionItem* motion) {
    std::vector<KeyTrack*> tracks(Motion_GetTrackCount(motion));
    if (!tracks.empty()) Motion_GetTracks(motion, tracks.data());
    return tracks;
}

// The list the sheet's motion picker is filled from; it lives as long as the program.
std::vector<std::string>& SharedMotionNames() {
    static std::vector<std::string> names;
    return names;
}

int Tell(CQVActor* actor, uint32_t id, uint32_t value) { return actor->HandleMessage(id, Args_Of(&value)); }

}  // namespace

bool CQVSkinObject::s_NotifyParent = true;

void BindingDeleter::operator()(BoneLayerBinding* binding) const { BoneLayerBinding_Destroy(binding); }
void CQVSkinObject::SkeletonDeleter::operator()(Skeleton* skeleton) const { Skeleton_Destroy(skeleton); }
void CQVSkinObject::MatricesDeleter::operator()(BoneMatrices* matrices) const {
    Skeleton_FreeBoneMatrices(matrices);
}

void SkinMotionLayer::CopyFieldsFrom(const SkinMotionLayer& other) {
    flags = other.flags;
    bodyPart = other.bodyPart;
    motion = other.motion;
    motionName = other.motionName;
    nextMotion = other.nextMotion;
    speed = other.speed;
    time = other.time;
    blend = other.blend;
    blendTarget = other.blendTarget;
    blendRate = other.blendRate;
}

void SkinMotion_ApplyNameRules(SkinMotion* motion) {
    const std::string_view name = motion->name;
    if (NameHas(name, 2, "Die")) motion->blendTime = kDieBlendTime;
    if (NameHas(name, 2, "Dead")) motion->playStyle = SKIN_PLAY_ONCE_THEN_HOLD;
    if (NameHas(name, 1, "_BL_")) motion->playStyle = SKIN_PLAY_ONCE;
}

// ---------------------------------------------------------------------------
// Life cycle

CQVSkinObject::CQVSkinObject() {
    m_ClassType = CLASS_SKINOBJECT;
    for (uint32_t i = 0; i < kSkinLayerCount; ++i) m_Layers[i].flags = i << LAYER_INDEX_SHIFT;
    m_Layers[1].blend = 0.0f;
    SetOwners();
}

CQVSkinObject::~CQVSkinObject() {
    m_BoneMatrices.reset();
    // Bindings reach into the skeleton's bones: they go first.
    for (SkinMotionLayer& layer : m_Layers) layer.binding.reset();
    m_Skeleton.reset();
    m_BoneSync.clear();
    m_RootOutput.Unlink();
}

void CQVSkinObject::SetOwners() {
    m_RootOutput.SetOwner(this);
    m_Master.SetOwner(this);
    for (SkinEventSlot& slot : m_EventSlots) {
        slot.container.SetOwner(this);
        slot.eventActor.SetOwner(this);
    }
    for (BoneSyncEntry& entry : m_BoneSync) entry.link.SetOwner(this);
}

float CQVSkinObject::ClockTime() const { return m_Clock ? m_Clock->time : 0.0f; }

void CQVSkinObject::InitCommon() {
    SetOwners();
    m_BonesStamp = -1;
    m_Layers[0].bodyPart = kBodyPartAll;
    m_MotionUpdateTime = ClockTime() - kRestartLead;
}

void CQVSkinObject::InitCopy() {
    // The bindings and the skeleton were the source's to keep: the copy
    // makes its own on demand.
    for (SkinMotionLayer& layer : m_Layers) layer.binding.reset();
    m_Skeleton.reset();
    m_RootOutput.Unlink();
    InitCommon();
}

void CQVSkinObject::CopySkinFields(const CQVSkinObject& source) {
    kSkinObjectMessages.Copy(*this, source);
    for (uint32_t i = 0; i < kSkinLayerCount; ++i) m_Layers[i].CopyFieldsFrom(source.m_Layers[i]);
    m_CurrentLayer = 0;
    m_RootOutput.SetTarget(source.m_RootOutput.target);
    m_Master.SetTarget(source.m_Master.target);
    m_BoneSync.clear();
    for (const BoneSyncEntry& from : source.m_BoneSync) {
        BoneSyncEntry& entry = m_BoneSync.emplace_back();
        entry.link.SetOwner(this);
        entry.link.SetTarget(from.link.target);
        entry.bone = from.bone;
    }
    for (uint32_t i = 0; i < kSkinLayerCount; ++i) {
        m_EventSlots[i].container.SetTarget(source.m_EventSlots[i].container.target);
        m_EventSlots[i].eventActor.SetTarget(source.m_EventSlots[i].eventActor.target);
    }
}

Skeleton* CQVSkinObject::MakeSkeleton() {
    if (!m_Skeleton) m_Skeleton.reset(Mesh_CreateSkeleton(m_Mesh));
    return m_Skeleton.get();
}

CQVSkinObject* CQVSkinObject::GetMaster() const { return dynamic_cast<CQVSkinObject*>(m_Master.target); }

int32_t CQVSkinObject::FindMotion(const std::string& name) const {
    for (size_t i = 0; i < m_Motions.size(); ++i) {
        if (m_Motions[i].name == name) return static_cast<int32_t>(i);
    }
    return -1;
}

SkinMotion* CQVSkinObject::MotionOf(const SkinMotionLayer& layer) {
    if (layer.motion < 0 || static_cast<size_t>(layer.motion) >= m_Motions.size()) return nullptr;
    return &m_Motions[static_cast<size_t>(layer.motion)];
}

SkinMotion* CQVSkinObject::SelectedMotion() {
    if (m_SelectedMotion < 0 || static_cast<size_t>(m_SelectedMotion) >= m_Motions.size()) return nullptr;
    return &m_Motions[static_cast<size_t>(m_SelectedMotion)];
}

std::string CQVSkinObject::SelectedName() {
    const SkinMotion* motion = SelectedMotion();
    return motion ? motion->name : std::string();
}

void CQVSkinObject::SetSelectedName(const std::string& name) {
    if (SkinMotion* motion = SelectedMotion()) motion->name = name;
}

float CQVSkinObject::SelectedBlendTime() {
    const SkinMotion* motion = SelectedMotion();
    return motion ? motion->blendTime : 0.0f;
}

void CQVSkinObject::SetSelectedBlendTime(float time) {
    if (SkinMotion* motion = SelectedMotion()) motion->blendTime = time;
}

// A layer outside the eleven is none.
void CQVSkinObject::SetSelectedLayer(uint32_t layer) {
    if (SkinMotion* motion = SelectedMotion())
        motion->layer = layer < kSkinLayerCount ? static_cast<uint8_t>(layer) : kSkinNoLayer;
}

float CQVSkinObject::NormalizedLayerTime() {
    const SkinMotion* motion = MotionOf(CurrentLayer());
    return motion && motion->length != 0.0f ? CurrentLayer().time / motion->length : 0.0f;
}

void CQVSkinObject::SetNormalizedLayerTime(float t) {
    if (const SkinMotion* motion = MotionOf(CurrentLayer())) CurrentLayer().time = t * motion->length;
}

// ---------------------------------------------------------------------------
// Motion layers

int CQVSkinObject::SetMotion(const char* text) {
    const uint32_t index = m_CurrentLayer;
    SkinMotionLayer& layer = m_Layers[index];
    if (text == nullptr || *text == '\0') {
        if (index != 0) ClearLayerMotion(layer);
        return static_cast<int>(MotionStart::Started);
    }
    // A copy: a nested send may reuse the block the name came in.
    const std::string name = text;
    const int32_t found = FindMotion(name);
    if (found < 0) return static_cast<int>(MotionStart::Missing);
    const int32_t previous = layer.motion;
    float start = 0.0f;
    if (!(layer.flags & LAYER_AUTOMATIC_SET) && m_Motions[static_cast<size_t>(found)].blendTime != 0.0f)
        CrossFade(layer, m_Motions[static_cast<size_t>(found)], found, &start);
    if (layer.flags & LAYER_TRANSITION) {
        layer.nextMotion.clear();
        layer.flags &= ~LAYER_TRANSITION;
    }
    const std::string transition = layer.motionName + "_2_" + name;
    if (FindMotion(transition) >= 0) {
        HandleMessage(MSG_SET_MOTION, Args_Of(transition.c_str()));
        layer.nextMotion = name;
        layer.flags |= LAYER_TRANSITION;
        return static_cast<int>(MotionStart::Queued);
    }
    std::vector<int32_t> candidates{found};
    for (int n = 1;; ++n) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%02d", n);
        const int32_t variant = FindMotion(name + suffix);
        if (variant < 0) break;
        candidates.push_back(variant);
    }
    layer.motion = candidates[static_cast<size_t>(Random_Next()) % candidates.size()];
    layer.time = start;
    layer.motionName = name;

    const bool killed = (m_Activity & ACTIVITY_KILLED) != 0;
    if (layer.motion != previous) {
        const std::string started = m_Motions[static_cast<size_t>(layer.motion)].name;
        if (index == 0 && s_NotifyParent && m_Parent != nullptr)
            m_Parent->HandleMessage(MSG_CALLBACK_MOTION_SET, Args_Of(started.c_str()));
        if (!killed && (m_SkinFlags & SKIN_EVENT_CONTAINERS))
            HandleMessage(MSG_CALLBACK_MOTION_SET, Args_Of(started.c_str()));
    } else if (!killed) {
        if (CQVActor* actor = m_EventSlots[index].eventActor.target)
            actor->HandleMessage(MSG_ON_ANIMATION_LOOP, nullptr);
    }
    return static_cast<int>(MotionStart::Started);
}

// The playing motion of the layer goes on in the layer above it, fading out.
void CQVSkinObject::CrossFade(SkinMotionLayer& layer, const SkinMotion& motion, int32_t found, float* start) {
    const uint32_t index = m_CurrentLayer;
    // Layer 10 has no layer above it: it switches at once.
    if (index + 1 >= kSkinLayerCount) return;
    SkinMotionLayer& upper = m_Layers[index + 1];
    const float blendTime = motion.blendTime;
    float weight = 1.0f;
    if (upper.blend != 0.0f) {
        if (upper.motion == found) {
            // The motion is still fading out above: it is taken back from where it is.
            weight = 1.0f - upper.blend;
            *start = upper.time;
        } else if (upper.blend > kMaxFadeWeight) {
            return;
        }
    }
    if (upper.bodyPart == layer.bodyPart) {
        if (layer.BlendMode() == BONE_LAYER_BEFORE)
            BoneLayerBinding_SetBlendMode(upper.binding.get(), BONE_LAYER_TOWARDS);
    } else {
        upper.binding.reset();
    }
    upper.CopyFieldsFrom(layer);
    upper.flags = (upper.flags & ~(LAYER_INDEX_MASK | LAYER_DEST_BONE_LAYER_MASK)) |
                  ((index + 1) << LAYER_INDEX_SHIFT);
    upper.SetBlendMode(BONE_LAYER_TOWARDS);
    m_SkinFlags |= SKIN_UPPER_LAYERS;
    m_CurrentLayer = index + 1;
    HandleMessage(MSG_SET_LAYER_BLEND_VALUE, Args_Of(&weight));
    float lerp[2] = {weight * blendTime, 0.0f};
    HandleMessage(MSG_LERP_LAYER_BLEND_VALUE, Args_Of(lerp));
    upper.flags |= LAYER_FADING_OUT;
    m_CurrentLayer = index;
}

void CQVSkinObject::ClearLayerMotion(SkinMotionLayer& layer) {
    layer.nextMotion.clear();
    layer.motion = -1;
    layer.motionName.clear();
    layer.binding.reset();
    HandleMessage(MSG_CALLBACK_MOTION_SET, Args_Of("_None"));
}

void CQVSkinObject::SetLayerBlendValue(SkinMotionLayer& layer, float value) {
    if (&layer == &m_Layers[0]) return;
    layer.flags &= ~LAYER_BLENDING;
    if (value != layer.blend) {
        layer.blend = value;
        layer.flags &= ~LAYER_WEIGHT_APPLIED;
    }
}

void CQVSkinObject::LerpLayerBlendValue(SkinMotionLayer& layer, float time, float value) {
    if (value != layer.blend && time != 0.0f) {
        layer.flags = (layer.flags | LAYER_BLENDING) & ~LAYER_FADING_OUT;
        layer.blendTarget = value;
        // A negative time would drive the value away from its target for ever.
        layer.blendRate = std::fabs((value - layer.blend) / time);
        return;
    }
    layer.flags &= ~LAYER_BLENDING;
    if (value != layer.blend) {
        layer.blend = value;
        layer.flags &= ~LAYER_WEIGHT_APPLIED;
    }
}

void CQVSkinObject::SetLayerMask(uint32_t part) {
    if (m_CurrentLayer == 0) return;
    SkinMotionLayer& layer = CurrentLayer();
    layer.binding.reset();
    layer.bodyPart = part;
    const bool used = std::any_of(m_Layers.begin() + 1, m_Layers.end(),
                                  [](const SkinMotionLayer& l) { return l.bodyPart != 0; });
    m_SkinFlags = used ? (m_SkinFlags | SKIN_UPPER_LAYERS) : (m_SkinFlags & ~SKIN_UPPER_LAYERS);
}

// Layer 0 always plays something: "N_Neutral", else the first motion; with
// no motion at all it plays none. The fallback goes to layer 0 whichever
// layer is current.
void CQVSkinObject::EnsureBaseMotion() {
    if (MotionOf(m_Layers[0]) != nullptr) return;
    const uint32_t current = m_CurrentLayer;
    m_CurrentLayer = 0;
    HandleMessage(MSG_SET_MOTION, Args_Of(kFallbackMotion));
    m_CurrentLayer = current;
    if (MotionOf(m_Layers[0]) == nullptr && !m_Motions.empty()) m_Layers[0].motion = 0;
}

void CQVSkinObject::StepMotions() {
    if (m_Slave) return;
    ActorClock* clock = m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    if (clock->time == m_MotionUpdateTime) return;
    // The clock's second scale word is the simulation multiplier.
    const float dt = (clock->time - m_MotionUpdateTime) * std::bit_cast<float>(clock->unused);
    m_MotionUpdateTime = clock->time;
    EnsureBaseMotion();
    const uint32_t current = m_CurrentLayer;
    const uint32_t stepped = (m_SkinFlags & SKIN_UPPER_LAYERS) ? kSkinLayerCount : 1;
    for (uint32_t i = 0; i < stepped; ++i) StepLayer(i, dt);
    m_CurrentLayer = current;
}

void CQVSkinObject::StepLayer(uint32_t index, float dt) {
    m_CurrentLayer = index;
    SkinMotionLayer& layer = m_Layers[index];
    const SkinMotion* motion = MotionOf(layer);
    if (motion == nullptr || motion->item == nullptr) return;
    const float length = motion->length;
    const uint8_t style = motion->playStyle;
    if (layer.flags & LAYER_BLENDING) {
        layer.flags &= ~LAYER_WEIGHT_APPLIED;
        const float step = dt * layer.blendRate;
        if (layer.blend < layer.blendTarget) {
            layer.blend = layer.blend + step >= layer.blendTarget ? layer.blendTarget : layer.blend + step;
        } else if (layer.blend > layer.blendTarget) {
            layer.blend = layer.blend - step <= layer.blendTarget ? layer.blendTarget : layer.blend - step;
        }
        if (layer.blend == layer.blendTarget) layer.flags &= ~(LAYER_BLENDING | LAYER_FADING_OUT);
    }
    layer.time += dt * layer.speed;
    if (layer.time < length) return;
    switch (style) {
    case SKIN_PLAY_ONCE:
        // Layer 0 never runs out of motion: its time runs on.
        if (index != 0) {
            layer.flags |= LAYER_AUTOMATIC_SET;
            HandleMessage(MSG_SET_MOTION, nullptr);
            layer.flags &= ~LAYER_AUTOMATIC_SET;
        }
        break;
    case SKIN_PLAY_ONCE_THEN_HOLD:
        layer.time = length;
        break;
    default:
        if (!layer.nextMotion.empty()) {
            const std::string next = layer.nextMotion;
            layer.flags |= LAYER_AUTOMATIC_SET;
            HandleMessage(MSG_SET_MOTION, Args_Of(next.c_str()));
            layer.flags &= ~LAYER_AUTOMATIC_SET;
            layer.nextMotion.clear();
        } else {
            const std::string again = layer.motionName;
            s_NotifyParent = false;
            layer.flags |= LAYER_AUTOMATIC_SET;
            HandleMessage(MSG_SET_MOTION, Args_Of(again.c_str()));
            layer.flags &= ~LAYER_AUTOMATIC_SET;
            s_NotifyParent = true;
        }
        if (m_Parent != nullptr) Tell(m_Parent, MSG_CALLBACK_SKINLOOPING, index);
        break;
    }
}

// The current layer's root velocity, blended with the layer above while it
// fades out; v comes in as the caller's value.
Vector3 CQVSkinObject::MotionVector(Vector3 v) {
    const SkinMotionLayer& layer = CurrentLayer();
    const SkinMotion* motion = MotionOf(layer);
    if (motion != nullptr) {
        if (layer.time == motion->length) return Vector3(0.0f, 0.0f, 0.0f);
        Motion_GetVelocity(motion->item, &v);
    }
    if (m_CurrentLayer + 1 < kSkinLayerCount) {
        const SkinMotionLayer& upper = m_Layers[m_CurrentLayer + 1];
        const SkinMotion* fading = MotionOf(upper);
        if ((upper.flags & LAYER_FADING_OUT) && fading != nullptr) {
            Vector3 u(0.0f, 0.0f, 0.0f);
            Motion_GetVelocity(fading->item, &u);
            v = v + (u - v) * upper.blend;
        }
    }
    return v * layer.speed;
}

// A motion started on the current layer: its event actor stops, the one
// named after the new motion starts.
void CQVSkinObject::OnMotionEvent(const char* name) {
    SkinEventSlot& slot = m_EventSlots[m_CurrentLayer];
    if (slot.container.target == nullptr) return;
    const std::string started = name ? name : "";
    if (CQVActor* old = slot.eventActor.target) old->HandleMessage(MSG_ACTION_STOP_PRE, nullptr);
    CQVActor* container = slot.container.target;
    slot.eventActor.SetTarget(container ? FindChildByName(container, started.c_str()) : nullptr);
    if (CQVActor* actor = slot.eventActor.target) actor->HandleMessage(MSG_ACTION_START_PRE, nullptr);
}

// ---------------------------------------------------------------------------
// Pose, skinning and outputs

void CQVSkinObject::UpdateBones() {
    if (m_Slave) return;
    if (m_BonesStamp == static_cast<int32_t>(g_FrameNumber)) return;
    m_BonesStamp = static_cast<int32_t>(g_FrameNumber);
    if (m_SkinFlags & SKIN_UPPER_LAYERS) {
        for (uint32_t i = 1; i < kSkinLayerCount; ++i) {
            SkinMotionLayer& layer = m_Layers[i];
            const SkinMotion* motion = MotionOf(layer);
            if (motion == nullptr || motion->item == nullptr) continue;
            if (!layer.binding && layer.blend != 0.0f) {
                layer.binding.reset(Skeleton_CreateBodyPartBinding(MakeSkeleton(), layer.bodyPart,
                                                                   layer.DestBoneLayer(), layer.BlendMode()));
                layer.flags &= ~LAYER_WEIGHT_APPLIED;
            }
            if (layer.flags & LAYER_WEIGHT_APPLIED) {
                if (layer.blend == 0.0f) continue;
            } else {
                layer.flags |= LAYER_WEIGHT_APPLIED;
                BoneLayerBinding_SetWeight(layer.binding.get(), layer.blend);
            }
            BoneLayerBinding_ApplyMotion(layer.binding.get(), motion->item, layer.time);
        }
    }
    EnsureBaseMotion();
    if (!m_BoneMatrices) m_BoneMatrices.reset(Mesh_AllocBoneMatrices(m_Mesh));
    Skeleton* skeleton = MakeSkeleton();
    const SkinMotion* base = MotionOf(m_Layers[0]);
    Skeleton_UpdatePose(skeleton, base ? base->item : nullptr, m_BoneMatrices.get(), m_Layers[0].time);
    for (BoneSyncEntry& entry : m_BoneSync) {
        Matrix matrix;
        if (entry.link.target == nullptr ||
            !Bone_GetMatrix(Skeleton_GetBone(skeleton, static_cast<uint32_t>(entry.bone)), &matrix))
            continue;
        entry.link.target->HandleMessage(MSG_SET_LOCAL_MATRIX, Args_Of(&matrix));
    }
}

void CQVSkinObject::PrepareRender() {
    if (!m_Slave) {
        HandleMessage(MSG_UPDATE, nullptr);
        Tell(this, MSG_UPDATE_BONES, 0);
    }
    if (m_SkinStamp == static_cast<int32_t>(g_FrameNumber)) return;
    m_SkinStamp = static_cast<int32_t>(g_FrameNumber);
    const BoneMatrices* matrices = m_BoneMatrices.get();
    const Sphere* sphere = ClippingSphere();
    if (m_Slave) {
        // A slave without a master has no pose of its own and keeps the mesh as it is.
        const CQVSkinObject* master = GetMaster();
        matrices = master ? master->GetBoneMatrices() : nullptr;
        sphere = master ? master->ClippingSphere() : nullptr;
    }
    Mesh_ApplySkin(m_Mesh, matrices, 0, sphere);
}

void CQVSkinObject::UpdateRenderItems() {
    CQVObject::UpdateRenderItems();
    for (SubMeshEntry& entry : m_Entries) {
        if (entry.renderItem == nullptr) continue;
        RenderItem_SetDrawCallback(entry.renderItem, RenderItem_PrepareOwner);
        RenderItem_SetOwner(entry.renderItem, static_cast<CQVActor*>(this));
    }
}

void CQVSkinObject::Update() {
    if ((m_Activity & ACTIVITY_OPERATIONAL) && m_RootOutput.target != nullptr) UpdateRootOutput();
    CQVObject::Update();
}

// The root bone's track of the current layer moves the output actor.
void CQVSkinObject::UpdateRootOutput() {
    if (!m_Slave) HandleMessage(MSG_UPDATE, nullptr);
    const SkinMotionLayer& layer = CurrentLayer();
    const SkinMotion* motion = MotionOf(layer);
    if (motion == nullptr) return;
    const KeyTrack* track = Motion_FindTrack(motion->item, kRootBone);
    CQVActor* target = m_RootOutput.target;
    if (track == nullptr || target == nullptr) return;
    KeyTrack_EvalRotation(&target->m_Rotation, track, layer.time);
    target->InvalidateTransform();
    KeyTrack_EvalPosition(&target->m_Position, track, layer.time);
    target->InvalidateTransform();
}

void CQVSkinObject::SetRootOutput(CQVActor* actor) {
    if (actor == m_RootOutput.target) return;
    if (m_RootOutput.target == nullptr) {
        // The root bone holds its layer-0 pose from now on; its track moves
        // the output actor instead of the mesh.
        Bone* root = Skeleton_FindBone(MakeSkeleton(), kRootBone);
        Bone_SetLayerBlendMode(root, BONE_LAYER_TOWARDS, 0);
        Bone_SetLayerWeight(root, 1.0f, 0);
    }
    m_RootOutput.SetTarget(actor);
}

void CQVSkinObject::FindMaster() {
    for (CQVActor* ancestor = m_Parent; ancestor != nullptr; ancestor = ancestor->m_Parent) {
        if (ancestor->m_ClassType == CLASS_SKINOBJECT) {
            m_Master.SetTarget(ancestor);
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Bone and event actors

int CQVSkinObject::CreateBoneActors(MessageArgs args) {
    CQVActor* bones = FindChild(kBonesName);
    if (bones == nullptr && g_ActorSystem)
        bones = g_ActorSystem->CreateActor(CLASS_BASE, kBonesName, nullptr, this, ACTOR_ID_ANY, 1, 1);
    const int32_t neutral = FindMotion(kFallbackMotion);
    if (neutral < 0) return CQVObject::HandleMessage(MSG_CREATE_BONESYNC_ACTORS_470, args);
    CQVMotionItem* item = m_Motions[static_cast<size_t>(neutral)].item;
    if (item != nullptr && bones != nullptr && g_ActorSystem) {
        for (const KeyTrack* track : TracksOf(item)) {
            const char* name = KeyTrack_GetName(track);
            if (FindChildByName(bones, name) == nullptr)
                g_ActorSystem->CreateActor(CLASS_BASE, name, nullptr, bones, ACTOR_ID_ANY, 1, 1);
        }
    }
    HandleMessage(MSG_RESYNC_BONES, nullptr);
    return 2;
}

void CQVSkinObject::CreateEventActors() {
    if (!g_ActorSystem) return;
    for (size_t i = 0; i < m_Motions.size(); ++i) {
        const uint8_t layer = m_Motions[i].layer;
        const std::string name = m_Motions[i].name;
        const std::string containerName = ActivateName(layer == kSkinNoLayer ? 0 : layer);
        CQVActor* container = FindChild(containerName.c_str());
        if (container == nullptr)
            container =
                g_ActorSystem->CreateActor(CLASS_BASE, containerName.c_str(), nullptr, this, ACTOR_ID_ANY, 1, 1);
        if (container != nullptr && FindChildByName(container, name.c_str()) == nullptr)
            g_ActorSystem->CreateActor(CLASS_BASE, name.c_str(), nullptr, container, ACTOR_ID_ANY, 1, 1);
    }
}

int CQVSkinObject::ResyncBones(uint32_t id, MessageArgs args) {
    m_SkinFlags &= ~(SKIN_BONE_SYNC | SKIN_EVENT_CONTAINERS);
    if (CQVActor* bones = FindChild(kBonesName)) {
        const int32_t neutral = FindMotion(kFallbackMotion);
        if (neutral < 0) return CQVObject::HandleMessage(id, args);
        const SkinMotion& motion = m_Motions[static_cast<size_t>(neutral)];
        if (CQVMotionItem* item = motion.item) {
            const Skeleton* skeleton = MakeSkeleton();
            m_Length = motion.length;
            m_BoneSync.clear();
            for (const KeyTrack* track : TracksOf(item)) {
                const char* name = KeyTrack_GetName(track);
                CQVActor* actor = FindChildByName(bones, name);
                if (actor == nullptr) continue;
                BoneSyncEntry& entry = m_BoneSync.emplace_back();
                entry.link.SetOwner(this);
                entry.link.SetTarget(actor);
                entry.bone = BoneIndex(skeleton, name);
                m_SkinFlags |= SKIN_BONE_SYNC;
            }
        }
    }
    for (uint32_t i = 0; i < kSkinLayerCount; ++i) {
        SkinEventSlot& slot = m_EventSlots[i];
        CQVActor* container = FindChild(ActivateName(i).c_str());
        slot.container.SetTarget(container);
        if (container == nullptr) continue;
        m_SkinFlags |= SKIN_EVENT_CONTAINERS;
        slot.eventActor.SetTarget(FindChildByName(container, m_Layers[i].motionName.c_str()));
    }
    return CQVObject::HandleMessage(id, args);
}

// ---------------------------------------------------------------------------
// The motion list

void CQVSkinObject::AddMotion() {
    SkinMotion& motion = m_Motions.emplace_back();
    motion.name = "Unassigned Motion";
    m_SelectedMotion = -1;
}

int CQVSkinObject::DeleteMotion() {
    if (SelectedMotion() == nullptr) return 0;
    const auto place = m_Motions.begin() + m_SelectedMotion;
    LibraryItem_DeleteIfUnused(place->item);
    m_Motions.erase(place);
    m_SelectedMotion = -1;
    return 1;
}

int CQVSkinObject::SetMotionItem(const CQVLibraryItem* item) {
    SkinMotion* motion = MotionOf(CurrentLayer());
    if (motion == nullptr) return 0;
    LibraryItem_DeleteIfUnused(motion->item);
    motion->item = nullptr;
    motion->itemId = static_cast<int32_t>(Library_GetItemId(item));
    motion->item = AcquireMotion(motion->itemId);
    if (motion->item == nullptr) return 0;
    motion->name = NameAfterPrefix(motion->item);
    motion->length = Motion_GetLength(motion->item);
    return 1;
}

int CQVSkinObject::AutoAssignMotions() {
    for (SkinMotion& motion : m_Motions) LibraryItem_DeleteIfUnused(motion.item);
    m_Motions.clear();
    CurrentLayer().motion = -1;
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return 0;
    const std::vector<uint32_t> ids =
        engine->FindItemsByPrefix(m_AutoAssignName.c_str(), kAutoAssignPrefixLength, LIBRARY_MOTION);
    m_Motions.resize(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        SkinMotion& motion = m_Motions[i];
        motion.itemId = static_cast<int32_t>(ids[i]);
        motion.item = AcquireMotion(motion.itemId);
        if (motion.item == nullptr) return 0;
        motion.name = NameAfterPrefix(motion.item);
        motion.length = Motion_GetLength(motion.item);
        SkinMotion_ApplyNameRules(&motion);
    }
    return 1;
}

// Motion entries of files older than version 68 (and 67) predate the play
// styles and blend times: the name rules give them theirs.
void CQVSkinObject::MendOldMotions(uint32_t version) {
    if (version < 68) {
        for (SkinMotion& motion : m_Motions) {
            if (!NameHas(motion.name, 2, "Die")) continue;
            motion.blendTime = kDieBlendTime;
            motion.playStyle = SKIN_PLAY_ONCE_THEN_HOLD;
        }
    }
    if (version < 67) {
        for (SkinMotion& motion : m_Motions) {
            motion.priority = 0;
            motion.layer = kSkinNoLayer;
            motion.playStyle = SKIN_PLAY_LOOP;
            motion.blendTime = 0.0f;
            SkinMotion_ApplyNameRules(&motion);
        }
    }
}

void CQVSkinObject::LoadResources() {
    if (m_SkinFlags & SKIN_RESOURCES_LOADED) return;
    for (SkinMotion& motion : m_Motions) Library_LoadItem(motion.item);
    m_SkinFlags |= SKIN_RESOURCES_LOADED;
}

void CQVSkinObject::UnloadResources() {
    if (!(m_SkinFlags & SKIN_RESOURCES_LOADED)) return;
    for (SkinMotion& motion : m_Motions) Library_UnloadItem(motion.item);
    m_SkinFlags &= ~SKIN_RESOURCES_LOADED;
}

void CQVSkinObject::Precalculate() {
    for (SkinMotion& motion : m_Motions) motion.length = Motion_GetLength(motion.item);
    for (uint32_t i = 1; i < kSkinLayerCount; ++i) {
        if (m_Layers[i].bodyPart == 0) continue;
        Tell(this, MSG_SET_CURRENT_LAYER, i);
        Tell(this, MSG_SET_LAYER_MASK, m_Layers[i].bodyPart);
    }
    Tell(this, MSG_SET_CURRENT_LAYER, 0);
    if (m_Slave) FindMaster();
    HandleMessage(MSG_RESYNC_BONES, nullptr);
}

// ---------------------------------------------------------------------------
// Messages

int CQVSkinObject::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kSkinObjectMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_INIT_NEW:
        InitCommon();
        break;
    case MSG_INIT_LOAD:
        InitCommon();
        MendOldMotions(g_ActorSystem ? g_ActorSystem->GetLoadVersion() : ~0u);
        break;
    case MSG_INIT_COPY:
        InitCopy();
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVSkinObject*>(Args_Pointer<CQVActor>(id, args)); source && source != this) {
            CopySkinFields(*source);
            m_SkinFlags &= ~SKIN_RESOURCES_LOADED;
            m_BoneMatrices.reset();
            HandleMessage(MSG_LOAD_RESOURCES, nullptr);
        }
        break;
    case MSG_LOAD_RESOURCES:
        LoadResources();
        break;
    case MSG_UNLOAD_RESOURCES:
        UnloadResources();
        break;
    case MSG_KILL:
        m_Activity |= ACTIVITY_KILLED;
        break;
    case MSG_START:
    case MSG_ACTION_START:
    case MSG_SET_VISIBLE:
        m_MotionUpdateTime = ClockTime() - kRestartLead;
        break;
    case MSG_SET_MESH:
        // Rebuilt for the new mesh on demand.
        m_BoneMatrices.reset();
        break;
    case MSG_PRECALCULATE:
        Precalculate();
        break;
    case MSG_INVALID_ACTORPOINTER: {
        const ActorLink* link = Args_Pointer<ActorLink>(id, args);
        m_BoneSync.remove_if([link](const BoneSyncEntry& entry) { return &entry.link == link; });
        break;
    }
    case MSG_UPDATE:
        StepMotions();
        break;
    case MSG_SET_MOTION: {
        const int started = SetMotion(Args_Text(args));
        if (started == static_cast<int>(MotionStart::Missing)) return 0;
        if (started == static_cast<int>(MotionStart::Queued)) return 1;
        break;
    }
    case MSG_BLENDMOTION: {
        const uint32_t layer = Args_Get<uint32_t>(args, 128);
        if (layer >= kSkinLayerCount || !args.Holds(0, 1)) break;
        const size_t room = std::min<size_t>(args.Size(), 128);
        const char* text = reinterpret_cast<const char*>(args.Data());
        const std::string name(text, strnlen(text, room));
        const uint32_t previous = m_CurrentLayer;
        m_CurrentLayer = layer;
        HandleMessage(MSG_SET_MOTION, Args_Of(name.c_str()));
        m_CurrentLayer = previous;
        break;
    }
    case MSG_SET_CURRENT_LAYER: {
        const uint32_t layer = Args_Get<uint32_t>(args);
        if (layer < kSkinLayerCount) m_CurrentLayer = layer;
        break;
    }
    case MSG_GET_CURRENT_TIME:
        // The row answered the layer's time: the mesh actor is passed over.
        return CQVActor::HandleMessage(id, args);
    case MSG_GET_MOTION_VECTOR:
        Args_Answer(args, MotionVector(Args_Get<Vector3>(args)));
        break;
    case MSG_SET_LAYER_DEST_BONE_LAYER: {
        SkinMotionLayer& layer = CurrentLayer();
        layer.binding.reset();
        layer.flags =
            (layer.flags & ~LAYER_DEST_BONE_LAYER_MASK) | (Args_Get<uint32_t>(args) & LAYER_DEST_BONE_LAYER_MASK);
        break;
    }
    case MSG_SET_LAYER_MASK:
        SetLayerMask(Args_Get<uint32_t>(args));
        break;
    case MSG_SET_LAYER_BLEND_VALUE:
        SetLayerBlendValue(CurrentLayer(), Args_Get<float>(args));
        break;
    case MSG_LERP_LAYER_BLEND_VALUE:
        LerpLayerBlendValue(CurrentLayer(), Args_Get<float>(args), Args_Get<float>(args, 4));
        break;
    case MSG_IS_TRANSITION_PLAYING:
        Args_Answer<uint32_t>(args, (CurrentLayer().flags & LAYER_TRANSITION) ? 1 : 0);
        break;
    case MSG_CALLBACK_MOTION_SET:
        OnMotionEvent(Args_Text(args));
        break;
    case MSG_UPDATE_BONES:
        UpdateBones();
        break;
    case MSG_GET_BONE: {
        const Bone* bone = Skeleton_FindBone(MakeSkeleton(), Args_Pointer<const char>(id, args));
        Args_Set(args, sizeof(void*), bone);
        return 1;
    }
    case MSG_SET_BIP01_OUTPUT:
        SetRootOutput(Args_Pointer<CQVActor>(id, args));
        break;
    case MSG_GET_BIP01_OUTPUT:
        if (args.Holds(0, sizeof(CQVActor*))) Args_Set(args, 0, m_RootOutput.target);
        break;
    // Two arguments, the centre and the radius: no row binds them as one value.
    case MSG_SET_SKIN_CLIPPING_SPHERE:
        if (args.Holds(0, sizeof(Sphere))) {
            m_ClippingSphere = Sphere{Args_Get<Vector3>(args), Args_Get<float>(args, sizeof(Vector3))};
            m_HasClippingSphere = true;
        }
        break;
    case MSG_GET_SKIN_CLIPPING_SPHERE:
        Args_Set(args, 0, m_ClippingSphere.centre);
        Args_Set(args, sizeof(Vector3), m_ClippingSphere.radius);
        break;
    case MSG_CREATE_BONESYNC_ACTORS_470:
        return CreateBoneActors(args);
    case MSG_CREATE_BONESYNC_ACTORS_471:
        CreateEventActors();
        return 2;
    case MSG_RESYNC_BONES:
        return ResyncBones(id, args);
    case MSG_SET_MOTIONSTRINGLIST_447: {
        const std::string name = Args_TextOr(args);
        for (size_t i = 0; i < m_Motions.size(); ++i) {
            if (m_Motions[i].name != name) continue;
            HandleMessage(MSG_SET_MOTION, Args_Of(name.c_str()));
            m_SelectedMotion = static_cast<int32_t>(i);
        }
        break;
    }
    case MSG_SET_MOTIONSTRINGLIST_448:
        if (auto* out = Args_Pointer<std::vector<std::string>>(id, args)) {
            std::vector<std::string>& names = SharedMotionNames();
            names.clear();
            for (const SkinMotion& motion : m_Motions) names.push_back(motion.name);
            *out = names;
        }
        break;
    case MSG_ADD_MOTION:
        AddMotion();
        break;
    case MSG_DELETE_MOTION:
        if (!DeleteMotion()) return 0;
        break;
    case MSG_SKIN_DELETE_ALL_MOTIONS:
        m_Motions.clear();
        m_SelectedMotion = -1;
        break;
    case MSG_SET_MOTION_H:
        if (!SetMotionItem(Args_Pointer<CQVLibraryItem>(id, args))) return 0;
        break;
    case MSG_GET_MOTION_H: {
        const SkinMotion* motion = MotionOf(CurrentLayer());
        if (motion == nullptr) return 0;
        if (args.Holds(0, sizeof(CQVMotionItem*))) Args_Set(args, 0, motion->item);
        break;
    }
    case MSG_AUTOASSIGN_MOTIONS:
        if (!AutoAssignMotions()) return 0;
        break;
    default:
        break;
    }
    return CQVObject::HandleMessage(id, args);
}

// ---------------------------------------------------------------------------
// Actor files

int CQVSkinObject::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVObject::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        uint32_t reserved = 0;
        archive->SerializeDword(&m_Slave);
        archive->SerializeDword(&reserved);
        // The count is held to the records the rest of the file can hold.
        uint32_t count = static_cast<uint32_t>(m_Motions.size());
        if (!archive->SerializeCount(&count, version >= 37 ? kStoredNamedMotionSize : kStoredMotionSize)) return 0;
        if (reading) {
            m_Motions.clear();
            m_Motions.resize(count);
        }
        for (SkinMotion& motion : m_Motions) {
            archive->SerializeDword(&motion.itemId);
            archive->SerializeDword(&motion.blendTime);
            uint8_t bytes[4] = {motion.priority, motion.layer, motion.playStyle, motion.spare};
            archive->SerializeBytes(bytes, 4);
            if (version >= 37) archive->SerializeString(motion.name);
            if (!reading) continue;
            motion.priority = bytes[0];
            motion.layer = bytes[1];
            motion.playStyle = bytes[2];
            motion.spare = bytes[3];
            motion.item = AcquireMotion(motion.itemId);
            if (motion.item != nullptr && version < 37) motion.name = NameAfterPrefix(motion.item);
        }
    }
    if (version >= 42) {
        uint32_t reserved = 0;
        archive->SerializeDword(&reserved);
        uint32_t count = (m_SkinFlags & SKIN_UPPER_LAYERS) ? kSkinLayerCount : 1;
        if (!archive->SerializeCount(&count, 4)) return 0;
        SkinMotionLayer dropped;
        for (uint32_t i = 0; i < count && !archive->HasFailed(); ++i) {
            // Records past the eleventh are read and dropped.
            SkinMotionLayer& layer = i < kSkinLayerCount ? m_Layers[i] : dropped;
            archive->SerializeDword(&layer.bodyPart);
            if (layer.bodyPart == 0) continue;
            archive->SerializeDword(&layer.motion);
            archive->SerializeString(layer.motionName);
            archive->SerializeString(layer.nextMotion);
            archive->SerializeDword(&layer.speed);
            archive->SerializeDword(&layer.time);
            uint32_t transition = (layer.flags & LAYER_TRANSITION) ? 1 : 0;
            archive->SerializeDword(&transition);
            if (reading)
                layer.flags = transition ? (layer.flags | LAYER_TRANSITION) : (layer.flags & ~LAYER_TRANSITION);
        }
        if (reading) {
            // A motion index past the list plays nothing.
            for (SkinMotionLayer& layer : m_Layers) {
                if (MotionOf(layer) == nullptr) layer.motion = -1;
            }
        }
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVSkinObject::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_SKINOBJECT];
    record.Define("SkinObject", "SkinObject", {CLASS_BASE, CLASS_OBJECT, CLASS_SKINOBJECT});
    kSkinObjectMessages.AddSheet(record);
    // The speed is shown in percent.
    for (PropertyDesc& row : record.properties) {
        if (row.setMessage == MSG_SET_MOTION_SPEED) row.scale = 100.0f;
    }
}
