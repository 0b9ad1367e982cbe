#include "apps/game/Trace.h"

namespace {

struct TraceChannel {
    uint32_t mask;
    const char* name;
};

// In registration order ("TimerCommand" follows "RenderCore" although its mask is smaller).
constexpr TraceChannel kTraceChannels[] = {
    {0x10, "Misc Heavy"},       {0x20, "Init"},           {0x40, "Scr Parse/exe"},
    {0x80, "Script"},           {0x100, "ScriptMoreInfo"}, {0x400, "Memtracker"},
    {0x800, "NextFrame"},       {0x1000, "RenderCore"},    {0x200, "TimerCommand"},
    {0x2000, "ActorSystem"},    {0x4000, "Delete"},        {0x8000, "DrawGroups"},
    {0x10000, "NullActor"},     {0x20000, "LoadResources"}, {0x40000, "Process"},
    {0x80000, "FileObjLoad"},   {0x100000, "SetMotion"},   {0x200000, "Weapon"},
    {0x800000, "TriggerEnter"}, {0x1000000, "SkinLayer"},  {0x2000000, "CreatePreloadScript"},
    {0x10000000, "_QVAudio::Sub"}, {0x20000000, "_test"},
};

}  // namespace

void Trace_Register(uint32_t mask, const char* name) {
    (void)mask;
    (void)name;
}

void TraceChannels() {
    for (const TraceChannel& channel : kTraceChannels) Trace_Register(channel.mask, channel.name);
}
