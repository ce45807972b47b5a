// Drawing on the OpenGL device: checking the draw, bringing GL up to date
// with what changed since the last draw (gl_apply.cpp for the state itself),
// binding textures, samplers, vertex and index data; the draw itself is
// queued and issued with the ones that can join it (gl_batch.cpp).
#include <algorithm>
#include <cmath>
#include <map>

#include "platform/d3d8/draw_rules.h"
#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

namespace {

GLenum AddressMode(DWORD a) {
    switch (a) {
    case D3DTADDRESS_MIRROR:
    case D3DTADDRESS_MIRRORONCE: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    // ES 3.0 has no border: the edge's texels stand in (the show uses none).
    case D3DTADDRESS_BORDER: return GlEs() ? GL_CLAMP_TO_EDGE : GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
    }
}

bool Linear(DWORD f) { return f == D3DTEXF_LINEAR || f == D3DTEXF_ANISOTROPIC; }

}  // namespace

GLuint GlDevice::SamplerFor(int stage, bool cube) {
    const DWORD* t = state_.tss[stage];
    uint64_t key = 0;
    if (cube) {
        key = 1;  // cube maps always clamp to the edge
    } else {
        key = (uint64_t(t[D3DTSS_ADDRESSU] & 7) << 1) | (uint64_t(t[D3DTSS_ADDRESSV] & 7) << 4) |
              (uint64_t(t[D3DTSS_ADDRESSW] & 7) << 7);
        if (t[D3DTSS_ADDRESSU] == D3DTADDRESS_BORDER || t[D3DTSS_ADDRESSV] == D3DTADDRESS_BORDER)
            key |= uint64_t(t[D3DTSS_BORDERCOLOR]) << 32;
    }
    key |= uint64_t(t[D3DTSS_MAGFILTER] & 3) << 10 | uint64_t(t[D3DTSS_MINFILTER] & 3) << 12 |
           uint64_t(t[D3DTSS_MIPFILTER] & 3) << 14;
    key |= uint64_t(t[D3DTSS_MIPMAPLODBIAS] >> 16) << 16;  // sign, exponent and top of the mantissa
    auto it = samplers_.find(key);
    if (it != samplers_.end()) return it->second;

    GLuint s = 0;
    glGenSamplers(1, &s);
    if (cube) {
        glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glSamplerParameteri(s, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    } else {
        glSamplerParameteri(s, GL_TEXTURE_WRAP_S, AddressMode(t[D3DTSS_ADDRESSU]));
        glSamplerParameteri(s, GL_TEXTURE_WRAP_T, AddressMode(t[D3DTSS_ADDRESSV]));
        glSamplerParameteri(s, GL_TEXTURE_WRAP_R, AddressMode(t[D3DTSS_ADDRESSW]));
        if (!GlEs()) {
            float border[4];
            ColorToFloats(t[D3DTSS_BORDERCOLOR], border);
            glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
        }
    }
    bool minLinear = Linear(t[D3DTSS_MINFILTER]);
    GLenum minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (t[D3DTSS_MIPFILTER] == D3DTEXF_POINT)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (Linear(t[D3DTSS_MIPFILTER]))
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, Linear(t[D3DTSS_MAGFILTER]) ? GL_LINEAR : GL_NEAREST);
    // ES samplers take no bias (the show sets none).
    if (!GlEs()) glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, DWtoF(t[D3DTSS_MIPMAPLODBIAS] & 0xffff0000u));
    samplers_.emplace(key, s);
    return s;
}

void GlDevice::ApplyTextures(int activeStages) {
    for (int s = 0; s < activeStages; ++s) {
        GlBaseTex* tex = state_.textures[s];
        if (!tex) continue;
        TexStore& st = tex->Store();
        st.Upload();
        ResolveTexture(st);  // a multisampled target drawn since it was last sampled
        const bool cube = st.target == GL_TEXTURE_CUBE_MAP;
        const int unit = cube ? kMaxStages + s : s;
        GLuint& boundName = cube ? gl_.unitCube[s] : gl_.unit2D[s];
        GLint base = std::min<GLint>(static_cast<GLint>(state_.tss[s][D3DTSS_MAXMIPLEVEL]), GLint(st.levels) - 1);
        if (boundName != st.name || st.baseLevel != base) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(st.target, st.name);
            boundName = st.name;
            if (st.baseLevel != base) {
                glTexParameteri(st.target, GL_TEXTURE_BASE_LEVEL, base);
                st.baseLevel = base;
            }
        }
        if (dirty_ & DirtySampler(DWORD(s))) {
            GLuint sampler = SamplerFor(s, cube);
            GLuint& boundSampler = cube ? gl_.samplerCube[s] : gl_.sampler2D[s];
            if (boundSampler != sampler) {
                glBindSampler(unit, sampler);
                boundSampler = sampler;
            }
            dirty_ &= ~DirtySampler(DWORD(s));
        }
    }
    VT_CHECK_GL("textures and samplers");
}

void GlDevice::SetupAttributes() {
    const FvfLayout& l = layout_;
    DWORD route = 0;
    for (int s = 0; s < kMaxStages; ++s) route |= (state_.tss[s][D3DTSS_TEXCOORDINDEX] & 0xf) << (4 * s);
    if (gl_.attribFvf == state_.fvf && gl_.attribStride == state_.stride && gl_.attribRoute == route) return;
    gl_.attribFvf = state_.fvf;
    gl_.attribStride = state_.stride;
    gl_.attribRoute = route;

    const GLsizei stride = static_cast<GLsizei>(state_.stride);
    auto at = [](int offset) { return reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)); };
    glEnableVertexAttribArray(kAttrPosition);
    glVertexAttribPointer(kAttrPosition, l.posSize, GL_FLOAT, GL_FALSE, stride, at(0));
    auto optional = [&](GLuint loc, int offset, GLint size, GLenum type, GLboolean norm) {
        if (offset < 0) {
            glDisableVertexAttribArray(loc);
            return;
        }
        glEnableVertexAttribArray(loc);
        glVertexAttribPointer(loc, size, type, norm, stride, at(offset));
    };
    optional(kAttrNormal, l.normal, 3, GL_FLOAT, GL_FALSE);
    // Colours are B, G, R, A bytes; ES reads them in that order and the
    // vertex program puts them back (VT_GLSL_ES).
    const GLint colour = GlEs() ? 4 : GL_BGRA;
    optional(kAttrDiffuse, l.diffuse, colour, GL_UNSIGNED_BYTE, GL_TRUE);
    optional(kAttrSpecular, l.specular, colour, GL_UNSIGNED_BYTE, GL_TRUE);
    optional(kAttrPointSize, l.psize, 1, GL_FLOAT, GL_FALSE);
    for (int s = 0; s < kMaxStages; ++s) {
        int set = static_cast<int>(state_.tss[s][D3DTSS_TEXCOORDINDEX] & 0xffff);
        bool present = set < l.texCount;
        optional(kAttrTex0 + s, present ? l.tex[set] : -1, present ? l.texDim[set] : 2, GL_FLOAT, GL_FALSE);
    }
    VT_CHECK_GL("vertex attributes");
}

HRESULT GlDevice::PrepareDraw(D3DPRIMITIVETYPE type, bool indexed) {
    MakeCurrent();
    if (dirty_ & kDirtyTarget) ApplyTarget();
    const bool points = type == D3DPT_POINTLIST;
    if (points != lastPoints_) {
        lastPoints_ = points;
        if (state_.rs[D3DRS_POINTSPRITEENABLE]) dirty_ |= kDirtyProgram;
    }
    if (GlEs()) {
        // The depth clamp ES lacks: the vertex program keeps every vertex
        // inside the depth range, and where a depth test applies the
        // fragment program writes the clamped depth (gl_shader.cpp).
        const bool depth = DepthTested();
        const bool clamp = ClampsDepth();
        if (clamp != esDepthClamp_) {
            esDepthClamp_ = clamp;
            dirty_ |= kDirtyVertexMode;
        }
        if ((clamp && depth) != esPixelDepthClamp_) {
            esPixelDepthClamp_ = clamp && depth;
            dirty_ |= kDirtyProgram;
        }
    }
    if ((dirty_ & kDirtyProgram) || !entry_) {
        FragmentKey key = MakeFragmentKey();
        activeStages_ = key.stages;
        entry_ = shaders_.Get(MakeVertexKey(key.stages), key);
        stats.programsBuilt = shaders_.ProgramCount();
        if (!entry_) return D3DERR_DRIVERINTERNALERROR;
        dirty_ &= ~uint32_t(kDirtyProgram);
    }
    shaders_.Bind(entry_);
    ApplyTransform();
    UploadBlocks();
    if (dirty_ & kDirtyFixed) ApplyFixedState();
    ApplyTextures(activeStages_);

    BufStore& vb = state_.stream->buf;
    if (vb.dirty || vb.name != gl_.arrayBuffer) {
        vb.Sync(GL_ARRAY_BUFFER);
        if (gl_.arrayBuffer != vb.name) gl_.attribFvf = 0xffffffffu;  // pointers follow the bound buffer
        gl_.arrayBuffer = vb.name;
    }
    SetupAttributes();
    if (indexed) {
        BufStore& ib = state_.indices->buf;
        if (ib.dirty || ib.name != gl_.elementBuffer) {
            ib.Sync(GL_ELEMENT_ARRAY_BUFFER);
            gl_.elementBuffer = ib.name;
        }
    }
    VT_CHECK_GL("vertex and index buffers");
    NoteVariant(type);
    return D3D_OK;
}

DrawInputs GlDevice::DrawState() const {
    DrawInputs in;
    in.inScene = inScene_;
    in.fvf = state_.fvf;
    in.stride = state_.stride;
    auto bound = [](const BufStore* b) {
        BoundBuffer out;
        if (!b) return out;
        out.bound = true;
        out.locked = b->locked;
        out.bytes = b->shadow.data();
        out.size = b->shadow.size();
        return out;
    };
    in.stream = bound(state_.stream ? &state_.stream->buf : nullptr);
    in.indices = bound(state_.indices ? &state_.indices->buf : nullptr);
    in.indices32 = state_.indices && state_.indices->format == D3DFMT_INDEX32;
    in.baseVertex = state_.baseVertex;
    return in;
}

// A draw that passes its checks is queued (gl_batch.cpp): it reaches GL with
// the draws after it that share its state, at the latest when anything
// changes.
HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    if (FAILED(CheckDraw(DrawState(), type, startVertex, primitiveCount))) return D3DERR_INVALIDCALL;
    DrawRange r;
    r.type = type;
    r.first = static_cast<GLint>(startVertex);
    r.count = static_cast<GLsizei>(VertexCount(type, primitiveCount));
    r.lo = startVertex;
    r.hi = startVertex + VertexCount(type, primitiveCount);
    ++stats.drawCalls;
    CountFullscreenLayer(r.lo, r.hi);
    return QueueDraw(r);
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                       UINT primCount) {
    if (FAILED(CheckIndexedDraw(DrawState(), type, minIndex, numVertices, startIndex, primCount)))
        return D3DERR_INVALIDCALL;
    DrawRange r;
    r.type = type;
    r.indexed = true;
    r.first = static_cast<GLint>(state_.baseVertex);
    r.count = static_cast<GLsizei>(VertexCount(type, primCount));
    r.offset = uintptr_t(startIndex) * (state_.indices->format == D3DFMT_INDEX32 ? 4 : 2);
    r.lo = state_.baseVertex + minIndex;
    r.hi = r.lo + numVertices;
    ++stats.drawCalls;
    return QueueDraw(r);
}

}  // namespace vt::d3d8
