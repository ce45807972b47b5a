// GLSL of the fixed-function pipeline and its compilation.
//
// The fixed parts of the programs are the .glsl files in shaders/ (embedded
// at build time as d3d8_glsl.h); this file puts them together per key and
// writes out the per-stage parts: texture-coordinate generation and the
// stage operations as plain expressions.
#include "platform/d3d8/gl_shader.h"

#include <cstdio>
#include <cstring>

#include "d3d8_glsl.h"

namespace vt::d3d8 {

std::string GlslConstants() {
    std::string s;
    auto constant = [&s](const char* name, int value) {
        s += "const int ";
        s += name;
        s += " = " + std::to_string(value) + ";\n";
    };
    auto define = [&s](const char* name, int value) {
        s += "#define ";
        s += name;
        s += " " + std::to_string(value) + "\n";
    };
#define VT_CONSTANT(name, value) constant(#name, static_cast<int>(value));
#define VT_D3D_CONSTANT(name) constant(#name, static_cast<int>(name));
#define VT_DEFINE(name, value) define(#name, static_cast<int>(value));
    VT_VERTEX_FLAGS(VT_CONSTANT)
    VT_VERTEX_FOG_MODES(VT_CONSTANT)
    VT_GLSL_SIZES(VT_CONSTANT)
    VT_GLSL_D3D_VALUES(VT_D3D_CONSTANT)
    VT_ATTRIBUTES(VT_DEFINE)
    VT_VARYINGS(VT_DEFINE)
    constant("kDrawMatrixRow", kDrawMatrixRow);
#undef VT_CONSTANT
#undef VT_D3D_CONSTANT
#undef VT_DEFINE
    return s;
}

namespace {

// Version, extension, the named constants and the uniform blocks.
std::string Header(bool separate) {
    std::string h = GlslDialect();
    if (separate)
        h += "#extension GL_ARB_separate_shader_objects : require\n#define LOC(n) layout(location = n)\n";
    else
        h += "#define LOC(n)\n";
    static const std::string constants = GlslConstants();
    h += constants;
    h += glsl::blocks;
    return h;
}

// A stage argument (D3DTA_* with its modifiers) as a GLSL expression.
std::string ArgExpr(uint8_t a) {
    std::string v;
    switch (a & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: v = "diff"; break;
    case D3DTA_TEXTURE: v = "tex"; break;
    case D3DTA_TFACTOR: v = "uTFactor"; break;
    case D3DTA_SPECULAR: v = "specCol"; break;
    case D3DTA_TEMP: v = "tmp"; break;
    default: v = "cur"; break;  // D3DTA_CURRENT and values without a register
    }
    if (a & D3DTA_COMPLEMENT) v = "(vec4(1.0) - " + v + ")";
    if (a & D3DTA_ALPHAREPLICATE) v = v + ".aaaa";
    return v;
}

// A stage operation on a1, a2, a0 (arg1, arg2, arg0) as a GLSL expression.
const char* OpExpr(uint8_t op) {
    switch (op) {
    case D3DTOP_SELECTARG2: return "a2";
    case D3DTOP_MODULATE: return "a1 * a2";
    case D3DTOP_MODULATE2X: return "2.0 * a1 * a2";
    case D3DTOP_MODULATE4X: return "4.0 * a1 * a2";
    case D3DTOP_ADD: return "a1 + a2";
    case D3DTOP_ADDSIGNED: return "a1 + a2 - 0.5";
    case D3DTOP_ADDSIGNED2X: return "2.0 * (a1 + a2 - 0.5)";
    case D3DTOP_SUBTRACT: return "a1 - a2";
    case D3DTOP_ADDSMOOTH: return "a1 + a2 - a1 * a2";
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(a2, a1, diff.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(a2, a1, tex.a)";
    case D3DTOP_BLENDFACTORALPHA: return "mix(a2, a1, uTFactor.a)";
    case D3DTOP_BLENDTEXTUREALPHAPM: return "a1 + a2 * (1.0 - tex.a)";
    case D3DTOP_BLENDCURRENTALPHA: return "mix(a2, a1, cur.a)";
    case D3DTOP_MODULATEALPHA_ADDCOLOR: return "a1 + a1.a * a2";
    case D3DTOP_MODULATECOLOR_ADDALPHA: return "a1 * a2 + a1.a";
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return "(1.0 - a1.a) * a2 + a1";
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return "(vec4(1.0) - a1) * a2 + a1.a";
    case D3DTOP_DOTPRODUCT3: return "vec4(4.0 * dot(a1.rgb - 0.5, a2.rgb - 0.5))";
    case D3DTOP_MULTIPLYADD: return "a0 + a1 * a2";
    case D3DTOP_LERP: return "mix(a2, a1, a0)";
    // D3DTOP_SELECTARG1, and the operations without an equivalent here
    // (premodulate, bump mapping): the first argument.
    default: return "a1";
    }
}

}  // namespace

GLuint CompileShader(GLenum type, const std::string& src) {
    GLuint sh = glCreateShader(type);
    const char* p = src.c_str();
    glShaderSource(sh, 1, &p, nullptr);
    glCompileShader(sh);
    GLint ok = 0;
    glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[4096];
        glGetShaderInfoLog(sh, sizeof log, nullptr, log);
        std::fprintf(stderr, "d3d8: shader compile failed:\n%s\n", log);
        glDeleteShader(sh);
        return 0;
    }
    return sh;
}

// Links the given shaders (deleting them); separable programs for pipelines.
GLuint LinkProgram(std::initializer_list<GLuint> shaders, bool separable) {
    for (GLuint s : shaders)
        if (!s) {
            for (GLuint t : shaders)
                if (t) glDeleteShader(t);
            return 0;
        }
    GLuint p = glCreateProgram();
    if (separable) GlMarkSeparable(p);
    for (GLuint s : shaders) glAttachShader(p, s);
    glLinkProgram(p);
    for (GLuint s : shaders) glDeleteShader(s);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[4096];
        glGetProgramInfoLog(p, sizeof log, nullptr, log);
        std::fprintf(stderr, "d3d8: program link failed:\n%s\n", log);
        glDeleteProgram(p);
        return 0;
    }
    return p;
}

namespace {

bool HasSeparateShaderObjects() {
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major > 4 || (major == 4 && minor >= 1)) return true;
    GLint n = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &n);
    for (GLint i = 0; i < n; ++i) {
        const char* e = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
        if (e && std::strcmp(e, "GL_ARB_separate_shader_objects") == 0) return true;
    }
    return false;
}


// Routes the program's uniform blocks to the device's buffers.
void BindBlocks(GLuint prog) {
    for (uint32_t b = 0; b < kBlockCount; ++b) {
        GLuint index = glGetUniformBlockIndex(prog, kBlocks[b].name);
        if (index != GL_INVALID_INDEX) glUniformBlockBinding(prog, index, b);
    }
}

// The per-draw matrices' unit, for a vertex program that reads them. The
// program must be current unless it is separable.
void SetDrawMatrixUnit(GLuint prog, const VertexKey& key, bool separate) {
    if (!(key.flags & kVkDrawMatrices)) return;
    GLint loc = glGetUniformLocation(prog, "uDrawMatrices");
    if (loc < 0) return;
    if (separate)
        glProgramUniform1i(prog, loc, kDrawMatrixUnit);
    else
        glUniform1i(loc, kDrawMatrixUnit);
}

// The 2D and cube samplers of stage s sit on units s and kMaxStages + s.
// The program must be current unless it is separable.
void SetSamplerUnits(GLuint prog, const FragmentKey& key, bool separate) {
    for (int s = 0; s < key.stages; ++s) {
        GLint loc = glGetUniformLocation(prog, ("uTex" + std::to_string(s)).c_str());
        if (loc < 0) continue;
        GLint unit = key.stage[s].texType == kTexCube ? kMaxStages + s : s;
        if (separate)
            glProgramUniform1i(prog, loc, unit);
        else
            glUniform1i(loc, unit);
    }
}

}  // namespace

std::string FragmentKey::Bytes() const {
    std::string b;
    b += char(stages);
    b += char(flags);
    for (int s = 0; s < stages; ++s) b.append(reinterpret_cast<const char*>(&stage[s]), sizeof(StageKey));
    return b;
}

std::string VertexKey::Bytes() const {
    std::string b;
    b += char(stages);
    b += char(flags);
    b.append(reinterpret_cast<const char*>(gen), stages);
    return b;
}

std::string VertexShaderSource(const VertexKey& key, bool separate) {
    std::string s = Header(separate);
    const bool rhw = key.flags & kVkPreTransformed;
    for (int i = 0; i < key.stages; ++i) {
        const std::string n = std::to_string(i);
        s += "layout(location = " + std::to_string(kAttrTex0 + i) + ") in vec4 aTex" + n + ";\n";
        s += "LOC(" + std::to_string(kVarTexCoord0 + i) + ") out vec4 vTc" + n + ";\n";
    }
    const bool perDraw = !rhw && (key.flags & kVkDrawMatrices);
    if (perDraw) s += glsl::vertex_draw_matrices;
    s += glsl::vertex_head;
    // The transform's names, read per draw instead of from the uniforms.
    if (perDraw) s += "#define uWVP DrawMatrix(0)\n#define uWV DrawMatrix(1)\n#define uNormalMatrix DrawMatrix(2)\n";
    s += rhw ? glsl::vertex_pretransformed : glsl::vertex_transformed;
    s += glsl::vertex_colours;
    if (!rhw && (key.flags & kVkLighting)) s += glsl::vertex_lighting;
    s += glsl::vertex_tail;
    for (int i = 0; i < key.stages; ++i) {
        const std::string n = std::to_string(i);
        const TexCoordSource source = rhw ? kTcPassThru : TexGenSource(key.gen[i]);
        const int rows = rhw ? 0 : TexGenMatrixRows(key.gen[i]);
        if (source == kTcPassThru && rows < 2) {
            s += "    vTc" + n + " = aTex" + n + ";\n";
            continue;
        }
        s += "    {\n";
        switch (source) {
        case kTcPassThru: s += "        vec4 t = PadCoord(aTex" + n + ", uTexDimension[" + n + "]);\n"; break;
        case kTcCameraNormal: s += "        vec4 t = vec4(n, 1.0);\n"; break;
        case kTcCameraPosition: s += "        vec4 t = vec4(pc, 1.0);\n"; break;
        case kTcReflection:
            s += "        vec3 I = dot(pc, pc) > 0.0 ? normalize(pc) : vec3(0.0, 0.0, 1.0);\n";
            s += "        vec4 t = vec4(I - 2.0 * dot(n, I) * n, 1.0);\n";
            break;
        }
        if (rows >= 2) {
            s += "        t = uTexMatrix[" + n + "] * t;\n";
            if (rows < 4) s += "        t.w = 0.0;\n";
            if (rows < 3) s += "        t.z = 0.0;\n";
        }
        s += "        vTc" + n + " = t;\n    }\n";
    }
    s += "}\n";
    return s;
}

std::string FragmentShaderSource(const FragmentKey& key, bool separate) {
    std::string s = Header(separate);
    const bool flat = key.flags & kFkFlat;
    s += flat ? "LOC(kVarDiffuseFlat) flat in vec4 vDiffF;\nLOC(kVarSpecularFlat) flat in vec4 vSpecF;\n"
              : "LOC(kVarDiffuse) in vec4 vDiff;\nLOC(kVarSpecular) in vec4 vSpec;\n";
    s += "LOC(kVarFog) in float vFog;\n";
    if (key.flags & kFkClampDepth) s += "in float vClampDepthW;\nin float vClampW;\n";
    if (key.flags & kFkTableFog)
        s += GlEs() ? "in float vFogDepthW;\nin float vFogW;\n#define vFogDepth (vFogDepthW / vFogW)\n"
                    : "LOC(kVarFogDepth) noperspective in float vFogDepth;\n";
    for (int i = 0; i < key.stages; ++i) {
        const StageKey& k = key.stage[i];
        std::string n = std::to_string(i);
        s += "LOC(" + std::to_string(kVarTexCoord0 + i) + ") in vec4 vTc" + n + ";\n";
        if (k.texType == kTex2D) s += "uniform sampler2D uTex" + n + ";\n";
        if (k.texType == kTexCube) s += "uniform samplerCube uTex" + n + ";\n";
    }
    s += "out vec4 oColor;\n\nvoid main() {\n";
    s += flat ? "    vec4 diff = vDiffF;\n    vec4 specCol = vSpecF;\n" : "    vec4 diff = vDiff;\n    vec4 specCol = vSpec;\n";
    s += "    vec4 cur = diff;\n    vec4 tmp = vec4(0.0);\n";
    for (int i = 0; i < key.stages; ++i) {
        const StageKey& k = key.stage[i];
        std::string n = std::to_string(i);
        s += "    {\n";
        s += (key.flags & kFkSprite) ? "        vec4 tc = vec4(gl_PointCoord, 0.0, 1.0);\n" : "        vec4 tc = vTc" + n + ";\n";
        if (k.projected >= 0) {
            std::string c = "tc[" + std::to_string(k.projected) + "]";
            s += "        if (" + c + " != 0.0) tc.xyz /= " + c + ";\n";
        }
        if (k.texType == kTex2D)
            s += "        vec4 tex = texture(uTex" + n + ", tc.xy);\n";
        else if (k.texType == kTexCube)
            s += "        vec4 tex = texture(uTex" + n + ", tc.xyz);\n";
        else
            s += "        vec4 tex = vec4(0.0);\n";
        s += "        vec4 a1 = " + ArgExpr(k.colorArg[0]) + ", a2 = " + ArgExpr(k.colorArg[1]) + ", a0 = " +
             ArgExpr(k.colorArg[2]) + ";\n";
        s += std::string("        vec3 rgb = (") + OpExpr(k.colorOp) + ").rgb;\n";
        s += "        a1 = " + ArgExpr(k.alphaArg[0]) + ", a2 = " + ArgExpr(k.alphaArg[1]) + ", a0 = " +
             ArgExpr(k.alphaArg[2]) + ";\n";
        s += std::string("        float al = (") + OpExpr(k.alphaOp) + ").a;\n";
        s += k.toTemp ? "        tmp = clamp(vec4(rgb, al), 0.0, 1.0);\n" : "        cur = clamp(vec4(rgb, al), 0.0, 1.0);\n";
        s += "    }\n";
    }
    if (key.flags & kFkSpecularAdd) s += "    cur.rgb = min(cur.rgb + specCol.rgb, vec3(1.0));\n";
    if (key.flags & kFkTableFog)
        s += glsl::fragment_table_fog;
    else if (key.flags & kFkFog)
        // A linear step (start = end) arrives as end - d: fogged from 0 on.
        s += "    float fog = uVertexFog == kVFogLinearStep ? (vFog > 0.0 ? 1.0 : 0.0) : vFog;\n"
             "    cur.rgb = mix(uFogColor.rgb, cur.rgb, fog);\n";
    if (key.flags & kFkAlphaTest) s += glsl::fragment_alpha_test;
    // Direct3D's depth with a MaxZ above 1: MinZ + z (MaxZ - MinZ), clamped
    // to the depth buffer's range (the GL range is 0..1 then).
    // ES's stand-in for a depth clamp: the depth interpolated from the
    // vertices, clamped to the depth range.
    std::string fragZ = "gl_FragCoord.z";
    if (key.flags & kFkClampDepth) {
        s += "    float zIn = gl_DepthRange.near + gl_DepthRange.diff * (vClampDepthW / vClampW);\n"
             "    float zClamped = clamp(zIn, min(gl_DepthRange.near, gl_DepthRange.far),"
             " max(gl_DepthRange.near, gl_DepthRange.far));\n";
        fragZ = "zClamped";
        if (!(key.flags & kFkDepthRange)) s += "    gl_FragDepth = zClamped;\n";
    }
    if (key.flags & kFkDepthRange)
        s += "    gl_FragDepth = clamp(uDepthMin + clamp(" + fragZ + ", 0.0, 1.0) * uDepthScale, 0.0, 1.0);\n";
    s += "    oColor = cur;\n}\n";
    return s;
}

ShaderSet::~ShaderSet() { Release(); }

void ShaderSet::Release() {
    for (auto& kv : entries_)
        if (kv.second->linked) glDeleteProgram(kv.second->linked);
    for (auto& kv : vertex_) glDeleteProgram(kv.second.program);
    for (auto& kv : fragment_) glDeleteProgram(kv.second);
    entries_.clear();
    vertex_.clear();
    fragment_.clear();
    linkedCount_ = 0;
    if (pipeline_) glDeleteProgramPipelines(1, &pipeline_);
    pipeline_ = 0;
    Unbind();
}

void ShaderSet::Build() {
    separate_ = !GlEs() && HasSeparateShaderObjects();  // WebGL has none
    if (separate_) glGenProgramPipelines(1, &pipeline_);
}

void TransformTarget::Locate(GLuint prog, bool separate) {
    program = prog;
    separable = separate;
#define VT_LOCATE(member, name, floats) member = glGetUniformLocation(prog, name);
    VT_TRANSFORM_UNIFORMS(VT_LOCATE)
#undef VT_LOCATE
}

TransformTarget* ShaderSet::GetVertex(const VertexKey& key) {
    std::string id = key.Bytes();
    auto it = vertex_.find(id);
    if (it != vertex_.end()) return &it->second;
    GLuint prog = LinkProgram({CompileShader(GL_VERTEX_SHADER, VertexShaderSource(key, true))}, true);
    if (!prog) return nullptr;
    BindBlocks(prog);
    SetDrawMatrixUnit(prog, key, true);
    TransformTarget& t = vertex_[std::move(id)];
    t.Locate(prog, true);
    return &t;
}

GLuint ShaderSet::GetFragment(const FragmentKey& key) {
    std::string id = key.Bytes();
    auto it = fragment_.find(id);
    if (it != fragment_.end()) return it->second;
    GLuint prog = LinkProgram({CompileShader(GL_FRAGMENT_SHADER, FragmentShaderSource(key, true))}, true);
    if (!prog) return 0;
    BindBlocks(prog);
    SetSamplerUnits(prog, key, true);
    fragment_.emplace(std::move(id), prog);
    return prog;
}

PipelineEntry* ShaderSet::Get(const VertexKey& vk, const FragmentKey& fk) {
    std::string id = vk.Bytes() + '|' + fk.Bytes();
    auto it = entries_.find(id);
    if (it != entries_.end()) return it->second.get();

    auto e = std::make_unique<PipelineEntry>();
    if (separate_) {
        e->transform = GetVertex(vk);
        e->fragment = GetFragment(fk);
        if (!e->transform || !e->fragment) return nullptr;
        e->vertex = e->transform->program;
    } else {
        GLuint prog = LinkProgram({CompileShader(GL_VERTEX_SHADER, VertexShaderSource(vk, false)),
                            CompileShader(GL_FRAGMENT_SHADER, FragmentShaderSource(fk, false))},
                           false);
        if (!prog) return nullptr;
        ++linkedCount_;
        e->linked = prog;
        e->linkedTransform.Locate(prog, false);
        e->transform = &e->linkedTransform;
        BindBlocks(prog);
        glUseProgram(prog);
        SetSamplerUnits(prog, fk, false);
        SetDrawMatrixUnit(prog, vk, false);
        Unbind();
    }
    return entries_.emplace(std::move(id), std::move(e)).first->second.get();
}

void ShaderSet::Bind(PipelineEntry* e) {
    if (bound_ == e) return;
    if (!separate_) {
        glUseProgram(e->linked);
    } else {
        if (!bound_) {
            glUseProgram(0);
            glBindProgramPipeline(pipeline_);
        }
        if (boundVertex_ != e->vertex) glUseProgramStages(pipeline_, GL_VERTEX_SHADER_BIT, e->vertex);
        if (boundFragment_ != e->fragment) glUseProgramStages(pipeline_, GL_FRAGMENT_SHADER_BIT, e->fragment);
    }
    bound_ = e;
    boundVertex_ = e->vertex;
    boundFragment_ = e->fragment;
}

void ShaderSet::Unbind() {
    bound_ = nullptr;
    boundVertex_ = 0;
    boundFragment_ = 0;
}

bool ShaderSet::BuildPresent(PresentProgram& out) {
    out.program =
        LinkProgram({CompileShader(GL_VERTEX_SHADER, std::string(GlslDialect()) + glsl::present_vertex),
                     CompileShader(GL_FRAGMENT_SHADER, std::string(GlslDialect()) + glsl::present_fragment)},
                    false);
    if (!out.program) return false;
    out.useLut = glGetUniformLocation(out.program, "uUseLut");
    glUseProgram(out.program);
    glUniform1i(glGetUniformLocation(out.program, "uSrc"), 0);
    glUniform1i(glGetUniformLocation(out.program, "uLut"), 1);
    glUseProgram(0);
    return true;
}

}  // namespace vt::d3d8
