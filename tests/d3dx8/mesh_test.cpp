#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "tests/support/failed_calls.h"
#include "tests/support/recording_device.h"

namespace {

using vt::test::RecordingDevice;

struct PosNormal {
    D3DXVECTOR3 p, n;
};

void ExpectNormalIsDirection(const PosNormal& pn);

// Releases a COM-style object at scope exit.
template <class T>
struct Ref {
    T* p = nullptr;
    ~Ref() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
    operator T*() const { return p; }
};

template <class T>
std::vector<T> ReadVertices(ID3DXMesh* mesh) {
    BYTE* data = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    std::vector<T> out(mesh->GetNumVertices());
    std::memcpy(out.data(), data, out.size() * sizeof(T));
    mesh->UnlockVertexBuffer();
    return out;
}

std::vector<DWORD> ReadIndices(ID3DXMesh* mesh) {
    BYTE* data = nullptr;
    EXPECT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    std::vector<DWORD> out(mesh->GetNumFaces() * 3);
    const bool wide = mesh->GetOptions() & D3DXMESH_32BIT;
    for (size_t i = 0; i < out.size(); ++i) {
        if (wide) {
            std::memcpy(&out[i], data + i * 4, 4);
        } else {
            WORD w;
            std::memcpy(&w, data + i * 2, 2);
            out[i] = w;
        }
    }
    mesh->UnlockIndexBuffer();
    return out;
}

template <class T>
void WriteMesh(ID3DXMesh* mesh, const std::vector<T>& verts, const std::vector<WORD>& idx) {
    BYTE* data = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(0, &data), D3D_OK);
    std::memcpy(data, verts.data(), verts.size() * sizeof(T));
    mesh->UnlockVertexBuffer();
    ASSERT_EQ(mesh->LockIndexBuffer(0, &data), D3D_OK);
    std::memcpy(data, idx.data(), idx.size() * 2);
    mesh->UnlockIndexBuffer();
}

TEST(CreateMesh, CountLimitsAndPools) {
    RecordingDevice dev;
    const struct {
        DWORD faces, vertices, options;
        HRESULT expect;
    } cases[] = {
        {65535, 65535, D3DXMESH_MANAGED, D3D_OK},
        {65536, 100, D3DXMESH_MANAGED, D3DERR_INVALIDCALL},
        {100, 65536, D3DXMESH_SYSTEMMEM, D3DERR_INVALIDCALL},
        {65536, 65536, D3DXMESH_MANAGED | D3DXMESH_32BIT, D3D_OK},
        {0, 3, 0, D3DERR_INVALIDCALL},
        {1, 0, 0, D3DERR_INVALIDCALL},
        {0x20000000, 3, D3DXMESH_32BIT, D3DERR_INVALIDCALL},  // byte size would overflow
    };
    for (const auto& c : cases) {
        Ref<ID3DXMesh> mesh;
        EXPECT_EQ(D3DXCreateMeshFVF(c.faces, c.vertices, c.options, D3DFVF_XYZ, &dev, &mesh), c.expect)
            << c.faces << " faces, " << c.vertices << " vertices";
        EXPECT_EQ(mesh.p != nullptr, c.expect == D3D_OK);
    }
    EXPECT_EQ(dev.LiveResources(), 0);

    const struct {
        DWORD options;
        D3DPOOL pool;
        D3DFORMAT indexFormat;
    } pools[] = {
        {D3DXMESH_SYSTEMMEM, D3DPOOL_SYSTEMMEM, D3DFMT_INDEX16},
        {D3DXMESH_MANAGED, D3DPOOL_MANAGED, D3DFMT_INDEX16},
        {0, D3DPOOL_DEFAULT, D3DFMT_INDEX16},
        {D3DXMESH_MANAGED | D3DXMESH_32BIT, D3DPOOL_MANAGED, D3DFMT_INDEX32},
    };
    for (const auto& c : pools) {
        Ref<ID3DXMesh> mesh;
        ASSERT_EQ(D3DXCreateMeshFVF(10, 20, c.options, D3DFVF_XYZ | D3DFVF_NORMAL, &dev, &mesh), D3D_OK);
        Ref<IDirect3DVertexBuffer8> vb;
        Ref<IDirect3DIndexBuffer8> ib;
        ASSERT_EQ(mesh->GetVertexBuffer(&vb), D3D_OK);
        ASSERT_EQ(mesh->GetIndexBuffer(&ib), D3D_OK);
        D3DVERTEXBUFFER_DESC vd{};
        D3DINDEXBUFFER_DESC id{};
        vb->GetDesc(&vd);
        ib->GetDesc(&id);
        EXPECT_EQ(vd.Pool, c.pool);
        EXPECT_EQ(id.Pool, c.pool);
        EXPECT_EQ(vd.Size, 20u * 24);
        EXPECT_EQ(vd.FVF, DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
        EXPECT_EQ(id.Format, c.indexFormat);
        EXPECT_EQ(id.Size, 30u * (c.indexFormat == D3DFMT_INDEX32 ? 4 : 2));
        // The buffers handed out carry a reference of their own.
        EXPECT_EQ(RecordingDevice::RefCount(vb), 2u);
        EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
        EXPECT_EQ(mesh->GetNumVertices(), 20u);
        EXPECT_EQ(mesh->GetNumFaces(), 10u);
    }
    EXPECT_EQ(dev.LiveResources(), 0);
}

TEST(CreateMesh, DeviceFailureIsPassedOnWithoutLeaks) {
    RecordingDevice dev;
    vt::test::ExpectEachFailurePassedOn(dev, {"CreateVertexBuffer", "CreateIndexBuffer", "VertexBuffer.Lock"},
                                        E_OUTOFMEMORY, [&] {
                                            Ref<ID3DXMesh> mesh;
                                            const HRESULT hr = D3DXCreateMeshFVF(4, 4, D3DXMESH_MANAGED, D3DFVF_XYZ,
                                                                                 &dev, &mesh);
                                            EXPECT_EQ(mesh.p, nullptr);
                                            return hr;
                                        });
    EXPECT_EQ(dev.LiveResources(), 0);
}

TEST(CloneMesh, CopiesMatchingFieldsAndZeroesNewOnes) {
    RecordingDevice dev;
    struct Src {
        float x, y, z;
        DWORD diffuse;
        float u, v;
    };
    struct Dst {
        float x, y, z;
        float nx, ny, nz;
        DWORD diffuse;
    };
    const DWORD srcFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    const DWORD dstFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
    Ref<ID3DXMesh> mesh;
    ASSERT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_SYSTEMMEM, srcFvf, &dev, &mesh), D3D_OK);
    WriteMesh<Src>(mesh, {{1, 2, 3, 0xFF112233, 0.5f, 0.25f}, {4, 5, 6, 0x80445566, 1, 1}, {7, 8, 9, 0, 0, 0}},
                   {0, 2, 1});
    DWORD* attr = nullptr;
    ASSERT_EQ(mesh->LockAttributeBuffer(0, &attr), D3D_OK);
    attr[0] = 3;
    mesh->UnlockAttributeBuffer();

    Ref<ID3DXMesh> clone;
    ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_MANAGED | D3DXMESH_32BIT, dstFvf, &dev, &clone), D3D_OK);
    EXPECT_EQ(clone->GetFVF(), dstFvf);
    const std::vector<Dst> v = ReadVertices<Dst>(clone);
    EXPECT_EQ(v[1].x, 4.0f);
    EXPECT_EQ(v[1].z, 6.0f);
    EXPECT_EQ(v[1].nx, 0.0f);
    EXPECT_EQ(v[1].ny, 0.0f);
    EXPECT_EQ(v[1].diffuse, 0x80445566u);
    EXPECT_EQ(v[0].diffuse, 0xFF112233u);
    EXPECT_EQ(ReadIndices(clone), (std::vector<DWORD>{0, 2, 1}));  // 16 -> 32-bit
    D3DXATTRIBUTERANGE range{};
    DWORD n = 1;
    ASSERT_EQ(clone->GetAttributeTable(&range, &n), D3D_OK);
    EXPECT_EQ(range.AttribId, 3u);

    // And back: the normal is dropped, texture coordinates appear as zero.
    Ref<ID3DXMesh> back;
    ASSERT_EQ(clone->CloneMeshFVF(D3DXMESH_SYSTEMMEM, srcFvf, &dev, &back), D3D_OK);
    const std::vector<Src> s = ReadVertices<Src>(back);
    EXPECT_EQ(s[0].y, 2.0f);
    EXPECT_EQ(s[0].diffuse, 0xFF112233u);
    EXPECT_EQ(s[0].u, 0.0f);
    EXPECT_EQ(s[0].v, 0.0f);
}

TEST(DrawSubset, DrawsEachRunOfTheSubsetWithTheMeshBuffers) {
    RecordingDevice dev;
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    Ref<ID3DXMesh> mesh;
    ASSERT_EQ(D3DXCreateMeshFVF(5, 6, D3DXMESH_MANAGED, fvf, &dev, &mesh), D3D_OK);
    WriteMesh<PosNormal>(mesh, std::vector<PosNormal>(6), {0, 1, 2, 1, 2, 3, 2, 3, 4, 3, 4, 5, 0, 4, 5});
    DWORD* attr = nullptr;
    ASSERT_EQ(mesh->LockAttributeBuffer(0, &attr), D3D_OK);
    const DWORD ids[5] = {0, 0, 1, 0, 1};
    std::memcpy(attr, ids, sizeof ids);
    mesh->UnlockAttributeBuffer();
    Ref<IDirect3DVertexBuffer8> vb;
    Ref<IDirect3DIndexBuffer8> ib;
    mesh->GetVertexBuffer(&vb);
    mesh->GetIndexBuffer(&ib);

    ASSERT_EQ(dev.BeginScene(), D3D_OK);
    dev.ClearLog();
    ASSERT_EQ(mesh->DrawSubset(0), D3D_OK);
    EXPECT_EQ(dev.Sequence(), (std::vector<std::string>{"SetStreamSource", "SetIndices", "SetVertexShader",
                                                         "DrawIndexedPrimitive", "DrawIndexedPrimitive"}));
    EXPECT_TRUE(dev.Called("SetStreamSource", {0, uint64_t(uintptr_t(vb.p)), 24}));
    EXPECT_TRUE(dev.Called("SetIndices", {uint64_t(uintptr_t(ib.p)), 0}));
    EXPECT_TRUE(dev.Called("SetVertexShader", {fvf}));
    const auto draws = dev.Find("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 2u);
    // (type, minIndex, numVertices, startIndex, primCount): faces 0-1, then face 3.
    EXPECT_EQ(draws[0]->args, (std::vector<uint64_t>{D3DPT_TRIANGLELIST, 0, 6, 0, 2}));
    EXPECT_EQ(draws[1]->args, (std::vector<uint64_t>{D3DPT_TRIANGLELIST, 0, 6, 9, 1}));
    for (const auto* d : draws) EXPECT_EQ(d->result, D3D_OK);

    dev.ClearLog();
    EXPECT_EQ(mesh->DrawSubset(7), D3D_OK);  // no faces: nothing drawn
    EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 0u);

    dev.FailNext("DrawIndexedPrimitive", D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->DrawSubset(1), D3DERR_INVALIDCALL);
}

TEST(Sphere, CountsOrderAndOutwardWinding) {
    RecordingDevice dev;
    for (UINT slices : {2u, 3u, 9u, 16u}) {
        for (UINT stacks : {2u, 5u, 8u}) {
            Ref<ID3DXMesh> mesh;
            Ref<ID3DXBuffer> adj;
            ASSERT_EQ(D3DXCreateSphere(&dev, 2.0f, slices, stacks, &mesh, &adj), D3D_OK);
            const DWORD nv = slices * (stacks - 1) + 2, nf = 2 * slices * (stacks - 1);
            ASSERT_EQ(mesh->GetNumVertices(), nv);
            ASSERT_EQ(mesh->GetNumFaces(), nf);
            EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
            EXPECT_EQ(adj->GetBufferSize(), nf * 3 * sizeof(DWORD));
            const auto v = ReadVertices<PosNormal>(mesh);
            const auto idx = ReadIndices(mesh);
            EXPECT_EQ(v.front().p, D3DXVECTOR3(0, 0, 2));
            EXPECT_EQ(v.back().p, D3DXVECTOR3(0, 0, -2));
            // First ring vertex: slice 0 faces +y; the next turns towards +x.
            const float t = D3DX_PI / stacks;
            EXPECT_NEAR(v[1].p.x, 0.0f, 1e-5f);
            EXPECT_NEAR(v[1].p.y, 2 * std::sin(t), 1e-5f);
            EXPECT_NEAR(v[1].p.z, 2 * std::cos(t), 1e-5f);
            if (slices > 2) {
                EXPECT_GT(v[2].p.x, 0.0f);
            }
            for (const PosNormal& pn : v) {
                EXPECT_NEAR(D3DXVec3Length(&pn.p), 2.0f, 1e-5f);
                ExpectNormalIsDirection(pn);
            }
            // Top fan first: (0, 2, 1) ...; every face's (p1-p0)x(p2-p0) points outward.
            EXPECT_EQ(idx[0], 0u);
            EXPECT_EQ(idx[1], slices > 1 ? 2u : 1u);
            EXPECT_EQ(idx[2], 1u);
            // (Two slices make a flat, degenerate sphere: no winding to check.)
            for (DWORD f = 0; f < nf && slices > 2; ++f) {
                const D3DXVECTOR3 a = v[idx[f * 3]].p, b = v[idx[f * 3 + 1]].p, c = v[idx[f * 3 + 2]].p;
                D3DXVECTOR3 n, e1 = b - a, e2 = c - a, mid = (a + b + c) / 3.0f;
                D3DXVec3Cross(&n, &e1, &e2);
                EXPECT_GT(D3DXVec3Dot(&n, &mid), 0.0f) << "face " << f;
            }
            // A closed surface: every edge has a neighbour.
            const DWORD* a = static_cast<const DWORD*>(adj->GetBufferPointer());
            for (DWORD i = 0; i < nf * 3; ++i) EXPECT_LT(a[i], nf);
        }
    }
    Ref<ID3DXMesh> none;
    EXPECT_EQ(D3DXCreateSphere(&dev, 1, 1, 5, &none, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSphere(&dev, 1, 5, 1, &none, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(none.p, nullptr);
    Ref<ID3DXMesh> big;
    ASSERT_EQ(D3DXCreateSphere(&dev, 1, 1000, 300, &big, nullptr), D3D_OK);
    EXPECT_EQ(big->GetNumVertices(), 240u * 239 + 2);  // both clamped to 240
    EXPECT_EQ(big->GetNumFaces(), 2u * 240 * 239);
}

TEST(Sphere, BeadSphereOfTheStarEffect) {
    RecordingDevice dev;
    Ref<ID3DXMesh> mesh;
    ASSERT_EQ(D3DXCreateSphere(&dev, 1.0f, 9, 5, &mesh, nullptr), D3D_OK);
    EXPECT_EQ(mesh->GetNumVertices(), 38u);
    EXPECT_EQ(mesh->GetNumFaces(), 72u);
    const auto idx = ReadIndices(mesh);
    // Top fan ends with its wrap (0, 1, 9); the bottom fan ends at the pole.
    EXPECT_EQ(std::vector<DWORD>(idx.begin() + 24, idx.begin() + 27), (std::vector<DWORD>{0, 1, 9}));
    EXPECT_EQ(idx.back(), 37u);
    ASSERT_EQ(dev.BeginScene(), D3D_OK);
    EXPECT_EQ(mesh->DrawSubset(0), D3D_OK);
    EXPECT_TRUE(dev.Called("DrawIndexedPrimitive", {D3DPT_TRIANGLELIST, 0, 38, 0, 72}));
}

TEST(ComputeNormals, AreaWeightedAndNormalised) {
    RecordingDevice dev;
    Ref<ID3DXMesh> mesh;
    ASSERT_EQ(D3DXCreateMeshFVF(2, 4, D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_NORMAL, &dev, &mesh), D3D_OK);
    // Two triangles sharing vertex 0 at a right angle: a big one in the
    // z = 0 plane (area 8) and a small one in the x = 0 plane (area 0.5).
    std::vector<PosNormal> v(4);
    v[0].p = {0, 0, 0};
    v[1].p = {4, 0, 0};
    v[2].p = {0, 4, 0};
    v[3].p = {0, 0, 1};
    v[3].n = {9, 9, 9};  // stale values are replaced
    WriteMesh(mesh, v, {0, 1, 2, 0, 3, 2});
    ASSERT_EQ(D3DXComputeNormals(mesh), D3D_OK);
    const auto out = ReadVertices<PosNormal>(mesh);
    // Face 0: (p0-p1)x(p0-p2) = (-4,0,0)x(0,-4,0) = (0,0,16); face 1: (0,0,-1)x(0,-4,0) = (-4,0,0).
    D3DXVECTOR3 shared(-4, 0, 16);
    D3DXVec3Normalize(&shared, &shared);
    EXPECT_NEAR(out[0].n.x, shared.x, 1e-6f);
    EXPECT_NEAR(out[0].n.z, shared.z, 1e-6f);
    EXPECT_EQ(out[1].n, D3DXVECTOR3(0, 0, 1));
    EXPECT_EQ(out[3].n, D3DXVECTOR3(-1, 0, 0));
    EXPECT_GT(out[0].n.z, 0.9f);  // the large face dominates; an unweighted mean would give 0.707
    EXPECT_EQ(out[3].p, D3DXVECTOR3(0, 0, 1));

    Ref<ID3DXMesh> plain;
    ASSERT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_SYSTEMMEM, D3DFVF_XYZ, &dev, &plain), D3D_OK);
    EXPECT_EQ(D3DXComputeNormals(plain), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeNormals(nullptr), D3DERR_INVALIDCALL);
}

TEST(ComputeNormals, IgnoresFacesThatPointPastTheVertices) {
    RecordingDevice dev;
    Ref<ID3DXMesh> mesh;
    ASSERT_EQ(D3DXCreateMeshFVF(2, 3, D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL, &dev, &mesh), D3D_OK);
    std::vector<PosNormal> v(3);
    v[1].p = {1, 0, 0};
    v[2].p = {0, 1, 0};
    WriteMesh(mesh, v, {0, 2, 1, 0, 1, 60000});
    ASSERT_EQ(D3DXComputeNormals(mesh), D3D_OK);
    EXPECT_EQ(ReadVertices<PosNormal>(mesh)[0].n, D3DXVECTOR3(0, 0, -1));
}

TEST(BoundingSphere, MeanCentreAndLargestDistance) {
    struct V {
        float x, y, z;
        DWORD colour;
    };
    const V pts[] = {{0, 0, 0, 1}, {2, 0, 0, 2}, {0, 4, 0, 3}, {2, 4, 8, 4}};
    D3DXVECTOR3 c;
    float r = -1;
    ASSERT_EQ(D3DXComputeBoundingSphere(pts, 4, D3DFVF_XYZ | D3DFVF_DIFFUSE, &c, &r), D3D_OK);
    EXPECT_EQ(c, D3DXVECTOR3(1, 2, 2));
    EXPECT_FLOAT_EQ(r, std::sqrt(1.0f + 4 + 36));
    EXPECT_EQ(D3DXComputeBoundingSphere(pts, 0, D3DFVF_XYZ | D3DFVF_DIFFUSE, &c, &r), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeBoundingSphere(nullptr, 4, D3DFVF_XYZ, &c, &r), D3DERR_INVALIDCALL);
}

void ExpectNormalIsDirection(const PosNormal& pn) {
    D3DXVECTOR3 dir;
    D3DXVec3Normalize(&dir, &pn.p);
    EXPECT_NEAR(pn.n.x, dir.x, 1e-5f);
    EXPECT_NEAR(pn.n.y, dir.y, 1e-5f);
    EXPECT_NEAR(pn.n.z, dir.z, 1e-5f);
}

}  // namespace
