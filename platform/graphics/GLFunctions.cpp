#include "platform/graphics/GLFunctions.h"

#include <SDL2/SDL.h>

namespace glfn {
#define QV_GL_DEFINE(type, name) type name = nullptr;
QV_GL_FUNCTIONS(QV_GL_DEFINE)
#undef QV_GL_DEFINE
}  // namespace glfn

bool GL_LoadFunctions(const char** missing) {
#define QV_GL_LOAD(type, name)                                                     \
    glfn::name = reinterpret_cast<type>(SDL_GL_GetProcAddress(#name));             \
    if (glfn::name == nullptr) {                                                   \
        if (missing) *missing = #name;                                             \
        return false;                                                              \
    }
    QV_GL_FUNCTIONS(QV_GL_LOAD)
#undef QV_GL_LOAD
    return true;
}
