// A Direct3D 8 device for tests: resources live in CPU memory and every call
// is logged as a structured record, so a test can check what code asked of
// the device without any GPU.
//
//   vt::test::RecordingDevice dev;              // 1024 x 768, depth buffer
//   RunCodeUnderTest(&dev);                     // takes IDirect3DDevice8*
//   EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 1u);
//   EXPECT_TRUE(dev.Called("SetRenderState", {D3DRS_CULLMODE, D3DCULL_NONE}));
//   EXPECT_EQ(dev.RenderState(D3DRS_SRCBLEND), D3DBLEND_SRCALPHA);  // shadow state
//   dev.FailNext("CreateVertexBuffer", E_OUTOFMEMORY);              // inject a failure
//   dev.ClearLog();
//
// Log records: `method` is the device method name ("SetTexture") or, for a
// resource, "<Kind>.<Method>" ("VertexBuffer.Lock", "Texture.LockRect",
// "IndexBuffer.Unlock", "CubeTexture.LockRect"); resource records carry the
// resource's address as their first argument. Arguments are stored as
// 64-bit integers: integers and enums as themselves, pointers as addresses,
// floats as their 32-bit patterns (FtoDW; read them back with ArgFloat). Structures
// passed by pointer (matrix, material, light, viewport, clear rectangles)
// are copied into `data`. `result` is what the call returned.
//
// Behaviour follows a pure Direct3D 8 device: GetRenderState,
// GetTextureStageState and GetTransform fail with D3DERR_INVALIDCALL, but the
// device keeps a shadow of all state that tests read with RenderState(),
// StageState(), Transform() and friends (starting from the documented
// defaults). SetTexture, SetStreamSource and SetIndices hold a reference on
// what they bind, as the Direct3D 8 runtime does. Draw calls are validated
// by the same rules as the OpenGL device's (platform/d3d8/draw_rules.h); a
// violation returns D3DERR_INVALIDCALL and is logged like any call.
//
// Lifetime: the device is usually a test's local variable. Its reference
// count is observable, but Release() never deletes it; its owner does.
// Resources share the log with the device and stay safe to use after the
// device is gone. LiveResources() counts resources not yet released, for
// leak checks.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/draw_rules.h"

namespace vt::test {

struct Call {
    std::string method;
    std::vector<uint64_t> args;
    std::vector<uint8_t> data;  // a copy of the structure passed by pointer, if any
    HRESULT result = S_OK;

    uint64_t Arg(size_t i) const { return i < args.size() ? args[i] : 0; }
    // The argument read back as the float it was logged from.
    float ArgFloat(size_t i) const { return DWtoF(static_cast<DWORD>(Arg(i))); }
    // The payload as a structure (e.g. Payload<D3DMATRIX>()); null if absent.
    template <class T>
    const T* Payload() const {
        return data.size() == sizeof(T) ? reinterpret_cast<const T*>(data.data()) : nullptr;
    }
    // True when the first args match `prefix` element by element.
    bool Matches(const std::string& name, std::initializer_list<uint64_t> prefix) const;
};

// Shared between the device and its resources (they may outlive it).
struct RecorderCore;

class RecordingDevice final : public IDirect3DDevice8 {
public:
    struct Options {
        UINT width = 1024;
        UINT height = 768;
        bool depthBuffer = true;   // an automatic D16 depth-stencil surface
        bool validateDraws = true;  // check draw ranges against the bound buffers
    };
    RecordingDevice();
    explicit RecordingDevice(const Options& options);
    ~RecordingDevice() override;
    RecordingDevice(const RecordingDevice&) = delete;
    RecordingDevice& operator=(const RecordingDevice&) = delete;

    // --- the log --------------------------------------------------------
    const std::vector<Call>& Log() const;
    void ClearLog();
    std::vector<const Call*> Find(const std::string& method) const;
    size_t Count(const std::string& method) const;
    // Calls of `method` whose first arguments equal `prefix`.
    size_t Count(const std::string& method, std::initializer_list<uint64_t> prefix) const;
    bool Called(const std::string& method, std::initializer_list<uint64_t> prefix = {}) const;
    const Call* Last(const std::string& method) const;
    // The method names in order, optionally only those in `only`.
    std::vector<std::string> Sequence(std::initializer_list<const char*> only = {}) const;
    // Value of the last logged SetRenderState for `state`; false if none.
    bool LastLoggedRenderState(D3DRENDERSTATETYPE state, DWORD* value) const;

    // --- failure injection ----------------------------------------------
    // The next `count` calls of `method` (device or "<Kind>.<Method>"), after
    // `skip` successful ones, return `hr` and have no effect.
    void FailNext(const std::string& method, HRESULT hr, int count = 1, int skip = 0);
    // Every call of `method` fails until ClearFailures.
    void FailAlways(const std::string& method, HRESULT hr);
    void ClearFailures();

    // --- shadow state ---------------------------------------------------
    DWORD RenderState(D3DRENDERSTATETYPE state) const;
    float RenderStateFloat(D3DRENDERSTATETYPE state) const;
    DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const;
    D3DMATRIX Transform(D3DTRANSFORMSTATETYPE state) const;
    IDirect3DBaseTexture8* Texture(DWORD stage) const;
    IDirect3DVertexBuffer8* StreamSource(UINT* stride = nullptr) const;
    IDirect3DIndexBuffer8* Indices(UINT* baseVertex = nullptr) const;
    DWORD VertexShader() const;
    const D3DMATERIAL8& Material() const;
    bool HasLight(DWORD index) const;
    D3DLIGHT8 Light(DWORD index) const;
    bool LightEnabled(DWORD index) const;
    D3DVIEWPORT8 Viewport() const;
    IDirect3DSurface8* CurrentRenderTarget() const;  // no reference added
    IDirect3DSurface8* CurrentDepthStencil() const;  // no reference added
    bool InScene() const;
    bool CursorVisible() const;
    uint64_t Presents() const;

    // --- resources -------------------------------------------------------
    // Resources created and not yet released (back buffer and depth excluded).
    int LiveResources() const;
    // Reference count of any object (AddRef then Release).
    static ULONG RefCount(IUnknown* object);

    // --- IUnknown ---------------------------------------------------------
    ULONG AddRef() override;
    ULONG Release() override;

    // --- IDirect3DDevice8 -------------------------------------------------
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const RECT* pRects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
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
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** ppTexture) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DCubeTexture8** ppCubeTexture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** ppVertexBuffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** ppIndexBuffer) override;
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
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primCount) override;

private:
    struct State;
    vt::d3d8::DrawInputs DrawState() const;
    std::shared_ptr<RecorderCore> core_;
    std::unique_ptr<State> state_;
    ULONG refs_ = 1;
};

}  // namespace vt::test
