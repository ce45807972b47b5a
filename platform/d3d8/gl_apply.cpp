// Applying the recorded Direct3D state to GL: which flags each state change
// raises, the fixed-function GL state, the uniform blocks and the program
// keys. A render state or stage state is added here (its dirty flags and
// where its value goes), in the enum of d3d8.h, and where the shader
// generator reads it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

uint32_t RenderStateDirt(D3DRENDERSTATETYPE state) {
    switch (state) {
    case D3DRS_ZENABLE:
    case D3DRS_FILLMODE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ZFUNC:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_ZBIAS:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_CLIPPING:  // depth clipping of pre-transformed vertices
    case D3DRS_BLENDOP: return kDirtyFixed;
    case D3DRS_AMBIENT:
    case D3DRS_POINTSIZE:
    case D3DRS_POINTSIZE_MIN:
    case D3DRS_POINTSIZE_MAX: return kDirtyMaterial;
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHAREF: return kDirtyPixel;
    case D3DRS_ALPHAFUNC: return kDirtyPixel | kDirtyProgram;  // ALWAYS drops the test
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_SHADEMODE:
    case D3DRS_POINTSPRITEENABLE:
    case D3DRS_LIGHTING: return kDirtyProgram;
    case D3DRS_COLORVERTEX:
    case D3DRS_LOCALVIEWER:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
    case D3DRS_POINTSCALEENABLE:
    case D3DRS_POINTSCALE_A:
    case D3DRS_POINTSCALE_B:
    case D3DRS_POINTSCALE_C: return kDirtyVertexMode;
    case D3DRS_SPECULARENABLE: return kDirtyVertexMode | kDirtyProgram;
    case D3DRS_FOGENABLE:
    case D3DRS_FOGTABLEMODE: return kDirtyFog | kDirtyProgram;
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_RANGEFOGENABLE: return kDirtyFog;
    default:
        return 0;  // recorded; no effect on this device (dither, patterns...)
    }
}

uint32_t StageStateDirt(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
    switch (type) {
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
    case D3DTSS_ADDRESSW:
    case D3DTSS_BORDERCOLOR:
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
    case D3DTSS_MIPFILTER:
    case D3DTSS_MIPMAPLODBIAS:
    case D3DTSS_MAXMIPLEVEL:
    case D3DTSS_MAXANISOTROPY: return DirtySampler(stage);
    case D3DTSS_TEXCOORDINDEX:
    case D3DTSS_TEXTURETRANSFORMFLAGS: return kDirtyProgram | kDirtyTexCoords;
    default: return kDirtyProgram;  // operations, arguments, result register
    }
}

#ifndef NDEBUG
namespace {
uint64_t g_glErrors = 0;
}  // namespace

void CheckGl(const char* after) {
    for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError()) {
        ++g_glErrors;
        std::fprintf(stderr, "d3d8: GL error 0x%04x after %s\n", e, after);
    }
}

uint64_t GlErrorsReported() { return g_glErrors; }
#endif

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

// With destAlphaIsOne the target has no alpha of its own: factors that
// read it become constants (SRCALPHASAT's min(As, 1 - Ad) is then 0).
GLenum BlendFactor(DWORD b, bool destAlphaIsOne) {
    if (destAlphaIsOne) {
        if (b == D3DBLEND_DESTALPHA) return GL_ONE;
        if (b == D3DBLEND_INVDESTALPHA || b == D3DBLEND_SRCALPHASAT) return GL_ZERO;
    }
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
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}


// Which of arg0/arg1/arg2 an operation reads (bit 0 = arg1, 1 = arg2, 2 = arg0).
enum ArgUse { kUsesArg1 = 1 << 0, kUsesArg2 = 1 << 1, kUsesArg0 = 1 << 2 };
int ArgsUsed(DWORD op) {
    switch (op) {
    case D3DTOP_SELECTARG1: return kUsesArg1;
    case D3DTOP_SELECTARG2: return kUsesArg2;
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP: return kUsesArg1 | kUsesArg2 | kUsesArg0;
    default: return kUsesArg1 | kUsesArg2;
    }
}

bool ReadsTexture(const DWORD* t) {
    DWORD op = t[D3DTSS_COLOROP];
    int used = ArgsUsed(op);
    if ((used & kUsesArg1) && (t[D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
    if ((used & kUsesArg2) && (t[D3DTSS_COLORARG2] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
    if ((used & kUsesArg0) && (t[D3DTSS_COLORARG0] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
    return op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM || op == D3DTOP_PREMODULATE;
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

void CopyMatrix(float (&dst)[16], const Mat4& m) { std::memcpy(dst, &m.m[0][0], sizeof dst); }

void PutRgba(float (&dst)[4], float r, float g, float b, float a) {
    dst[0] = r;
    dst[1] = g;
    dst[2] = b;
    dst[3] = a;
}

// How the vertex stage makes the fog value for the current state.
int VertexFogSource(const DWORD* rs, const FvfLayout& l) {
    if (!rs[D3DRS_FOGENABLE]) return kVFogNone;
    if (rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE) return kVFogDepth;
    if (l.rhw || rs[D3DRS_FOGVERTEXMODE] == D3DFOG_NONE)
        return l.specular >= 0 ? kVFogSpecAlpha : kVFogNone;  // 2D passes stay unfogged without specular
    switch (rs[D3DRS_FOGVERTEXMODE]) {
    case D3DFOG_EXP: return kVFogExp;
    case D3DFOG_EXP2: return kVFogExp2;
    case D3DFOG_LINEAR:
        return DWtoF(rs[D3DRS_FOGSTART]) == DWtoF(rs[D3DRS_FOGEND]) ? kVFogLinearStep : kVFogLinear;
    default: return kVFogNone;
    }
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

void GlDevice::ApplyFixedState() {
    const DWORD* rs = state_.rs;
    const bool depth = DepthTested();
    SetCap(GL_DEPTH_TEST, depth, gl_.depthTest);
    // ES has no depth clamp: its programs clamp instead (gl_draw.cpp).
    if (!GlEs()) SetCap(GL_DEPTH_CLAMP, ClampsDepth(), gl_.depthClamp);
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
        // An X8R8G8B8 target is stored with an alpha channel, but has none:
        // its alpha reads 1 whatever was cleared or drawn there.
        const bool alphaIsOne = state_.colorTarget->desc.Format == D3DFMT_X8R8G8B8;
        GLenum src = BlendFactor(rs[D3DRS_SRCBLEND], alphaIsOne);
        GLenum dst = BlendFactor(rs[D3DRS_DESTBLEND], alphaIsOne);
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

    // ES draws points and wireframes by drawing other primitives (gl_draw.cpp).
    int fill = rs[D3DRS_FILLMODE] == D3DFILL_POINT ? GL_POINT : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
    if (!GlEs() && gl_.polygonMode != fill) {
        glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(fill));
        gl_.polygonMode = fill;
    }

    const DWORD write = rs[D3DRS_COLORWRITEENABLE];
    int mask = static_cast<int>(write & (D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN |
                                         D3DCOLORWRITEENABLE_BLUE | D3DCOLORWRITEENABLE_ALPHA));
    // Without a swizzle an X8R8G8B8 target's alpha must stay the 1 its
    // clears write, for whatever samples it later.
    if (GlEs() && state_.colorTarget->desc.Format == D3DFMT_X8R8G8B8) mask &= ~D3DCOLORWRITEENABLE_ALPHA;
    if (gl_.colorMask != mask) {
        glColorMask((mask & D3DCOLORWRITEENABLE_RED) != 0, (mask & D3DCOLORWRITEENABLE_GREEN) != 0,
                    (mask & D3DCOLORWRITEENABLE_BLUE) != 0, (mask & D3DCOLORWRITEENABLE_ALPHA) != 0);
        gl_.colorMask = mask;
    }

    float bias = static_cast<float>(rs[D3DRS_ZBIAS] & 0xff);
    SetCap(GL_POLYGON_OFFSET_FILL, bias != 0.0f, gl_.polyOffset);
    if (bias != 0.0f && gl_.zbias != bias) {
        glPolygonOffset(0.0f, -bias);  // larger bias pulls towards the viewer
        gl_.zbias = bias;
    }
    dirty_ &= ~uint32_t(kDirtyFixed);
    VT_CHECK_GL("fixed-function state");
}

// Merged draws send the same three matrices per draw (gl_batch.cpp).
void GlDevice::WorldTransform(const Mat4& world, float* wvp, float* wv, float* normal) const {
    Mat4 m = Mul(world, state_.view);
    // Clip-space fix-up: pixel centres at integers, rows from the top (y
    // negated), depth 0..w -> -w..w.
    const float sx = PixelCentreShift() / float(vpStored_[2]);
    const float sy = PixelCentreShift() / float(vpStored_[3]);
    Mat4 fix{};
    fix.m[0][0] = 1.0f;
    fix.m[3][0] = sx;
    fix.m[1][1] = -1.0f;
    fix.m[3][1] = sy;
    fix.m[2][2] = 2.0f;
    fix.m[3][2] = -1.0f;
    fix.m[3][3] = 1.0f;
    const Mat4 clip = Mul(Mul(m, state_.proj), fix);
    const Mat4 n = NormalMatrix(m);
    std::memcpy(wvp, &clip.m[0][0], sizeof clip.m);
    std::memcpy(wv, &m.m[0][0], sizeof m.m);
    std::memcpy(normal, &n.m[0][0], sizeof n.m);
}

// The transform goes to the vertex program about to draw, if it has not had
// this version yet; the program must be bound.
void GlDevice::ApplyTransform() {
    if (dirty_ & kDirtyTransform) {
        TransformUniforms& t = transform_;
        WorldTransform(state_.world, t.wvp, t.wv, t.normal);
        const float w = float(vpStored_[2]), h = float(vpStored_[3]);
        const float sx = PixelCentreShift() / w;
        const float sy = PixelCentreShift() / h;
        // Pre-transformed positions are in the program's pixels: with kx
        // stored pixels to one of them, x - vpX / kx times 2 kx / w covers the
        // stored viewport exactly (at k = 1 these are X and 2 / width).
        const float kx = float(ScaleX()), ky = float(ScaleY());
        PutRgba(t.viewport, float(vpStored_[0]) / kx, float(vpStored_[1]) / ky, 2.0f * kx / w, 2.0f * ky / h);
        PutRgba(t.pixelShift, sx, sy, 0.0f, 0.0f);
        ++transformVersion_;
        dirty_ &= ~uint32_t(kDirtyTransform);
    }
    TransformTarget& target = *entry_->transform;
    if (target.version == transformVersion_) return;
    const GLuint prog = target.program;
    const bool direct = target.separable;
    auto send = [prog, direct](GLint at, const float* v, int floats) {
        if (at < 0) return;  // not used by this program
        if (floats == 16)
            direct ? glProgramUniformMatrix4fv(prog, at, 1, GL_FALSE, v) : glUniformMatrix4fv(at, 1, GL_FALSE, v);
        else
            direct ? glProgramUniform4fv(prog, at, 1, v) : glUniform4fv(at, 1, v);
    };
#define VT_SEND(member, name, floats) send(target.member, transform_.member, floats);
    VT_TRANSFORM_UNIFORMS(VT_SEND)
#undef VT_SEND
    target.version = transformVersion_;
    VT_CHECK_GL("transform");
}

template <class Block>
void GlDevice::UploadBlock(BlockBinding binding, const Block& data) {
    static_assert(sizeof(Block) % 16 == 0, "std140 blocks are padded to 16 bytes");
    constexpr GLsizeiptr size = sizeof(Block);
    const GLintptr at = (blockRingHead_ + blockAlign_ - 1) / blockAlign_ * blockAlign_;
    glBindBuffer(GL_UNIFORM_BUFFER, blockRing_);
    // Nothing queued reads this range (UploadBlocks saw to it), so there is
    // nothing to wait for.
    GlWriteUnusedRange(GL_UNIFORM_BUFFER, at, size, &data);
    glBindBufferRange(GL_UNIFORM_BUFFER, binding, blockRing_, at, size);
    blockRingHead_ = at + size;
}

void GlDevice::UploadBlocks() {
    uint32_t dirty = dirty_ & kDirtyBlocks;
    if (!dirty) return;
    // When every block might not fit behind the head any more, the buffer
    // gets fresh storage (queued draws keep reading the old one) and every
    // block is written again, since the blocks not rewritten would be lost.
    GLsizeiptr room = 0;
    for (const BlockInfo& b : kBlocks) room += GLsizeiptr(b.size) + blockAlign_;
    if (blockRingHead_ + room > kBlockRingSize) {
        glBindBuffer(GL_UNIFORM_BUFFER, blockRing_);
        glBufferData(GL_UNIFORM_BUFFER, kBlockRingSize, nullptr, GL_STREAM_DRAW);
        blockRingHead_ = 0;
        dirty = kDirtyBlocks;
    }
    const DWORD* rs = state_.rs;
    const FvfLayout& l = layout_;
    const D3DVIEWPORT8& vp = state_.viewport;

    if (dirty & kDirtyLights) {
        LightBlock b{};
        std::map<DWORD, const D3DLIGHT8*> enabled;  // by index, for a stable order
        for (const auto& kv : state_.lights)
            if (kv.second.enabled) enabled.emplace(kv.first, &kv.second.light);
        const Mat4& V = state_.view;
        for (const auto& kv : enabled) {
            if (b.count == kMaxActiveLights) break;
            const D3DLIGHT8& L = *kv.second;
            Std140Light& d = b.light[b.count++];
            Put(d.diffuse, L.Diffuse);
            Put(d.specular, L.Specular);
            Put(d.ambient, L.Ambient);
            const D3DVECTOR& P = L.Position;
            for (int c = 0; c < 3; ++c) d.position[c] = P.x * V.m[0][c] + P.y * V.m[1][c] + P.z * V.m[2][c] + V.m[3][c];
            d.range = L.Range;
            const D3DVECTOR& D = L.Direction;
            float dir[3];
            for (int c = 0; c < 3; ++c) dir[c] = D.x * V.m[0][c] + D.y * V.m[1][c] + D.z * V.m[2][c];
            float len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
            for (int c = 0; c < 3; ++c) d.toLight[c] = len > 0.0f ? -dir[c] / len : 0.0f;
            d.type = static_cast<int32_t>(L.Type);
            d.attenuation[0] = L.Attenuation0;
            d.attenuation[1] = L.Attenuation1;
            d.attenuation[2] = L.Attenuation2;
            d.falloff = L.Falloff;
            d.cosHalfTheta = std::cos(L.Theta * 0.5f);
            d.cosHalfPhi = std::cos(L.Phi * 0.5f);
        }
        UploadBlock(kBlockLights, b);
    }

    if (dirty & kDirtyMaterial) {
        MaterialBlock b{};
        const D3DMATERIAL8& M = state_.material;
        Put(b.diffuse, M.Diffuse);
        Put(b.ambient, M.Ambient);
        Put(b.specular, M.Specular);
        Put(b.emissive, M.Emissive);
        ColorToFloats(rs[D3DRS_AMBIENT], b.globalAmbient);
        b.power = M.Power;
        b.pointSize = DWtoF(rs[D3DRS_POINTSIZE]);
        b.pointSizeMin = DWtoF(rs[D3DRS_POINTSIZE_MIN]);
        b.pointSizeMax = DWtoF(rs[D3DRS_POINTSIZE_MAX]);
        UploadBlock(kBlockMaterial, b);
    }

    if (dirty & kDirtyVertexMode) {
        VertexModeBlock b{};
        int flags = 0;
        if (l.rhw) flags |= kVfPreTransformed;
        if (l.normal >= 0) flags |= kVfHasNormal;
        if (l.diffuse >= 0) flags |= kVfHasDiffuse;
        if (l.specular >= 0) flags |= kVfHasSpecular;
        if (rs[D3DRS_NORMALIZENORMALS]) flags |= kVfNormalize;
        if (rs[D3DRS_LOCALVIEWER]) flags |= kVfLocalViewer;
        if (rs[D3DRS_SPECULARENABLE]) flags |= kVfSpecular;
        if (l.psize >= 0) flags |= kVfHasPointSize;
        if (rs[D3DRS_POINTSCALEENABLE]) flags |= kVfPointScale;
        // Table fog from w under a perspective projection; from z otherwise,
        // pre-transformed vertices included, whatever their rhw.
        if (!l.rhw && state_.proj.m[2][3] != 0.0f) flags |= kVfFogDepthW;
        if (esDepthClamp_) flags |= kVfClampDepth;
        b.flags = flags;
        if (rs[D3DRS_COLORVERTEX]) {  // otherwise every source is the material
            b.diffuseSource = static_cast<int32_t>(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
            b.ambientSource = static_cast<int32_t>(rs[D3DRS_AMBIENTMATERIALSOURCE]);
            b.specularSource = static_cast<int32_t>(rs[D3DRS_SPECULARMATERIALSOURCE]);
            b.emissiveSource = static_cast<int32_t>(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
        }
        b.pointScaleA = DWtoF(rs[D3DRS_POINTSCALE_A]);
        b.pointScaleB = DWtoF(rs[D3DRS_POINTSCALE_B]);
        b.pointScaleC = DWtoF(rs[D3DRS_POINTSCALE_C]);
        b.viewportHeight = float(vp.Height);
        b.pixelScale = float(0.5 * (ScaleX() + ScaleY()));
        UploadBlock(kBlockVertexMode, b);
    }

    if (dirty & kDirtyTexCoords) {
        TexCoordBlock b{};
        for (int s = 0; s < kMaxStages; ++s) {
            CopyMatrix(b.matrix[s], state_.texm[s]);
            const int set = static_cast<int>(state_.tss[s][D3DTSS_TEXCOORDINDEX] & 0xffff);
            b.dimension[s].value = set < l.texCount ? l.texDim[set] : 0;
        }
        UploadBlock(kBlockTexCoords, b);
    }

    if (dirty & kDirtyFog) {
        FogBlock b{};
        ColorToFloats(rs[D3DRS_FOGCOLOR], b.color);
        b.start = DWtoF(rs[D3DRS_FOGSTART]);
        b.end = DWtoF(rs[D3DRS_FOGEND]);
        b.density = DWtoF(rs[D3DRS_FOGDENSITY]);
        b.vertexMode = VertexFogSource(rs, l);
        b.tableMode = static_cast<int32_t>(rs[D3DRS_FOGTABLEMODE]);
        b.range = rs[D3DRS_RANGEFOGENABLE] ? 1 : 0;
        UploadBlock(kBlockFog, b);
    }

    if (dirty & kDirtyPixel) {
        PixelBlock b{};
        ColorToFloats(rs[D3DRS_TEXTUREFACTOR], b.textureFactor);
        b.alphaFunc = static_cast<int32_t>(rs[D3DRS_ALPHAFUNC]);
        b.alphaRef = static_cast<int32_t>(rs[D3DRS_ALPHAREF] & 0xff);
        b.depthMin = vp.MinZ;
        b.depthScale = vp.MaxZ - vp.MinZ;
        UploadBlock(kBlockPixel, b);
    }
    dirty_ &= ~uint32_t(kDirtyBlocks);
    VT_CHECK_GL("uniform blocks");
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
        k.texType = !tex ? kTexNone : tex->Store().target == GL_TEXTURE_CUBE_MAP ? kTexCube : kTex2D;
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
    if (state_.viewport.MaxZ > 1.0f) f |= kFkDepthRange;
    if (esPixelDepthClamp_) f |= kFkClampDepth;
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
    if (perDrawMatrices_) key.flags |= kVkDrawMatrices;
    for (int s = 0; s < stages; ++s) {
        const DWORD* t = state_.tss[s];
        int count = static_cast<int>(t[D3DTSS_TEXTURETRANSFORMFLAGS] & 0xff);  // the count is the low byte
        count = count >= D3DTTFF_COUNT2 ? std::min(count, int(D3DTTFF_COUNT4)) : 0;  // COUNT1 applies no matrix
        key.gen[s] = TexGen(static_cast<TexCoordSource>((t[D3DTSS_TEXCOORDINDEX] >> 16) & 3), count);
    }
    return key;
}

}  // namespace vt::d3d8
