#include "actors/characters/Animation.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/KeyTrack.h"
#include "services/mesh/Motion.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace {

constexpr MessageRow kAnimationRows[] = {
    SheetRow("Animation Properties", PROP_TITLE),
    FieldRow<&CQVAnimation::m_MotionName>(MSG_SET_MOTION, MSG_ANIMATION_GET_MOTION, "Animation Motion", PROP_STRING)
        .StoredBy<&CQVAnimation::SetMotionName>()
        .WholeValue(),
    SheetRow("Animation Style", PROP_SEPARATOR),
    FieldRow<&CQVAnimation::m_Style>(MSG_SET_ANIMATION_STYLE, MSG_GET_ANIMATION_STYLE,
                                     "Style:|Forward Once|0|Backward Once|1|Forward->Backward Once|2|Forward Loop|3|"
                                     "Backward Loop|4|Forward<->Backward Loop|5|",
                                     PROP_CHOICE)
        .Then<&CQVAnimation::ApplyStyle>(),
    FieldRow<&CQVAnimation::m_Speed>(MSG_SET_ANIMATION_SPEED, MSG_GET_ANIMATION_SPEED, "Speed:|%|", PROP_REAL),
    FlagRow<&CQVAnimation::m_AnimFlags>(MSG_X_104, MSG_X_105, ANIMATION_PLAY_ON_START, "Play on Start Game:",
                                        PROP_CHECK),
    SheetRow("Play Animation|Play|", PROP_BUTTON, MSG_ANIMATION_PLAY),
    SheetRow("Stop Animation|Stop|", PROP_BUTTON, MSG_ANIMATION_STOP),
    SheetRow("Reset Animation|Reset|", PROP_BUTTON, MSG_ANIMATION_RESET),
    SheetRow("AutoCreate", PROP_BUTTON, MSG_ANIMATION_AUTOCREATE),

    FieldRow<&CQVAnimation::m_Time>(MSG_SET_CURRENT_TIME, MSG_GET_CURRENT_TIME).StoredBy<&CQVAnimation::SetTime>(),
    MemberRow<&CQVAnimation::NormalizedTime, &CQVAnimation::SetNormalizedTime>(MSG_SET_CURRENT_NORMALIZED_TIME,
                                                                               MSG_GET_CURRENT_NORMALIZED_TIME)
        .Returns(1),
    FieldRow<&CQVAnimation::m_TotalTime>(0, MSG_GET_TOTAL_TIME),
    FieldRow<&CQVAnimation::m_ActionValue>(MSG_ACTION_START_VALUE, 0),
    FieldRow<&CQVAnimation::m_ActionValue>(MSG_ACTION_STOP_VALUE, 0),
    FieldRow<&CQVAnimation::m_ActionValue>(MSG_KILL_VALUE, 0),
};

constexpr MessageTable kAnimationMessages{
    kAnimationRows, CopiedFields<&CQVAnimation::m_Motion, &CQVAnimation::m_Direction>()};

constexpr float kEndGap = 1e-9f;   // just below the end
constexpr float kTurnGap = 2e-9f;  // the turn of a back-and-forth style
constexpr uint32_t kSpeedScale = 100;
constexpr size_t kClassPrefix = 3;

std::vector<KeyTrack*> TracksOf(CQVMotionItem* motion) {
    std::vector<KeyTrack*> tracks(Motion_GetTrackCount(motion));
    if (!tracks.empty()) Motion_GetTracks(motion, tracks.data());
    return tracks;
}

bool EndsInUnderscoreAndTwoDigits(const std::string& name) {
    const size_t n = name.size();
    return n >= 3 && name[n - 3] == '_' && std::isdigit(static_cast<unsigned char>(name[n - 2])) &&
           std::isdigit(static_cast<unsigned char>(name[n - 1]));
}

bool EndsInDigit(const std::string& name) {
    return !name.empty() && std::isdigit(static_cast<unsigned char>(name.back()));
}

// The first class (by type) whose name of four or more characters begins
// with the first three of the track's name; the base class when none does.
uint32_t ClassForTrack(const char* name) {
    if (name == nullptr || std::strlen(name) < kClassPrefix) return CLASS_BASE;
    for (uint32_t type = 0; type < g_ClassRecords.size(); ++type) {
        const std::string& className = g_ClassRecords[type].name;
        if (className.size() >= kClassPrefix + 1 && className.compare(0, kClassPrefix, name, kClassPrefix) == 0)
            return type;
    }
    return CLASS_BASE;
}

int SetResource(CQVActor* actor, const std::string& name) {
    return actor->HandleMessage(MSG_SET_RESOURCE, Args_Of(name.c_str()));
}

}  // namespace

CQVAnimation::CQVAnimation() {
    m_ClassType = CLASS_ANIMATION;
    m_Activity &= ~ANIMATION_PLAYING;
}

CQVAnimation::~CQVAnimation() { m_Bindings.clear(); }

CQVMotionItem* CQVAnimation::FindMotion() const {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return nullptr;
    return static_cast<CQVMotionItem*>(engine->FindItem(m_MotionName.c_str(), LIBRARY_MOTION));
}

void CQVAnimation::ApplyStyle() {
    if (m_Style == ANIMATION_BACKWARD_ONCE || m_Style == ANIMATION_BACKWARD_LOOP) {
        m_Direction = 1;
        m_Time = m_TotalTime - kEndGap;
    } else {
        m_Direction = 0;
        m_Time = 0.0f;
    }
}

int CQVAnimation::SetTime(float time) {
    m_Time = time >= m_TotalTime ? m_TotalTime - kEndGap : time;
    return ROW_PASS_ON;
}

void CQVAnimation::SetMotionName(const std::string& name) {
    if (m_MotionName == name) return;
    m_MotionName = name;
    HandleMessage(MSG_ANIMATION_BIND, nullptr);
    const float start = 0.0f;
    HandleMessage(MSG_SET_CURRENT_TIME, Args_Of(&start));
}

void CQVAnimation::Bind() {
    CQVMotionItem* motion = FindMotion();
    if (motion == nullptr) return;
    m_Motion = motion;
    m_TotalTime = Motion_GetLength(motion);
    m_Bindings.clear();
    for (KeyTrack* track : TracksOf(motion)) {
        CQVActor* actor = FindDescendantByName(this, KeyTrack_GetName(track));
        if (actor == nullptr) continue;
        AnimationBinding& binding = m_Bindings.emplace_back();
        binding.link.SetOwner(this);
        binding.link.SetTarget(actor);
        binding.track = track;
    }
}

void CQVAnimation::ApplyPose() {
    for (AnimationBinding& binding : m_Bindings) {
        CQVActor* target = binding.link.target;
        if (target == nullptr) continue;
        KeyTrack_EvalRotation(&target->m_Rotation, binding.track, m_Time);
        target->InvalidateTransform();
        KeyTrack_EvalPosition(&target->m_Position, binding.track, m_Time);
        target->InvalidateTransform();
        KeyTrack_EvalScale(&target->m_Scale, binding.track, m_Time);
        target->InvalidateTransform();
    }
}

void CQVAnimation::AutoCreate() {
    CQVMotionItem* motion = FindMotion();
    if (motion == nullptr || g_ActorSystem == nullptr) return;
    for (KeyTrack* track : TracksOf(motion)) {
        const char* trackName = KeyTrack_GetName(track);
        if (trackName == nullptr || FindDescendantByName(this, trackName) != nullptr) continue;
        CQVActor* actor =
            g_ActorSystem->CreateActor(ClassForTrack(trackName), trackName, nullptr, this, ACTOR_ID_ANY, 1, 0);
        if (actor == nullptr) continue;
        std::string name = trackName;
        if (SetResource(actor, name)) continue;
        if (EndsInUnderscoreAndTwoDigits(name)) {
            name.resize(name.size() - 3);
            if (SetResource(actor, name)) continue;
        }
        if (!EndsInDigit(name)) continue;
        name.pop_back();
        if (SetResource(actor, name) || !EndsInDigit(name)) continue;
        name.pop_back();
        SetResource(actor, name);
    }
    HandleMessage(MSG_ANIMATION_BIND, nullptr);
}

void CQVAnimation::Step(float dt) {
    const float step = m_Speed * m_ActionValue * dt;
    m_Time += m_Direction == 0 ? step : -step;
    const float total = m_TotalTime;
    if (m_Time >= total) {
        switch (m_Style) {
        case ANIMATION_FORWARD_ONCE:
            m_Time = total - kEndGap;
            m_Activity &= ~ANIMATION_PLAYING;
            HandleMessage(MSG_ON_ANIMATION_END, nullptr);
            break;
        case ANIMATION_FORWARD_BACKWARD_ONCE:
        case ANIMATION_FORWARD_BACKWARD_LOOP:
            m_Time = total - kTurnGap;
            m_Direction = 1;
            HandleMessage(MSG_ON_ANIMATION_REVERSE, nullptr);
            break;
        case ANIMATION_FORWARD_LOOP:
            m_Time -= total;
            if (m_Time > total) m_Time = 0.0f;
            HandleMessage(MSG_ON_ANIMATION_LOOP, nullptr);
            break;
        default:
            break;
        }
    } else if (m_Time < 0.0f) {
        switch (m_Style) {
        case ANIMATION_FORWARD_ONCE:
        case ANIMATION_BACKWARD_ONCE:
        case ANIMATION_FORWARD_BACKWARD_ONCE:
            m_Activity &= ~ANIMATION_PLAYING;
            m_Time = 0.0f;
            m_Direction = 0;
            HandleMessage(MSG_ON_ANIMATION_END, nullptr);
            break;
        case ANIMATION_FORWARD_LOOP:
        case ANIMATION_BACKWARD_LOOP:
            m_Time = total - kEndGap;
            HandleMessage(MSG_ON_ANIMATION_LOOP, nullptr);
            break;
        case ANIMATION_FORWARD_BACKWARD_LOOP:
            m_Time = 1e-9f;
            m_Direction = 0;
            HandleMessage(MSG_ON_ANIMATION_LOOP, nullptr);
            break;
        default:
            break;
        }
    }
}

void CQVAnimation::Update() {
    if (!IsOperational()) return;
    ActorClock* clock = m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    const bool wasPlaying = IsPlaying();
    if (m_TotalTime > 0.0f && wasPlaying) Step(clock->dt);
    if (m_Motion && (wasPlaying || IsPlaying())) HandleMessage(MSG_ANIM_UPDATE, nullptr);
    CQVActor::Update();
}

void CQVAnimation::CopyBindings(const CQVAnimation& source) {
    m_Bindings.clear();
    for (const AnimationBinding& from : source.m_Bindings) {
        AnimationBinding& binding = m_Bindings.emplace_back();
        binding.link = from.link;
        binding.link.SetOwner(this);
        binding.track = from.track;
    }
}

int CQVAnimation::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kAnimationMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_START:
    case MSG_ACTION_START:
        HandleMessage(MSG_ANIMATION_PLAY, nullptr);
        break;
    case MSG_STOP:
        HandleMessage(MSG_ANIMATION_STOP, nullptr);
        break;
    case MSG_START_GAME:
        if (m_AnimFlags & ANIMATION_PLAY_ON_START) HandleMessage(MSG_ANIMATION_PLAY, nullptr);
        break;
    case MSG_INIT_COPY:
        m_Bindings.clear();
        break;
    case MSG_PRECALCULATE:
        HandleMessage(MSG_ANIMATION_BIND, nullptr);
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVAnimation*>(Args_Pointer<CQVActor>(id, args)); source && source != this) {
            kAnimationMessages.Copy(*this, *source);
            CopyBindings(*source);
            constexpr uint32_t kCopiedBits = ANIMATION_LOADED | ANIMATION_PLAY_ON_START;
            m_AnimFlags = (m_AnimFlags & ~kCopiedBits) | (source->m_AnimFlags & kCopiedBits);
        }
        break;
    case MSG_CALC_ACTION_TIME_CB:
        // A speed of 0 never ends: it asks for no time.
        if (m_Speed != 0.0f) Args_Answer(args, std::max(Args_Get<float>(args), m_TotalTime / m_Speed));
        break;
    case MSG_ACTION_START_POST:
        m_ActionValue = 1.0f;
        break;
    case MSG_LOAD_RESOURCES:
        if (!(m_AnimFlags & ANIMATION_LOADED)) {
            Library_LoadItem(m_Motion);
            m_AnimFlags |= ANIMATION_LOADED;
        }
        break;
    case MSG_UNLOAD_RESOURCES:
        if (m_AnimFlags & ANIMATION_LOADED) {
            Library_UnloadItem(m_Motion);
            m_AnimFlags &= ~ANIMATION_LOADED;
        }
        break;
    case MSG_INVALID_ACTORPOINTER: {
        const ActorLink* link = Args_Pointer<ActorLink>(id, args);
        m_Bindings.remove_if([link](const AnimationBinding& binding) { return &binding.link == link; });
        break;
    }
    case MSG_ANIMATION_PLAY:
        m_Activity |= ANIMATION_PLAYING;
        break;
    case MSG_ANIMATION_STOP:
        m_Activity &= ~ANIMATION_PLAYING;
        break;
    case MSG_ANIMATION_RESET:
        ApplyStyle();
        HandleMessage(MSG_ANIM_UPDATE, nullptr);
        break;
    case MSG_ANIMATION_AUTOCREATE:
        AutoCreate();
        return 2;
    case MSG_ANIMATION_BIND:
        Bind();
        break;
    case MSG_ANIM_UPDATE:
        ApplyPose();
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVAnimation::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    if (version >= 1) {
        archive->SerializeString(m_MotionName);
        uint32_t words[3] = {m_Style, (m_AnimFlags & ANIMATION_PLAY_ON_START) ? 1u : 0u, 0};
        std::memcpy(&words[2], &m_Speed, 4);
        if (archive->SerializeDwords(words, 3) == 3 && archive->direction == ARCHIVE_READING) {
            m_Style = words[0];
            m_AnimFlags = words[1] ? (m_AnimFlags | ANIMATION_PLAY_ON_START) : (m_AnimFlags & ~ANIMATION_PLAY_ON_START);
            std::memcpy(&m_Speed, &words[2], 4);
        }
        // Files before version 64 hold the playing bit.
        if (version <= 63) {
            uint32_t playing = IsPlaying() ? 1 : 0;
            if (archive->SerializeDword(&playing) == 1 && archive->direction == ARCHIVE_READING)
                m_Activity = playing ? (m_Activity | ANIMATION_PLAYING) : (m_Activity & ~ANIMATION_PLAYING);
        }
        archive->SerializeDword(&m_Time);
        archive->SerializeDword(&m_Direction);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVAnimation::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_ANIMATION];
    record.Define("Animation", "Animation", {CLASS_BASE, CLASS_ANIMATION});
    kAnimationMessages.AddSheet(record);
    // The speed is shown in percent.
    for (PropertyDesc& row : record.properties) {
        if (row.setMessage == MSG_SET_ANIMATION_SPEED) row.scale = static_cast<float>(kSpeedScale);
    }
}
