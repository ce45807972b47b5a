// D3DXLoadMeshFromX end to end on the recording device.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/xfile_scene.h"
#include "tests/support/recording_device.h"
#include "tests/support/temp_dir.h"
#include "tests/xfile/xfile_writer.h"

namespace {

using vt::test::TempDir;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> CubeBinary() {
    xtest::BinaryWriter w(32);
    xtest::WriteCube(w);
    return w.Bytes();
}

struct Loaded {
    HRESULT hr = E_FAIL;
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    DWORD count = 12345;
    ~Loaded() {
        if (mesh) mesh->Release();
        if (materials) materials->Release();
        if (adjacency) adjacency->Release();
    }
};

void LoadInto(Loaded& l, const std::string& path, DWORD options, IDirect3DDevice8* dev, bool adjacency = false) {
    l.hr = D3DXLoadMeshFromX(path.c_str(), options, dev, adjacency ? &l.adjacency : nullptr, &l.materials,
                             &l.count, &l.mesh);
}

}  // namespace

TEST(XFileLoad, CubeBecomesAMeshSortedByMaterial) {
    vt::test::RecordingDevice dev;
    TempDir dir("xfile");
    dir.MakeDir("sub");
    const std::vector<uint8_t> file = CubeBinary();
    dir.Write("sub/cube.x", file);
    xfile::Scene scene;
    xfile::FlatMesh flat;
    ASSERT_EQ(xfile::ParseXFile(file.data(), file.size(), scene), S_OK);
    ASSERT_EQ(xfile::FlattenScene(scene, flat), S_OK);
    {
        Loaded l;
        // Backslashes, as the show writes its paths.
        LoadInto(l, dir.Path().string() + "\\sub\\cube.x", D3DXMESH_SYSTEMMEM, &dev, true);
        ASSERT_EQ(l.hr, S_OK);
        ASSERT_NE(l.mesh, nullptr);
        EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
        ASSERT_EQ(l.mesh->GetNumVertices(), 24u);
        ASSERT_EQ(l.mesh->GetNumFaces(), 12u);

        BYTE* vb = nullptr;
        ASSERT_EQ(l.mesh->LockVertexBuffer(D3DLOCK_READONLY, &vb), S_OK);
        for (size_t i = 0; i < 24; ++i) {
            float v[8];
            std::memcpy(v, vb + i * 32, sizeof v);
            EXPECT_EQ(v[0], flat.positions[i].x);
            EXPECT_EQ(v[1], flat.positions[i].y);
            EXPECT_EQ(v[2], flat.positions[i].z);
            EXPECT_EQ(v[5], flat.normals[i].z);
            EXPECT_EQ(v[6], flat.texcoords[i].u);
            EXPECT_EQ(v[7], flat.texcoords[i].v);
        }
        l.mesh->UnlockVertexBuffer();

        // The file alternates materials per quad; the mesh holds material 0's
        // triangles first, each material's in file order.
        const size_t order[12] = {0, 1, 4, 5, 8, 9, 2, 3, 6, 7, 10, 11};
        BYTE* ib = nullptr;
        ASSERT_EQ(l.mesh->LockIndexBuffer(D3DLOCK_READONLY, &ib), S_OK);
        for (size_t t = 0; t < 12; ++t)
            for (size_t k = 0; k < 3; ++k) {
                uint16_t index;
                std::memcpy(&index, ib + (t * 3 + k) * 2, 2);
                EXPECT_EQ(index, flat.indices[order[t] * 3 + k]) << t;
            }
        l.mesh->UnlockIndexBuffer();
        DWORD* attributes = nullptr;
        ASSERT_EQ(l.mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes), S_OK);
        for (DWORD t = 0; t < 12; ++t) EXPECT_EQ(attributes[t], t < 6 ? 0u : 1u) << t;
        l.mesh->UnlockAttributeBuffer();

        ASSERT_EQ(l.count, 2u);
        ASSERT_NE(l.materials, nullptr);
        auto* base = static_cast<const char*>(l.materials->GetBufferPointer());
        const auto* mats = reinterpret_cast<const D3DXMATERIAL*>(base);
        EXPECT_EQ(mats[0].MatD3D.Diffuse.r, 1.0f);
        EXPECT_EQ(mats[0].MatD3D.Diffuse.a, 1.0f);
        EXPECT_EQ(mats[0].MatD3D.Ambient.r, 0.0f);
        EXPECT_EQ(mats[0].MatD3D.Power, 8.0f);
        EXPECT_EQ(mats[0].MatD3D.Specular.g, 0.5f);
        EXPECT_EQ(mats[0].MatD3D.Emissive.b, 0.25f);
        EXPECT_EQ(mats[0].pTextureFilename, nullptr);
        EXPECT_EQ(mats[1].MatD3D.Diffuse.a, 0.5f);
        ASSERT_NE(mats[1].pTextureFilename, nullptr);
        EXPECT_STREQ(mats[1].pTextureFilename, "maps/wood.png");
        // The name lives inside the buffer, so it dies with it.
        EXPECT_GE(mats[1].pTextureFilename, base + 2 * sizeof(D3DXMATERIAL));
        EXPECT_LE(mats[1].pTextureFilename + sizeof "maps/wood.png", base + l.materials->GetBufferSize());

        // Split corners share no vertex across cube edges: each triangle's
        // one neighbour is the other half of its quad.
        ASSERT_NE(l.adjacency, nullptr);
        ASSERT_EQ(l.adjacency->GetBufferSize(), 36 * sizeof(DWORD));
        const auto* adj = static_cast<const DWORD*>(l.adjacency->GetBufferPointer());
        for (size_t t = 0; t < 12; ++t) {
            int neighbours = 0;
            for (size_t e = 0; e < 3; ++e) {
                if (adj[t * 3 + e] == 0xFFFFFFFFu) continue;
                ++neighbours;
                EXPECT_EQ(adj[t * 3 + e], t ^ 1u) << t;
            }
            EXPECT_EQ(neighbours, 1) << t;
        }
    }
    EXPECT_EQ(dev.LiveResources(), 0);
}

TEST(XFileLoad, IndexWidthFollowsTheOptions) {
    vt::test::RecordingDevice dev;
    TempDir dir("xfile");
    // 65536 vertices need 32-bit indices.
    std::string text = "xof 0302txt 0032\nMesh { 65536;\n";
    for (int i = 0; i < 65536; ++i) text += std::to_string(i) + ";0;0;,";
    text += "; 1; 3;65535,1,0;; }\n";
    const std::string big = dir.Write("big.x", Bytes(text));
    {
        Loaded l;
        LoadInto(l, big, D3DXMESH_SYSTEMMEM, &dev);
        EXPECT_EQ(l.hr, D3DERR_INVALIDCALL);
        EXPECT_EQ(l.mesh, nullptr);
    }
    {
        Loaded l;
        LoadInto(l, big, D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT, &dev);
        ASSERT_EQ(l.hr, S_OK);
        EXPECT_EQ(l.mesh->GetNumVertices(), 65536u);
        BYTE* ib = nullptr;
        ASSERT_EQ(l.mesh->LockIndexBuffer(D3DLOCK_READONLY, &ib), S_OK);
        uint32_t first;
        std::memcpy(&first, ib, 4);
        EXPECT_EQ(first, 65535u);
        l.mesh->UnlockIndexBuffer();
        // No material list: no buffer and a count of 0; no texture coordinates.
        EXPECT_EQ(l.count, 0u);
        EXPECT_EQ(l.materials, nullptr);
        EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
    }
    EXPECT_EQ(dev.LiveResources(), 0);
}

TEST(XFileLoad, FailuresLeaveNothingBehind) {
    vt::test::RecordingDevice dev;
    TempDir dir("xfile");
    const std::string cube = dir.Write("cube.x", CubeBinary());
    std::vector<uint8_t> cut = CubeBinary();
    cut.resize(cut.size() - 3);
    const std::string broken = dir.Write("broken.x", cut);
    const std::string empty = dir.Write("empty.x", Bytes("xof 0302txt 0032\nHeader { 1; 0; 1; }\n"));

    const struct {
        const char* why;
        std::string path;
        HRESULT expect;
        const char* failCall;
    } cases[] = {
        {"missing file", (dir / "none.x").string(), D3DERR_NOTFOUND, nullptr},
        {"a directory", dir.Path().string(), D3DERR_NOTFOUND, nullptr},
        {"truncated file", broken, D3DXERR_INVALIDDATA, nullptr},
        {"no mesh in the file", empty, D3DXERR_INVALIDDATA, nullptr},
        {"device refuses the index buffer", cube, E_OUTOFMEMORY, "CreateIndexBuffer"},
    };
    for (const auto& c : cases) {
        if (c.failCall) dev.FailNext(c.failCall, E_OUTOFMEMORY);
        Loaded l;
        LoadInto(l, c.path, D3DXMESH_MANAGED, &dev, true);
        EXPECT_EQ(l.hr, c.expect) << c.why;
        EXPECT_EQ(l.mesh, nullptr) << c.why;
        EXPECT_EQ(l.materials, nullptr) << c.why;
        EXPECT_EQ(l.adjacency, nullptr) << c.why;
        EXPECT_EQ(l.count, 0u) << c.why;
        dev.ClearFailures();
    }
    EXPECT_EQ(dev.LiveResources(), 0);

    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXLoadMeshFromX(nullptr, 0, &dev, nullptr, nullptr, nullptr, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromX(cube.c_str(), 0, nullptr, nullptr, nullptr, nullptr, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromX(cube.c_str(), 0, &dev, nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    // Only the mesh is required.
    ASSERT_EQ(D3DXLoadMeshFromX(cube.c_str(), 0, &dev, nullptr, nullptr, nullptr, &mesh), S_OK);
    mesh->Release();
    EXPECT_EQ(dev.LiveResources(), 0);
}
