// The uniform blocks: the same members, in the same order, as the structs of
// gl_blocks.h (std140 on both sides).
struct Light {
    vec4 diffuse;
    vec4 specular;
    vec4 ambient;
    vec3 position;
    float range;
    vec3 toLight;
    int type;
    vec3 attenuation;
    float falloff;
    float cosHalfTheta;
    float cosHalfPhi;
};

layout(std140) uniform LightBlock {
    Light uLight[kGlslMaxLights];
    int uLightCount;
};

layout(std140) uniform MaterialBlock {
    vec4 uMatDiffuse;
    vec4 uMatAmbient;
    vec4 uMatSpecular;
    vec4 uMatEmissive;
    vec4 uGlobalAmbient;
    float uPower;
    float uPointSize;
    float uPointSizeMin;
    float uPointSizeMax;
};

layout(std140) uniform VertexModeBlock {
    int uFlags;
    int uDiffuseSource;
    int uAmbientSource;
    int uSpecularSource;
    int uEmissiveSource;
    float uPointScaleA;
    float uPointScaleB;
    float uPointScaleC;
    float uViewportHeight;
    float uPixelScale;
};

layout(std140) uniform TexCoordBlock {
    mat4 uTexMatrix[kGlslMaxStages];
    int uTexDimension[kGlslMaxStages];
};

layout(std140) uniform FogBlock {
    vec4 uFogColor;
    float uFogStart;
    float uFogEnd;
    float uFogDensity;
    int uVertexFog;
    int uTableFog;
    int uRangeFog;
};

layout(std140) uniform PixelBlock {
    vec4 uTFactor;
    int uAlphaFunc;
    int uAlphaRef;
    float uDepthMin;
    float uDepthScale;
};
