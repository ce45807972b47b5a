// The contract between the OpenGL device's C++ and its GLSL: the uniform
// blocks as the GL compiler lays them out, every stage operation and
// coordinate source building, the programs without separate shader objects,
// and the debug build's GL error check.
#include <cstddef>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/d3d8/gl_shader.h"
#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

class ShaderContract : public GlDeviceTest {};

// One linked program drawing with every block: lit, a texture matrix, table
// fog, the alpha test and the texture factor.
GLuint ProgramUsingEveryBlock() {
    VertexKey vk;
    vk.flags = kVkLighting;
    vk.stages = 1;
    vk.gen[0] = TexGen(kTcPassThru, 4);
    FragmentKey fk;
    fk.stages = 1;
    fk.flags = kFkTableFog | kFkAlphaTest;
    fk.stage[0].colorOp = D3DTOP_MODULATE;
    fk.stage[0].colorArg[0] = D3DTA_TFACTOR;
    fk.stage[0].colorArg[1] = D3DTA_DIFFUSE;
    fk.stage[0].alphaOp = D3DTOP_SELECTARG1;
    fk.stage[0].alphaArg[0] = D3DTA_DIFFUSE;
    GLuint prog = LinkProgram({CompileShader(GL_VERTEX_SHADER, VertexShaderSource(vk, false)),
                               CompileShader(GL_FRAGMENT_SHADER, FragmentShaderSource(fk, false))},
                              false);
    EXPECT_NE(prog, 0u);
    return prog;
}

struct Member {
    BlockBinding block;
    std::string name;  // as GL names the active uniform
    size_t offset;     // in the C++ struct
};

std::vector<Member> Members() {
    std::vector<Member> m = {
        {kBlockLights, "uLightCount", offsetof(LightBlock, count)},
        {kBlockMaterial, "uMatDiffuse", offsetof(MaterialBlock, diffuse)},
        {kBlockMaterial, "uMatAmbient", offsetof(MaterialBlock, ambient)},
        {kBlockMaterial, "uMatSpecular", offsetof(MaterialBlock, specular)},
        {kBlockMaterial, "uMatEmissive", offsetof(MaterialBlock, emissive)},
        {kBlockMaterial, "uGlobalAmbient", offsetof(MaterialBlock, globalAmbient)},
        {kBlockMaterial, "uPower", offsetof(MaterialBlock, power)},
        {kBlockMaterial, "uPointSize", offsetof(MaterialBlock, pointSize)},
        {kBlockMaterial, "uPointSizeMin", offsetof(MaterialBlock, pointSizeMin)},
        {kBlockMaterial, "uPointSizeMax", offsetof(MaterialBlock, pointSizeMax)},
        {kBlockVertexMode, "uFlags", offsetof(VertexModeBlock, flags)},
        {kBlockVertexMode, "uDiffuseSource", offsetof(VertexModeBlock, diffuseSource)},
        {kBlockVertexMode, "uAmbientSource", offsetof(VertexModeBlock, ambientSource)},
        {kBlockVertexMode, "uSpecularSource", offsetof(VertexModeBlock, specularSource)},
        {kBlockVertexMode, "uEmissiveSource", offsetof(VertexModeBlock, emissiveSource)},
        {kBlockVertexMode, "uPointScaleA", offsetof(VertexModeBlock, pointScaleA)},
        {kBlockVertexMode, "uPointScaleB", offsetof(VertexModeBlock, pointScaleB)},
        {kBlockVertexMode, "uPointScaleC", offsetof(VertexModeBlock, pointScaleC)},
        {kBlockVertexMode, "uViewportHeight", offsetof(VertexModeBlock, viewportHeight)},
        {kBlockVertexMode, "uPixelScale", offsetof(VertexModeBlock, pixelScale)},
        {kBlockTexCoords, "uTexMatrix[0]", offsetof(TexCoordBlock, matrix)},
        {kBlockTexCoords, "uTexDimension[0]", offsetof(TexCoordBlock, dimension)},
        {kBlockFog, "uFogColor", offsetof(FogBlock, color)},
        {kBlockFog, "uFogStart", offsetof(FogBlock, start)},
        {kBlockFog, "uFogEnd", offsetof(FogBlock, end)},
        {kBlockFog, "uFogDensity", offsetof(FogBlock, density)},
        {kBlockFog, "uVertexFog", offsetof(FogBlock, vertexMode)},
        {kBlockFog, "uTableFog", offsetof(FogBlock, tableMode)},
        {kBlockFog, "uRangeFog", offsetof(FogBlock, range)},
        {kBlockPixel, "uTFactor", offsetof(PixelBlock, textureFactor)},
        {kBlockPixel, "uAlphaFunc", offsetof(PixelBlock, alphaFunc)},
        {kBlockPixel, "uAlphaRef", offsetof(PixelBlock, alphaRef)},
        {kBlockPixel, "uDepthMin", offsetof(PixelBlock, depthMin)},
        {kBlockPixel, "uDepthScale", offsetof(PixelBlock, depthScale)},
    };
    const struct {
        const char* name;
        size_t offset;
    } light[] = {
        {"diffuse", offsetof(Std140Light, diffuse)},
        {"specular", offsetof(Std140Light, specular)},
        {"ambient", offsetof(Std140Light, ambient)},
        {"position", offsetof(Std140Light, position)},
        {"range", offsetof(Std140Light, range)},
        {"toLight", offsetof(Std140Light, toLight)},
        {"type", offsetof(Std140Light, type)},
        {"attenuation", offsetof(Std140Light, attenuation)},
        {"falloff", offsetof(Std140Light, falloff)},
        {"cosHalfTheta", offsetof(Std140Light, cosHalfTheta)},
        {"cosHalfPhi", offsetof(Std140Light, cosHalfPhi)},
    };
    for (int i = 0; i < kMaxActiveLights; ++i)
        for (const auto& l : light)
            m.push_back({kBlockLights, "uLight[" + std::to_string(i) + "]." + l.name,
                         offsetof(LightBlock, light) + i * sizeof(Std140Light) + l.offset});
    return m;
}

TEST_F(ShaderContract, UniformBlocksAreLaidOutAsTheirStructs) {
    const GLuint prog = ProgramUsingEveryBlock();
    ASSERT_FALSE(HasFailure());
    std::vector<int> listed(kBlockCount, 0);
    for (const Member& m : Members()) {
        const char* name = m.name.c_str();
        GLuint index = GL_INVALID_INDEX;
        glGetUniformIndices(prog, 1, &name, &index);
        ASSERT_NE(index, GL_INVALID_INDEX) << m.name << " is not in the GLSL";
        GLint offset = -1, block = -1;
        glGetActiveUniformsiv(prog, 1, &index, GL_UNIFORM_OFFSET, &offset);
        glGetActiveUniformsiv(prog, 1, &index, GL_UNIFORM_BLOCK_INDEX, &block);
        EXPECT_EQ(size_t(offset), m.offset) << m.name;
        EXPECT_EQ(GLuint(block), glGetUniformBlockIndex(prog, kBlocks[m.block].name)) << m.name;
        ++listed[m.block];
    }
    // Array strides, and nothing in a block that the C++ side does not know.
    for (const auto& [name, stride] : {std::pair<const char*, GLint>{"uTexMatrix[0]", 64}, {"uTexDimension[0]", 16}}) {
        GLuint index = GL_INVALID_INDEX;
        glGetUniformIndices(prog, 1, &name, &index);
        GLint got = 0;
        glGetActiveUniformsiv(prog, 1, &index, GL_UNIFORM_ARRAY_STRIDE, &got);
        EXPECT_EQ(got, stride) << name;
    }
    for (uint32_t b = 0; b < kBlockCount; ++b) {
        const GLuint index = glGetUniformBlockIndex(prog, kBlocks[b].name);
        ASSERT_NE(index, GL_INVALID_INDEX) << kBlocks[b].name;
        GLint size = 0, members = 0;
        glGetActiveUniformBlockiv(prog, index, GL_UNIFORM_BLOCK_DATA_SIZE, &size);
        glGetActiveUniformBlockiv(prog, index, GL_UNIFORM_BLOCK_ACTIVE_UNIFORMS, &members);
        EXPECT_LE(size_t(size), kBlocks[b].size) << kBlocks[b].name;
        EXPECT_GT(size_t(size) + 16, kBlocks[b].size) << kBlocks[b].name;
        EXPECT_EQ(members, listed[b]) << kBlocks[b].name;
    }
    glDeleteProgram(prog);
}

TEST_F(ShaderContract, TransformIsPlainUniformsTheDeviceCanFind) {
    // The transformed program reads the matrices, the screen-space one the
    // viewport and the shift; every name in the C++ list is a plain uniform
    // of the type it is sent as, in one program or the other.
    VertexKey screen;
    screen.flags = kVkPreTransformed;
    const GLuint programs[] = {
        ProgramUsingEveryBlock(),
        LinkProgram({CompileShader(GL_VERTEX_SHADER, VertexShaderSource(screen, false)),
                     CompileShader(GL_FRAGMENT_SHADER, FragmentShaderSource(FragmentKey{}, false))},
                    false)};
    ASSERT_FALSE(HasFailure());
    TransformTarget found[2];
    for (int p = 0; p < 2; ++p) found[p].Locate(programs[p], false);
    auto check = [&](const char* name, int floats, GLint transformed, GLint pretransformed) {
        EXPECT_TRUE(transformed >= 0 || pretransformed >= 0) << name << " is in neither program";
        for (int p = 0; p < 2; ++p) {
            GLuint index = GL_INVALID_INDEX;
            glGetUniformIndices(programs[p], 1, &name, &index);
            if (index == GL_INVALID_INDEX) continue;
            GLint type = 0, block = 0;
            glGetActiveUniformsiv(programs[p], 1, &index, GL_UNIFORM_TYPE, &type);
            glGetActiveUniformsiv(programs[p], 1, &index, GL_UNIFORM_BLOCK_INDEX, &block);
            EXPECT_EQ(GLenum(type), floats == 16 ? GLenum(GL_FLOAT_MAT4) : GLenum(GL_FLOAT_VEC4)) << name;
            EXPECT_EQ(block, -1) << name << " sits in a block";
        }
    };
#define VT_CHECK(member, name, floats) check(name, floats, found[0].member, found[1].member);
    VT_TRANSFORM_UNIFORMS(VT_CHECK)
#undef VT_CHECK
    EXPECT_GE(found[0].wvp, 0);
    EXPECT_GE(found[1].viewport, 0);
    for (GLuint prog : programs) glDeleteProgram(prog);
}

TEST_F(ShaderContract, EveryOperationSourceAndSwitchBuilds) {
    std::vector<std::pair<VertexKey, FragmentKey>> keys;
    VertexKey plain;
    plain.stages = 2;
    for (int op = D3DTOP_DISABLE; op <= D3DTOP_LERP; ++op) {
        FragmentKey fk;
        fk.stages = 2;
        for (StageKey& k : fk.stage) {
            k.colorOp = k.alphaOp = uint8_t(op);
            k.colorArg[0] = D3DTA_TEXTURE;
            k.colorArg[1] = D3DTA_CURRENT | D3DTA_COMPLEMENT;
            k.colorArg[2] = D3DTA_TEMP | D3DTA_ALPHAREPLICATE;
            k.alphaArg[0] = D3DTA_TFACTOR;
            k.alphaArg[1] = D3DTA_SPECULAR;
            k.alphaArg[2] = D3DTA_DIFFUSE;
        }
        fk.stage[0].texType = kTex2D;
        fk.stage[0].toTemp = 1;
        fk.stage[1].texType = kTexCube;
        fk.stage[1].projected = 2;
        keys.push_back({plain, fk});
    }
    FragmentKey untextured;
    untextured.stages = 1;
    untextured.stage[0].colorOp = untextured.stage[0].alphaOp = D3DTOP_SELECTARG1;
    for (TexCoordSource source : {kTcPassThru, kTcCameraNormal, kTcCameraPosition, kTcReflection})
        for (int rows : {0, 2, 3, 4})
            for (uint8_t flags : {uint8_t(0), uint8_t(kVkLighting)}) {
                VertexKey vk;
                vk.stages = 1;
                vk.flags = flags;
                vk.gen[0] = TexGen(source, rows);
                keys.push_back({vk, untextured});
            }
    for (int flags : {int(kFkSpecularAdd), int(kFkFlat), int(kFkTableFog), int(kFkAlphaTest), int(kFkSprite),
                      int(kFkFog), kFkSpecularAdd | kFkFlat | kFkTableFog | kFkAlphaTest | kFkSprite}) {
        FragmentKey fk = untextured;
        fk.flags = uint8_t(flags);
        VertexKey screen;
        screen.flags = kVkPreTransformed;
        screen.stages = 1;
        keys.push_back({screen, fk});
    }
    ShaderSet set;
    set.Build();
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_NE(set.Get(keys[i].first, keys[i].second), nullptr) << "key " << i;
}

// The suite also runs this program on GL 3.3 with separate shader objects
// hidden (VT_EXPECT_LINKED_PROGRAMS=1); there the device must link whole
// programs.
TEST_F(ShaderContract, WithoutSeparateShaderObjectsEachPairIsLinked) {
    if (!std::getenv("VT_EXPECT_LINKED_PROGRAMS")) GTEST_SKIP() << "runs with separate shader objects hidden";
    // The driver as that run asks for it: 3.3.
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    EXPECT_EQ(major * 10 + minor, 33);
    ShaderSet set;
    set.Build();
    EXPECT_FALSE(set.Separate());
    VertexKey vk;
    FragmentKey fk;
    ASSERT_NE(set.Get(vk, fk), nullptr);
    fk.flags = kFkFog;
    ASSERT_NE(set.Get(vk, fk), nullptr);
    EXPECT_EQ(set.ProgramCount(), 2u);
}

#ifndef NDEBUG
TEST_F(ShaderContract, DebugBuildsReportAGlErrorAndTheStepBeforeIt) {
    PlainState();
    glEnable(GLenum(0x7fff));  // no such capability: GL_INVALID_ENUM
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 8, 8, 0xffffffff)), D3D_OK);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(GlErrorsReported(), glErrorsBefore_ + 1);
    EXPECT_NE(err.find("GL error 0x0500 after "), std::string::npos) << err;
    glErrorsBefore_ = GlErrorsReported();  // provoked on purpose
}
#endif

}  // namespace
}  // namespace vt::d3d8::test
