#pragma once
// The one engine core object: overlay lists, camera and fog values,
// material blend modes, sound-group volumes, texture options and the
// engine's error text, with references to the state of the resource
// library, the lights and the render queue, which live in their own
// services. It opens the device and brackets every frame.

#include "kernel/base/Maths.h"
#include "platform/Messages.h"
#include "services/render/Render.h"
#include "services/sound/SoundState.h"

#include <cstdint>
#include <string>
#include <vector>

class CQVLibraryItem;
class CQVMaterialItem;
class CQVMeshItem;
class CQVLightItem;
class CQVMotionItem;
class CQVFontItem;
class CQVSoundBuffer;
class CQVSoundItem;
class CQVTextureItem;
class LibraryState;

// A pre-transformed overlay vertex (position with rhw, colour, one texture pair).
struct OverlayVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(OverlayVertex) == 28);

// Four vertices in strip order (top left, top right, bottom left, bottom right).
struct OverlayQuad {
    OverlayVertex vertices[4];
    CQVMaterialItem* material;
};

struct OverlayText {
    float x, y;
    float color[4];
    std::string text;
    uint32_t flags;
    float depth;
    CQVFontItem* font;
};


// Engine start flags.
enum : uint32_t { ENGINE_NO_SOUND = 1, ENGINE_WINDOWED = 2 };

class CQVEngine {
public:
    // Makes the engine (once), the graphics object, the clock and the save storage.
    static int Create();
    static CQVEngine* GetInstance();

    // Opens the device (windowed or full screen) and sets it up; 1, or 0 with the error text set.
    int Init(uint32_t width, uint32_t height, uint32_t colorDepth, uint32_t depthBits, uint32_t flags, HWND window);
    void SetBaseFolder(const std::string& folder);
    // Formats into the error text; always 0, so a failing operation can return it.
    static int SetError(const char* format, ...) __attribute__((format(printf, 1, 2)));
    const char* GetErrorText() const { return errorText; }
    void SetTextureOptions(uint32_t format, uint32_t divisor);
    void SetClearColor(uint32_t argb) { clearColor = argb; }
    void SetAmbientColor(float r, float g, float b, float a);
    // Clears with clear-all (target, depth, stencil) or clear-depth; nested
    // frames start no second scene.
    int BeginFrame(uint32_t clearAll, uint32_t clearDepth);
    int EndFrame(uint32_t present);
    void FillScreenRect(int left, int top, int right, int bottom, float r, float g, float b, float a);
    void SetFarPlane(float distance);
    void SetNearPlane(float distance);
    // Bits of the material render-state word that the next material must set again.
    uint32_t ForceRenderStates(uint32_t mask);
    // Sets the device states of the word's groups that changed since the last word or are forced.
    void SetRenderStateWord(uint32_t word);
    // The material's n-th texture item; null for null, no such texture or an empty slot.
    CQVLibraryItem* GetMaterialTexture(const CQVMaterialItem* material, uint32_t n);

    // Meshes (services/mesh). The item's geometry from its ".qvm" or ".anb"
    // file by the extension (any case); 1, or 0 with the error text set.
    int LoadMesh(CQVMeshItem* item);
    // A ".qvm" file into the item's skinned flag, subsets and bones.
    int ReadMeshFile(CQVMeshItem* item, const char* path, uint32_t unused);
    // A private one-subset mesh from arrays (normals and colours may be
    // null), owned by the caller; null with the error text set on failure.
    CQVMeshItem* CreateMesh(const Vector3* positions, const Vector3* normals, const uint32_t* colors,
                            const Vector2* texCoords, const uint16_t* indices, uint32_t vertexCount,
                            uint32_t triangleCount);
    // Frees the mesh's collision data; deletes it unless the library holds it.
    void ReleaseMesh(CQVMeshItem* mesh);

    // The render service (services/render): the queue's items are made and
    // freed there, queued by the draw pass and drawn bucket by bucket.
    RenderItem* CreateRenderItem(CQVMeshItem* mesh, uint32_t subset, CQVMaterialItem* material, const Matrix* world,
                                 uint32_t ownerId, float depthBias);
    void DestroyRenderItem(RenderItem* item);
    void QueueRenderItem(RenderItem* item, float frame, float alpha);
    int InsertRenderItem(RenderItem* item, uint32_t firstBucket);
    void DrawRenderBuckets();
    void DrawRenderItemMesh(RenderItem* item);
    // What the first draw of every live item's material and vertex format
    // would build on the device, built now: run when a level's resources
    // are loaded, so that no frame waits for it.
    void PrepareRenderItems();
    void SetBucketItemCallback(uint32_t bucket, RenderItemCallback callback);
    void SetBucketBeginCallback(uint32_t bucket, RenderBucketCallback callback);
    void SetBucketEndCallback(uint32_t bucket, RenderBucketCallback callback);
    void SetBucketCreateCallback(uint32_t bucket, RenderItemCallback callback);
    void SetBucketDestroyCallback(uint32_t bucket, RenderItemCallback callback);
    void SetBucketNoLighting(uint32_t bucket, uint32_t value);
    void SetBucketNoWorldTransform(uint32_t bucket, uint32_t value);
    void SetBucketNoMaterial(uint32_t bucket, uint32_t value);
    void SetBucketNoMeshDraw(uint32_t bucket, uint32_t value);
    void SetBucketOption(uint32_t bucket, uint32_t value);
    // The material, faded by alpha, with the subset's light map (-1 none) on stage 1.
    void ApplyMaterial(CQVMaterialItem* material, float alpha, int32_t lightMapId);

    // The view: camera, culling and fog (services/render/View.cpp).
    void SetCameraPositionRotation(const Vector3& position, const Quaternion& rotation);
    void SetCameraLookAt(const Vector3& eye, const Vector3& target, const Vector3& up);
    void GetCameraDirection(Vector3* direction) const;
    void GetCameraUp(Vector3* up) const;
    const Vector3* GetCameraPosition() const { return render.GetCameraPosition(); }
    const Vector3* GetCameraTarget() const { return render.GetCameraTarget(); }
    // Stores three quarters of the angle as the vertical field of view.
    void SetFov(float angle);
    void SetAspectRatio(float ratio);
    // 1 visible, 0 culled; the centre's view depth goes to depth when given.
    int IsSphereVisible(const Vector3& centre, float radius, float* depth, uint32_t fogFlag) const;
    void SetFogColor(uint32_t argb);
    void SetFogEnable(uint32_t enable);
    void SetFogNear(float distance);
    void SetFogFar(float distance);
    float GetFogFar() const { return render.GetFogFar(); }
    void SetGamma(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen, float addBlue);

    // Lights (services/render/Lights.cpp).
    CQVLightItem* CreateLight();
    void DestroyLight(CQVLightItem* light);
    void EnableLight(CQVLightItem* light, uint32_t on);
    CQVLightItem* GetLocalLight(uint32_t index) { return render.GetLocalLight(index); }

    // Input as the actors read it. The input state is the input service's
    // own, so these hold with or without an engine object.
    static void UpdateInput(float frameTime, uint32_t recentre);
    static int IsKeyDown(uint32_t code);
    static int WasKeyPressed(uint32_t code);
    static int WasKeyReleased(uint32_t code);
    static int IsActionDown(uint32_t action, uint32_t row);
    // Action 9 ("Forward") never counts as pressed this way: walking reads it held.
    static int WasActionPressed(uint32_t action, uint32_t row);
    static int WasActionReleased(uint32_t action, uint32_t row);
    static float GetActionValue(uint32_t action, uint32_t row);

    // Sound items as the actors play them, usually private copies. Each
    // takes null and does nothing while sound is switched off (queries then
    // give 0); those marked "loads" load the item first.
    void PlaySound(CQVSoundItem* item);        // loads; once
    void PlaySoundLooped(CQVSoundItem* item);  // loads
    void StopSound(CQVSoundItem* item);        // stops and rewinds
    void PauseSound(CQVSoundItem* item);
    int IsSoundPlaying(CQVSoundItem* item);
    float GetSoundLength(CQVSoundItem* item);  // loads; seconds
    // Loads; plays at group volume x item volume x volume.
    void SetSoundVolume(CQVSoundItem* item, float volume);
    void SetSoundFrequency(CQVSoundItem* item, float factor);                   // loads
    void SetSoundPosition(CQVSoundItem* item, const Vector3& position);          // loads
    void SetSoundDistances(CQVSoundItem* item, float minimum, float maximum);   // loads
    // Deletes a private copy; an item of the library's table stays.
    void FreeSound(CQVSoundItem* item);
    // A group of 32 or more is ignored; the volume is held to 0..1. Works
    // with sound switched off too.
    void SetSoundGroupVolume(uint32_t group, float volume);
    // The environment effect of the actor system's listener-effect stack;
    // the mix has no environment effects, so it only keeps the number.
    void SetListenerEffect(uint32_t effect);

    // The resource library (services/library). Mode 0 reads and loads every
    // item, 1 reads only, 2 writes the table back; 1, or 0 with the error text set.
    int SerializeLibrary(uint32_t mode);
    // An id inside the table (always so while the table has no slots).
    bool IsValidItemId(uint32_t id) const;
    // The item at a valid id (null for an empty slot); "Error Invalid Container ID" otherwise.
    CQVLibraryItem* GetItem(uint32_t id);
    // The item at a valid, filled slot, marked shared.
    CQVLibraryItem* UseItem(uint32_t id);
    // The first item in id order of the kind (-1 any) named so, A to Z
    // compared ignoring case; marked shared.
    CQVLibraryItem* FindItem(const char* name, int32_t kind);
    // The ids, in id order, of the items of the kind (-1 any) whose name
    // begins with the first length characters of the prefix, ignoring case.
    std::vector<uint32_t> FindItemsByPrefix(const char* prefix, uint32_t length, int32_t kind);
    // The item for one actor: sound, material and motion items as private
    // copies when asked (the caller deletes those), others shared; fonts
    // loaded first. Null for an empty slot or another kind (-1 any).
    CQVLibraryItem* AcquireItem(uint32_t id, int32_t kind, uint32_t copy, uint32_t soundFlags);
    CQVLibraryItem* AcquireItemByName(const char* name, int32_t kind, uint32_t copy, uint32_t soundFlags);
    // A texture item's texture from its file at the texture options' size and format.
    int CreateItemTexture(CQVTextureItem* item);
    // A sound item's buffer, whole or streamed, with or without 3D control.
    int CreateItemSound(CQVSoundItem* item);
    // Around a device reset: fonts give up their device state before it;
    // lights and fog are set again after it.
    void ReleaseDeviceFonts();
    void RestoreDeviceState();
    uint32_t GetTextureHeight(const CQVTextureItem* item) const;
    // A motion item's tracks from its ".mot" file (other files read nothing),
    // laid out relative to its companion motion when its name asks for one;
    // 1, or 0 with the error text set.
    int LoadMotion(CQVMotionItem* item);
    // The tracks of a ".mot" file appended to the item; 1, or 0 with the error text set.
    int ReadMotionFile(CQVMotionItem* item, const char* path, uint32_t unused);
    // A full-screen movie from the data folder (".mpg" added to the name).
    int PlayMovie(const char* name);
    int UpdateMovie();
    void StopMovie();

    // Save storage (services/storage): one device; the device number is
    // accepted and ignored.
    static int IsStorageAvailable() { return 1; }
    static int IsStorageDeviceReady(uint32_t) { return 1; }
    static uint32_t GetStorageDeviceState(uint32_t device);
    static int GetStorageDeviceCount(uint32_t* count);
    static int GetStorageDeviceName(uint32_t device, char* buffer, uint32_t size);
    static int GetStorageDeviceSize(uint32_t device, uint32_t* freeBytes, uint32_t* totalBytes);
    static int GetStorageFreeSpaceText(uint32_t device, char* buffer, uint32_t size);
    static int WriteSave(uint32_t device, const char* name, const void* data, uint32_t size);
    static int ListSaves(uint32_t device, uint32_t* count);
    static int ReadSave(uint32_t device, uint32_t index, void* buffer, uint32_t size);
    // The index of the listed save of that name (letter case aside); 0 when none is listed.
    static int FindSave(uint32_t device, const char* name, uint32_t* index);

    // 2D overlays (services/overlay), drawn after the scene: quads with a
    // material, in pixels; a width or height counts in whole pixels. Nothing
    // is queued for a null material.
    void AddQuad(float x, float y, float width, float height, float r, float g, float b, float a,
                 CQVMaterialItem* material);
    void AddQuadUV(float x, float y, float width, float height, float u0, float v0, float u1, float v1, float r,
                   float g, float b, float a, CQVMaterialItem* material);
    // Free corners in strip order (top left, top right, bottom left, bottom right).
    void AddQuadCorners(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float u0,
                        float v0, float u1, float v1, float r, float g, float b, float a, CQVMaterialItem* material);
    // The size of the material's first texture item as stored; 256 x 256 without textures.
    void AddSprite(float x, float y, float r, float g, float b, float a, CQVMaterialItem* material);
    // The fixed slots show for the one frame after each fill.
    void SetSpriteQuad(float x, float y, CQVMaterialItem* material);
    int SetScreenQuad(float x, float y, float width, float height, float r, float g, float b, float a,
                      CQVMaterialItem* material);
    void DrawQuads(uint32_t clear);
    void DrawFixedQuads();
    // Texts in the current font; depth 0 draws over everything.
    void AddText(float x, float y, float r, float g, float b, float a, const char* text, uint32_t flags);
    void AddTextEx(float x, float y, float depth, float r, float g, float b, float a, const char* text,
                   uint32_t flags);
    void DrawTexts(uint32_t clear);
    // A font item of its own (not in the library), loaded; null when it cannot be made.
    CQVFontItem* CreateFont(const char* faceName, uint32_t size, const char* characterSet);

    std::string baseFolder;
    LibraryState& library;
    std::vector<OverlayQuad> overlayQuads;
    OverlayQuad spriteSlot{};
    OverlayQuad screenSlot{};
    std::vector<OverlayText> overlayTexts;
    char errorText[512] = {};
    uint32_t clearColor = 0;
    float worldScale = 100.0f;
    float inverseWorldScale = 0.01f;
    uint32_t textureFormat = 0;
    uint32_t textureDivisor = 1;
    uint32_t suspended = 0;
    uint32_t waitForVerticalBlank = 0;
    uint32_t soundEnabled = 1;
    // The sound service's state: group volumes, device, streams.
    SoundState& sound = g_SoundState;

private:
    CQVEngine();
    // The item's sound, the item loaded first; null for null or with sound off.
    CQVSoundBuffer* LoadedSound(CQVSoundItem* item);
    int SetUpDevice(uint32_t flags);

    CQVRender& render;
};

extern CQVEngine* g_Engine;
extern uint32_t g_FrameNesting;        // frame brackets open
extern HWND g_EngineWindow;            // the game window, kept by Init
extern CQVFontItem* g_DefaultFont;     // made by the device set-up once fonts exist

// The engine's globals back to their start (no frame open); the engine
// object, made once per process, stays.
void Engine_Reset();
