// The fixed-function pipeline as GLSL. The vertex stage is one program
// driven by uniforms (transforms, lighting, fog, texture coordinates); the
// fragment stage is generated per texture-stage set-up (FragmentKey), so each
// pixel runs only the operations in use, and cached.
//
// Usage: ShaderSet::Build() once the context exists, then Precompile() the
// keys expected during a run (loading time); Get(key) returns the program
// pair for a key, compiling it only if it was never seen. Bind() makes it
// current. With separate shader objects (GL 4.1 or the ARB extension) all
// fragment programs share one vertex program; otherwise each key links its
// own full program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/d3d8/gl_common.h"

namespace vt::d3d8 {

// Vertex attribute locations.
enum AttribLocation : GLuint {
    kAttrPosition = 0,
    kAttrNormal = 1,
    kAttrDiffuse = 2,
    kAttrSpecular = 3,
    kAttrPointSize = 4,
    kAttrTex0 = 5,  // one per stage: the coordinate set that stage reads
};

constexpr int kShaderStages = 8;

// uMode.x bits.
enum VertexFlags : int {
    kVfPreTransformed = 1,
    kVfLighting = 2,
    kVfHasNormal = 4,
    kVfHasDiffuse = 8,
    kVfHasSpecular = 16,
    kVfNormalize = 32,
    kVfLocalViewer = 64,
    kVfSpecular = 128,
    kVfHasPointSize = 256,
    kVfPointScale = 512,
    kVfFogDepthW = 1024,  // table fog: pass clip w (perspective) rather than z
};

// uMode.y: how the per-vertex fog value is made.
enum VertexFogMode : int {
    kVFogNone = 0,  // f = 1
    kVFogExp = 1,
    kVFogExp2 = 2,
    kVFogLinear = 3,
    kVFogSpecAlpha = 4,  // f = specular alpha
    kVFogDepth = 5,      // pass depth; the fragment stage computes table fog
};

// FragmentKey::flags.
enum FragmentFlags : uint8_t {
    kFkSpecularAdd = 1,
    kFkFlat = 2,
    kFkTableFog = 4,
    kFkAlphaTest = 8,
    kFkSprite = 16,
    kFkFog = 32,
};

// VertexKey::flags.
enum VertexKeyFlags : uint8_t {
    kVkPreTransformed = 1,
    kVkLighting = 2,
};

// What a generated vertex program hard-codes: pre-transformed or not,
// lighting, and per stage the coordinate source (mode) and matrix size.
struct VertexKey {
    uint8_t stages = 0;
    uint8_t flags = 0;
    uint8_t gen[kShaderStages] = {};  // generation mode (0..3) | matrix count (0, 2..4) << 2
    std::string Bytes() const;
};

struct StageKey {
    uint8_t colorOp = 0, alphaOp = 0;
    uint8_t colorArg[3] = {};  // arg1, arg2, arg0 (D3DTA values, modifiers included)
    uint8_t alphaArg[3] = {};
    uint8_t texType = 0;    // 0 none, 1 2D, 2 cube
    int8_t projected = -1;  // component that divides, or -1
    uint8_t toTemp = 0;
};

struct FragmentKey {
    uint8_t stages = 0;
    uint8_t flags = 0;
    StageKey stage[kShaderStages];
    std::string Bytes() const;
};

struct VertexUniforms {
    GLint wvp = -1, wv = -1, nrm = -1, vp = -1, mode = -1, fogV = -1, mat = -1, pscale = -1, light = -1;
    GLint texGen = -1, texM = -1;
};

struct FragmentUniforms {
    GLint tfactor = -1, fogColor = -1, fogP = -1, alpha = -1;
};

struct ProgramPart {
    GLuint program = 0;
    uint32_t dirty = 0xffffffffu;
};

struct VertexProgram {
    ProgramPart part;
    VertexUniforms u;
};

struct FragmentProgram {
    ProgramPart part;
    FragmentUniforms u;
};

// A vertex and a fragment program that draw together.
struct PipelineEntry {
    VertexProgram* vs = nullptr;
    FragmentProgram* fs = nullptr;
    GLuint linked = 0;  // without separate shader objects: the one program
    std::unique_ptr<VertexProgram> ownVs;
    std::unique_ptr<FragmentProgram> ownFs;
};

struct PresentProgram {
    GLuint program = 0;
    GLint useLut = -1;
};

class ShaderSet {
public:
    ShaderSet() = default;
    ShaderSet(const ShaderSet&) = delete;
    ShaderSet& operator=(const ShaderSet&) = delete;
    ~ShaderSet();

    void Build();  // checks for separate shader objects
    // Null only if generated source fails to build (a defect; reported on stderr).
    PipelineEntry* Get(const VertexKey& vk, const FragmentKey& fk);
    void Precompile(const VertexKey& vk, const FragmentKey& fk) { Get(vk, fk); }
    void Bind(PipelineEntry* e);
    void Unbind();
    void MarkDirty(uint32_t bits);
    bool Separate() const { return separate_; }
    size_t ProgramCount() const { return vertex_.size() + fragment_.size() + linkedCount_; }
    void Release();  // deletes every program; the context must be current

    static bool BuildPresent(PresentProgram& out);

private:
    VertexProgram* GetVertex(const VertexKey& key);
    FragmentProgram* GetFragment(const FragmentKey& key);

    bool separate_ = false;
    GLuint pipeline_ = 0;
    std::unordered_map<std::string, std::unique_ptr<VertexProgram>> vertex_;
    std::unordered_map<std::string, std::unique_ptr<FragmentProgram>> fragment_;
    std::unordered_map<std::string, std::unique_ptr<PipelineEntry>> entries_;
    size_t linkedCount_ = 0;
    PipelineEntry* bound_ = nullptr;
    VertexProgram* boundVs_ = nullptr;
    FragmentProgram* boundFs_ = nullptr;
};

std::string VertexShaderSource(const VertexKey& key, bool separate);
std::string FragmentShaderSource(const FragmentKey& key, bool separate);

}  // namespace vt::d3d8
