#include "services/library/ServiceCalls.h"

#include "services/engine/Engine.h"
#include "services/library/LibraryItem.h"

// Until a service is part of the build, its operations fail here with a
// text that names what is missing; releasing has nothing to release, since
// nothing could have been made.

CQVVideoTexture* LibraryCall_CreateTexture(const std::string& path, uint32_t width, uint32_t height,
                                           D3DFORMAT format, uint32_t mipLevels) {
    CQVEngine::SetError("No texture service for %s", path.c_str());
    return nullptr;
}
CQVVideoTexture* LibraryCall_CreateVideoTexture(const std::string& path) {
    CQVEngine::SetError("No video texture service for %s", path.c_str());
    return nullptr;
}
void LibraryCall_ReleaseTexture(CQVVideoTexture* texture) {}
void LibraryCall_BindTexture(CQVVideoTexture* texture, uint32_t stage) {}
void LibraryCall_RewindVideo(CQVVideoTexture* texture) {}
void LibraryCall_PlayVideo(CQVVideoTexture* texture) {}

int LibraryCall_OpenMovie(const std::string& path) { return 0; }
int LibraryCall_UpdateMovie() { return 0; }
void LibraryCall_CloseMovie() {}

CQVSoundBuffer* LibraryCall_CreateSound(const std::string& path, bool wholeFile, bool threeD) { return nullptr; }
CQVSoundBuffer* LibraryCall_DuplicateSound(CQVSoundBuffer* sound, bool threeD) { return nullptr; }
void LibraryCall_ReleaseSound(CQVSoundBuffer* sound) {}
const char* LibraryCall_GetSoundError() { return "No sound service"; }

int LibraryCall_LoadMesh(CQVMeshItem* item) {
    return CQVEngine::SetError("No mesh service for %s", item->GetFullPath().c_str());
}
int LibraryCall_LoadMotion(CQVMotionItem* item) {
    return CQVEngine::SetError("No motion service for %s", item->GetFullPath().c_str());
}

int LibraryCall_RasterizeFont(CQVFontItem* item) {
    return CQVEngine::SetError("No font service for %s", item->faceName.c_str());
}
int LibraryCall_AttachFontTexture(CQVFontItem* item, CQVTextureItem* texture) {
    return CQVEngine::SetError("No font service for %s", item->faceName.c_str());
}
void LibraryCall_InvalidateFont(FontRasterizer* rasterizer) {}
void LibraryCall_FreeFont(FontRasterizer* rasterizer) {}
