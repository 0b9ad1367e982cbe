#pragma once
// Where library items reach the services that make their device objects
// and read their files: textures and movies, sounds, meshes, motions and
// fonts.
// Each operation is one function here, so an item kind's Load and Unload
// read the same whatever service answers them.

#include "platform/graphics/D3D8Types.h"

#include <cstdint>
#include <string>

class CQVFontItem;
class CQVMeshItem;
class CQVMotionItem;
class CQVSoundBuffer;
class CQVTextureItem;
class FontRasterizer;
struct CQVVideoTexture;

// Textures. A width or height of 0 keeps the file's size, D3DFMT_UNKNOWN its format.
CQVVideoTexture* LibraryCall_CreateTexture(const std::string& path, uint32_t width, uint32_t height,
                                           D3DFORMAT format, uint32_t mipLevels);
CQVVideoTexture* LibraryCall_CreateVideoTexture(const std::string& path);
void LibraryCall_ReleaseTexture(CQVVideoTexture* texture);
// Null binds no texture.
void LibraryCall_BindTexture(CQVVideoTexture* texture, uint32_t stage);
// Stops a video texture at its start with a black texture; playing runs it.
void LibraryCall_RewindVideo(CQVVideoTexture* texture);
void LibraryCall_PlayVideo(CQVVideoTexture* texture);

// Full-screen movies.
int LibraryCall_OpenMovie(const std::string& path);
int LibraryCall_UpdateMovie();
void LibraryCall_CloseMovie();

// Sounds: a buffer holding the whole file or streamed from it, with or
// without 3D control; a duplicate plays the same sound. Null on failure,
// with the sound layer's error text.
CQVSoundBuffer* LibraryCall_CreateSound(const std::string& path, bool wholeFile, bool threeD);
CQVSoundBuffer* LibraryCall_DuplicateSound(CQVSoundBuffer* sound, bool threeD);
// Stops and frees; null is ignored.
void LibraryCall_ReleaseSound(CQVSoundBuffer* sound);
const char* LibraryCall_GetSoundError();

// A mesh item's load: the mesh file read into its subsets, bones and
// bounds, its light maps loaded; 1, or 0 with the error text set.
int LibraryCall_LoadMesh(CQVMeshItem* item);

// A motion item's tracks from its motion file; 1, or 0 with the error text set.
int LibraryCall_LoadMotion(CQVMotionItem* item);

// Fonts: the face rasterised at the item's size, or the item's stored
// metrics over a texture item's texture; 1 or 0.
int LibraryCall_RasterizeFont(CQVFontItem* item);
int LibraryCall_AttachFontTexture(CQVFontItem* item, CQVTextureItem* texture);
// Before a device reset: the font's device state goes.
void LibraryCall_InvalidateFont(FontRasterizer* rasterizer);
void LibraryCall_FreeFont(FontRasterizer* rasterizer);
