// The fixed-function pipeline as GLSL. The vertex stage is generated per
// VertexKey (pre-transformed or not, lighting, texture-coordinate sources)
// and reads the rest from the uniform blocks of gl_blocks.h; the fragment
// stage is generated per FragmentKey (the texture stages in use, fog, the
// alpha test), so each pixel runs only the operations in use. Programs are
// cached by key.
//
// Usage: ShaderSet::Build() once the context exists, then Precompile() the
// keys expected during a run (loading time); Get(key) returns the program
// pair for a key, compiling it only if it was never seen. Bind() makes it
// current. With separate shader objects (GL 4.1 or the ARB extension) the
// pairs share vertex and fragment programs; otherwise each pair links a
// program of its own. Either way every program reads the same uniform
// buffers, so state is uploaded once, not per program; only the transform
// (plain uniforms, see gl_blocks.h) is sent to each vertex program.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/d3d8/gl_blocks.h"
#include "platform/d3d8/gl_common.h"

namespace vt::d3d8 {

// Vertex attribute locations, and the locations of what the vertex stage
// passes to the fragment stage. Both are #defines in the GLSL (layout
// qualifiers need literals there).
#define VT_ATTRIBUTES(X)    \
    X(kAttrPosition, 0)     \
    X(kAttrNormal, 1)       \
    X(kAttrDiffuse, 2)      \
    X(kAttrSpecular, 3)     \
    X(kAttrPointSize, 4)    \
    X(kAttrTex0, 5) /* one per stage: the coordinate set that stage reads */ \
    X(kAttrDrawSlot, 13) /* merged draws: which draw's matrices a vertex takes */
#define VT_VARYINGS(X)      \
    X(kVarDiffuse, 0)       \
    X(kVarSpecular, 1)      \
    X(kVarDiffuseFlat, 2)   \
    X(kVarSpecularFlat, 3)  \
    X(kVarFog, 4)           \
    X(kVarTexCoord0, 5) /* one per stage */ \
    X(kVarFogDepth, 13) /* table fog's depth, interpolated linearly on the screen */

#define VT_ENUMERATOR(name, value) name = (value),
enum AttribLocation : GLuint { VT_ATTRIBUTES(VT_ENUMERATOR) };
enum VaryingLocation : int { VT_VARYINGS(VT_ENUMERATOR) };
#undef VT_ENUMERATOR
static_assert(kAttrDrawSlot == kAttrTex0 + kMaxStages, "the draw slot follows the stages' coordinates");
static_assert(kVarFogDepth == kVarTexCoord0 + kMaxStages, "the fog depth follows the stages' coordinates");

// Programs that read their matrices per draw (kVkDrawMatrices) find them in
// a buffer texture on this unit, after the stages' 2D and cube units: per
// draw the transform's three matrices (TransformUniforms' wvp, wv, normal),
// sixteen floats each.
constexpr int kDrawMatrixUnit = 2 * kMaxStages;
constexpr size_t kDrawMatrixFloats = 48;
// ES keeps them in a 2D float texture this many texels wide instead.
constexpr GLsizei kDrawMatrixRow = 1536;

// The `const int` and `#define` lines every generated shader starts with,
// from the tables above and in gl_blocks.h.
std::string GlslConstants();

// FragmentKey::flags.
enum FragmentFlags : uint8_t {
    kFkSpecularAdd = 1 << 0,
    kFkFlat = 1 << 1,
    kFkTableFog = 1 << 2,
    kFkAlphaTest = 1 << 3,
    kFkSprite = 1 << 4,
    kFkFog = 1 << 5,
    kFkDepthRange = 1 << 6,  // a viewport MaxZ above 1: depth mapped and clamped here
    kFkClampDepth = 1 << 7,  // ES: pre-transformed depth clamped per pixel, as a depth clamp would
};

// VertexKey::flags.
enum VertexKeyFlags : uint8_t {
    kVkPreTransformed = 1 << 0,
    kVkLighting = 1 << 1,
    kVkDrawMatrices = 1 << 2,  // the transform per draw of a merged draw, not from uniforms
};

// The texture bound to a stage, as the fragment stage samples it.
enum TexKind : uint8_t { kTexNone, kTex2D, kTexCube };

// Where a stage's coordinates come from (the high word of D3DTSS_TEXCOORDINDEX).
enum TexCoordSource : uint8_t {
    kTcPassThru = D3DTSS_TCI_PASSTHRU >> 16,
    kTcCameraNormal = D3DTSS_TCI_CAMERASPACENORMAL >> 16,
    kTcCameraPosition = D3DTSS_TCI_CAMERASPACEPOSITION >> 16,
    kTcReflection = D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR >> 16,
};

// VertexKey::gen of a stage: the coordinate source and how many rows of the
// texture matrix apply (0: no matrix, else 2..4).
constexpr uint8_t TexGen(TexCoordSource source, int matrixRows) {
    return static_cast<uint8_t>(source | matrixRows << 2);
}
constexpr TexCoordSource TexGenSource(uint8_t gen) { return static_cast<TexCoordSource>(gen & 3); }
constexpr int TexGenMatrixRows(uint8_t gen) { return gen >> 2; }

struct VertexKey {
    uint8_t stages = 0;
    uint8_t flags = 0;
    uint8_t gen[kMaxStages] = {};
    std::string Bytes() const;
};

struct StageKey {
    uint8_t colorOp = 0, alphaOp = 0;  // D3DTEXTUREOP
    uint8_t colorArg[3] = {};  // arg1, arg2, arg0 (D3DTA values, modifiers included)
    uint8_t alphaArg[3] = {};
    uint8_t texType = kTexNone;
    int8_t projected = -1;  // component that divides, or -1
    uint8_t toTemp = 0;
};

struct FragmentKey {
    uint8_t stages = 0;
    uint8_t flags = 0;
    StageKey stage[kMaxStages];
    std::string Bytes() const;
};

// A program that runs the vertex stage, with where its transform uniforms
// are and which version of the transform it last received (the device counts
// versions; a program is sent the values only when it draws behind).
struct TransformTarget {
    GLuint program = 0;
    bool separable = false;  // addressed with glProgramUniform*, else bound and glUniform*
#define VT_LOCATION(member, name, floats) GLint member = -1;
    VT_TRANSFORM_UNIFORMS(VT_LOCATION)
#undef VT_LOCATION
    uint64_t version = 0;
    void Locate(GLuint prog, bool separate);
};

// A vertex and a fragment program that draw together.
struct PipelineEntry {
    GLuint vertex = 0, fragment = 0;  // with separate shader objects
    GLuint linked = 0;                // without: the one program
    TransformTarget* transform = nullptr;  // the vertex program's, or linkedTransform
    TransformTarget linkedTransform;
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
    bool Separate() const { return separate_; }
    size_t ProgramCount() const { return vertex_.size() + fragment_.size() + linkedCount_; }
    void Release();  // deletes every program; the context must be current

    static bool BuildPresent(PresentProgram& out);

private:
    TransformTarget* GetVertex(const VertexKey& key);
    GLuint GetFragment(const FragmentKey& key);

    bool separate_ = false;
    GLuint pipeline_ = 0;
    std::unordered_map<std::string, TransformTarget> vertex_;  // nodes stay put: entries point at them
    std::unordered_map<std::string, GLuint> fragment_;
    std::unordered_map<std::string, std::unique_ptr<PipelineEntry>> entries_;
    size_t linkedCount_ = 0;
    PipelineEntry* bound_ = nullptr;
    GLuint boundVertex_ = 0, boundFragment_ = 0;
};

// The shader of one stage, or 0 with the compiler's log on stderr.
GLuint CompileShader(GLenum type, const std::string& src);
// Links the given shaders and deletes them; 0 (log on stderr) if any is 0 or
// the link fails. Separable programs are for pipelines.
GLuint LinkProgram(std::initializer_list<GLuint> shaders, bool separable);

std::string VertexShaderSource(const VertexKey& key, bool separate);
std::string FragmentShaderSource(const FragmentKey& key, bool separate);

}  // namespace vt::d3d8
