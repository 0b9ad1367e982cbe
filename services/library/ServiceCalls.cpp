#include "services/library/ServiceCalls.h"

#include "services/engine/Engine.h"
#include "services/graphics/Texture.h"
#include "services/library/LibraryItem.h"
#include "services/sound/Sound.h"

// Until a service is part of the build, its operations fail here with a
// text that names what is missing; releasing has nothing to release, since
// nothing could have been made.

// A texture that fails leaves its diagnostic as the engine's error text.
CQVVideoTexture* LibraryCall_CreateTexture(const std::string& path, uint32_t width, uint32_t height,
                                           D3DFORMAT format, uint32_t mipLevels) {
    CQVVideoTexture* texture = Texture_CreateFromFile(path.c_str(), width, height, format, mipLevels);
    if (texture == nullptr) CQVEngine::SetError("%s", Texture_GetLastError());
    return texture;
}
CQVVideoTexture* LibraryCall_CreateVideoTexture(const std::string& path) {
    CQVVideoTexture* texture = VideoTexture_Create(path.c_str());
    if (texture == nullptr) CQVEngine::SetError("%s", Texture_GetLastError());
    return texture;
}
void LibraryCall_ReleaseTexture(CQVVideoTexture* texture) { Texture_Release(texture); }
void LibraryCall_BindTexture(CQVVideoTexture* texture, uint32_t stage) { Texture_Bind(texture, stage); }
void LibraryCall_RewindVideo(CQVVideoTexture* texture) { VideoTexture_Rewind(texture); }
void LibraryCall_PlayVideo(CQVVideoTexture* texture) { VideoTexture_Play(texture); }

int LibraryCall_OpenMovie(const std::string& path) { return Movie_Open(path.c_str()); }
int LibraryCall_UpdateMovie() { return Movie_Update(); }
void LibraryCall_CloseMovie() { Movie_Close(); }

CQVSoundBuffer* LibraryCall_CreateSound(const std::string& path, bool wholeFile, bool threeD) {
    return Sound_CreateForItem(path.c_str(), (wholeFile ? 1u : 0u) | (threeD ? 2u : 0u));
}
CQVSoundBuffer* LibraryCall_DuplicateSound(CQVSoundBuffer* sound, bool threeD) {
    return threeD ? Sound_Duplicate3D(sound, 0) : Sound_Duplicate(sound, 0);
}
void LibraryCall_ReleaseSound(CQVSoundBuffer* sound) { Sound_Release(sound); }
const char* LibraryCall_GetSoundError() { return Sound_GetLastError(); }

int LibraryCall_LoadMesh(CQVMeshItem* item) {
    CQVEngine* engine = CQVEngine::GetInstance();
    return engine != nullptr ? engine->LoadMesh(item) : 0;
}
int LibraryCall_LoadMotion(CQVMotionItem* item) {
    CQVEngine* engine = CQVEngine::GetInstance();
    return engine != nullptr ? engine->LoadMotion(item) : 0;
}

// The font calls are the overlay service's (services/overlay/Font.cpp).
