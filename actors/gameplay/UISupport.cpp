#include "actors/gameplay/UISupport.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"

#include <cstdint>

namespace {

constexpr uint32_t FLAGS_EVERY_FRAME = 0x100;
constexpr uint8_t PROCESS_CHANNEL = 2;

}  // namespace

void UI_ScheduleProcess(CQVActor* actor) {
    const TimedMessage* held = actor->FindTimedMessage(MSG_PROCESS);
    if ((held == nullptr || (held->state & TIMED_STATE_CANCELLED)) && g_ActorSystem) {
        g_ActorSystem->ScheduleMessage(actor, MSG_PROCESS, nullptr, FLAGS_EVERY_FRAME, 0.0f, 0.0f, 0.0f, nullptr,
                                       PROCESS_CHANNEL);
    }
}

float UI_RefreshClock(CQVActor* actor) {
    ActorClock* clock = actor->m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) actor->UpdateClock(clock);
    return clock->dt;
}

float UI_DistanceFade(float distance, float fade, float max) {
    if (max <= 0.0f) return 1.0f;
    if (distance >= max) return 0.0f;
    if (distance < fade) return 1.0f;
    return 1.0f - (distance - fade) / (max - fade);
}

float UI_LabelFade(const Vector3& position, float fade, float max) {
    if (max <= 0.0f) return 1.0f;
    CQVEngine* engine = CQVEngine::GetInstance();
    const Vector3 camera = engine ? *engine->GetCameraPosition() : Vector3(0.0f, 0.0f, 0.0f);
    return UI_DistanceFade(Vec3_Length(position - camera), fade, max);
}

int32_t UI_Truncate(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}

float UI_AlignOffset(uint32_t align, float size) {
    if (align == UI_ALIGN_CENTRE) return 0.5f * size;
    if (align == UI_ALIGN_END) return size;
    return 0.0f;
}

const char* UI_ItemName(int32_t id) {
    CQVEngine* engine = CQVEngine::GetInstance();
    const uint32_t itemId = static_cast<uint32_t>(id);
    if (engine == nullptr || id < 0 || !engine->IsValidItemId(itemId)) return "";
    const char* name = Library_GetItemName(engine->GetItem(itemId));
    return name ? name : "";
}

std::string UI_FillText(const std::string& text, std::initializer_list<std::string> values) {
    std::string out;
    auto value = values.begin();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && value != values.end()) {
            out += *value++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
