#pragma once
// Images on the device that are not meshes' own data: still textures made
// from image files, video textures that play a movie file into a texture
// materials use like any other, and full-screen movies that the caller
// polls until they end. Still and video textures share one record, which
// texture items hold.
//
// Failures return null or 0 and leave a diagnostic text
// (Texture_GetLastError); the engine goes on without the texture or movie.

#include "platform/graphics/GraphicsDevice.h"
#include "platform/image/Image.h"

#include <cstdint>

struct VideoTexturePlayback;

struct CQVVideoTexture {
    PlatformTexture* texture;
    D3DXIMAGE_INFO sourceInfo;       // the image file's (still textures)
    D3DSURFACE_DESC levelDesc;       // level 0 (still textures)
    VideoTexturePlayback* playback;  // the movie, its decoding worker and its sound (video textures)
};

// A managed texture from an image file read whole through the current file
// system: width and height (0: the file's), format (D3DFMT_UNKNOWN: the
// file's), mip levels (0: the full chain).
CQVVideoTexture* Texture_CreateFromFile(const char* path, uint32_t width, uint32_t height, D3DFORMAT format,
                                        uint32_t mipLevels);
// A stopped video texture playing the movie file: A8R8G8B8, its size the
// video's rounded up to powers of two, black until the first frame; rows
// beyond the video's stay black.
CQVVideoTexture* VideoTexture_Create(const char* path);
// Runs the video from where it stands; a video at its end stays on its last frame.
void VideoTexture_Play(CQVVideoTexture* texture);
// Stops the video at its start and clears the texture to zero bytes.
void VideoTexture_Rewind(CQVVideoTexture* texture);
// The record's texture on a stage, or none for a null record.
void Texture_Bind(CQVVideoTexture* texture, uint32_t stage);
// The image file's size (still textures).
uint32_t Texture_GetWidth(CQVVideoTexture* texture);
uint32_t Texture_GetHeight(CQVVideoTexture* texture);
// Another reference to the device texture (for a holder of the raw
// texture); the new count.
uint32_t Texture_AddRef(CQVVideoTexture* texture);
// Stops a video, releases the texture once and frees the record.
void Texture_Release(CQVVideoTexture* texture);

// The full-screen movie: 1 when it runs, 0 on any failure.
int Movie_Open(const char* path);
// Presents the movie's frames as they come due for 100 ms; 1 while the
// position is below the duration, else closes it and gives 0 (0 as well
// with no movie open).
int Movie_Update();
// Two black frames, then the movie stops and goes, when one is open.
void Movie_Close();

// The diagnostic of the last failure, and printf-style into it.
const char* Texture_GetLastError();
void Texture_SetError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The clock movies run by and the wait Movie_Update sleeps in; null
// restores the system's (tests run movies on a clock of their own).
void Movie_SetClock(double (*seconds)(), void (*sleep)(uint32_t milliseconds));
// Closes the movie and forgets the error text and clock.
void Texture_Reset();
