// The IDirect3DDevice8 methods of the recording device: log, check, shadow.

#include "tests/support/recording_device.h"
#include "tests/support/recording_internal.h"

#include "platform/d3d8/draw_rules.h"

namespace vt::test {

using namespace detail;

#define VT_BEGIN(name, ...)                                    \
    Rec r(*core_, name, std::vector<uint64_t>{__VA_ARGS__});   \
    do {                                                       \
    } while (0)

HRESULT RecordingDevice::BeginScene() {
    VT_BEGIN("BeginScene");
    if (r.Injected()) return r.FinishInjected();
    if (state_->inScene) return r.Finish(D3DERR_INVALIDCALL);
    state_->inScene = true;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::EndScene() {
    VT_BEGIN("EndScene");
    if (r.Injected()) return r.FinishInjected();
    if (!state_->inScene) return r.Finish(D3DERR_INVALIDCALL);
    state_->inScene = false;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::Clear(DWORD count, const RECT* pRects, DWORD flags, D3DCOLOR color, float z,
                               DWORD stencil) {
    VT_BEGIN("Clear", count, flags, color, FtoDW(z), stencil);
    if (pRects && count) r.With(pRects, sizeof(RECT) * count);
    if (r.Injected()) return r.FinishInjected();
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !state_->depth) return r.Finish(D3DERR_INVALIDCALL);
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::Present(const RECT* pSource, const RECT* pDest, HWND hDestWindow, const void* pDirty) {
    VT_BEGIN("Present", Addr(pSource), Addr(pDest), Addr(hDestWindow), Addr(pDirty));
    if (r.Injected()) return r.FinishInjected();
    ++state_->presents;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::ShowCursor(BOOL bShow) {
    VT_BEGIN("ShowCursor", static_cast<uint64_t>(bShow));
    if (r.Injected()) return r.FinishInjected();
    const BOOL previous = state_->cursor ? TRUE : FALSE;
    state_->cursor = bShow != FALSE;
    return r.Finish(previous);
}

void RecordingDevice::SetGammaRamp(DWORD flags, const D3DGAMMARAMP* pRamp) {
    VT_BEGIN("SetGammaRamp", flags);
    r.With(pRamp, sizeof *pRamp);
    if (pRamp) state_->gamma = *pRamp;
    r.Finish(D3D_OK);
}

void RecordingDevice::GetGammaRamp(D3DGAMMARAMP* pRamp) {
    VT_BEGIN("GetGammaRamp");
    if (pRamp) *pRamp = state_->gamma;
    r.Finish(D3D_OK);
}

HRESULT RecordingDevice::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** pp) {
    VT_BEGIN("GetBackBuffer", index, static_cast<uint64_t>(type));
    if (r.Injected()) return r.FinishInjected();
    if (!pp || index != 0) return r.Finish(D3DERR_INVALIDCALL);
    *pp = state_->backBuffer;
    (*pp)->AddRef();
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::GetRenderTarget(IDirect3DSurface8** pp) {
    VT_BEGIN("GetRenderTarget");
    if (r.Injected()) return r.FinishInjected();
    if (!pp) return r.Finish(D3DERR_INVALIDCALL);
    *pp = state_->renderTarget;
    (*pp)->AddRef();
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::GetDepthStencilSurface(IDirect3DSurface8** pp) {
    VT_BEGIN("GetDepthStencilSurface");
    if (r.Injected()) return r.FinishInjected();
    if (!pp) return r.Finish(D3DERR_INVALIDCALL);
    *pp = state_->depth;
    if (!*pp) return r.Finish(D3DERR_NOTFOUND);
    (*pp)->AddRef();
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::SetRenderTarget(IDirect3DSurface8* pRT, IDirect3DSurface8* pDS) {
    VT_BEGIN("SetRenderTarget", Addr(pRT), Addr(pDS));
    if (r.Injected()) return r.FinishInjected();
    IDirect3DSurface8* target = pRT ? pRT : state_->renderTarget;
    D3DSURFACE_DESC rt{}, ds{};
    target->GetDesc(&rt);
    if (pRT && !(rt.Usage & D3DUSAGE_RENDERTARGET)) return r.Finish(D3DERR_INVALIDCALL);
    if (pDS) {
        pDS->GetDesc(&ds);
        if (!(ds.Usage & D3DUSAGE_DEPTHSTENCIL) || ds.Width < rt.Width || ds.Height < rt.Height)
            return r.Finish(D3DERR_INVALIDCALL);
    }
    Hold(state_->renderTarget, target);
    Hold(state_->depth, pDS);
    state_->viewport = {0, 0, rt.Width, rt.Height, 0.0f, 1.0f};
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT8* vp) {
    VT_BEGIN("SetViewport");
    if (vp) r.With(vp, sizeof *vp);
    if (r.Injected()) return r.FinishInjected();
    if (!vp) return r.Finish(D3DERR_INVALIDCALL);
    D3DSURFACE_DESC rt{};
    state_->renderTarget->GetDesc(&rt);
    if (static_cast<uint64_t>(vp->X) + vp->Width > rt.Width || static_cast<uint64_t>(vp->Y) + vp->Height > rt.Height)
        return r.Finish(D3DERR_INVALIDCALL);
    state_->viewport = *vp;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT8* vp) {
    VT_BEGIN("GetViewport");
    if (r.Injected()) return r.FinishInjected();
    if (!vp) return r.Finish(D3DERR_INVALIDCALL);
    *vp = state_->viewport;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool, IDirect3DTexture8** pp) {
    VT_BEGIN("CreateTexture", width, height, levels, usage, static_cast<uint64_t>(format),
             static_cast<uint64_t>(pool));
    if (pp) *pp = nullptr;
    if (r.Injected()) return r.FinishInjected();
    if (!pp || width == 0 || height == 0 || levels > FullChain(width, height))
        return r.Finish(D3DERR_INVALIDCALL);
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return r.Finish(D3DERR_INVALIDCALL);
    *pp = new detail::Texture(core_, width, height, levels ? levels : FullChain(width, height), usage, format,
                              pool);
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                           IDirect3DCubeTexture8** pp) {
    VT_BEGIN("CreateCubeTexture", edge, levels, usage, static_cast<uint64_t>(format), static_cast<uint64_t>(pool));
    if (pp) *pp = nullptr;
    if (r.Injected()) return r.FinishInjected();
    if (!pp || edge == 0 || levels > FullChain(edge, edge)) return r.Finish(D3DERR_INVALIDCALL);
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return r.Finish(D3DERR_INVALIDCALL);
    *pp = new detail::CubeTexture(core_, edge, levels ? levels : FullChain(edge, edge), usage, format, pool);
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                            IDirect3DVertexBuffer8** pp) {
    VT_BEGIN("CreateVertexBuffer", length, usage, fvf, static_cast<uint64_t>(pool));
    if (pp) *pp = nullptr;
    if (r.Injected()) return r.FinishInjected();
    if (!pp || length == 0 || (fvf && length < vt::d3d8::FvfVertexSize(fvf))) return r.Finish(D3DERR_INVALIDCALL);
    D3DVERTEXBUFFER_DESC d{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
    *pp = new VertexBuffer(core_, "VertexBuffer", d);
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                           IDirect3DIndexBuffer8** pp) {
    VT_BEGIN("CreateIndexBuffer", length, usage, static_cast<uint64_t>(format), static_cast<uint64_t>(pool));
    if (pp) *pp = nullptr;
    if (r.Injected()) return r.FinishInjected();
    if (!pp || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return r.Finish(D3DERR_INVALIDCALL);
    D3DINDEXBUFFER_DESC d{format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
    *pp = new IndexBuffer(core_, "IndexBuffer", d);
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    VT_BEGIN("SetRenderState", static_cast<uint64_t>(state), value);
    if (r.Injected()) return r.FinishInjected();
    if (state < 0 || state >= D3DRS_MAX) return r.Finish(D3DERR_INVALIDCALL);
    state_->renderStates[state] = value;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* pValue) {
    VT_BEGIN("GetRenderState", static_cast<uint64_t>(state));
    (void)pValue;  // a pure device does not answer
    if (r.Injected()) return r.FinishInjected();
    return r.Finish(D3DERR_INVALIDCALL);
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    VT_BEGIN("SetTextureStageState", stage, static_cast<uint64_t>(type), value);
    if (r.Injected()) return r.FinishInjected();
    if (stage >= kStages || type < 0 || type >= D3DTSS_MAX) return r.Finish(D3DERR_INVALIDCALL);
    state_->stageStates[stage][type] = value;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* pValue) {
    VT_BEGIN("GetTextureStageState", stage, static_cast<uint64_t>(type));
    (void)pValue;
    if (r.Injected()) return r.FinishInjected();
    return r.Finish(D3DERR_INVALIDCALL);
}

HRESULT RecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* pTexture) {
    VT_BEGIN("SetTexture", stage, Addr(pTexture));
    if (r.Injected()) return r.FinishInjected();
    if (stage >= kStages) return r.Finish(D3DERR_INVALIDCALL);
    Hold(state_->textures[stage], pTexture);
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* pMatrix) {
    VT_BEGIN("SetTransform", static_cast<uint64_t>(state));
    if (pMatrix) r.With(pMatrix, sizeof *pMatrix);
    if (r.Injected()) return r.FinishInjected();
    if (!pMatrix) return r.Finish(D3DERR_INVALIDCALL);
    state_->transforms[static_cast<DWORD>(state)] = *pMatrix;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* pMatrix) {
    VT_BEGIN("GetTransform", static_cast<uint64_t>(state));
    (void)pMatrix;
    if (r.Injected()) return r.FinishInjected();
    return r.Finish(D3DERR_INVALIDCALL);
}

HRESULT RecordingDevice::SetMaterial(const D3DMATERIAL8* pMaterial) {
    VT_BEGIN("SetMaterial");
    if (pMaterial) r.With(pMaterial, sizeof *pMaterial);
    if (r.Injected()) return r.FinishInjected();
    if (!pMaterial) return r.Finish(D3DERR_INVALIDCALL);
    state_->material = *pMaterial;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::SetLight(DWORD index, const D3DLIGHT8* pLight) {
    VT_BEGIN("SetLight", index);
    if (pLight) r.With(pLight, sizeof *pLight);
    if (r.Injected()) return r.FinishInjected();
    if (!pLight || pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL)
        return r.Finish(D3DERR_INVALIDCALL);
    state_->lights[index] = *pLight;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable) {
    VT_BEGIN("LightEnable", index, static_cast<uint64_t>(enable));
    if (r.Injected()) return r.FinishInjected();
    if (!state_->lights.count(index)) {
        // Enabling an undefined light defines the default directional one.
        D3DLIGHT8 l{};
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        l.Direction = {0.0f, 0.0f, 1.0f};
        state_->lights[index] = l;
    }
    if (enable)
        state_->enabledLights.insert(index);
    else
        state_->enabledLights.erase(index);
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::SetVertexShader(DWORD handle) {
    VT_BEGIN("SetVertexShader", handle);
    if (r.Injected()) return r.FinishInjected();
    state_->vertexShader = handle;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* pData, UINT stride) {
    VT_BEGIN("SetStreamSource", stream, Addr(pData), stride);
    if (r.Injected()) return r.FinishInjected();
    if (stream != 0) return r.Finish(D3DERR_INVALIDCALL);
    Hold(state_->stream, pData);
    state_->stride = stride;
    return r.Finish(D3D_OK);
}

HRESULT RecordingDevice::SetIndices(IDirect3DIndexBuffer8* pData, UINT baseVertexIndex) {
    VT_BEGIN("SetIndices", Addr(pData), baseVertexIndex);
    if (r.Injected()) return r.FinishInjected();
    Hold(state_->indices, pData);
    state_->baseVertex = baseVertexIndex;
    return r.Finish(D3D_OK);
}

namespace {

// The bound state as the shared draw rules see it; foreign buffers have no
// contents to check against.
template <class Ours>
vt::d3d8::BoundBuffer Bound(IUnknown* buffer) {
    vt::d3d8::BoundBuffer b;
    b.bound = buffer != nullptr;
    if (auto* ours = dynamic_cast<Ours*>(buffer)) {
        b.locked = ours->Locked();
        b.bytes = ours->Bytes().data();
        b.size = ours->Bytes().size();
    }
    return b;
}

}  // namespace

vt::d3d8::DrawInputs RecordingDevice::DrawState() const {
    vt::d3d8::DrawInputs in;
    in.inScene = state_->inScene;
    in.fvf = state_->vertexShader;
    in.stride = state_->stride;
    in.stream = Bound<VertexBuffer>(state_->stream);
    in.indices = Bound<IndexBuffer>(state_->indices);
    if (auto* ib = dynamic_cast<IndexBuffer*>(state_->indices))
        in.indices32 = ib->Description().Format == D3DFMT_INDEX32;
    in.baseVertex = state_->baseVertex;
    return in;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    VT_BEGIN("DrawPrimitive", static_cast<uint64_t>(type), startVertex, primitiveCount);
    if (r.Injected()) return r.FinishInjected();
    if (!state_->options.validateDraws) return r.Finish(D3D_OK);
    return r.Finish(vt::d3d8::CheckDraw(DrawState(), type, startVertex, primitiveCount));
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                              UINT startIndex, UINT primCount) {
    VT_BEGIN("DrawIndexedPrimitive", static_cast<uint64_t>(type), minIndex, numVertices, startIndex, primCount);
    if (r.Injected()) return r.FinishInjected();
    if (!state_->options.validateDraws) return r.Finish(D3D_OK);
    return r.Finish(vt::d3d8::CheckIndexedDraw(DrawState(), type, minIndex, numVertices, startIndex, primCount));
}

#undef VT_BEGIN

}  // namespace vt::test
