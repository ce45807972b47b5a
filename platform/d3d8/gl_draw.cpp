// Drawing on the OpenGL device: turning the recorded Direct3D state into GL
// state and uniforms (only what changed since the last draw), feeding the
// vertex and index data, and issuing the draw.
#include <algorithm>
#include <cmath>
#include <map>

#include "platform/d3d8/draw_rules.h"
#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

namespace {

GLenum CompareFunc(DWORD f) {
    switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum BlendFactor(DWORD b) {
    switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum BlendEquation(DWORD op) {
    switch (op) {
    case 2: return GL_FUNC_SUBTRACT;
    case 3: return GL_FUNC_REVERSE_SUBTRACT;
    case 4: return GL_MIN;
    case 5: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum AddressMode(DWORD a) {
    switch (a) {
    case D3DTADDRESS_MIRROR:
    case D3DTADDRESS_MIRRORONCE: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
    }
}

bool Linear(DWORD f) { return f == D3DTEXF_LINEAR || f == D3DTEXF_ANISOTROPIC; }

// Which of arg0/arg1/arg2 an operation reads (bit 0 = arg1, 1 = arg2, 2 = arg0).
int ArgsUsed(DWORD op) {
    switch (op) {
    case D3DTOP_SELECTARG1: return 1;
    case D3DTOP_SELECTARG2: return 2;
    case 25:  // multiply-add
    case 26:  // lerp
        return 7;
    default: return 3;
    }
}

bool ReadsTexture(const DWORD* t) {
    DWORD op = t[D3DTSS_COLOROP];
    int used = ArgsUsed(op);
    if ((used & 1) && (t[D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
    if ((used & 2) && (t[D3DTSS_COLORARG2] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
    if ((used & 4) && (t[D3DTSS_COLORARG0] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
    return op == D3DTOP_BLENDTEXTUREALPHA || op == 15 /* BLENDTEXTUREALPHAPM */ || op == 17 /* PREMODULATE */;
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

void SetCap(GLenum cap, int on, int& shadow) {
    if (shadow == on) return;
    shadow = on;
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void Put(float* dst, const D3DCOLORVALUE& c) {
    dst[0] = c.r;
    dst[1] = c.g;
    dst[2] = c.b;
    dst[3] = c.a;
}

}  // namespace

// Stages that take part: up to the first disabled one, and a stage whose
// colour operation reads a texture that is not bound ends the cascade
// before it (it and every later stage are skipped).
int GlDevice::ActiveStages() const {
    int n = 0;
    for (; n < kMaxStages; ++n) {
        const DWORD* t = state_.tss[n];
        if (t[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
        if (!state_.textures[n] && ReadsTexture(t)) break;
    }
    return n;
}

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
        float border[4];
        ColorToFloats(t[D3DTSS_BORDERCOLOR], border);
        glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
    }
    bool minLinear = Linear(t[D3DTSS_MINFILTER]);
    GLenum minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (t[D3DTSS_MIPFILTER] == D3DTEXF_POINT)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (Linear(t[D3DTSS_MIPFILTER]))
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, Linear(t[D3DTSS_MAGFILTER]) ? GL_LINEAR : GL_NEAREST);
    glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, DwordToFloat(t[D3DTSS_MIPMAPLODBIAS] & 0xffff0000u));
    samplers_.emplace(key, s);
    return s;
}

void GlDevice::ApplyTextures(int activeStages) {
    for (int s = 0; s < activeStages; ++s) {
        GlBaseTex* tex = state_.textures[s];
        if (!tex) continue;
        TexStore& st = tex->Store();
        st.Upload();
        const bool cube = st.target == GL_TEXTURE_CUBE_MAP;
        const int unit = cube ? 8 + s : s;
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
        if (samplerDirty_ & (1u << s)) {
            GLuint sampler = SamplerFor(s, cube);
            GLuint& boundSampler = cube ? gl_.samplerCube[s] : gl_.sampler2D[s];
            if (boundSampler != sampler) {
                glBindSampler(unit, sampler);
                boundSampler = sampler;
            }
            samplerDirty_ &= ~(1u << s);
        }
    }
}

void GlDevice::ApplyFixedState() {
    const DWORD* rs = state_.rs;
    const bool depth = rs[D3DRS_ZENABLE] != D3DZB_FALSE && state_.depthTarget != nullptr;
    SetCap(GL_DEPTH_TEST, depth, gl_.depthTest);
    if (depth) {
        int mask = rs[D3DRS_ZWRITEENABLE] ? 1 : 0;
        if (gl_.depthMask != mask) {
            glDepthMask(mask ? GL_TRUE : GL_FALSE);
            gl_.depthMask = mask;
        }
        int func = static_cast<int>(CompareFunc(rs[D3DRS_ZFUNC]));
        if (gl_.depthFunc != func) {
            glDepthFunc(static_cast<GLenum>(func));
            gl_.depthFunc = func;
        }
    }

    const bool blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    SetCap(GL_BLEND, blend, gl_.blend);
    if (blend) {
        GLenum src = BlendFactor(rs[D3DRS_SRCBLEND]);
        GLenum dst = BlendFactor(rs[D3DRS_DESTBLEND]);
        if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) {
            src = GL_SRC_ALPHA;
            dst = GL_ONE_MINUS_SRC_ALPHA;
        } else if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) {
            src = GL_ONE_MINUS_SRC_ALPHA;
            dst = GL_SRC_ALPHA;
        }
        if (gl_.srcRgb != int(src) || gl_.dstRgb != int(dst)) {
            glBlendFunc(src, dst);
            gl_.srcRgb = int(src);
            gl_.dstRgb = int(dst);
        }
        int eq = static_cast<int>(BlendEquation(rs[D3DRS_BLENDOP]));
        if (gl_.blendEq != eq) {
            glBlendEquation(static_cast<GLenum>(eq));
            gl_.blendEq = eq;
        }
    }

    // Every target is drawn upside down in GL terms (row 0 at the top), so
    // Direct3D's clockwise front faces are GL's counter-clockwise ones.
    const DWORD cull = rs[D3DRS_CULLMODE];
    SetCap(GL_CULL_FACE, cull != D3DCULL_NONE, gl_.cull);
    if (cull != D3DCULL_NONE) {
        int face = cull == D3DCULL_CW ? GL_FRONT : GL_BACK;
        if (gl_.cullFace != face) {
            glCullFace(static_cast<GLenum>(face));
            gl_.cullFace = face;
        }
    }

    int fill = rs[D3DRS_FILLMODE] == D3DFILL_POINT ? GL_POINT : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
    if (gl_.polygonMode != fill) {
        glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(fill));
        gl_.polygonMode = fill;
    }

    int mask = static_cast<int>(rs[D3DRS_COLORWRITEENABLE] & 0xf);
    if (gl_.colorMask != mask) {
        glColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
        gl_.colorMask = mask;
    }

    float bias = static_cast<float>(rs[D3DRS_ZBIAS] & 0xff);
    SetCap(GL_POLYGON_OFFSET_FILL, bias != 0.0f, gl_.polyOffset);
    if (bias != 0.0f && gl_.zbias != bias) {
        glPolygonOffset(0.0f, -bias);  // larger bias pulls towards the viewer
        gl_.zbias = bias;
    }
    rsDirty_ = 0;
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
    optional(kAttrDiffuse, l.diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
    optional(kAttrSpecular, l.specular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
    optional(kAttrPointSize, l.psize, 1, GL_FLOAT, GL_FALSE);
    for (int s = 0; s < kMaxStages; ++s) {
        int set = static_cast<int>(state_.tss[s][D3DTSS_TEXCOORDINDEX] & 0xffff);
        bool present = set < l.texCount;
        optional(kAttrTex0 + s, present ? l.tex[set] : -1, present ? l.texDim[set] : 2, GL_FLOAT, GL_FALSE);
    }
}

// Uniform setters that work with or without separate shader objects (the
// program is current in the latter case).
namespace {
struct Uniforms {
    bool sep;
    GLuint prog;
    void M4(GLint loc, GLsizei n, const float* v) const {
        sep ? glProgramUniformMatrix4fv(prog, loc, n, GL_FALSE, v) : glUniformMatrix4fv(loc, n, GL_FALSE, v);
    }
    void F4(GLint loc, GLsizei n, const float* v) const {
        sep ? glProgramUniform4fv(prog, loc, n, v) : glUniform4fv(loc, n, v);
    }
    void I4(GLint loc, GLsizei n, const GLint* v) const {
        sep ? glProgramUniform4iv(prog, loc, n, v) : glUniform4iv(loc, n, v);
    }
    void I2(GLint loc, GLint a, GLint b) const { sep ? glProgramUniform2i(prog, loc, a, b) : glUniform2i(loc, a, b); }
};
}  // namespace

void GlDevice::UploadVertexUniforms(ProgramPart& part, const VertexUniforms& u) {
    const uint32_t dirty = part.dirty & ~uint32_t(kDirtyPixel);
    if (!dirty) return;
    const Uniforms set{shaders_.Separate(), part.program};
    const DWORD* rs = state_.rs;
    const FvfLayout& l = layout_;
    const D3DVIEWPORT8& vp = state_.viewport;

    if (dirty & kDirtyTransform) {
        Mat4 wv = Mul(state_.world, state_.view);
        // Clip-space fix-up: pixel centres at integers (a shift just under
        // half a pixel), rows from the top (y negated), depth 0..w -> -w..w.
        const float sx = (63.0f / 64.0f) / float(vp.Width ? vp.Width : 1);
        const float sy = (63.0f / 64.0f) / float(vp.Height ? vp.Height : 1);
        Mat4 fix{};
        fix.m[0][0] = 1.0f;
        fix.m[3][0] = sx;
        fix.m[1][1] = -1.0f;
        fix.m[3][1] = sy;
        fix.m[2][2] = 2.0f;
        fix.m[3][2] = -1.0f;
        fix.m[3][3] = 1.0f;
        Mat4 wvp = Mul(Mul(wv, state_.proj), fix);
        Mat4 nrm = NormalMatrix(wv);
        set.M4(u.wvp, 1, &wvp.m[0][0]);
        set.M4(u.wv, 1, &wv.m[0][0]);
        set.M4(u.nrm, 1, &nrm.m[0][0]);
        float v[8] = {float(vp.X), float(vp.Y), 2.0f / float(vp.Width ? vp.Width : 1),
                      2.0f / float(vp.Height ? vp.Height : 1), sx, sy, 0.0f, 0.0f};
        set.F4(u.vp, 2, v);
    }

    if (dirty & (kDirtyLights | kDirtyVertexMode)) {
        std::map<DWORD, const D3DLIGHT8*> enabled;  // by index, for a stable order
        for (const auto& kv : state_.lights)
            if (kv.second.enabled) enabled.emplace(kv.first, &kv.second.light);
        float data[kMaxActiveLights * 28] = {};
        const Mat4& V = state_.view;
        int numLights = 0;
        for (const auto& kv : enabled) {
            if (numLights == kMaxActiveLights) break;
            const D3DLIGHT8& L = *kv.second;
            float* d = data + numLights * 28;
            Put(d + 0, L.Diffuse);
            Put(d + 4, L.Specular);
            Put(d + 8, L.Ambient);
            const D3DVECTOR& P = L.Position;
            for (int c = 0; c < 3; ++c) d[12 + c] = P.x * V.m[0][c] + P.y * V.m[1][c] + P.z * V.m[2][c] + V.m[3][c];
            d[15] = L.Range;
            const D3DVECTOR& D = L.Direction;
            float dir[3];
            for (int c = 0; c < 3; ++c) dir[c] = D.x * V.m[0][c] + D.y * V.m[1][c] + D.z * V.m[2][c];
            float len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
            for (int c = 0; c < 3; ++c) d[16 + c] = len > 0.0f ? -dir[c] / len : 0.0f;  // towards the light
            d[19] = float(L.Type);
            d[20] = L.Attenuation0;
            d[21] = L.Attenuation1;
            d[22] = L.Attenuation2;
            d[23] = L.Falloff;
            d[24] = std::cos(L.Theta * 0.5f);
            d[25] = std::cos(L.Phi * 0.5f);
            ++numLights;
        }
        set.F4(u.light, kMaxActiveLights * 7, data);

        int flags = 0;
        if (l.rhw) flags |= kVfPreTransformed;
        if (rs[D3DRS_LIGHTING]) flags |= kVfLighting;
        if (l.normal >= 0) flags |= kVfHasNormal;
        if (l.diffuse >= 0) flags |= kVfHasDiffuse;
        if (l.specular >= 0) flags |= kVfHasSpecular;
        if (rs[D3DRS_NORMALIZENORMALS]) flags |= kVfNormalize;
        if (rs[D3DRS_LOCALVIEWER]) flags |= kVfLocalViewer;
        if (rs[D3DRS_SPECULARENABLE]) flags |= kVfSpecular;
        if (l.psize >= 0) flags |= kVfHasPointSize;
        if (rs[D3DRS_POINTSCALEENABLE]) flags |= kVfPointScale;
        if (l.rhw || state_.proj.m[2][3] != 0.0f) flags |= kVfFogDepthW;

        int fog = kVFogNone;
        if (rs[D3DRS_FOGENABLE]) {
            if (rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE)
                fog = kVFogDepth;
            else if (l.rhw || rs[D3DRS_FOGVERTEXMODE] == D3DFOG_NONE)
                fog = l.specular >= 0 ? kVFogSpecAlpha : kVFogNone;  // 2D passes stay unfogged without specular
            else
                fog = static_cast<int>(rs[D3DRS_FOGVERTEXMODE]);
        }
        int src = 0;
        if (rs[D3DRS_COLORVERTEX]) {
            src = int(rs[D3DRS_DIFFUSEMATERIALSOURCE] & 3) | int(rs[D3DRS_AMBIENTMATERIALSOURCE] & 3) << 2 |
                  int(rs[D3DRS_SPECULARMATERIALSOURCE] & 3) << 4 | int(rs[D3DRS_EMISSIVEMATERIALSOURCE] & 3) << 6;
        }
        GLint mode[4] = {flags, fog, numLights, src};
        set.I4(u.mode, 1, mode);
        float fogV[4] = {DwordToFloat(rs[D3DRS_FOGSTART]), DwordToFloat(rs[D3DRS_FOGEND]),
                         DwordToFloat(rs[D3DRS_FOGDENSITY]), rs[D3DRS_RANGEFOGENABLE] ? 1.0f : 0.0f};
        set.F4(u.fogV, 1, fogV);
        float ps[4] = {DwordToFloat(rs[D3DRS_POINTSCALE_A]), DwordToFloat(rs[D3DRS_POINTSCALE_B]),
                       DwordToFloat(rs[D3DRS_POINTSCALE_C]), float(vp.Height)};
        set.F4(u.pscale, 1, ps);
    }

    if (dirty & kDirtyMaterial) {
        float m[24];
        const D3DMATERIAL8& M = state_.material;
        Put(m + 0, M.Diffuse);
        Put(m + 4, M.Ambient);
        Put(m + 8, M.Specular);
        Put(m + 12, M.Emissive);
        ColorToFloats(rs[D3DRS_AMBIENT], m + 16);
        m[20] = M.Power;
        m[21] = DwordToFloat(rs[D3DRS_POINTSIZE]);
        m[22] = DwordToFloat(rs[D3DRS_POINTSIZE_MIN]);
        m[23] = DwordToFloat(rs[D3DRS_POINTSIZE_MAX]);
        set.F4(u.mat, 6, m);
    }

    if (dirty & kDirtyTexMatrix) set.M4(u.texM, kMaxStages, &state_.texm[0].m[0][0]);

    if (dirty & kDirtyStages) {
        GLint gen[kMaxStages * 4];
        for (int s = 0; s < kMaxStages; ++s) {
            const DWORD* t = state_.tss[s];
            int count = static_cast<int>(t[D3DTSS_TEXTURETRANSFORMFLAGS] & 0xff);
            DWORD tci = t[D3DTSS_TEXCOORDINDEX];
            int set_ = static_cast<int>(tci & 0xffff);
            gen[4 * s + 0] = static_cast<GLint>((tci >> 16) & 3);
            gen[4 * s + 1] = set_ < l.texCount ? l.texDim[set_] : 0;
            gen[4 * s + 2] = count >= 2 ? std::min(count, 4) : 0;  // COUNT1 applies no matrix
            gen[4 * s + 3] = 0;
        }
        set.I4(u.texGen, kMaxStages, gen);
    }
    part.dirty &= kDirtyPixel;
}

void GlDevice::UploadFragmentUniforms(ProgramPart& part, const FragmentUniforms& u) {
    if (!(part.dirty & kDirtyPixel)) return;
    const Uniforms set{shaders_.Separate(), part.program};
    const DWORD* rs = state_.rs;
    float c[4];
    ColorToFloats(rs[D3DRS_TEXTUREFACTOR], c);
    set.F4(u.tfactor, 1, c);
    ColorToFloats(rs[D3DRS_FOGCOLOR], c);
    set.F4(u.fogColor, 1, c);
    float fogP[4] = {DwordToFloat(rs[D3DRS_FOGSTART]), DwordToFloat(rs[D3DRS_FOGEND]),
                     DwordToFloat(rs[D3DRS_FOGDENSITY]), float(rs[D3DRS_FOGTABLEMODE])};
    set.F4(u.fogP, 1, fogP);
    set.I2(u.alpha, static_cast<GLint>(rs[D3DRS_ALPHAFUNC]), static_cast<GLint>(rs[D3DRS_ALPHAREF] & 0xff));
    part.dirty &= ~uint32_t(kDirtyPixel);
}

FragmentKey GlDevice::MakeFragmentKey() const {
    FragmentKey key;
    const DWORD* rs = state_.rs;
    const FvfLayout& l = layout_;
    key.stages = static_cast<uint8_t>(ActiveStages());
    for (int s = 0; s < key.stages; ++s) {
        const DWORD* t = state_.tss[s];
        StageKey& k = key.stage[s];
        GlBaseTex* tex = state_.textures[s];
        k.colorOp = static_cast<uint8_t>(t[D3DTSS_COLOROP]);
        k.colorArg[0] = static_cast<uint8_t>(t[D3DTSS_COLORARG1]);
        k.colorArg[1] = static_cast<uint8_t>(t[D3DTSS_COLORARG2]);
        k.colorArg[2] = static_cast<uint8_t>(t[D3DTSS_COLORARG0]);
        // A disabled alpha operation passes the current alpha on.
        const bool alphaOff = t[D3DTSS_ALPHAOP] == D3DTOP_DISABLE;
        k.alphaOp = alphaOff ? uint8_t(D3DTOP_SELECTARG1) : static_cast<uint8_t>(t[D3DTSS_ALPHAOP]);
        k.alphaArg[0] = alphaOff ? uint8_t(D3DTA_CURRENT) : static_cast<uint8_t>(t[D3DTSS_ALPHAARG1]);
        k.alphaArg[1] = static_cast<uint8_t>(t[D3DTSS_ALPHAARG2]);
        k.alphaArg[2] = static_cast<uint8_t>(t[D3DTSS_ALPHAARG0]);
        k.texType = !tex ? 0 : tex->Store().target == GL_TEXTURE_CUBE_MAP ? 2 : 1;
        DWORD ttff = t[D3DTSS_TEXTURETRANSFORMFLAGS];
        int count = static_cast<int>(ttff & 0xff);
        k.projected = static_cast<int8_t>((ttff & D3DTTFF_PROJECTED) && count >= 1 && !l.rhw ? std::min(count, 4) - 1 : -1);
        k.toTemp = (t[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP;
    }
    uint8_t f = 0;
    if (rs[D3DRS_SPECULARENABLE]) f |= kFkSpecularAdd;
    if (rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT) f |= kFkFlat;
    if (rs[D3DRS_FOGENABLE]) f |= rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? kFkTableFog : kFkFog;
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS) f |= kFkAlphaTest;
    if (rs[D3DRS_POINTSPRITEENABLE] && lastPoints_) f |= kFkSprite;
    key.flags = f;
    return key;
}

VertexKey GlDevice::MakeVertexKey(int stages) const {
    VertexKey key;
    key.stages = static_cast<uint8_t>(stages);
    if (layout_.rhw) {
        key.flags = kVkPreTransformed;  // never lit, coordinates never transformed
        return key;
    }
    if (state_.rs[D3DRS_LIGHTING]) key.flags |= kVkLighting;
    for (int s = 0; s < stages; ++s) {
        const DWORD* t = state_.tss[s];
        int count = static_cast<int>(t[D3DTSS_TEXTURETRANSFORMFLAGS] & 0xff);
        count = count >= 2 ? std::min(count, 4) : 0;  // COUNT1 applies no matrix
        key.gen[s] = static_cast<uint8_t>(((t[D3DTSS_TEXCOORDINDEX] >> 16) & 3) | (count << 2));
    }
    return key;
}

HRESULT GlDevice::PrepareDraw(D3DPRIMITIVETYPE type, bool indexed) {
    MakeCurrent();
    if (targetDirty_) ApplyTarget();
    const bool points = type == D3DPT_POINTLIST;
    if (points != lastPoints_) {
        lastPoints_ = points;
        if (state_.rs[D3DRS_POINTSPRITEENABLE]) keyDirty_ = true;
    }
    if (keyDirty_ || !entry_) {
        FragmentKey key = MakeFragmentKey();
        activeStages_ = key.stages;
        entry_ = shaders_.Get(MakeVertexKey(key.stages), key);
        if (!entry_) return D3DERR_DRIVERINTERNALERROR;
        keyDirty_ = false;
    }
    shaders_.Bind(entry_);
    UploadVertexUniforms(entry_->vs->part, entry_->vs->u);
    UploadFragmentUniforms(entry_->fs->part, entry_->fs->u);
    if (rsDirty_) ApplyFixedState();
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

HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    if (FAILED(CheckDraw(DrawState(), type, startVertex, primitiveCount))) return D3DERR_INVALIDCALL;
    HRESULT hr = PrepareDraw(type, false);
    if (FAILED(hr)) return hr;
    glDrawArrays(PrimitiveMode(type), static_cast<GLint>(startVertex),
                 static_cast<GLsizei>(VertexCount(type, primitiveCount)));
    ++stats.drawCalls;
    return D3D_OK;
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                       UINT primCount) {
    if (FAILED(CheckIndexedDraw(DrawState(), type, minIndex, numVertices, startIndex, primCount)))
        return D3DERR_INVALIDCALL;
    HRESULT hr = PrepareDraw(type, true);
    if (FAILED(hr)) return hr;
    const bool wide = state_.indices->format == D3DFMT_INDEX32;
    const size_t offset = size_t(startIndex) * (wide ? 4 : 2);
    glDrawElementsBaseVertex(PrimitiveMode(type), static_cast<GLsizei>(VertexCount(type, primCount)),
                             wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)),
                             static_cast<GLint>(state_.baseVertex));
    ++stats.drawCalls;
    return D3D_OK;
}

}  // namespace vt::d3d8
