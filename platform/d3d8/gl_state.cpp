// State calls of the OpenGL device: render states, texture stage states,
// textures, transforms, material, lights and the vertex source. They only
// record the value and mark what must be re-sent at the next draw; a change
// first draws the queued draws, which were made under the old value.
#include <algorithm>
#include <cstring>

#include "platform/d3d8/d3d8_defaults.h"
#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

void GlDevice::SetDefaultState() {
    FillDefaultRenderStates(state_.rs, params_.EnableAutoDepthStencil);
    for (int s = 0; s < kMaxStages; ++s) {
        FillDefaultStageStates(state_.tss[s], static_cast<DWORD>(s));
        state_.texm[s] = Identity();
    }
    state_.material = D3DMATERIAL8{};
    state_.viewport = {0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
    dirty_ = kDirtyAll;
}

// ---------------------------------------------------------------------------
// Render states

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (UINT(state) >= D3DRS_MAX) return D3DERR_INVALIDCALL;
    DWORD& slot = state_.rs[state];
    if (slot == value) return D3D_OK;
    Flush();
    slot = value;
    dirty_ |= RenderStateDirt(state);
    return D3D_OK;
}

// The device is pure: state-block state is not reported back.
HRESULT GlDevice::GetRenderState(D3DRENDERSTATETYPE, DWORD* pValue) {
    if (pValue) *pValue = 0;
    return D3DERR_INVALIDCALL;
}

HRESULT GlDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= kMaxStages || UINT(type) >= D3DTSS_MAX) return D3DERR_INVALIDCALL;
    DWORD& slot = state_.tss[stage][type];
    if (slot == value) return D3D_OK;
    Flush();
    slot = value;
    dirty_ |= StageStateDirt(stage, type);
    return D3D_OK;
}

HRESULT GlDevice::GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD* pValue) {
    if (pValue) *pValue = 0;
    return D3DERR_INVALIDCALL;
}

HRESULT GlDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* pTexture) {
    if (stage >= kMaxStages) return D3DERR_INVALIDCALL;
    GlBaseTex* tex = nullptr;
    if (pTexture) {
        tex = dynamic_cast<GlBaseTex*>(pTexture);
        if (!tex || tex->Ref().Device() != this) return D3DERR_INVALIDCALL;
    }
    GlBaseTex*& slot = state_.textures[stage];
    if (slot == tex) return D3D_OK;
    Flush();
    GLenum oldTarget = slot ? slot->Store().target : 0;
    if (tex) tex->Ref().Bind();
    if (slot) slot->Ref().Unbind();
    slot = tex;
    GLenum newTarget = tex ? tex->Store().target : 0;
    if (oldTarget != newTarget) dirty_ |= kDirtyProgram;  // the sampler kind
    dirty_ |= DirtySampler(stage);
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Transforms, material, lights

HRESULT GlDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* pMatrix) {
    if (!pMatrix) return D3DERR_INVALIDCALL;
    Mat4 m = FromD3D(*pMatrix);
    // Queued draws keep the world matrix they were made under (gl_batch.h);
    // every other matrix is shared by them.
    if (state != D3DTS_WORLD) Flush();
    switch (static_cast<DWORD>(state)) {
    case D3DTS_WORLD:
        state_.world = m;
        dirty_ |= kDirtyTransform;
        return D3D_OK;
    case D3DTS_VIEW:
        state_.view = m;
        dirty_ |= kDirtyTransform | kDirtyLights;  // lights are kept in camera space
        return D3D_OK;
    case D3DTS_PROJECTION:
        state_.proj = m;
        dirty_ |= kDirtyTransform | kDirtyVertexMode;  // perspective or not picks the fog depth
        return D3D_OK;
    default:
        break;
    }
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
        state_.texm[state - D3DTS_TEXTURE0] = m;
        dirty_ |= kDirtyTexCoords;
        return D3D_OK;
    }
    // Other world matrices (vertex blending) are accepted and unused.
    if (state > D3DTS_WORLD && state <= D3DTS_WORLDMATRIX(255)) return D3D_OK;
    return D3DERR_INVALIDCALL;
}

HRESULT GlDevice::GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) { return D3DERR_INVALIDCALL; }

HRESULT GlDevice::SetMaterial(const D3DMATERIAL8* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    if (std::memcmp(&state_.material, pMaterial, sizeof *pMaterial) == 0) return D3D_OK;
    Flush();
    state_.material = *pMaterial;
    dirty_ |= kDirtyMaterial;
    return D3D_OK;
}

HRESULT GlDevice::SetLight(DWORD index, const D3DLIGHT8* pLight) {
    if (!pLight) return D3DERR_INVALIDCALL;
    if (pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
    Flush();
    LightSlot& slot = state_.lights[index];
    slot.light = *pLight;
    if (slot.enabled) dirty_ |= kDirtyLights;
    return D3D_OK;
}

HRESULT GlDevice::LightEnable(DWORD index, BOOL enable) {
    auto it = state_.lights.find(index);
    if (it == state_.lights.end()) {
        // An index never set gets the default light: white, directional, along +z.
        LightSlot slot;
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.Direction = {0.0f, 0.0f, 1.0f};
        it = state_.lights.emplace(index, slot).first;
    }
    bool on = enable != FALSE;
    if (it->second.enabled != on) {
        Flush();
        it->second.enabled = on;
        dirty_ |= kDirtyLights;
    }
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Vertex source

HRESULT GlDevice::SetVertexShader(DWORD handle) {
    // Only flexible vertex formats: no position means no usable format.
    if ((handle & D3DFVF_POSITION_MASK) == 0) return D3DERR_INVALIDCALL;
    if (state_.fvf == handle) return D3D_OK;
    Flush();
    state_.fvf = handle;
    const bool wasRhw = layout_.rhw;
    layout_ = FvfLayout::From(handle);
    // Flags, fog source, coordinate sizes and the program all follow the
    // format; depth clamping follows pre-transformed or not.
    dirty_ |= kDirtyVertexMode | kDirtyFog | kDirtyTexCoords | kDirtyProgram;
    if (layout_.rhw != wasRhw) dirty_ |= kDirtyFixed;
    return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* pStreamData, UINT stride) {
    if (stream != 0) return pStreamData ? D3DERR_INVALIDCALL : D3D_OK;
    auto* vb = static_cast<GlVertexBuffer*>(pStreamData);
    if (vb && vb->Device() != this) return D3DERR_INVALIDCALL;
    if (vb == state_.stream && stride == state_.stride) return D3D_OK;
    Flush();
    if (vb) vb->Bind();
    if (state_.stream) state_.stream->Unbind();
    state_.stream = vb;
    state_.stride = stride;
    return D3D_OK;
}

HRESULT GlDevice::SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT baseVertexIndex) {
    auto* ib = static_cast<GlIndexBuffer*>(pIndexData);
    if (ib && ib->Device() != this) return D3DERR_INVALIDCALL;
    if (ib == state_.indices && baseVertexIndex == state_.baseVertex) return D3D_OK;
    Flush();
    if (ib) ib->Bind();
    if (state_.indices) state_.indices->Unbind();
    state_.indices = ib;
    state_.baseVertex = baseVertexIndex;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Vertex layout

FvfLayout FvfLayout::From(DWORD fvf) {
    FvfLayout l;
    UINT off = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZRHW:
        l.rhw = true;
        l.posSize = 4;
        off = 16;
        break;
    case D3DFVF_XYZ: off = 12; break;
    case D3DFVF_XYZB1: off = 16; break;
    case D3DFVF_XYZB2: off = 20; break;
    case D3DFVF_XYZB3: off = 24; break;
    case D3DFVF_XYZB4: off = 28; break;
    case D3DFVF_XYZB5: off = 32; break;
    default: break;
    }
    if (fvf & D3DFVF_NORMAL) {
        l.normal = static_cast<int>(off);
        off += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        l.psize = static_cast<int>(off);
        off += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuse = static_cast<int>(off);
        off += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        l.specular = static_cast<int>(off);
        off += 4;
    }
    l.texCount = static_cast<int>(std::min<DWORD>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8));
    for (int i = 0; i < l.texCount; ++i) {
        DWORD code = (fvf >> (16 + 2 * i)) & 3;
        int dim = code == D3DFVF_TEXTUREFORMAT1 ? 1 : code == D3DFVF_TEXTUREFORMAT3 ? 3
                : code == D3DFVF_TEXTUREFORMAT4 ? 4 : 2;
        l.tex[i] = static_cast<int>(off);
        l.texDim[i] = dim;
        off += 4 * dim;
    }
    l.size = off;
    return l;
}

}  // namespace vt::d3d8
