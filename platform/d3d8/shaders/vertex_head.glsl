// The transform: plain uniforms, since it changes on almost every draw
// (TransformUniforms in gl_blocks.h).
uniform mat4 uWVP;
uniform mat4 uWV;
uniform mat4 uNormalMatrix;
uniform vec4 uViewport;    // x, y, 2 / width, 2 / height
uniform vec4 uPixelShift;  // x, y in clip units; z, w: a wide line's copy offset

layout(location = kAttrPosition) in vec4 aPos;
layout(location = kAttrNormal) in vec3 aNormal;
layout(location = kAttrDiffuse) in vec4 aDiffuseBytes;
layout(location = kAttrSpecular) in vec4 aSpecularBytes;
layout(location = kAttrPointSize) in float aPSize;
#ifdef VT_GLSL_ES
// The colours' bytes arrive as stored, B, G, R, A.
#define aDiffuse (aDiffuseBytes.bgra)
#define aSpecular (aSpecularBytes.bgra)
#else
#define aDiffuse aDiffuseBytes
#define aSpecular aSpecularBytes
out gl_PerVertex {
    vec4 gl_Position;
    float gl_PointSize;
};
#endif
LOC(kVarDiffuse) out vec4 vDiff;
LOC(kVarSpecular) out vec4 vSpec;
LOC(kVarDiffuseFlat) flat out vec4 vDiffF;
LOC(kVarSpecularFlat) flat out vec4 vSpecF;
LOC(kVarFog) out float vFog;
#ifdef VT_GLSL_ES
// Nothing is interpolated linearly on the screen here: the depth goes out
// times w beside w, and their quotient per pixel is the linear value.
out float vFogDepthW;
out float vFogW;
// Pre-transformed depth, times w beside w, for the fragment program's clamp.
out float vClampDepthW;
out float vClampW;
#define VT_SET_FOG_DEPTH(d) vFogDepthW = (d) * gl_Position.w; vFogW = gl_Position.w
#else
LOC(kVarFogDepth) noperspective out float vFogDepth;
#define VT_SET_FOG_DEPTH(d) vFogDepth = (d)
#endif

// A lighting colour from the vertex or the material, by material source.
vec4 MatColor(int src, vec4 material, bool hasD, bool hasS) {
    if (src == D3DMCS_COLOR1 && hasD) return aDiffuse;
    if (src == D3DMCS_COLOR2 && hasS) return aSpecular;
    return material;
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
    bool hasD = (uFlags & kVfHasDiffuse) != 0;
    bool hasS = (uFlags & kVfHasSpecular) != 0;
    vec3 pc = vec3(0.0);
    vec3 n = vec3(0.0);
