#include "kernel/base/FrameTime.h"

float g_FrameTime = 0.01f;
uint32_t g_FrameNumber = 0;
