// The emulated fixed-function pipeline on the OpenGL device: lighting,
// vertex fog, texture-coordinate generation and transforms, cube maps
// rendered face by face, address modes, mip selection and stage operations.
#include <algorithm>
#include <array>
#include <cmath>

#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

// A triangle around the screen centre whose three vertices are 2 units from
// the z axis (so lights on the axis reach them equally), at depth z.
std::vector<LitVertex> CentreTriangle(float nx, float ny, float nz, D3DCOLOR c, float z = 0.5f, float r = 2.0f) {
    return {{0, r, z, nx, ny, nz, c}, {0.866f * r, -0.5f * r, z, nx, ny, nz, c}, {-0.866f * r, -0.5f * r, z, nx, ny, nz, c}};
}

class Pipeline : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        PlainState();
        D3DMATRIX id = IdentityMatrix();
        dev_->SetTransform(D3DTS_WORLD, &id);
        dev_->SetTransform(D3DTS_VIEW, &id);
        dev_->SetTransform(D3DTS_PROJECTION, &id);
    }
    D3DMATERIAL8 Material(float d, float a = 0.0f) {
        D3DMATERIAL8 m{};
        m.Diffuse = {d, d, d, 1.0f};
        m.Ambient = {a, a, a, 1.0f};
        return m;
    }
};

TEST_F(Pipeline, LightingMatchesTheFixedFunctionFormulas) {
    auto dir = [](float r, float z) {
        D3DLIGHT8 l{};
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Diffuse = {r, r, r, 1};
        l.Direction = {0, 0, z};
        return l;
    };
    auto point = [](float a0, float a1, float range) {
        D3DLIGHT8 l{};
        l.Type = D3DLIGHT_POINT;
        l.Diffuse = {1, 1, 1, 1};
        l.Position = {0, 0, -1.5f};  // 2 units in front of the plane: vertices are sqrt(8) away
        l.Attenuation0 = a0;
        l.Attenuation1 = a1;
        l.Range = range;
        return l;
    };
    D3DLIGHT8 spotNarrow = point(1, 0, 10), spotWide = point(1, 0, 10);
    spotNarrow.Type = spotWide.Type = D3DLIGHT_SPOT;
    spotNarrow.Direction = spotWide.Direction = {0, 0, 1};
    spotNarrow.Theta = 0.2f, spotNarrow.Phi = 0.4f;  // vertices sit 45 degrees off the axis
    spotWide.Theta = 2.0f, spotWide.Phi = 2.5f;
    spotNarrow.Falloff = spotWide.Falloff = 1;
    const int kLit = 180;  // 255 * cos(45 degrees)
    struct Case {
        const char* name;
        D3DLIGHT8 light;
        bool useLight;
        float matDiffuse, matAmbient;
        DWORD ambient, colorVertex;
        D3DCOLOR vertex;
        RGB want;
    };
    const Case cases[] = {
        {"diffuse 255 saturates", dir(255, 1), true, 1, 0, 0, TRUE, 0xffffffff, {255, 255, 255}},
        {"half light", dir(0.5f, 1), true, 1, 0, 0, TRUE, 0xffffffff, {128, 128, 128}},
        {"light from behind", dir(1, -1), true, 1, 0, 0, TRUE, 0xffffffff, {0, 0, 0}},
        {"clamped once, not per light", dir(2, 1), true, 0.25f, 0, 0, FALSE, 0xffffffff, {128, 128, 128}},
        {"global ambient", dir(0, 1), false, 1, 1, 0xff404040, TRUE, 0xffffffff, {64, 64, 64}},
        {"vertex colour is the diffuse source", dir(1, 1), true, 1, 0, 0, TRUE, 0xffff0000, {255, 0, 0}},
        {"material when colour vertex is off", dir(1, 1), true, 1, 0, 0, FALSE, 0xffff0000, {255, 255, 255}},
        {"point light, constant attenuation", point(1, 0, 10), true, 1, 0, 0, TRUE, 0xffffffff, {kLit, kLit, kLit}},
        {"point light, linear attenuation", point(0, 0.5f, 10), true, 1, 0, 0, TRUE, 0xffffffff, {128, 128, 128}},
        {"point light beyond its range", point(1, 0, 2.8f), true, 1, 0, 0, TRUE, 0xffffffff, {0, 0, 0}},
        {"point light just inside its range", point(1, 0, 2.9f), true, 1, 0, 0, TRUE, 0xffffffff, {kLit, kLit, kLit}},
        {"spot light outside its cone", spotNarrow, true, 1, 0, 0, TRUE, 0xffffffff, {0, 0, 0}},
        {"spot light inside its cone", spotWide, true, 1, 0, 0, TRUE, 0xffffffff, {kLit, kLit, kLit}},
    };
    dev_->SetRenderState(D3DRS_LIGHTING, TRUE);
    for (const Case& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        D3DMATERIAL8 m = Material(c.matDiffuse, c.matAmbient);
        dev_->SetMaterial(&m);
        dev_->SetRenderState(D3DRS_AMBIENT, c.ambient);
        dev_->SetRenderState(D3DRS_COLORVERTEX, c.colorVertex);
        dev_->SetLight(3, &c.light);
        dev_->LightEnable(3, c.useLight);
        ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, CentreTriangle(0, 0, -1, c.vertex), kFvfLit), D3D_OK);
        Read();
        EXPECT_TRUE(RegionIs(24, 18, 40, 30, c.want)) << c.name;
    }
}

TEST_F(Pipeline, SpecularHighlightIsAddedOnlyWhenEnabled) {
    D3DLIGHT8 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Specular = {1, 1, 1, 1};
    l.Direction = {0, 0, 1};
    dev_->SetLight(0, &l);
    dev_->LightEnable(0, TRUE);
    D3DMATERIAL8 m{};
    m.Diffuse = {0, 0, 0, 1};
    m.Specular = {1, 0.5f, 0, 1};
    m.Power = 4;
    dev_->SetMaterial(&m);
    dev_->SetRenderState(D3DRS_LIGHTING, TRUE);
    dev_->SetRenderState(D3DRS_LOCALVIEWER, FALSE);  // eye along -z: the half vector is the normal
    struct Case {
        DWORD enable;
        RGB want;
    };
    const Case cases[] = {{FALSE, {0, 0, 0}}, {TRUE, {255, 128, 0}}};
    for (const Case& c : cases) {
        dev_->SetRenderState(D3DRS_SPECULARENABLE, c.enable);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        Draw(D3DPT_TRIANGLELIST, CentreTriangle(0, 0, -1, 0xffffffff), kFvfLit);
        Read();
        EXPECT_TRUE(RegionIs(24, 18, 40, 30, c.want)) << "specular " << c.enable;
    }
}

TEST_F(Pipeline, VertexAlphaSurvivesLighting) {
    D3DLIGHT8 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Diffuse = {255, 255, 255, 255};
    l.Direction = {0, 0, 1};
    dev_->SetLight(7, &l);
    dev_->LightEnable(7, TRUE);
    D3DMATERIAL8 m = Material(1, 1);
    dev_->SetMaterial(&m);
    dev_->SetRenderState(D3DRS_LIGHTING, TRUE);
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1, 0);
    Draw(D3DPT_TRIANGLELIST, CentreTriangle(0, 0, -1, D3DCOLOR_ARGB(128, 255, 0, 0)), kFvfLit);
    Read();
    EXPECT_TRUE(RegionIs(24, 18, 40, 30, {128, 0, 127}));

    // Without a normal only emissive and ambient light remain; alpha stays.
    struct Plain {
        float x, y, z;
        D3DCOLOR c;
    };
    m = Material(1, 0);
    dev_->SetMaterial(&m);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1, 0);
    std::vector<Plain> tri = {{0, 2, 0.5f, 0x80ffffff}, {1.7f, -1, 0.5f, 0x80ffffff}, {-1.7f, -1, 0.5f, 0x80ffffff}};
    Draw(D3DPT_TRIANGLELIST, tri, D3DFVF_XYZ | D3DFVF_DIFFUSE);
    Read();
    EXPECT_TRUE(RegionIs(24, 18, 40, 30, {0, 0, 127}));
}

TEST_F(Pipeline, VertexFogAtStartMiddleAndEnd) {
    // Camera z maps to depth z / 100 and x, y shrink 50 times, so depths up
    // to 100 stay visible and a triangle of radius 100 still covers the centre.
    D3DMATRIX proj = Mat({0.02f, 0, 0, 0, 0, 0.02f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 1});
    dev_->SetTransform(D3DTS_PROJECTION, &proj);
    dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);
    dev_->SetRenderState(D3DRS_FOGCOLOR, 0xff0000ff);
    dev_->SetRenderState(D3DRS_FOGSTART, FtoDW(20.0f));
    dev_->SetRenderState(D3DRS_FOGEND, FtoDW(80.0f));
    struct Case {
        DWORD mode;
        float density, depth;
        DWORD range;  // distance from the eye rather than depth; vertices are 100 off the axis
        int grey;     // white fogged towards blue: (grey, grey, 255)
    };
    const Case cases[] = {
        {D3DFOG_LINEAR, 0, 10, FALSE, 255}, {D3DFOG_LINEAR, 0, 20, FALSE, 255},  {D3DFOG_LINEAR, 0, 50, FALSE, 128},
        {D3DFOG_LINEAR, 0, 80, FALSE, 0},   {D3DFOG_LINEAR, 0, 95, FALSE, 0},    {D3DFOG_EXP, 0.02f, 50, FALSE, 94},
        {D3DFOG_EXP2, 0.01f, 50, FALSE, 199}, {D3DFOG_LINEAR, 0, 10, TRUE, 128},  // sqrt(10^2 + 100^2) ~ 100.5
    };
    for (const Case& c : cases) {
        dev_->SetRenderState(D3DRS_FOGVERTEXMODE, c.mode);
        dev_->SetRenderState(D3DRS_FOGDENSITY, FtoDW(c.density));
        dev_->SetRenderState(D3DRS_RANGEFOGENABLE, c.range);
        dev_->SetRenderState(D3DRS_FOGEND, FtoDW(c.range ? 180.5f : 80.0f));
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        Draw(D3DPT_TRIANGLELIST, CentreTriangle(0, 0, -1, 0xffffffff, c.depth, 100.0f), kFvfLit);
        Read();
        EXPECT_TRUE(RegionIs(24, 18, 40, 30, {c.grey, c.grey, 255}))
            << "mode " << c.mode << " depth " << c.depth << " range " << c.range;
    }
    dev_->SetRenderState(D3DRS_RANGEFOGENABLE, FALSE);

    // Table (pixel) fog with an affine projection works on depth 0..1.
    dev_->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    dev_->SetRenderState(D3DRS_FOGSTART, FtoDW(0.0f));
    dev_->SetRenderState(D3DRS_FOGEND, FtoDW(1.0f));
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
    Draw(D3DPT_TRIANGLELIST, CentreTriangle(0, 0, -1, 0xffffffff, 50.0f, 100.0f), kFvfLit);
    Read();
    EXPECT_TRUE(RegionIs(24, 18, 40, 30, {128, 128, 255}));
    dev_->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_NONE);

    // Pre-transformed vertices: no fog without a specular colour, and the
    // specular alpha as the fog factor when there is one.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 16, 0xffffffff));
    struct FogCase {
        float x, y, z, rhw;
        D3DCOLOR c, s;
    };
    std::vector<FogCase> q = {{16, 0, 0.5f, 1, 0xffffffff, 0x00000000}, {32, 0, 0.5f, 1, 0xffffffff, 0x00000000},
                           {32, 16, 0.5f, 1, 0xffffffff, 0x00000000}, {16, 16, 0.5f, 1, 0xffffffff, 0x00000000}};
    Draw(D3DPT_TRIANGLEFAN, q, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 16, 16, {255, 255, 255}));
    EXPECT_TRUE(RegionIs(16, 0, 32, 16, {0, 0, 255}));
}

// White fogged towards blue by factor f (1: no fog): what Direct3D blends.
RGB FoggedWhite(double f) {
    const int g = int(std::lround(255.0 * std::clamp(f, 0.0, 1.0)));
    return {g, g, 255};
}

// The table fog factor of a depth d.
double TableFog(DWORD mode, double d, double start, double end, double density) {
    if (mode == D3DFOG_LINEAR) return end != start ? (end - d) / (end - start) : (d < end ? 1.0 : 0.0);
    if (mode == D3DFOG_EXP) return std::exp(-d * density);
    return std::exp(-(d * density) * (d * density));
}

TEST_F(Pipeline, TableFogOfPreTransformedVerticesFollowsTheirDepth) {
    dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);
    dev_->SetRenderState(D3DRS_FOGCOLOR, 0xff0000ff);
    const float start = 0.2f, end = 0.8f;
    dev_->SetRenderState(D3DRS_FOGSTART, FtoDW(start));
    dev_->SetRenderState(D3DRS_FOGEND, FtoDW(end));
    struct Case {
        DWORD mode;
        float density, z;
    };
    const Case cases[] = {
        {D3DFOG_LINEAR, 0, 0.25f}, {D3DFOG_LINEAR, 0, 0.6f}, {D3DFOG_EXP, 2.0f, 0.5f}, {D3DFOG_EXP2, 1.5f, 0.5f}};
    // The reciprocal w only weights interpolation: 0, 0.3 and 3 fog alike.
    const float rhws[] = {0.0f, 0.3f, 3.0f};
    for (const Case& c : cases) {
        dev_->SetRenderState(D3DRS_FOGTABLEMODE, c.mode);
        dev_->SetRenderState(D3DRS_FOGDENSITY, FtoDW(c.density));
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        for (int i = 0; i < 3; ++i) {
            std::vector<TLVertex> q = Quad(16.0f * float(i), 0, 16.0f * float(i + 1), 16, 0xffffffff, c.z);
            for (TLVertex& v : q) v.rhw = rhws[i];
            ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, q), D3D_OK);
        }
        Read();
        const RGB want = FoggedWhite(TableFog(c.mode, c.z, start, end, c.density));
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(RegionIs(16 * i, 0, 16 * i + 16, 16, want))
                << "mode " << c.mode << " z " << c.z << " rhw " << rhws[i];
    }

    // Depth across a primitive is interpolated on the screen, whatever the
    // reciprocal w of its corners: z runs from 0 at x = 0 to 1 at x = 64.
    dev_->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    dev_->SetRenderState(D3DRS_FOGSTART, FtoDW(0.0f));
    dev_->SetRenderState(D3DRS_FOGEND, FtoDW(1.0f));
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
    const std::vector<TLVertex> slope = {
        {0, 16, 0, 3, ~0u, 0, 0}, {64, 16, 1, 0.3f, ~0u, 0, 0}, {64, 48, 1, 0.3f, ~0u, 0, 0}, {0, 48, 0, 3, ~0u, 0, 0}};
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, slope), D3D_OK);
    Read();
    for (int x : {2, 16, 32, 48, 61}) {
        const double z = x / 64.0;  // pixel centres are at whole coordinates
        EXPECT_TRUE(RegionIs(x, 18, x + 1, 46, FoggedWhite(1.0 - z), 2)) << "column " << x;
    }
}

TEST_F(Pipeline, FogStartEqualToEndStepsPerPixel) {
    // Camera z maps to depth z / 100 and x, y shrink 50 times (w stays 1):
    // the quad's camera z runs from 10 at x = 0 to 90 at x = 64.
    D3DMATRIX proj = Mat({0.02f, 0, 0, 0, 0, 0.02f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 1});
    dev_->SetTransform(D3DTS_PROJECTION, &proj);
    const std::vector<LitVertex> slope = {{-50, 50, 10, 0, 0, -1, ~0u},
                                          {50, 50, 90, 0, 0, -1, ~0u},
                                          {50, -50, 90, 0, 0, -1, ~0u},
                                          {-50, -50, 10, 0, 0, -1, ~0u}};
    auto cameraZ = [](int x) { return 10.0 + 80.0 * x / 64.0; };
    dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);
    dev_->SetRenderState(D3DRS_FOGCOLOR, 0xff0000ff);
    struct Case {
        DWORD vertexMode, tableMode;
        float at;  // fog start and end; table fog works on depth, camera z / 100
    };
    const Case cases[] = {
        {D3DFOG_LINEAR, D3DFOG_NONE, 50}, {D3DFOG_LINEAR, D3DFOG_NONE, 30},   {D3DFOG_LINEAR, D3DFOG_NONE, 5},
        {D3DFOG_LINEAR, D3DFOG_NONE, 95}, {D3DFOG_NONE, D3DFOG_LINEAR, 0.5f},
    };
    for (const Case& c : cases) {
        dev_->SetRenderState(D3DRS_FOGVERTEXMODE, c.vertexMode);
        dev_->SetRenderState(D3DRS_FOGTABLEMODE, c.tableMode);
        dev_->SetRenderState(D3DRS_FOGSTART, FtoDW(c.at));
        dev_->SetRenderState(D3DRS_FOGEND, FtoDW(c.at));
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        ASSERT_EQ(Draw(D3DPT_TRIANGLEFAN, slope, kFvfLit), D3D_OK);
        Read();
        const double scale = c.tableMode == D3DFOG_NONE ? 1.0 : 0.01;
        for (int x = 1; x < 63; ++x) {
            const double d = cameraZ(x) * scale;
            if (std::fabs(d - c.at) < 2.0 * 80.0 / 64.0 * scale) continue;  // the pixels at the step
            const ::testing::AssertionResult column = RegionIs(x, 2, x + 1, 46, FoggedWhite(d < c.at ? 1.0 : 0.0));
            if (!column) {
                ADD_FAILURE() << column.message() << "; vertex fog " << c.vertexMode << ", table fog " << c.tableMode
                              << ", start = end = " << c.at;
                break;  // one column a case is enough
            }
        }
    }
}

// Normals go through the inverse transpose of the whole world * view matrix;
// for a projective world that is not the inverse transpose of its 3x3 part.
TEST_F(Pipeline, NormalsOfAProjectiveWorldMatrix) {
    using M4 = std::array<std::array<double, 4>, 4>;
    auto inverse = [](M4 a) {
        M4 r{};
        for (int i = 0; i < 4; ++i) r[i][i] = 1;
        for (int c = 0; c < 4; ++c) {
            int p = c;
            for (int i = c + 1; i < 4; ++i)
                if (std::fabs(a[i][c]) > std::fabs(a[p][c])) p = i;
            std::swap(a[c], a[p]);
            std::swap(r[c], r[p]);
            const double d = a[c][c];
            for (int j = 0; j < 4; ++j) a[c][j] /= d, r[c][j] /= d;
            for (int i = 0; i < 4; ++i)
                if (i != c) {
                    const double f = a[i][c];
                    for (int j = 0; j < 4; ++j) a[i][j] -= f * a[c][j], r[i][j] -= f * r[c][j];
                }
        }
        return r;
    };
    // Both worlds put the quad (x, y in -18..-2, z -8) over the whole screen.
    const M4 projective = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, -1}, {10, 10, 10, 0}}};
    const M4 affine = {{{0.125, 0, 0, 0}, {0, 0.125, 0, 0}, {0, 0, 1, 0}, {1.25, 1.25, 8.5, 1}}};
    struct Case {
        const char* name;
        const M4* world;
        float nx, nz;
        DWORD normalize;
    };
    const Case cases[] = {
        {"affine, facing the light", &affine, 0, -1, FALSE},
        {"affine, tilted", &affine, 0.6f, -0.8f, FALSE},
        {"affine, tilted, normalised", &affine, 0.6f, -0.8f, TRUE},
        {"projective, facing the light", &projective, 0, -1, FALSE},
        {"projective, tilted", &projective, 0.6f, -0.8f, FALSE},
        {"projective, tilted, normalised", &projective, 0.6f, -0.8f, TRUE},
        {"projective, tilted the other way", &projective, -0.6f, -0.8f, FALSE},
    };
    D3DMATERIAL8 m{};
    dev_->SetMaterial(&m);
    dev_->SetRenderState(D3DRS_LIGHTING, TRUE);
    dev_->LightEnable(0, TRUE);  // the default light: white, along +z
    for (const Case& c : cases) {
        D3DMATRIX w{};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) w.m[i][j] = float((*c.world)[i][j]);
        dev_->SetTransform(D3DTS_WORLD, &w);
        dev_->SetRenderState(D3DRS_NORMALIZENORMALS, c.normalize);
        const M4 inv = inverse(*c.world);  // view is the identity
        double n[3];
        for (int j = 0; j < 3; ++j) n[j] = c.nx * inv[j][0] + c.nz * inv[j][2];  // n * (M^-1)^T
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (c.normalize && len > 0) n[2] /= len;
        const int lit = int(std::lround(255.0 * std::clamp(-n[2], 0.0, 1.0)));  // N . (0, 0, -1), white vertex
        const std::vector<LitVertex> quad = {{-18, -2, -8, c.nx, 0, c.nz, ~0u},
                                             {-2, -2, -8, c.nx, 0, c.nz, ~0u},
                                             {-2, -18, -8, c.nx, 0, c.nz, ~0u},
                                             {-18, -18, -8, c.nx, 0, c.nz, ~0u}};
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1, 0);
        ASSERT_EQ(Draw(D3DPT_TRIANGLEFAN, quad, kFvfLit), D3D_OK);
        Read();
        EXPECT_TRUE(RegionIs(4, 4, 60, 44, {lit, lit, lit})) << c.name;
    }
}

class Textured : public Pipeline {
protected:
    void SetUp() override {
        Pipeline::SetUp();
        // Quadrants: top-left red, top-right green, bottom-left blue, bottom-right white.
        tex_ = MakeTexture(2, 2, {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff});
        ASSERT_NE(tex_, nullptr);
        dev_->SetTexture(0, tex_);
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    }
    void TearDown() override {
        dev_->SetTexture(0, nullptr);
        if (tex_) tex_->Release();
        Pipeline::TearDown();
    }
    IDirect3DTexture8* tex_ = nullptr;
};

TEST_F(Textured, CameraSpaceNormalThroughSphereMapMatrix) {
    D3DMATRIX sphere = Mat({0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1});
    dev_->SetTransform(D3DTS_TEXTURE0, &sphere);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    dev_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    struct Case {
        float nx, ny;
        RGB want;
    };
    const Case cases[] = {{0.6f, 0.6f, {0, 255, 0}}, {-0.6f, 0.6f, {255, 0, 0}}, {-0.6f, -0.6f, {0, 0, 255}},
                          {0.6f, -0.6f, {255, 255, 255}}};
    for (const Case& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        Draw(D3DPT_TRIANGLELIST, CentreTriangle(c.nx, c.ny, -0.5f, 0xffffffff), kFvfLit);
        Read();
        EXPECT_TRUE(RegionIs(8, 8, 56, 40, c.want)) << "normal " << c.nx << "," << c.ny;
    }
}

TEST_F(Textured, StoredCoordinatesArePaddedAsUV10) {
    struct V {
        float x, y, z;
        D3DCOLOR c;
        float u, v;
    };
    std::vector<V> tri = {{0, 2, 0.5f, ~0u, 0.25f, 0.25f}, {1.7f, -1, 0.5f, ~0u, 0.25f, 0.25f},
                          {-1.7f, -1, 0.5f, ~0u, 0.25f, 0.25f}};
    struct Case {
        const char* name;
        D3DMATRIX m;
        DWORD flags;
        RGB want;
    };
    const Case cases[] = {
        {"no transform", IdentityMatrix(), D3DTTFF_DISABLE, {255, 0, 0}},
        {"row 3 translates 2D coordinates", Mat({1, 0, 0, 0, 0, 1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1}), D3DTTFF_COUNT2,
         {0, 255, 0}},
        {"row 4 does nothing to them", Mat({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1}), D3DTTFF_COUNT2,
         {255, 0, 0}},
        {"projected divides by the third", Mat({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.4f, 0, 0, 0, 0, 1}),
         D3DTTFF_COUNT3 | D3DTTFF_PROJECTED, {255, 255, 255}},
    };
    for (const Case& c : cases) {
        dev_->SetTransform(D3DTS_TEXTURE0, &c.m);
        dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, c.flags);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        Draw(D3DPT_TRIANGLELIST, tri, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        Read();
        EXPECT_TRUE(RegionIs(16, 12, 48, 36, c.want)) << c.name;
    }
    // Pre-transformed coordinates are never transformed.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 8, 8, ~0u, 0.5f, 0.25f, 0.25f, 0.25f, 0.25f));
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 8, 8, {255, 0, 0}));
}

TEST_F(Textured, AddressModesAcrossTwoRepeats) {
    IDirect3DTexture8* strip = MakeTexture(2, 1, {0xffff0000, 0xff00ff00});
    dev_->SetTexture(0, strip);
    const RGB R = {255, 0, 0}, G = {0, 255, 0};
    struct Case {
        DWORD mode;
        RGB want[4];  // texel repeats 0..3 across the quad
    };
    const Case cases[] = {{D3DTADDRESS_WRAP, {R, G, R, G}}, {D3DTADDRESS_MIRROR, {R, G, G, R}}, {D3DTADDRESS_CLAMP, {R, G, G, G}}};
    for (const Case& c : cases) {
        dev_->SetTextureStageState(0, D3DTSS_ADDRESSU, c.mode);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 4, ~0u, 0.5f, 0, 0, 2, 1));
        Read();
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(RegionIs(4 * i + 1, 0, 4 * i + 3, 4, c.want[i])) << "mode " << c.mode;
    }
    dev_->SetTexture(0, tex_);
    strip->Release();
}

TEST_F(Textured, MipLevelsOnlyWithAMipFilter) {
    IDirect3DTexture8* t = nullptr;
    ASSERT_EQ(dev_->CreateTexture(4, 4, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    for (UINT level = 0; level < 2; ++level) {
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(level, &lr, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < (4u >> level); ++y)
            for (UINT x = 0; x < (4u >> level); ++x)
                reinterpret_cast<DWORD*>(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch)[x] = level ? 0xff00ff00 : 0xffff0000;
        t->UnlockRect(level);
    }
    dev_->SetTexture(0, t);
    struct Case {
        DWORD mip, maxLevel;
        RGB want;  // a 2x2 quad showing the 4x4 texture
    };
    const Case cases[] = {{D3DTEXF_NONE, 0, {255, 0, 0}}, {D3DTEXF_POINT, 0, {0, 255, 0}}, {D3DTEXF_NONE, 1, {0, 255, 0}}};
    for (const Case& c : cases) {
        dev_->SetTextureStageState(0, D3DTSS_MIPFILTER, c.mip);
        dev_->SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, c.maxLevel);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 2, 2, ~0u));
        Read();
        EXPECT_TRUE(RegionIs(0, 0, 2, 2, c.want)) << "mip " << c.mip << " max level " << c.maxLevel;
    }
    dev_->SetTexture(0, tex_);
    t->Release();
}

TEST_F(Pipeline, ReflectionLookupIntoCubeMapRenderedFaceByFace) {
    IDirect3DCubeTexture8* cube = MakeFacedCube([this](D3DCUBEMAP_FACES f) {
        D3DVIEWPORT8 vp{};
        dev_->GetViewport(&vp);
        EXPECT_EQ(vp.Width, 16u);
        // Mark the top half of +Z and the left half of +X white.
        if (f == D3DCUBEMAP_FACE_POSITIVE_Z) DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 8, ~0u));
        if (f == D3DCUBEMAP_FACE_POSITIVE_X) DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 8, 16, ~0u));
    });
    ASSERT_NE(cube, nullptr);

    dev_->SetTexture(0, cube);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
    struct Case {
        float x, y, z;  // wanted reflection direction
        RGB want;
    };
    const Case cases[] = {
        {1, 0.2f, -0.2f, {255, 0, 0}}, {-1, 0, 0, {0, 255, 0}},        {0, 1, 0, {0, 0, 255}},
        {0, -1, 0, {255, 255, 0}},     {0, -0.3f, 1, {255, 0, 255}},   {0, 0, -1, {0, 255, 255}},
        {0, 0.3f, 1, {255, 255, 255}},  // top of the +Z face
        {1, 0, 0.3f, {255, 255, 255}},  // left of the +X face
        {1, 0, -0.3f, {255, 0, 0}},
    };
    for (const Case& c : cases) {
        // Eye ray I = +z near the centre; a normal along I - d reflects it to d.
        float len = std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z);
        float d[3] = {c.x / len, c.y / len, c.z / len};
        float n[3] = {-d[0], -d[1], 1 - d[2]};
        float nl = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (float& v : n) v = nl > 0 ? v / nl : 0;
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        Draw(D3DPT_TRIANGLELIST, CentreTriangle(n[0], n[1], n[2], ~0u, 0.5f, 0.2f), kFvfLit);
        Read();
        EXPECT_TRUE(RegionIs(31, 23, 33, 25, c.want)) << "direction " << c.x << "," << c.y << "," << c.z;
    }
    dev_->SetTexture(0, nullptr);
    cube->Release();
}

TEST_F(Textured, StageOperationsAndTheUnboundTextureRule) {
    // Texture (128,64,255,a 128), diffuse (255,128,0,a 192), factor (0,255,64,a 64).
    IDirect3DTexture8* t = MakeTexture(1, 1, {0x808040ff});
    const D3DCOLOR diffuse = 0xc0ff8000;
    dev_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x4000ff40);
    struct Case {
        const char* name;
        bool bound;
        DWORD op, arg1, arg2;
        RGB want;
    };
    const Case cases[] = {
        {"unbound, select texture", false, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, {255, 128, 0}},
        {"unbound, modulate texture", false, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, {255, 128, 0}},
        {"select texture", true, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, {128, 64, 255}},
        {"select arg2 current", true, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT, {255, 128, 0}},
        {"modulate", true, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, {128, 32, 0}},
        {"modulate 2x", true, D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, {255, 64, 0}},
        {"modulate 4x", true, D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_TFACTOR, {0, 255, 255}},
        {"add", true, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, {255, 192, 255}},
        {"add signed", true, D3DTOP_ADDSIGNED, D3DTA_TEXTURE, D3DTA_DIFFUSE, {255, 64, 127}},
        {"subtract", true, D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_DIFFUSE, {0, 0, 255}},
        {"factor", true, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, {0, 255, 64}},
        {"complement", true, D3DTOP_SELECTARG1, D3DTA_DIFFUSE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, {0, 127, 255}},
        {"alpha replicate", true, D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, 0, {128, 128, 128}},
        {"blend diffuse alpha", true, D3DTOP_BLENDDIFFUSEALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR, {96, 111, 208}},
    };
    for (const Case& c : cases) {
        dev_->SetTexture(0, c.bound ? t : nullptr);
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 8, 8, diffuse));
        Read();
        EXPECT_TRUE(RegionIs(0, 0, 8, 8, c.want)) << c.name;
    }

    // A second stage works on the first's result; one that reads an
    // unbound texture is skipped.
    dev_->SetTexture(0, t);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    dev_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 8, 8, diffuse));
    dev_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    DrawTL(D3DPT_TRIANGLEFAN, Quad(8, 0, 16, 8, diffuse));
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 8, 8, {0, 64, 64}));
    EXPECT_TRUE(RegionIs(8, 0, 16, 8, {128, 64, 255}));
    dev_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    dev_->SetTexture(0, tex_);
    t->Release();
}

}  // namespace
}  // namespace vt::d3d8::test
