// What the C++ side of the fixed-function emulation and its GLSL share:
// named constants and the uniform blocks.
//
// Constants: each list below is an X-macro; it makes the C++ enumerators and
// (GlslConstants() in gl_shader.cpp) the `const int` lines every generated
// shader starts with, so the GLSL reads kVfHasDiffuse or D3DLIGHT_SPOT,
// never the number.
//
// Blocks: one std140 uniform block per dirty group, described here as a C++
// struct and in shaders/blocks.glsl with the same members in the same order;
// sizes are checked here, member offsets against the GL compiler in the
// tests. A block is uploaded once per change of its group, whatever program
// draws next.
//
// The transform is the exception: it changes on almost every draw, and a
// block would mean a buffer write and a rebinding of every stage's constants
// each time. It goes to the vertex program as plain uniforms
// (TransformUniforms, declared in shaders/vertex_head.glsl).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d8/d3d8.h"

namespace vt::d3d8 {

constexpr int kMaxStages = 8;
constexpr int kMaxActiveLights = 8;

// VertexModeBlock::flags: the vertex format and the vertex switches.
#define VT_VERTEX_FLAGS(X)         \
    X(kVfPreTransformed, 1 << 0)   \
    X(kVfHasNormal, 1 << 1)        \
    X(kVfHasDiffuse, 1 << 2)       \
    X(kVfHasSpecular, 1 << 3)      \
    X(kVfNormalize, 1 << 4)        \
    X(kVfLocalViewer, 1 << 5)      \
    X(kVfSpecular, 1 << 6)         \
    X(kVfHasPointSize, 1 << 7)     \
    X(kVfPointScale, 1 << 8)       \
    X(kVfFogDepthW, 1 << 9) /* table fog: from clip w (perspective) rather than z */ \
    X(kVfClampDepth, 1 << 10) /* ES: pre-transformed depth clamped, as a depth clamp would */

// FogBlock::vertexMode: how the per-vertex fog value is made.
#define VT_VERTEX_FOG_MODES(X)              \
    X(kVFogNone, 0) /* f = 1 */             \
    X(kVFogExp, 1)                          \
    X(kVFogExp2, 2)                         \
    X(kVFogLinear, 3)                       \
    X(kVFogSpecAlpha, 4) /* f = specular alpha */ \
    X(kVFogDepth, 5) /* pass depth; the fragment stage computes table fog */ \
    X(kVFogLinearStep, 6) /* linear with start = end: pass end - d; the fragment stage steps */

// Array sizes the GLSL declares.
#define VT_GLSL_SIZES(X)              \
    X(kGlslMaxStages, kMaxStages)     \
    X(kGlslMaxLights, kMaxActiveLights)

#define VT_ENUMERATOR(name, value) name = (value),
enum VertexFlags : int { VT_VERTEX_FLAGS(VT_ENUMERATOR) };
enum VertexFogMode : int { VT_VERTEX_FOG_MODES(VT_ENUMERATOR) };
#undef VT_ENUMERATOR

// Direct3D values the GLSL compares against, under their own names.
#define VT_GLSL_D3D_VALUES(X)                                                                    \
    X(D3DLIGHT_POINT) X(D3DLIGHT_SPOT) X(D3DLIGHT_DIRECTIONAL)                                   \
    X(D3DMCS_MATERIAL) X(D3DMCS_COLOR1) X(D3DMCS_COLOR2)                                         \
    X(D3DFOG_NONE) X(D3DFOG_EXP) X(D3DFOG_EXP2) X(D3DFOG_LINEAR)                                 \
    X(D3DCMP_NEVER) X(D3DCMP_LESS) X(D3DCMP_EQUAL) X(D3DCMP_LESSEQUAL) X(D3DCMP_GREATER)         \
    X(D3DCMP_NOTEQUAL) X(D3DCMP_GREATEREQUAL) X(D3DCMP_ALWAYS)

// ---------------------------------------------------------------------------
// std140 blocks. vec3 + scalar pairs share one 16-byte slot, arrays and
// structs are 16-byte aligned, and every block is padded to 16 bytes.

struct Std140Int {  // an int array element: one 16-byte slot
    int32_t value;
    int32_t pad_[3];
};

// One enabled light, in camera space.
struct Std140Light {
    float diffuse[4];
    float specular[4];
    float ambient[4];
    float position[3];
    float range;
    float toLight[3];  // unit vector towards a directional or spot light
    int32_t type;      // D3DLIGHTTYPE
    float attenuation[3];
    float falloff;
    float cosHalfTheta;
    float cosHalfPhi;
    float pad_[2];
};
static_assert(sizeof(Std140Light) == 7 * 16, "a light is seven vec4 slots");

// The per-draw values, by uniform name in the vertex programs: world * view
// * projection * clip fix-up, world * view, the inverse transpose of world *
// view, the viewport (x, y, 2 / width, 2 / height, so that a pre-transformed
// position maps onto the stored viewport) and the pixel-centre shift (x, y in
// clip units; z, w: the offset of one copy of a wide line, otherwise zero). A
// program is sent them when it draws after a change.
#define VT_TRANSFORM_UNIFORMS(X)       \
    X(wvp, "uWVP", 16)                 \
    X(wv, "uWV", 16)                   \
    X(normal, "uNormalMatrix", 16)     \
    X(viewport, "uViewport", 4)        \
    X(pixelShift, "uPixelShift", 4)

struct TransformUniforms {
#define VT_MEMBER(member, name, floats) float member[floats];
    VT_TRANSFORM_UNIFORMS(VT_MEMBER)
#undef VT_MEMBER
};

struct LightBlock {
    Std140Light light[kMaxActiveLights];
    int32_t count;
    int32_t pad_[3];
};
static_assert(sizeof(LightBlock) == kMaxActiveLights * 112 + 16, "light block layout");

struct MaterialBlock {
    float diffuse[4];
    float ambient[4];
    float specular[4];
    float emissive[4];
    float globalAmbient[4];  // D3DRS_AMBIENT
    float power;
    float pointSize;
    float pointSizeMin;
    float pointSizeMax;
};
static_assert(sizeof(MaterialBlock) == 6 * 16, "material block layout");

struct VertexModeBlock {
    int32_t flags;  // VertexFlags
    int32_t diffuseSource;  // D3DMCS_* (material when colour vertex is off)
    int32_t ambientSource;
    int32_t specularSource;
    int32_t emissiveSource;
    float pointScaleA;
    float pointScaleB;
    float pointScaleC;
    float viewportHeight;  // in the program's pixels
    float pixelScale;      // stored pixels to one of the program's (point sizes)
    int32_t pad_[2];
};
static_assert(sizeof(VertexModeBlock) == 3 * 16, "vertex mode block layout");

struct TexCoordBlock {
    float matrix[kMaxStages][16];
    Std140Int dimension[kMaxStages];  // components of the stored set a stage reads (0: none)
};
static_assert(sizeof(TexCoordBlock) == kMaxStages * 80, "texture coordinate block layout");

struct FogBlock {
    float color[4];
    float start;
    float end;
    float density;
    int32_t vertexMode;  // VertexFogMode
    int32_t tableMode;   // D3DFOGMODE of table (per-pixel) fog
    int32_t range;       // range-based vertex fog
    int32_t pad_[2];
};
static_assert(sizeof(FogBlock) == 3 * 16, "fog block layout");

struct PixelBlock {
    float textureFactor[4];
    int32_t alphaFunc;  // D3DCMPFUNC
    int32_t alphaRef;   // 0..255
    float depthMin;     // the viewport's MinZ and MaxZ - MinZ, for kFkDepthRange
    float depthScale;
};
static_assert(sizeof(PixelBlock) == 2 * 16, "pixel block layout");

// Binding points, in the order of the blocks above; a block's dirty group is
// DirtyBlock(binding).
enum BlockBinding : uint32_t {
    kBlockLights,
    kBlockMaterial,
    kBlockVertexMode,
    kBlockTexCoords,
    kBlockFog,
    kBlockPixel,
    kBlockCount
};

struct BlockInfo {
    const char* name;  // the GLSL block name
    size_t size;
};
constexpr BlockInfo kBlocks[kBlockCount] = {
    {"LightBlock", sizeof(LightBlock)},       {"MaterialBlock", sizeof(MaterialBlock)},
    {"VertexModeBlock", sizeof(VertexModeBlock)}, {"TexCoordBlock", sizeof(TexCoordBlock)},
    {"FogBlock", sizeof(FogBlock)},           {"PixelBlock", sizeof(PixelBlock)},
};

}  // namespace vt::d3d8
