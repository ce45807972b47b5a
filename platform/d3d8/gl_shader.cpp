// GLSL of the fixed-function pipeline and its compilation.
//
// The vertex program does transforms, lighting (clamped once, at the end),
// vertex fog and texture-coordinate generation/transforms for all eight
// stages, selected by uniforms. Fragment programs are generated per
// FragmentKey: the texture stages in use, the specular add, fog and the
// alpha test, with the operations written out as plain expressions.
#include "platform/d3d8/gl_shader.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace vt::d3d8 {

namespace {

const char* kVertexDecls = R"(
layout(location = 0) in vec4 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aDiffuse;
layout(location = 3) in vec4 aSpecular;
layout(location = 4) in float aPSize;
uniform mat4 uWVP;
uniform mat4 uWV;
uniform mat4 uNrm;
uniform vec4 uVp[2];     // (x, y, 2/width, 2/height), (pixel shift x, y in NDC)
uniform ivec4 uMode;     // flags, fog mode, light count, material sources
uniform vec4 uFogV;      // start, end, density, range fog
uniform vec4 uMat[6];    // diffuse, ambient, specular, emissive, global ambient, (power, size, min, max)
uniform vec4 uPScale;    // A, B, C, viewport height
uniform vec4 uLight[56]; // 7 vec4 per light
uniform ivec4 uTexGen[8];  // -, coordinate dimension
uniform mat4 uTexM[8];
out gl_PerVertex {
    vec4 gl_Position;
    float gl_PointSize;
};
LOC(0) out vec4 vDiff;
LOC(1) out vec4 vSpec;
LOC(2) flat out vec4 vDiffF;
LOC(3) flat out vec4 vSpecF;
LOC(4) out float vFog;

vec4 MatColor(int src, int idx, bool hasD, bool hasS) {
    if (src == 1 && hasD) return aDiffuse;
    if (src == 2 && hasS) return aSpecular;
    return uMat[idx];
}

// Stored coordinates as fed to a texture matrix: 2D ones become (u, v, 1, 0).
vec4 PadCoord(vec4 a, int dim) {
    if (dim == 1) return vec4(a.x, 1.0, 0.0, 0.0);
    if (dim == 2) return vec4(a.xy, 1.0, 0.0);
    if (dim == 3) return vec4(a.xyz, 1.0);
    if (dim == 4) return a;
    return vec4(0.0);
}

void main() {
    int flags = uMode.x;
    bool hasD = (flags & 8) != 0;
    bool hasS = (flags & 16) != 0;
    vec3 pc = vec3(0.0);
    vec3 n = vec3(0.0);
)";

const char* kVertexPreTransformed = R"(
    float w = aPos.w != 0.0 ? 1.0 / aPos.w : 1.0;
    float nx = (aPos.x - uVp[0].x) * uVp[0].z - 1.0;
    float ny = 1.0 - (aPos.y - uVp[0].y) * uVp[0].w;
    gl_Position = vec4((nx + uVp[1].x) * w, (uVp[1].y - ny) * w, (2.0 * aPos.z - 1.0) * w, w);
)";

const char* kVertexTransformed = R"(
    vec4 p = vec4(aPos.xyz, 1.0);
    gl_Position = uWVP * p;
    pc = (uWV * p).xyz;
    if ((flags & 4) != 0) {
        n = mat3(uNrm) * aNormal;
        if ((flags & 32) != 0 && dot(n, n) > 0.0) n = normalize(n);
    }
)";

const char* kVertexColours = R"(
    vec4 diff = hasD ? aDiffuse : vec4(1.0);
    vec4 specCol = hasS ? aSpecular : vec4(0.0);
)";

const char* kVertexLighting = R"(
    {
        int ms = uMode.w;
        vec4 Cd = MatColor(ms & 3, 0, hasD, hasS);
        vec4 Ca = MatColor((ms >> 2) & 3, 1, hasD, hasS);
        vec4 Cs = MatColor((ms >> 4) & 3, 2, hasD, hasS);
        vec4 Ce = MatColor((ms >> 6) & 3, 3, hasD, hasS);
        vec3 amb = uMat[4].rgb;
        vec3 dsum = vec3(0.0);
        vec3 ssum = vec3(0.0);
        vec3 E = vec3(0.0, 0.0, -1.0);
        if ((flags & 64) != 0 && dot(pc, pc) > 0.0) E = -normalize(pc);
        for (int i = 0; i < uMode.z; ++i) {
            int b = i * 7;
            vec3 L = uLight[b + 4].xyz;
            float att = 1.0;
            float type = uLight[b + 4].w;
            if (type != 3.0) {
                vec3 d = uLight[b + 3].xyz - pc;
                float dist = length(d);
                if (dist > uLight[b + 3].w) continue;
                L = dist > 0.0 ? d / dist : vec3(0.0);
                vec3 k = uLight[b + 5].xyz;
                float den = k.x + k.y * dist + k.z * dist * dist;
                att = den > 0.0 ? 1.0 / den : 1.0;
                if (type == 2.0) {
                    float rho = dot(L, uLight[b + 4].xyz);
                    float ct = uLight[b + 6].x;
                    float cp = uLight[b + 6].y;
                    float spot = rho > ct ? 1.0 : (rho <= cp ? 0.0 : pow((rho - cp) / (ct - cp), uLight[b + 5].w));
                    att *= spot;
                }
            }
            amb += att * uLight[b + 2].rgb;
            float ndl = dot(n, L);
            if (ndl > 0.0) {
                dsum += att * ndl * uLight[b].rgb;
                if ((flags & 128) != 0) {
                    vec3 H = normalize(L + E);
                    float ndh = dot(n, H);
                    if (ndh > 0.0) ssum += att * pow(ndh, uMat[5].x) * uLight[b + 1].rgb;
                }
            }
        }
        diff = vec4(Ce.rgb + Ca.rgb * amb + Cd.rgb * dsum, Cd.a);
        specCol = vec4(Cs.rgb * ssum, hasS ? aSpecular.a : 0.0);
    }
)";

const char* kVertexTail = R"(
    diff = clamp(diff, 0.0, 1.0);
    specCol = clamp(specCol, 0.0, 1.0);
    vDiff = diff;
    vDiffF = diff;
    vSpec = specCol;
    vSpecF = specCol;

    int fm = uMode.y;
    float f = 1.0;
    if (fm == 4) {
        f = specCol.a;
    } else if (fm == 5) {
        f = (flags & 1024) != 0 ? gl_Position.w : (gl_Position.z / gl_Position.w) * 0.5 + 0.5;
    } else if (fm != 0) {
        float d = uFogV.w != 0.0 ? length(pc) : abs(pc.z);
        if (fm == 3)
            f = uFogV.y != uFogV.x ? (uFogV.y - d) / (uFogV.y - uFogV.x) : (d < uFogV.y ? 1.0 : 0.0);
        else if (fm == 1)
            f = exp(-d * uFogV.z);
        else
            f = exp(-(d * uFogV.z) * (d * uFogV.z));
        f = clamp(f, 0.0, 1.0);
    }
    vFog = f;

    float ps = (flags & 256) != 0 ? aPSize : uMat[5].y;
    if ((flags & 512) != 0 && (flags & 1) == 0) {
        float d = length(pc);
        ps = uPScale.w * ps * sqrt(1.0 / max(uPScale.x + uPScale.y * d + uPScale.z * d * d, 1e-20));
    }
    gl_PointSize = max(clamp(ps, uMat[5].z, uMat[5].w), 1.0);
)";

const char* kPresentVertex = R"(#version 330 core
out vec2 vUv;
void main() {
    vec2 p = vec2(float((gl_VertexID & 1) * 2), float((gl_VertexID >> 1) * 2));
    // Memory row 0 of the back buffer is the top of the picture.
    vUv = vec2(p.x, 1.0 - p.y);
    gl_Position = vec4(p * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* kPresentFragment = R"(#version 330 core
in vec2 vUv;
uniform sampler2D uSrc;
uniform sampler2D uLut;
uniform int uUseLut;
out vec4 oColor;
void main() {
    vec3 c = texture(uSrc, vUv).rgb;
    if (uUseLut != 0) {
        ivec3 i = ivec3(c * 255.0 + 0.5);
        c = vec3(texelFetch(uLut, ivec2(i.r, 0), 0).r, texelFetch(uLut, ivec2(i.g, 0), 0).g,
                 texelFetch(uLut, ivec2(i.b, 0), 0).b);
    }
    oColor = vec4(c, 1.0);
}
)";

std::string Header(bool separate) {
    std::string h = "#version 330 core\n";
    if (separate)
        h += "#extension GL_ARB_separate_shader_objects : require\n#define LOC(n) layout(location = n)\n";
    else
        h += "#define LOC(n)\n";
    return h;
}

// A stage argument as a GLSL expression.
std::string ArgExpr(uint8_t a) {
    static const char* regs[] = {"diff", "cur", "tex", "uTFactor", "specCol", "tmp"};
    int sel = a & 0xf;
    std::string v = sel <= 5 ? regs[sel] : "cur";
    if (a & 0x10) v = "(vec4(1.0) - " + v + ")";
    if (a & 0x20) v = v + ".aaaa";
    return v;
}

// A stage operation on a1, a2, a0 as a GLSL expression.
const char* OpExpr(uint8_t op) {
    switch (op) {
    case 3: return "a2";
    case 4: return "a1 * a2";
    case 5: return "2.0 * a1 * a2";
    case 6: return "4.0 * a1 * a2";
    case 7: return "a1 + a2";
    case 8: return "a1 + a2 - 0.5";
    case 9: return "2.0 * (a1 + a2 - 0.5)";
    case 10: return "a1 - a2";
    case 11: return "a1 + a2 - a1 * a2";
    case 12: return "mix(a2, a1, diff.a)";
    case 13: return "mix(a2, a1, tex.a)";
    case 14: return "mix(a2, a1, uTFactor.a)";
    case 15: return "a1 + a2 * (1.0 - tex.a)";
    case 16: return "mix(a2, a1, cur.a)";
    case 18: return "a1 + a1.a * a2";
    case 19: return "a1 * a2 + a1.a";
    case 20: return "(1.0 - a1.a) * a2 + a1";
    case 21: return "(vec4(1.0) - a1) * a2 + a1.a";
    case 24: return "vec4(4.0 * dot(a1.rgb - 0.5, a2.rgb - 0.5))";
    case 25: return "a0 + a1 * a2";
    case 26: return "mix(a2, a1, a0)";
    default: return "a1";  // select arg1, and operations without an equivalent here
    }
}

GLuint Compile(GLenum type, const std::string& src) {
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
GLuint Link(std::initializer_list<GLuint> shaders, bool separable) {
    for (GLuint s : shaders)
        if (!s) {
            for (GLuint t : shaders)
                if (t) glDeleteShader(t);
            return 0;
        }
    GLuint p = glCreateProgram();
    if (separable) glProgramParameteri(p, GL_PROGRAM_SEPARABLE, GL_TRUE);
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

VertexUniforms VertexLocations(GLuint g) {
    VertexUniforms u;
    u.wvp = glGetUniformLocation(g, "uWVP");
    u.wv = glGetUniformLocation(g, "uWV");
    u.nrm = glGetUniformLocation(g, "uNrm");
    u.vp = glGetUniformLocation(g, "uVp");
    u.mode = glGetUniformLocation(g, "uMode");
    u.fogV = glGetUniformLocation(g, "uFogV");
    u.mat = glGetUniformLocation(g, "uMat");
    u.pscale = glGetUniformLocation(g, "uPScale");
    u.light = glGetUniformLocation(g, "uLight");
    u.texGen = glGetUniformLocation(g, "uTexGen");
    u.texM = glGetUniformLocation(g, "uTexM");
    return u;
}

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
        s += "layout(location = " + std::to_string(kAttrTex0 + i) + ") in vec4 aTex" + std::to_string(i) + ";\n";
        s += "LOC(" + std::to_string(5 + i) + ") out vec4 vTc" + std::to_string(i) + ";\n";
    }
    s += kVertexDecls;
    s += rhw ? kVertexPreTransformed : kVertexTransformed;
    s += kVertexColours;
    if (!rhw && (key.flags & kVkLighting)) s += kVertexLighting;
    s += kVertexTail;
    for (int i = 0; i < key.stages; ++i) {
        const std::string n = std::to_string(i);
        const int mode = rhw ? 0 : key.gen[i] & 3;
        const int count = rhw ? 0 : key.gen[i] >> 2;
        if (mode == 0 && count < 2) {
            s += "    vTc" + n + " = aTex" + n + ";\n";
            continue;
        }
        s += "    {\n";
        if (mode == 0) s += "        vec4 t = PadCoord(aTex" + n + ", uTexGen[" + n + "].y);\n";
        if (mode == 1) s += "        vec4 t = vec4(n, 1.0);\n";
        if (mode == 2) s += "        vec4 t = vec4(pc, 1.0);\n";
        if (mode == 3) {
            s += "        vec3 I = dot(pc, pc) > 0.0 ? normalize(pc) : vec3(0.0, 0.0, 1.0);\n";
            s += "        vec4 t = vec4(I - 2.0 * dot(n, I) * n, 1.0);\n";
        }
        if (count >= 2) {
            s += "        t = uTexM[" + n + "] * t;\n";
            if (count < 4) s += "        t.w = 0.0;\n";
            if (count < 3) s += "        t.z = 0.0;\n";
        }
        s += "        vTc" + n + " = t;\n    }\n";
    }
    s += "}\n";
    return s;
}

std::string FragmentShaderSource(const FragmentKey& key, bool separate) {
    std::string s = Header(separate);
    const bool flat = key.flags & kFkFlat;
    s += flat ? "LOC(2) flat in vec4 vDiffF;\nLOC(3) flat in vec4 vSpecF;\n" : "LOC(0) in vec4 vDiff;\nLOC(1) in vec4 vSpec;\n";
    s += "LOC(4) in float vFog;\n";
    for (int i = 0; i < key.stages; ++i) {
        const StageKey& k = key.stage[i];
        std::string n = std::to_string(i);
        s += "LOC(" + std::to_string(5 + i) + ") in vec4 vTc" + n + ";\n";
        if (k.texType == 1) s += "uniform sampler2D uTex" + n + ";\n";
        if (k.texType == 2) s += "uniform samplerCube uTex" + n + ";\n";
    }
    s += "uniform vec4 uTFactor;\nuniform vec4 uFogColor;\nuniform vec4 uFogP;  // start, end, density, table mode\n"
         "uniform ivec2 uAlpha;  // compare function, reference\nout vec4 oColor;\n\nvoid main() {\n";
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
        if (k.texType == 1)
            s += "        vec4 tex = texture(uTex" + n + ", tc.xy);\n";
        else if (k.texType == 2)
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
    if (key.flags & kFkTableFog) {
        s += R"(    float d = vFog;
    int m = int(uFogP.w);
    float f;
    if (m == 3)
        f = uFogP.y != uFogP.x ? (uFogP.y - d) / (uFogP.y - uFogP.x) : (d < uFogP.y ? 1.0 : 0.0);
    else if (m == 1)
        f = exp(-d * uFogP.z);
    else
        f = exp(-(d * uFogP.z) * (d * uFogP.z));
    cur.rgb = mix(uFogColor.rgb, cur.rgb, clamp(f, 0.0, 1.0));
)";
    } else if (key.flags & kFkFog) {
        s += "    cur.rgb = mix(uFogColor.rgb, cur.rgb, vFog);\n";
    }
    if (key.flags & kFkAlphaTest) {
        s += R"(    int a8 = int(cur.a * 255.0 + 0.5);
    int af = uAlpha.x, ref = uAlpha.y;
    bool pass = (af == 2 && a8 < ref) || (af == 3 && a8 == ref) || (af == 4 && a8 <= ref) ||
                (af == 5 && a8 > ref) || (af == 6 && a8 != ref) || (af == 7 && a8 >= ref);
    if (!pass) discard;
)";
    }
    s += "    oColor = cur;\n}\n";
    return s;
}

ShaderSet::~ShaderSet() { Release(); }

void ShaderSet::Release() {
    for (auto& kv : entries_)
        if (kv.second->linked) glDeleteProgram(kv.second->linked);
    for (auto& kv : vertex_) glDeleteProgram(kv.second->part.program);
    for (auto& kv : fragment_) glDeleteProgram(kv.second->part.program);
    entries_.clear();
    vertex_.clear();
    fragment_.clear();
    linkedCount_ = 0;
    if (pipeline_) glDeleteProgramPipelines(1, &pipeline_);
    pipeline_ = 0;
    Unbind();
}

void ShaderSet::Build() {
    separate_ = HasSeparateShaderObjects();
    if (separate_) glGenProgramPipelines(1, &pipeline_);
}

namespace {

FragmentUniforms FragmentLocations(GLuint prog) {
    FragmentUniforms u;
    u.tfactor = glGetUniformLocation(prog, "uTFactor");
    u.fogColor = glGetUniformLocation(prog, "uFogColor");
    u.fogP = glGetUniformLocation(prog, "uFogP");
    u.alpha = glGetUniformLocation(prog, "uAlpha");
    return u;
}

// 2D and cube samplers of stage s sit on units s and 8 + s. The program
// must be current unless it is separable.
void SetSamplerUnits(GLuint prog, const FragmentKey& key, bool separate) {
    for (int s = 0; s < key.stages; ++s) {
        GLint loc = glGetUniformLocation(prog, ("uTex" + std::to_string(s)).c_str());
        if (loc < 0) continue;
        GLint unit = key.stage[s].texType == 2 ? 8 + s : s;
        if (separate)
            glProgramUniform1i(prog, loc, unit);
        else
            glUniform1i(loc, unit);
    }
}

}  // namespace

VertexProgram* ShaderSet::GetVertex(const VertexKey& key) {
    std::string id = key.Bytes();
    auto it = vertex_.find(id);
    if (it != vertex_.end()) return it->second.get();
    GLuint prog = Link({Compile(GL_VERTEX_SHADER, VertexShaderSource(key, true))}, true);
    if (!prog) return nullptr;
    auto v = std::make_unique<VertexProgram>();
    v->part.program = prog;
    v->u = VertexLocations(prog);
    return vertex_.emplace(std::move(id), std::move(v)).first->second.get();
}

FragmentProgram* ShaderSet::GetFragment(const FragmentKey& key) {
    std::string id = key.Bytes();
    auto it = fragment_.find(id);
    if (it != fragment_.end()) return it->second.get();
    GLuint prog = Link({Compile(GL_FRAGMENT_SHADER, FragmentShaderSource(key, true))}, true);
    if (!prog) return nullptr;
    auto f = std::make_unique<FragmentProgram>();
    f->part.program = prog;
    f->u = FragmentLocations(prog);
    SetSamplerUnits(prog, key, true);
    return fragment_.emplace(std::move(id), std::move(f)).first->second.get();
}

PipelineEntry* ShaderSet::Get(const VertexKey& vk, const FragmentKey& fk) {
    std::string id = vk.Bytes() + '|' + fk.Bytes();
    auto it = entries_.find(id);
    if (it != entries_.end()) return it->second.get();

    auto e = std::make_unique<PipelineEntry>();
    if (separate_) {
        e->vs = GetVertex(vk);
        e->fs = GetFragment(fk);
        if (!e->vs || !e->fs) return nullptr;
    } else {
        GLuint prog = Link({Compile(GL_VERTEX_SHADER, VertexShaderSource(vk, false)),
                            Compile(GL_FRAGMENT_SHADER, FragmentShaderSource(fk, false))},
                           false);
        if (!prog) return nullptr;
        ++linkedCount_;
        e->linked = prog;
        e->ownVs = std::make_unique<VertexProgram>();
        e->ownVs->part.program = prog;
        e->ownVs->u = VertexLocations(prog);
        e->ownFs = std::make_unique<FragmentProgram>();
        e->ownFs->part.program = prog;
        e->ownFs->u = FragmentLocations(prog);
        e->vs = e->ownVs.get();
        e->fs = e->ownFs.get();
        glUseProgram(prog);
        SetSamplerUnits(prog, fk, false);
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
        if (boundVs_ != e->vs) glUseProgramStages(pipeline_, GL_VERTEX_SHADER_BIT, e->vs->part.program);
        if (boundFs_ != e->fs) glUseProgramStages(pipeline_, GL_FRAGMENT_SHADER_BIT, e->fs->part.program);
    }
    bound_ = e;
    boundVs_ = e->vs;
    boundFs_ = e->fs;
}

void ShaderSet::Unbind() {
    bound_ = nullptr;
    boundVs_ = nullptr;
    boundFs_ = nullptr;
}

void ShaderSet::MarkDirty(uint32_t bits) {
    for (auto& kv : vertex_) kv.second->part.dirty |= bits;
    for (auto& kv : fragment_) kv.second->part.dirty |= bits;
    for (auto& kv : entries_) {
        if (kv.second->ownVs) kv.second->ownVs->part.dirty |= bits;
        if (kv.second->ownFs) kv.second->ownFs->part.dirty |= bits;
    }
}

bool ShaderSet::BuildPresent(PresentProgram& out) {
    out.program = Link({Compile(GL_VERTEX_SHADER, kPresentVertex), Compile(GL_FRAGMENT_SHADER, kPresentFragment)}, false);
    if (!out.program) return false;
    out.useLut = glGetUniformLocation(out.program, "uUseLut");
    glUseProgram(out.program);
    glUniform1i(glGetUniformLocation(out.program, "uSrc"), 0);
    glUniform1i(glGetUniformLocation(out.program, "uLut"), 1);
    glUseProgram(0);
    return true;
}

}  // namespace vt::d3d8
