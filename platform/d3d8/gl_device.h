// The OpenGL implementation of IDirect3DDevice8 and its resources.
//
// Usage: internal to platform/d3d8. GlDirect3D::CreateDevice builds a
// GlDevice; resources are created through the device and refer back to it.
// State set through the interface is kept on the CPU (DeviceState) and
// turned into GL state and shader uniforms at draw time (gl_draw.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/d3d8/draw_rules.h"
#include "platform/d3d8/gl_batch.h"
#include "platform/d3d8/gl_common.h"
#include "platform/d3d8/gl_shader.h"
#include "platform/d3d8/gl_surface.h"
#include "platform/d3d8/gl_variants.h"
#include "platform/d3d8/host.h"

namespace vt::d3d8 {

// ---------------------------------------------------------------------------
// Surfaces and textures

class GlSurface;

// GL storage of a 2D or cube texture plus the CPU copy of lockable levels.
struct TexStore {
    GLuint name = 0;
    GLenum target = GL_TEXTURE_2D;  // or GL_TEXTURE_CUBE_MAP
    D3DFORMAT format = D3DFMT_A8R8G8B8;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    UINT width = 0, height = 0, levels = 0, faces = 1;  // as the program asked
    UINT glWidth = 0, glHeight = 0;                     // level 0 as stored: scaled for render targets
    // Per face and level: CPU copy and dirty flag. The copy exists only
    // while a level is locked, or for good once it has been locked twice
    // (a level written again and again); otherwise GL holds the only copy.
    std::vector<std::vector<uint8_t>> shadow;
    std::vector<bool> dirty;
    std::vector<bool> locked;
    std::vector<bool> inGl;          // GL holds contents written through a lock
    std::vector<uint8_t> lockCount;  // locks so far, up to 2
    GlDevice* device = nullptr;
    bool anyDirty = false;
    bool unresolved = false;  // a surface's multisampled copy was drawn since its last resolve
    GLint baseLevel = 0;  // GL_TEXTURE_BASE_LEVEL currently set (MAXMIPLEVEL)
    std::vector<std::unique_ptr<GlSurface>> surfaces;  // face * levels + level

    UINT LevelWidth(UINT level) const { return width >> level ? width >> level : 1; }
    UINT LevelHeight(UINT level) const { return height >> level ? height >> level : 1; }
    UINT GlLevelWidth(UINT level) const { return glWidth >> level ? glWidth >> level : 1; }
    UINT GlLevelHeight(UINT level) const { return glHeight >> level ? glHeight >> level : 1; }
    UINT BytesPerPixel() const { return format == D3DFMT_R5G6B5 ? 2 : 4; }
    size_t Index(UINT face, UINT level) const { return face * levels + level; }
    void Upload();  // pushes dirty levels not locked to GL
    void UploadLevel(UINT face, UINT level);
    void FillShadow(size_t i, UINT face, UINT level);  // the CPU copy from GL, or zeros
};

// Common face of GlTexture and GlCubeTexture for the device.
class GlBaseTex {
public:
    virtual ~GlBaseTex() = default;
    virtual TexStore& Store() = 0;
    virtual RefBase& Ref() = 0;
};

class GlSurface : public IDirect3DSurface8 {
public:
    enum class Kind { TextureLevel, BackBuffer, DepthBuffer };
    // owner: the texture this surface belongs to (reference counts go to
    // it), or null for a standalone surface with its own count.
    GlSurface(GlDevice* device, RefBase* owner, Kind kind, const D3DSURFACE_DESC& desc);
    ~GlSurface() override;

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;

    void BindRef();
    void UnbindRef();

    Kind kind;
    D3DSURFACE_DESC desc;            // the sizes the program asked for
    UINT glWidth = 0, glHeight = 0;  // as stored: desc's times the device's scale
    GLuint texture = 0;        // colour: the GL texture holding it
    GLenum texTarget = 0;      // GL_TEXTURE_2D or a cube face target
    GLint level = 0;
    GLuint renderbuffer = 0;   // depth surfaces (multisampled when the device is)
    GLuint multisampled = 0;   // colour under multisampling: the renderbuffer drawn into
    bool unresolved = false;   // `multisampled` was drawn since it was last resolved into `texture`
    TexStore* store = nullptr; // texture levels: the container's storage

private:
    RefBase* owner_;
    std::unique_ptr<RefBase> own_;  // standalone surfaces
};

class GlTexture : public RefCounted<IDirect3DTexture8>, public GlBaseTex {
public:
    GlTexture(GlDevice* device, TexStore store);
    ~GlTexture() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return store_.levels; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** ppSurface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    TexStore& Store() override { return store_; }
    RefBase& Ref() override { return *this; }

private:
    TexStore store_;
};

class GlCubeTexture : public RefCounted<IDirect3DCubeTexture8>, public GlBaseTex {
public:
    GlCubeTexture(GlDevice* device, TexStore store);
    ~GlCubeTexture() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD GetLevelCount() override { return store_.levels; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface8** ppSurface) override;
    HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect,
                     DWORD flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;
    TexStore& Store() override { return store_; }
    RefBase& Ref() override { return *this; }

private:
    TexStore store_;
};

// ---------------------------------------------------------------------------
// Buffers: a CPU copy handed out by Lock, pushed to GL at the next draw.

struct BufStore {
    std::vector<uint8_t> shadow;
    GLuint name = 0;
    bool dirty = true;
    bool locked = false;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;

    HRESULT Lock(UINT offset, UINT size, BYTE** ppData);
    HRESULT Unlock();
    // Binds the GL buffer to `target`, uploading the CPU copy when dirty.
    void Sync(GLenum target);
};

class GlVertexBuffer : public RefCounted<IDirect3DVertexBuffer8> {
public:
    GlVertexBuffer(GlDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~GlVertexBuffer() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, BYTE** ppData, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

    BufStore buf;
    DWORD fvf;
};

class GlIndexBuffer : public RefCounted<IDirect3DIndexBuffer8> {
public:
    GlIndexBuffer(GlDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~GlIndexBuffer() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, BYTE** ppData, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

    BufStore buf;
    D3DFORMAT format;
};

// ---------------------------------------------------------------------------
// Device state kept on the CPU.

// Byte offsets of the parts of a flexible vertex format (-1: absent).
struct FvfLayout {
    bool rhw = false;
    int posSize = 3;
    int normal = -1, psize = -1, diffuse = -1, specular = -1;
    int texCount = 0;
    int tex[8] = {};
    int texDim[8] = {};
    UINT size = 0;
    static FvfLayout From(DWORD fvf);
};

struct LightSlot {
    D3DLIGHT8 light{};
    bool enabled = false;
};

// What must be sent to GL before the next draw: one set of flags for the
// whole device. Which state calls raise which flags is decided where the
// state is applied (gl_apply.cpp).
constexpr uint32_t DirtySampler(DWORD stage) { return 1u << stage; }
constexpr uint32_t DirtyBlock(BlockBinding b) { return 1u << (8 + b); }
enum DirtyBits : uint32_t {
    kDirtySamplers = (1u << kMaxStages) - 1,  // one bit a stage: look its sampler object up again
    kDirtyLights = DirtyBlock(kBlockLights),  // each uniform block: fill and upload again
    kDirtyMaterial = DirtyBlock(kBlockMaterial),
    kDirtyVertexMode = DirtyBlock(kBlockVertexMode),
    kDirtyTexCoords = DirtyBlock(kBlockTexCoords),
    kDirtyFog = DirtyBlock(kBlockFog),
    kDirtyPixel = DirtyBlock(kBlockPixel),
    kDirtyBlocks = ((1u << kBlockCount) - 1) << 8,
    kDirtyProgram = 1u << 16,  // the program keys: stage set-up, vertex format, switches
    kDirtyFixed = 1u << 17,    // blending, depth, culling, fill, colour mask, depth bias
    kDirtyTarget = 1u << 18,   // framebuffer attachments (and with them the viewport)
    kDirtyTransform = 1u << 19,  // matrices or viewport: a new transform version
    kDirtyAll = 0xffffffffu,
};
static_assert(kMaxStages <= 8 && kBlockCount <= 8, "dirty bits overlap");

// The dirty flags a state change raises (gl_apply.cpp).
uint32_t RenderStateDirt(D3DRENDERSTATETYPE state);
uint32_t StageStateDirt(DWORD stage, D3DTEXTURESTAGESTATETYPE type);

struct DeviceState {
    DWORD rs[D3DRS_MAX] = {};
    DWORD tss[kMaxStages][D3DTSS_MAX] = {};
    GlBaseTex* textures[kMaxStages] = {};
    Mat4 world = Identity(), view = Identity(), proj = Identity();
    Mat4 texm[kMaxStages];
    D3DMATERIAL8 material{};
    std::unordered_map<DWORD, LightSlot> lights;
    DWORD fvf = 0;
    GlVertexBuffer* stream = nullptr;
    UINT stride = 0;
    GlIndexBuffer* indices = nullptr;
    UINT baseVertex = 0;
    D3DVIEWPORT8 viewport{};
    GlSurface* colorTarget = nullptr;
    GlSurface* depthTarget = nullptr;
};

// Last GL fixed-function state sent, to skip redundant calls.
struct GlShadow {
    int blend = -1, srcRgb = -1, dstRgb = -1, blendEq = -1;
    int depthTest = -1, depthMask = -1, depthFunc = -1, depthClamp = -1;
    int cull = -1, cullFace = -1;
    int polygonMode = -1;
    int colorMask = -1;
    int polyOffset = -1;
    float zbias = 0.0f;
    GLint vp[4] = {-1, -1, -1, -1};
    float depthRange[2] = {-1.0f, -1.0f};
    GLuint unit2D[kMaxStages] = {};
    GLuint unitCube[kMaxStages] = {};
    GLuint sampler2D[kMaxStages] = {};
    GLuint samplerCube[kMaxStages] = {};
    GLuint arrayBuffer = 0;
    DWORD attribFvf = 0xffffffffu;
    UINT attribStride = 0;
    DWORD attribRoute = 0xffffffffu;  // packed tex-set routing per stage
    GLuint elementBuffer = 0;
};

class GlDirect3D;
struct WarmUpKit;

class GlDevice final : public IDirect3DDevice8 {
public:
    GlDevice(GlDirect3D* d3d, std::unique_ptr<GlWindowContext> context, const D3DPRESENT_PARAMETERS& params,
             PresentMode mode);
    ~GlDevice() override;
    bool Init();  // GL objects, shaders, default state; false on failure

    // IUnknown
    ULONG AddRef() override;
    ULONG Release() override;

    // Frame (gl_frame.cpp)
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const RECT* pRects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT Present(const RECT* pSource, const RECT* pDest, HWND hDestWindow, const void* pDirtyRegion) override;
    HRESULT ShowCursor(BOOL bShow) override;
    void SetGammaRamp(DWORD flags, const D3DGAMMARAMP* pRamp) override;
    void GetGammaRamp(D3DGAMMARAMP* pRamp) override;
    HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** ppSurface) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** ppSurface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** ppSurface) override;
    HRESULT SetRenderTarget(IDirect3DSurface8* pRenderTarget, IDirect3DSurface8* pDepthStencil) override;
    HRESULT SetViewport(const D3DVIEWPORT8* pViewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* pViewport) override;

    // Resources (gl_resources.cpp)
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** ppTexture) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DCubeTexture8** ppCubeTexture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** ppVertexBuffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** ppIndexBuffer) override;

    // State (gl_state.cpp)
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* pValue) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* pValue) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* pTexture) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* pMatrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* pMatrix) override;
    HRESULT SetMaterial(const D3DMATERIAL8* pMaterial) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* pLight) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* pStreamData, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT baseVertexIndex) override;

    // Drawing (gl_draw.cpp)
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primCount) override;

    // Host side
    void MakeCurrent();
    GlApi Api() const { return context_->Api(); }
    std::string RendererName();  // what draws, as the window system names it
    DeviceStats stats;
    float RenderScale() const { return scale_; }
    int Multisample() const { return samples_; }
    const std::vector<std::string>& RecordedVariants() const { return variants_.recorded; }
    std::vector<DrawCost> TakeDrawCosts() { return std::move(drawCosts_); }
    HRESULT ReadBack(bool presented, std::vector<uint8_t>& rgb, UINT& width, UINT& height);
    // A texture or surface is being destroyed: forget GL bindings of it.
    void ForgetTexture(GLuint name);
    void ForgetBuffer(GLuint name);
    // Draws the queued draws (gl_batch.cpp); called before anything that
    // could change what they draw or read what they drew.
    void Flush();

private:
    friend class GlDirect3D;
    friend struct WarmUpKit;
    void SetDefaultState();
    void ApplyTarget();              // binds the FBO for the current targets
    bool TargetHasDepth() const { return state_.depthTarget != nullptr; }
    DrawInputs DrawState() const;
    HRESULT PrepareDraw(D3DPRIMITIVETYPE type, bool indexed);
    void ApplyFixedState();
    // A depth test applies: z enabled and a depth buffer bound.
    bool DepthTested() const {
        return state_.rs[D3DRS_ZENABLE] != D3DZB_FALSE && state_.depthTarget != nullptr;
    }
    // Pre-transformed vertices are not clipped by their depth when clipping
    // is off or no depth test applies; their depth is clamped to the range
    // instead. Transformed ones always are clipped.
    bool ClampsDepth() const {
        return layout_.rhw && (!DepthTested() || state_.rs[D3DRS_CLIPPING] == FALSE);
    }
    void ApplyTextures(int activeStages);
    void SetupAttributes();
    void ApplyTransform();
    // World * view * projection (with the clip fix-up), world * view and the
    // normal matrix for a world matrix, as the vertex programs take them.
    void WorldTransform(const Mat4& world, float* wvp, float* wv, float* normal) const;
    HRESULT QueueDraw(const DrawRange& r);
    void SendDrawMatrices();
    void DrawBatchNow();
    void IssueBatchEs(GLenum mode, GLenum indexType);
    // ES (gl_es_draws.cpp): whether this primitive, in the current fill and
    // shade modes, is drawn as other primitives; and that drawing.
    bool EsReshapes(D3DPRIMITIVETYPE type) const;
    void IssueReshapedEs(D3DPRIMITIVETYPE type, GLenum indexType);
    void AppendRangeVertices(const DrawRange& r, GLenum indexType, std::vector<GLuint>& out) const;
    // Binds `buffer` (made on first use) as the element buffer holding `indices`.
    void StreamIndices(GLuint& buffer, const std::vector<GLuint>& indices);
    void DrawEsIndices(GLenum mode, GLsizei instances);  // esIndexData_, 32-bit; instances 0: not instanced
    void SendDrawMatricesAsImage();
    void IssueBatch();  // the GL draw call of DrawBatchNow
    void ReleaseBatchObjects();
    void UploadBlocks();
    template <class Block>
    void UploadBlock(BlockBinding binding, const Block& data);
    int ActiveStages() const;
    FragmentKey MakeFragmentKey() const;
    VertexKey MakeVertexKey(int stages) const;
    // Draw-state combinations (gl_variants.cpp) and the warm-up (gl_warmup.cpp).
    VariantKey CurrentVariant(D3DPRIMITIVETYPE type) const;
    DrawRecipe CurrentRecipe(D3DPRIMITIVETYPE type) const;
    void NoteVariant(D3DPRIMITIVETYPE type);  // last step of PrepareDraw
    bool ApplyRecipe(const DrawRecipe& r, WarmUpKit& kit);
    void PrecompileCommon(const std::vector<DrawRecipe>& recipes, WarmUpKit& kit);
    void SettleVertexArray();  // the array object in the layout most draws meet
    void WarmUp();
    void SetViewportInternal(const D3DVIEWPORT8& vp);
    // Internal resolution and multisampling (gl_targets.cpp).
    UINT ScaledSize(UINT size, GLint largest) const;  // a stored side for a side the program asked for
    void AllocateDepth(GlSurface& s);                 // the renderbuffer of a depth surface, at its stored size
    GLuint ColorAttachment(GlSurface& c);             // multisampled copy made on first use
    void Resolve(GlSurface& s);                       // the multisampled copy into the texture, if drawn since
    void ResolveTexture(TexStore& st);                // every surface of a texture about to be sampled
    void MarkTargetDrawn();                           // the current colour target needs a resolve
    // The current target's stored pixels per pixel the program counts, across and down.
    double ScaleX() const { return double(state_.colorTarget->glWidth) / state_.colorTarget->desc.Width; }
    double ScaleY() const { return double(state_.colorTarget->glHeight) / state_.colorTarget->desc.Height; }
    // A horizontal or vertical position in the program's pixels, in stored ones:
    // edges shared by two rectangles stay shared.
    GLint ScaledX(double x) const;
    GLint ScaledY(double y) const;
    // Twice the shift, in stored pixels, that puts pixel centres at integers:
    // just under half a pixel, so that an edge at an integer misses the one
    // sample of the pixel before it and covers the pixel after it, as
    // Direct3D's rule does. Multisampled, a pixel's samples spread over it,
    // and an edge at an integer stays on the pixels' border (no shift), so
    // a rectangle at whole pixels covers the same pixels wholly.
    float PixelCentreShift() const { return samples_ > 0 ? 0.0f : 63.0f / 64.0f; }
    // Lines at k > 1 or multisampled (gl_wide_lines.cpp): copies a line is
    // drawn in, one stored pixel apart; whether this device draws a line
    // primitive that way; and the drawing.
    int LineCopies() const;
    bool DrawsLinesInCopies(D3DPRIMITIVETYPE type) const;
    void DrawLinesInCopies();
    GLuint SamplerFor(int stage, bool cube);
    void DrawPresentQuad();
    void DrawPresentTriangle(int x, int y, int width, int height);  // through the gamma lookup, scaled
    void RestoreBackBuffer();  // copies the presented picture back when the back buffer is stale
    void CountFullscreenLayer(UINT lo, UINT hi);  // stream vertices [lo, hi) spanning the whole target?

    GlDirect3D* d3d_;
    std::unique_ptr<GlWindowContext> context_;
    D3DPRESENT_PARAMETERS params_;
    PresentMode mode_;
    ULONG refs_ = 1;
    bool inScene_ = false;

    DeviceState state_;
    GlShadow gl_;
    uint32_t dirty_ = kDirtyAll;  // DirtyBits

    std::unique_ptr<GlSurface> backBuffer_;
    std::unique_ptr<GlSurface> depthBuffer_;
    GLuint fbo_ = 0;
    GLuint presentedFbo_ = 0, presentedTex_ = 0, backFbo_ = 0;
    GLuint vao_ = 0, presentVao_ = 0, lutTex_ = 0;
    ShaderSet shaders_;
    PresentProgram presentProgram_;
    PipelineEntry* entry_ = nullptr;  // programs for the current state
    // Uniform blocks are written one after another into one buffer and bound
    // by range, so a block never overwrites what a queued draw still reads.
    static constexpr GLsizeiptr kBlockRingSize = GLsizeiptr(4) << 20;
    GLuint blockRing_ = 0;
    GLintptr blockRingHead_ = 0;
    GLint blockAlign_ = 256;  // GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT
    TransformUniforms transform_{};
    uint64_t transformVersion_ = 0;  // raised on each change; programs keep the one they were sent
    std::unordered_map<uint64_t, GLuint> samplers_;
    FvfLayout layout_;
    int activeStages_ = 1;
    bool lastPoints_ = false;
    bool esDepthClamp_ = false;       // ES: the vertex program keeps pre-transformed depth in range
    bool esPixelDepthClamp_ = false;  // ES: and the fragment program clamps it (a depth test applies)
    VariantLog variants_;
    bool warmUp_ = false;  // at the first Present
    bool profileDraws_ = false;
    GLuint profileQuery_ = 0;
    std::vector<DrawCost> drawCosts_;

    // Draws held back to go to GL together (gl_batch.h).
    DrawBatch batch_;
    bool perDrawMatrices_ = false;  // the program reads its matrices per draw
    GLuint drawMatrixBuffer_ = 0, drawMatrixTexture_ = 0, drawSlotBuffer_ = 0;
    GLuint esIndexBuffer_ = 0;          // ES: a batch's ranges as one list of indices
    std::vector<GLuint> esIndexData_;
    bool drawMatrixImage_ = false;  // ES: the 2D texture standing in for the buffer texture has storage
    std::vector<float> drawMatrixData_;
    std::vector<uint16_t> drawSlotData_;
    std::vector<GLint> drawFirst_;
    std::vector<GLsizei> drawCount_;
    std::vector<const void*> drawOffset_;

    // Internal resolution (k) and samples, fixed at creation.
    float scale_ = 1.0f;
    bool autoScale_ = false;  // scale_ chosen at creation for the display and renderer
    int samples_ = 0;
    GLint maxTextureSize_ = 0, maxRenderbufferSize_ = 0;
    GLint vpStored_[4] = {};     // the viewport in stored pixels (x, y, width, height)
    bool depthBeyondOne_ = false;  // the applied viewport's MaxZ is above 1: a change needs new programs
    GLuint resolveFbo_[2] = {};  // read and draw framebuffers of a resolve
    GLuint wideLineIndices_ = 0;
    std::vector<GLuint> wideLineData_;

    D3DGAMMARAMP ramp_{};
    bool rampSet_ = false;
    uint8_t presentedLut_[3][256] = {};
    bool presentedValid_ = false;
    // Present swaps the back buffer's texture with the presented one instead
    // of copying; until the show overwrites it whole, the back buffer's
    // picture is the presented one and is copied back on first use.
    bool backStale_ = false;
    bool lutUploaded_ = false;
    bool lutIdentity_ = true;  // the ramp last presented changes no value
};

class GlDirect3D final : public IDirect3D8 {
public:
    GlDirect3D();
    ~GlDirect3D() override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND hFocusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* pParams, IDirect3DDevice8** ppDevice) override;

private:
    ULONG refs_ = 1;
};

}  // namespace vt::d3d8
