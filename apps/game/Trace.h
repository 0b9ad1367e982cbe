#pragma once
// Named trace channels. The sink keeps nothing: the channels exist so that
// trace calls across the engine name a channel, not to produce output.

#include <cstdint>

void Trace_Register(uint32_t mask, const char* name);
void TraceChannels();
