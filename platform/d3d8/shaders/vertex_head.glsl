// The transform: plain uniforms, since it changes on almost every draw
// (TransformUniforms in gl_blocks.h).
uniform mat4 uWVP;
uniform mat4 uWV;
uniform mat4 uNormalMatrix;
uniform vec4 uViewport;    // x, y, 2 / width, 2 / height
uniform vec4 uPixelShift;  // x, y in clip units; z, w: a wide line's copy offset

layout(location = kAttrPosition) in vec4 aPos;
layout(location = kAttrNormal) in vec3 aNormal;
layout(location = kAttrDiffuse) in vec4 aDiffuse;
layout(location = kAttrSpecular) in vec4 aSpecular;
layout(location = kAttrPointSize) in float aPSize;
out gl_PerVertex {
    vec4 gl_Position;
    float gl_PointSize;
};
LOC(kVarDiffuse) out vec4 vDiff;
LOC(kVarSpecular) out vec4 vSpec;
LOC(kVarDiffuseFlat) flat out vec4 vDiffF;
LOC(kVarSpecularFlat) flat out vec4 vSpecF;
LOC(kVarFog) out float vFog;
LOC(kVarFogDepth) noperspective out float vFogDepth;

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
