// The .x reader's neutral result: encodings, triangulation, materials,
// frames, merging.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/xfile_scene.h"
#include "tests/xfile/xfile_writer.h"

using xfile::FlatMesh;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

HRESULT Load(const std::vector<uint8_t>& file, FlatMesh& flat) {
    xfile::Scene scene;
    HRESULT hr = xfile::ParseXFile(file.data(), file.size(), scene);
    if (FAILED(hr)) return hr;
    return xfile::FlattenScene(scene, flat);
}

FlatMesh MustLoad(const std::vector<uint8_t>& file) {
    FlatMesh flat;
    EXPECT_EQ(Load(file, flat), S_OK);
    return flat;
}

FlatMesh MustLoadText(const std::string& text) { return MustLoad(Bytes(text)); }

void ExpectSame(const FlatMesh& a, const FlatMesh& b) {
    ASSERT_EQ(a.positions.size(), b.positions.size());
    ASSERT_EQ(a.texcoords.size(), b.texcoords.size());
    for (size_t i = 0; i < a.positions.size(); ++i) {
        EXPECT_EQ(a.positions[i].x, b.positions[i].x) << i;
        EXPECT_EQ(a.positions[i].y, b.positions[i].y) << i;
        EXPECT_EQ(a.positions[i].z, b.positions[i].z) << i;
        EXPECT_EQ(a.normals[i].x, b.normals[i].x) << i;
        EXPECT_EQ(a.normals[i].y, b.normals[i].y) << i;
        EXPECT_EQ(a.normals[i].z, b.normals[i].z) << i;
    }
    for (size_t i = 0; i < a.texcoords.size(); ++i) {
        EXPECT_EQ(a.texcoords[i].u, b.texcoords[i].u);
        EXPECT_EQ(a.texcoords[i].v, b.texcoords[i].v);
    }
    EXPECT_EQ(a.indices, b.indices);
    EXPECT_EQ(a.attributes, b.attributes);
    ASSERT_EQ(a.materials.size(), b.materials.size());
    for (size_t i = 0; i < a.materials.size(); ++i) {
        EXPECT_EQ(0, std::memcmp(a.materials[i].diffuse, b.materials[i].diffuse, sizeof a.materials[i].diffuse));
        EXPECT_EQ(a.materials[i].power, b.materials[i].power);
        EXPECT_EQ(0, std::memcmp(a.materials[i].specular, b.materials[i].specular, sizeof(float) * 3));
        EXPECT_EQ(0, std::memcmp(a.materials[i].emissive, b.materials[i].emissive, sizeof(float) * 3));
        EXPECT_EQ(a.materials[i].hasTexture, b.materials[i].hasTexture);
        EXPECT_EQ(a.materials[i].texture, b.materials[i].texture);
    }
}

std::vector<uint8_t> CubeText(int bits) {
    xtest::TextWriter w(bits);
    xtest::WriteCube(w);
    return w.Bytes();
}
std::vector<uint8_t> CubeBinary(int bits, bool wordTerminator = false) {
    xtest::BinaryWriter w(bits, wordTerminator);
    xtest::WriteCube(w);
    return w.Bytes();
}

const char* kHeader = "xof 0302txt 0032\n";

}  // namespace

// The cube's contents, checked once against values worked out by hand.
TEST(XFileParse, CubeHasItsWorldPositionsFacesAndMaterials) {
    FlatMesh m = MustLoad(CubeText(32));
    // Every cube corner carries three different face normals: 24 vertices.
    ASSERT_EQ(m.positions.size(), 24u);
    ASSERT_EQ(m.triangleCount(), 12u);
    ASSERT_EQ(m.texcoords.size(), 24u);
    for (size_t t = 0; t < 12; ++t) EXPECT_EQ(m.attributes[t], (t / 2) % 2) << t;

    // Front face (0 1 2 3) as the fan (0 1 2) (0 2 3); world = 2 * (p + (0, 1, 0)) + (10, 20, 30).
    const float expect[4][3] = {{8, 20, 28}, {8, 24, 28}, {12, 24, 28}, {12, 20, 28}};
    const uint32_t fan[6] = {0, 1, 2, 0, 2, 3};
    for (int k = 0; k < 6; ++k) {
        const xfile::Vec3& p = m.positions[m.indices[k]];
        EXPECT_EQ(p.x, expect[fan[k]][0]);
        EXPECT_EQ(p.y, expect[fan[k]][1]);
        EXPECT_EQ(p.z, expect[fan[k]][2]);
        const xfile::Vec3& n = m.normals[m.indices[k]];
        EXPECT_EQ(n.x, 0.0f);
        EXPECT_EQ(n.y, 0.0f);
        EXPECT_EQ(n.z, -1.0f);
    }
    // Corner 3 of the front face is original vertex 3: texture (0.375, 0.625).
    EXPECT_EQ(m.texcoords[m.indices[5]].u, 0.375f);
    EXPECT_EQ(m.texcoords[m.indices[5]].v, 0.625f);
    // The top face's normal survives the frames' uniform scale as a unit vector.
    const xfile::Vec3& top = m.normals[m.indices[8 * 3]];
    EXPECT_FLOAT_EQ(top.y, 1.0f);

    ASSERT_EQ(m.materials.size(), 2u);
    EXPECT_EQ(m.materials[0].diffuse[0], 1.0f);
    EXPECT_EQ(m.materials[0].power, 8.0f);
    EXPECT_EQ(m.materials[0].specular[1], 0.5f);
    EXPECT_EQ(m.materials[0].emissive[2], 0.25f);
    EXPECT_FALSE(m.materials[0].hasTexture);
    EXPECT_EQ(m.materials[1].diffuse[3], 0.5f);
    EXPECT_TRUE(m.materials[1].hasTexture);
    EXPECT_EQ(m.materials[1].texture, "maps/wood.png");
}

TEST(XFileParse, EveryEncodingGivesTheSameMesh) {
    const FlatMesh ref = MustLoad(CubeText(32));
    std::vector<uint8_t> bigText = CubeText(32);
    // Filler the reader must skip, long enough for several 32 KiB blocks.
    std::string filler = "Filler {\n";
    for (int i = 0; i < 6000; ++i) filler += " " + std::to_string(i % 97) + ", 1.5, \"s\"; { Nested }\n";
    filler += "}\n";
    bigText.insert(bigText.end(), filler.begin(), filler.end());

    const struct {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {
        {"text 64-bit", CubeText(64)},
        {"binary 32-bit", CubeBinary(32)},
        {"binary 64-bit", CubeBinary(64)},
        {"binary, WORD string terminator", CubeBinary(32, true)},
        {"tzip one block", xtest::Compress(CubeText(32), 32768)},
        {"tzip 64-bit", xtest::Compress(CubeText(64), 32768)},
        {"bzip 100-byte blocks", xtest::Compress(CubeBinary(32), 100)},
        {"tzip 1-byte blocks", xtest::Compress(CubeText(32), 1)},
        {"tzip 32 KiB blocks", xtest::Compress(bigText, 32768)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlatMesh m;
        ASSERT_EQ(Load(c.file, m), S_OK);
        ExpectSame(ref, m);
    }
}

TEST(XFileParse, PolygonsBecomeFans) {
    std::string text = std::string(kHeader) +
                       "Mesh {\n 7; 0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;1;0;, 5;5;0;, 6;5;0;;\n"
                       " 3; 3;0,1,4;, 4;0,1,2,4;, 5;0,1,2,3,4;;\n}\n";
    FlatMesh m = MustLoadText(text);
    const std::vector<uint32_t> expect = {0, 1, 4, 0, 1, 2, 0, 2, 4, 0, 1, 2, 0, 2, 3, 0, 3, 4};
    EXPECT_EQ(m.indices, expect);
    EXPECT_EQ(m.attributes, std::vector<uint32_t>(6, 0));
    EXPECT_TRUE(m.materials.empty());
    EXPECT_TRUE(m.texcoords.empty());
    // No normals in the file: each vertex gets the normalised sum of its
    // faces' (p0 - p1) x (p0 - p2), here +z for all of them.
    for (uint32_t v : {0u, 1u, 4u}) {
        EXPECT_FLOAT_EQ(m.normals[v].z, 1.0f) << v;
        EXPECT_FLOAT_EQ(m.normals[v].x, 0.0f) << v;
    }
}

TEST(XFileParse, SyntaxVariantsAreAccepted) {
    const char* body =
        "// a comment\n"
        "# another\n"
        "template Thing { <11111111-2222-3333-4444-555555555555> DWORD n; array FLOAT f[n]; [Mesh <3D82AB44-62DA-11CF-AB39-0020AF71E433>] }\n"
        "Header { 1; 0; 1; }\n"
        "Unknown named { <AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE> 1; { deeper { still } } \"str\"; }\n"
        "Mesh tri-01.mesh { // trailing comment\n"
        "  3;\n  -1.5e0;+0.;.5;, 1E1;0;0;, 0;-2.5E-1;0;;   # after data\n"
        "  1;\n  3;0,1,2;;\n"
        "  MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0;; 0;0;0;; 0;0;0;; TextureFilename { \"dir\\\\a.png\"; } } }\n"
        "}\n";
    FlatMesh m = MustLoadText(std::string(kHeader) + body);
    ASSERT_EQ(m.positions.size(), 3u);
    EXPECT_EQ(m.positions[0].x, -1.5f);
    EXPECT_EQ(m.positions[0].z, 0.5f);
    EXPECT_EQ(m.positions[1].x, 10.0f);
    EXPECT_EQ(m.positions[2].y, -0.25f);
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_EQ(m.materials[0].texture, "dir\\a.png");
}

TEST(XFileParse, MaterialListsReferencesAndPadding) {
    const std::string mesh =
        "Mesh {\n 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;;\n 3; 3;0,1,2;, 3;0,2,3;, 3;1,2,3;;\n";
    const std::string blue = "Material Blue { 0;0;1;1;; 2;; 0;0;0;; 0;0;0;; }\n";
    // A short index list repeats its last entry; a reference may come
    // before the material it names.
    FlatMesh m = MustLoadText(kHeader + mesh +
                              " MeshMaterialList { 2; 2; 1, 0;; { Blue } Material { 1;0;0;1;; 0;; 0;0;0;; 0;0;0;; } }\n}\n" +
                              blue);
    EXPECT_EQ(m.attributes, (std::vector<uint32_t>{1, 0, 0}));
    ASSERT_EQ(m.materials.size(), 2u);
    EXPECT_EQ(m.materials[0].diffuse[2], 1.0f);
    EXPECT_EQ(m.materials[0].power, 2.0f);
    EXPECT_EQ(m.materials[1].diffuse[0], 1.0f);

    const struct {
        const char* why;
        std::string list;
    } bad[] = {
        {"unknown reference", " MeshMaterialList { 1; 3; 0,0,0;; { Green } }\n}\n"},
        {"fewer materials than declared", " MeshMaterialList { 2; 3; 0,1,0;; { Blue } }\n}\n"},
        {"index past the material count", " MeshMaterialList { 1; 3; 0,1,0;; { Blue } }\n}\n"},
    };
    for (const auto& b : bad) {
        FlatMesh out;
        EXPECT_EQ(Load(Bytes(kHeader + blue + mesh + b.list), out), D3DXERR_INVALIDDATA) << b.why;
    }
}

TEST(XFileParse, MeshesAreMergedWithOffsets) {
    const std::string text = std::string(kHeader) +
                             "Mesh a { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                             "  MeshMaterialList { 2; 1; 1;; Material { 1;0;0;1;; 0;; 0;0;0;; 0;0;0;; }"
                             " Material { 0;1;0;1;; 0;; 0;0;0;; 0;0;0;; } } }\n"
                             "Frame f { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,0,0,1;; }\n"
                             "  Mesh b { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,2,1;; } }\n"
                             "Mesh c { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                             "  MeshMaterialList { 1; 1; 0;; Material { 0;0;1;1;; 0;; 0;0;0;; 0;0;0;; } } }\n";
    FlatMesh m = MustLoadText(text);
    ASSERT_EQ(m.positions.size(), 9u);
    EXPECT_EQ(m.indices, (std::vector<uint32_t>{0, 1, 2, 3, 5, 4, 6, 7, 8}));
    EXPECT_EQ(m.positions[4].x, 6.0f);  // mesh b moved by its frame
    // a: its second material; b: the shared default (appended last); c: its own.
    EXPECT_EQ(m.attributes, (std::vector<uint32_t>{1, 3, 2}));
    ASSERT_EQ(m.materials.size(), 4u);
    EXPECT_EQ(m.materials[2].diffuse[2], 1.0f);
    EXPECT_EQ(m.materials[3].diffuse[0], 1.0f);
    EXPECT_EQ(m.materials[3].diffuse[3], 1.0f);
}

TEST(XFileParse, FrameTransformsNestAndApplyToNormals) {
    // Outer rotates 90 degrees about z (x -> y), inner scales x by 4 after
    // moving by (1, 0, 0): p * inner * outer.
    const std::string text = std::string(kHeader) +
                             "Frame outer { Frame inner { FrameTransformMatrix { 4,0,0,0, 0,1,0,0, 0,0,1,0, 1,0,0,1;; }\n"
                             "  Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;;\n"
                             "   MeshNormals { 1; 1;1;0;; 1; 3;0,0,0;; } } }\n"
                             " FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, 0,0,0,1;; } }\n";
    FlatMesh m = MustLoadText(text);
    ASSERT_EQ(m.positions.size(), 3u);
    // (1,0,0) -> inner (5,0,0) -> outer (0,5,0)
    EXPECT_FLOAT_EQ(m.positions[0].x, 0.0f);
    EXPECT_FLOAT_EQ(m.positions[0].y, 5.0f);
    // (0,1,0) -> (1,1,0) -> (-1,1,0)
    EXPECT_FLOAT_EQ(m.positions[1].x, -1.0f);
    EXPECT_FLOAT_EQ(m.positions[1].y, 1.0f);
    // Normal (1,1,0) through the inverse transpose of scale-x-by-4 is
    // (1/4, 1, 0), then rotated to (-1, 1/4, 0), normalised.
    const float len = std::sqrt(1.0f + 1.0f / 16.0f);
    EXPECT_NEAR(m.normals[0].x, -1.0f / len, 1e-6);
    EXPECT_NEAR(m.normals[0].y, 0.25f / len, 1e-6);
}
