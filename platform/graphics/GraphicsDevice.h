#pragma once
// The graphics device the engine draws with: a display adapter that checks
// formats and creates devices, and a device with the render and texture-stage
// states, transforms, lights, material, textures, vertex and index buffers,
// draw calls, clear, present and gamma ramp of the fixed-function pipeline,
// on OpenGL. Resources are reference counted; the device is never lost.

#include "platform/Messages.h"
#include "platform/graphics/D3D8Types.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class PlatformDevice;
struct DeviceContext;

// Reference counting shared by every device resource.
class PlatformResource {
public:
    virtual ~PlatformResource() = default;
    uint32_t AddRef() { return ++m_References; }
    uint32_t Release();

protected:
    std::atomic<uint32_t> m_References{1};
};

// A block of pixels in one format (back buffer, image surface, texture level).
class PlatformSurface : public PlatformResource {
public:
    HRESULT GetDesc(D3DSURFACE_DESC* desc) const;
    // Locks the whole surface or a rectangle of it; the bits stay valid until UnlockRect.
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags);
    HRESULT UnlockRect();

    D3DSURFACE_DESC desc{};
    std::vector<uint8_t> bits;
    uint32_t pitch = 0;
    bool locked = false;
    // A back-buffer surface reads the device's pixels when locked.
    PlatformDevice* backBufferOf = nullptr;
};

// A texture and its chain of levels. Levels of block formats (DXT1 to DXT5)
// lock in rows of 4x4 blocks: the pitch is the bytes of one row of blocks and
// a locked rectangle starts on a block.
//
// Any thread may lock and write a level (a movie's decoder writes its frames
// from its own thread): the lock holds the texture against other threads
// until UnlockRect, and the upload to GL happens on the device's thread, at
// once when the unlock is made there, else when the texture is next drawn
// with or at the next BeginScene.
class PlatformTexture : public PlatformResource {
public:
    ~PlatformTexture() override;
    uint32_t GetLevelCount() const { return static_cast<uint32_t>(levels.size()); }
    HRESULT GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) const;
    HRESULT LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags);
    // Uploads the level the lock changed (or leaves it for the device's thread).
    HRESULT UnlockRect(uint32_t level);
    // Fills every level below sourceLevel from it, each from the one above
    // with a 2x2 box filter, as a loader does after writing the top level.
    HRESULT FilterLevels(uint32_t sourceLevel);

    struct Level {
        uint32_t width = 0, height = 0, pitch = 0;
        std::vector<uint8_t> bits;  // CPU copy in the texture's own format
        bool locked = false;
        bool readOnly = false;
        // Texels written since the last upload (empty when right <= left);
        // GL is sent only these once it has the level as a whole.
        RECT written{0, 0, 0, 0};
        bool stored = false;  // GL holds the whole level (else its texels are undefined)
    };
    std::shared_ptr<DeviceContext> context;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    uint32_t usage = 0;
    uint32_t pool = 0;
    std::vector<Level> levels;
    uint32_t glTexture = 0;
    bool compressed = false;  // GL holds the blocks as they are (else decoded texels)

    // Uploads the levels that another thread changed; on the device's thread
    // only. Skips a texture that is locked at the moment (next time, then).
    void UploadPending();
    bool HasPendingUpload() const { return m_PendingLevels.load(std::memory_order_acquire) != 0; }

private:
    std::recursive_mutex m_Lock;            // held from LockRect to UnlockRect
    std::atomic<uint32_t> m_PendingLevels{0};  // bit per level written off the device's thread
};

// Vertex and index buffers keep a CPU copy: the engine rewrites and reads
// them (skinning, shadows, collision); unlocking uploads the changed bytes.
class PlatformBuffer : public PlatformResource {
public:
    ~PlatformBuffer() override;
    HRESULT Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t flags);
    HRESULT Unlock();
    // The bytes from begin to end were written.
    virtual void Changed(uint32_t begin, uint32_t end) {}
    // GL gets its storage, filled from the bytes, at the first unlock or the
    // first draw that reads the buffer, whichever comes first: a buffer that
    // is filled right after it is made is sent to GL once.
    void EnsureStored() {
        if (!glStored) Store();
    }

    std::shared_ptr<DeviceContext> context;
    std::vector<uint8_t> bytes;
    uint32_t usage = 0;
    uint32_t pool = 0;
    uint32_t glBuffer = 0;
    uint32_t dirtyBegin = 0, dirtyEnd = 0;
    uint32_t lockCount = 0;
    bool discard = false;
    bool glStored = false;

private:
    void Store();
};

class PlatformVertexBuffer : public PlatformBuffer {
public:
    uint32_t fvf = 0;
};

// The highest index of each run of indices is kept from the unlock, so a
// draw learns the vertices it reaches without reading its indices.
class PlatformIndexBuffer : public PlatformBuffer {
public:
    D3DFORMAT format = D3DFMT_INDEX16;
    uint32_t HighestIndex(uint32_t first, uint32_t count) const;
    void Changed(uint32_t begin, uint32_t end) override;
    // A new buffer: its bytes are all zero.
    void Zeroed();

private:
    uint32_t Index(uint32_t i) const;
    std::vector<uint32_t> m_RunHighest;
    // The last range asked for, which the same mesh asks for again and again.
    mutable uint32_t m_LastFirst = 0, m_LastCount = 0, m_LastHighest = 0;
};

struct DeviceState;
struct DeviceRenderer;
struct StateBlocks;

// What the device has compiled: its programs, how many of them a draw had
// to wait for (none once the draws were prepared), and the time they took.
struct DeviceStatistics {
    uint32_t programs;
    uint32_t programsBuiltInDraws;
    double worstBuildMs;
    double totalBuildMs;
};

class PlatformDevice {
public:
    ~PlatformDevice();

    HRESULT TestCooperativeLevel() const { return D3D_OK; }
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters);
    HRESULT GetDeviceCaps(D3DCAPS8* caps) const;
    // Presents the whole back buffer to the device window, through the gamma ramp.
    HRESULT Present(const RECT* source, const RECT* dest, HWND overrideWindow, const void* dirtyRegion);
    HRESULT GetBackBuffer(uint32_t index, D3DBACKBUFFER_TYPE type, PlatformSurface** surface);
    HRESULT CreateImageSurface(uint32_t width, uint32_t height, D3DFORMAT format, PlatformSurface** surface);
    // Copies the last presented image (after the gamma ramp) into an
    // A8R8G8B8 image surface of the back buffer's size.
    HRESULT GetFrontBuffer(PlatformSurface* destination);
    HRESULT GetRasterStatus(D3DRASTER_STATUS* status) const;
    void SetGammaRamp(uint32_t flags, const D3DGAMMARAMP* ramp);
    void GetGammaRamp(D3DGAMMARAMP* ramp) const;

    HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, D3DFORMAT format,
                          D3DPOOL pool, PlatformTexture** texture);
    HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                               PlatformVertexBuffer** buffer);
    HRESULT CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                              PlatformIndexBuffer** buffer);

    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color, float z, uint32_t stencil);

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport);
    HRESULT GetViewport(D3DVIEWPORT8* viewport) const;
    HRESULT SetMaterial(const D3DMATERIAL8* material);
    HRESULT GetMaterial(D3DMATERIAL8* material) const;
    HRESULT SetLight(uint32_t index, const D3DLIGHT8* light);
    HRESULT GetLight(uint32_t index, D3DLIGHT8* light) const;
    HRESULT LightEnable(uint32_t index, int32_t enable);
    HRESULT GetLightEnable(uint32_t index, int32_t* enable) const;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value);
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, uint32_t* value) const;
    HRESULT SetTexture(uint32_t stage, PlatformTexture* texture);
    HRESULT GetTexture(uint32_t stage, PlatformTexture** texture) const;
    HRESULT SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value);
    HRESULT GetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t* value) const;

    // The vertex format is given as an FVF code.
    HRESULT SetVertexShader(uint32_t fvf);
    HRESULT GetVertexShader(uint32_t* fvf) const;
    HRESULT SetStreamSource(uint32_t stream, PlatformVertexBuffer* buffer, uint32_t stride);
    HRESULT SetIndices(PlatformIndexBuffer* buffer, uint32_t baseVertexIndex);

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount);
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, uint32_t minIndex, uint32_t vertexCount, uint32_t startIndex,
                                 uint32_t primitiveCount);
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices, uint32_t stride);
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minIndex, uint32_t vertexCount,
                                   uint32_t primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                   const void* vertices, uint32_t stride);

    // Records the Set calls that follow (render and stage states, textures,
    // transforms, material, lights, viewport, vertex shader, stream, indices)
    // into a new state block instead of applying them; EndStateBlock gives
    // its handle.
    HRESULT BeginStateBlock();
    HRESULT EndStateBlock(uint32_t* handle);
    // A block of every state of the type (all, pixel or vertex states), holding
    // the device's current values.
    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, uint32_t* handle);
    // Sets the block's recorded states on the device.
    HRESULT ApplyStateBlock(uint32_t handle);
    // Refreshes the block's recorded states (only those) from the device.
    HRESULT CaptureStateBlock(uint32_t handle);
    HRESULT DeleteStateBlock(uint32_t handle);

    // Textures made afterwards keep DXT blocks compressed in GL when the
    // driver samples them (the default), or expand them to 32-bit texels.
    void SetTextureCompression(bool enabled) { m_CompressTextures = enabled; }
    bool IsTextureCompressionAvailable() const;

    // While the gamma ramp is the identity the back buffer is the window's
    // own and Present only shows it (the default, where the window has the
    // back buffer's size, precision, depth and stencil); otherwise it is the
    // device's and Present sends it through the ramp.
    void SetDirectPresent(bool allowed);
    bool IsPresentingDirectly() const;

    // Managed resources keep their CPU copies and GL keeps the rest: there is
    // nothing to evict, so this only confirms.
    HRESULT ResourceManagerDiscardBytes(uint32_t bytes);

    // Everything the first draw with the current states and vertex shader
    // would build (program, driver variants for the blend, depth, stencil,
    // texture formats and sampler states), built now, drawing nothing. Call it
    // at load time for each material and vertex format (and for the states
    // of overlays, text and shadows) so that no frame waits for a compile;
    // lights, fog, transforms and material colours are constants and need no
    // preparing of their own.
    HRESULT PrepareDraw();
    DeviceStatistics GetStatistics() const;

    // Presentations since the device was created (diagnostics and tests).
    uint32_t GetPresentCount() const { return m_PresentCount; }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const { return m_Parameters; }

    // Reads the back buffer as 32-bit ARGB rows, top row first (used by back-buffer surfaces).
    bool ReadBackBuffer(std::vector<uint32_t>* pixels) const;

    // Made by PlatformGraphicsSystem::CreateDevice.
    static HRESULT Create(HWND window, const D3DPRESENT_PARAMETERS& parameters, PlatformDevice** device,
                          std::string* error);
    void Release();

private:
    PlatformDevice();
    bool MakeBackBuffer(std::string* error);
    bool WindowHoldsBackBuffer() const;
    // Draws into the back buffer the ramp calls for, moving the picture over.
    void SelectBackBuffer();
    void DrawGammaPass();
    // Where a draw's vertices come from.
    enum DrawSource { DRAW_STREAM, DRAW_STREAM_INDEXED, DRAW_USER, DRAW_USER_INDEXED, DRAW_PREPARE };
    HRESULT Draw(DrawSource source, uint32_t mode, uint32_t vertices, uint32_t first, uint32_t baseVertex,
                 uint32_t indexFormat);

    std::shared_ptr<DeviceContext> m_Context;
    std::unique_ptr<DeviceState> m_State;
    std::unique_ptr<StateBlocks> m_Blocks;
    std::unique_ptr<DeviceRenderer> m_Renderer;
    D3DPRESENT_PARAMETERS m_Parameters{};
    HWND m_Window = nullptr;
    D3DGAMMARAMP m_Gamma{};
    uint32_t m_PresentCount = 0;
    bool m_InScene = false;
    bool m_CompressTextures = true;
    bool m_DirectPresentAllowed = true;
};

// The display adapter: modes, format checks and device creation.
class PlatformGraphicsSystem {
public:
    // Null when no display with OpenGL is available.
    static PlatformGraphicsSystem* Create(std::string* error);

    uint32_t GetAdapterCount() const { return 1; }
    HRESULT GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) const;
    uint32_t GetAdapterModeCount(uint32_t adapter) const;
    HRESULT EnumAdapterModes(uint32_t adapter, uint32_t index, D3DDISPLAYMODE* mode) const;
    HRESULT CheckDeviceType(uint32_t adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            int32_t windowed) const;
    HRESULT CheckDepthStencilMatch(uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) const;
    HRESULT GetDeviceCaps(uint32_t adapter, D3DDEVTYPE type, D3DCAPS8* caps) const;
    // A device on the window; windowed devices take the window's client size
    // when the parameters give none. The parameters receive the sizes used.
    HRESULT CreateDevice(uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, uint32_t behaviour,
                         D3DPRESENT_PARAMETERS* parameters, PlatformDevice** device);
    const std::string& GetLastError() const { return m_Error; }

private:
    std::string m_Error;
};

// The name of a device result code ("D3DERR_INVALIDCALL" ...).
const char* Graphics_GetErrorName(HRESULT result);

// Bytes of one element of a vertex in the FVF layout (0 for an invalid code).
uint32_t Graphics_GetFvfStride(uint32_t fvf);

// Pixels between 32-bit ARGB rows (top row first, width pixels apart) and a
// texture or surface format, the 4x4 blocks of DXT1 to DXT5 included: pitch
// is the bytes of one row (of blocks). DXT2 and DXT4 store their colour
// multiplied by alpha: converting into them premultiplies, and they read
// back as stored. False for a format the device does not hold.
bool Graphics_ConvertFromArgb(D3DFORMAT format, const uint32_t* argb, uint32_t width, uint32_t height, uint8_t* out,
                              uint32_t pitch);
// A point through the world, view and projection matrices onto the
// viewport, as the utility library projects it: x and y in pixels (y down),
// z in the viewport's depth range. A point in the eye's plane (w = 0) has no
// place on the screen and comes back as infinities.
D3DVECTOR Graphics_ProjectPoint(const D3DVECTOR& point, const D3DVIEWPORT8& viewport, const D3DMATRIX& projection,
                                const D3DMATRIX& view, const D3DMATRIX& world);

bool Graphics_ConvertToArgb(D3DFORMAT format, const uint8_t* bits, uint32_t pitch, uint32_t width, uint32_t height,
                            uint32_t* argb);
