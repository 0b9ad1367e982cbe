#include "kernel/base/KernelBase.h"

#include "kernel/base/FileSystem.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/PackFileSystem.h"
#include "kernel/base/Random.h"

void KernelBase_Reset() {
    g_FrameTime = 0.01f;
    g_FrameNumber = 0;
    Random_Seed(1);
    if (g_PackFileSystem != nullptr) {
        if (g_CurrentFileSystem == g_PackFileSystem) g_CurrentFileSystem = nullptr;
        delete g_PackFileSystem;
        g_PackFileSystem = nullptr;
    }
    g_CurrentFileSystem = nullptr;
}
