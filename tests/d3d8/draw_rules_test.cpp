// The draw rules shared by the devices: the primitive arithmetic and each
// rule on its own, then one sequence of draws run on the OpenGL device and
// on the recording test device, which must answer every call alike.
#include "platform/d3d8/draw_rules.h"

#include <vector>

#include "tests/d3d8/gl_fixture.h"
#include "tests/support/recording_device.h"

namespace vt::d3d8::test {
namespace {

TEST(DrawRules, VertexCountsFollowThePrimitiveType) {
    struct Case {
        D3DPRIMITIVETYPE type;
        UINT prims, want;
    };
    const Case cases[] = {
        {D3DPT_POINTLIST, 5, 5},     {D3DPT_LINELIST, 5, 10},     {D3DPT_LINESTRIP, 5, 6},
        {D3DPT_TRIANGLELIST, 5, 15}, {D3DPT_TRIANGLESTRIP, 5, 7}, {D3DPT_TRIANGLEFAN, 5, 7},
        // No primitive reads no vertex, strips and fans included.
        {D3DPT_LINESTRIP, 0, 0},     {D3DPT_TRIANGLEFAN, 0, 0},   {D3DPT_TRIANGLELIST, 0, 0},
        {static_cast<D3DPRIMITIVETYPE>(0), 4, 0}, {static_cast<D3DPRIMITIVETYPE>(7), 4, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(VertexCount(c.type, c.prims), c.want) << c.type << " x" << c.prims;
}

TEST(DrawRules, VertexSizesFollowTheFormat) {
    EXPECT_EQ(FvfVertexSize(D3DFVF_XYZ), 12u);
    EXPECT_EQ(FvfVertexSize(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1), 28u);
    EXPECT_EQ(FvfVertexSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR), 32u);
    EXPECT_EQ(FvfVertexSize(D3DFVF_XYZB2 | D3DFVF_PSIZE), 24u);
    // Second set 3D, third 1D, fourth 4D.
    const DWORD sets = D3DFVF_XYZ | (4 << D3DFVF_TEXCOUNT_SHIFT) | D3DFVF_TEXCOORDSIZE3(1) |
                       D3DFVF_TEXCOORDSIZE1(2) | D3DFVF_TEXCOORDSIZE4(3);
    EXPECT_EQ(FvfVertexSize(sets), 12u + 8 + 12 + 4 + 16);
    EXPECT_EQ(FvfVertexSize(D3DFVF_NORMAL | D3DFVF_DIFFUSE), 0u);  // no position
}

// Four 12-byte vertices and the indices 0 1 2 1 2 3, bound inside a scene.
struct Bound {
    std::vector<uint8_t> vertices = std::vector<uint8_t>(48);
    std::vector<uint16_t> indices = {0, 1, 2, 1, 2, 3};
    DrawInputs in;
    Bound() {
        in.inScene = true;
        in.fvf = D3DFVF_XYZ;
        in.stride = 12;
        in.stream = {true, false, vertices.data(), vertices.size()};
        in.indices = {true, false, reinterpret_cast<const uint8_t*>(indices.data()), indices.size() * 2};
    }
};

TEST(DrawRules, EachRuleRefusesADrawOnItsOwn) {
    const Bound ok;
    ASSERT_EQ(CheckDraw(ok.in, D3DPT_TRIANGLELIST, 1, 1), D3D_OK);
    ASSERT_EQ(CheckIndexedDraw(ok.in, D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    struct Case {
        const char* what;
        void (*change)(DrawInputs&);
    };
    const Case cases[] = {
        {"outside a scene", [](DrawInputs& in) { in.inScene = false; }},
        {"no stream", [](DrawInputs& in) { in.stream.bound = false; }},
        {"stream locked", [](DrawInputs& in) { in.stream.locked = true; }},
        {"no vertex format", [](DrawInputs& in) { in.fvf = 0; }},
        {"stride under the vertex size", [](DrawInputs& in) { in.stride = 8; }},
        {"stride zero", [](DrawInputs& in) { in.stride = 0; }},
    };
    for (const Case& c : cases) {
        Bound b;
        c.change(b.in);
        EXPECT_EQ(CheckDraw(b.in, D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << c.what;
        EXPECT_EQ(CheckIndexedDraw(b.in, D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL) << c.what;
    }
    Bound b;
    b.in.indices.locked = true;
    EXPECT_EQ(CheckIndexedDraw(b.in, D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL) << "indices locked";
    EXPECT_EQ(CheckDraw(b.in, D3DPT_TRIANGLELIST, 0, 1), D3D_OK) << "unindexed draws ignore the indices";
    b.in.indices.bound = false;
    EXPECT_EQ(CheckIndexedDraw(b.in, D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL) << "no indices";
    // A wider stride with the same buffer holds fewer vertices.
    Bound wide;
    wide.in.stride = 16;
    EXPECT_EQ(CheckDraw(wide.in, D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(CheckDraw(wide.in, D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
}

TEST(DrawRules, RangesAndIndicesStayInsideTheirBuffers) {
    const Bound b;
    struct Draw {
        D3DPRIMITIVETYPE type;
        UINT first, prims;
        HRESULT want;
    };
    const Draw draws[] = {
        {D3DPT_TRIANGLELIST, 1, 1, D3D_OK},
        {D3DPT_TRIANGLELIST, 2, 1, D3DERR_INVALIDCALL},  // vertex 4 does not exist
        {D3DPT_TRIANGLESTRIP, 0, 2, D3D_OK},
        {D3DPT_TRIANGLESTRIP, 0, 3, D3DERR_INVALIDCALL},
        {D3DPT_LINELIST, 0, 2, D3D_OK},
        {D3DPT_POINTLIST, 0, 0, D3DERR_INVALIDCALL},  // nothing to draw
        {D3DPT_POINTLIST, 0xffffffffu, 1, D3DERR_INVALIDCALL},  // no wrap-around
    };
    for (const Draw& d : draws)
        EXPECT_EQ(CheckDraw(b.in, d.type, d.first, d.prims), d.want) << d.type << " " << d.first << "+" << d.prims;

    struct Indexed {
        UINT minIndex, numVertices, startIndex, prims;
        HRESULT want;
    };
    const Indexed indexed[] = {
        {0, 4, 0, 2, D3D_OK},
        {0, 3, 0, 2, D3DERR_INVALIDCALL},  // index 3 lies outside [0, 3)
        {1, 3, 3, 1, D3D_OK},              // indices 1 2 3
        {1, 3, 0, 1, D3DERR_INVALIDCALL},  // index 0 lies under the minimum
        {0, 4, 3, 2, D3DERR_INVALIDCALL},  // past the end of the indices
        {0, 5, 0, 1, D3DERR_INVALIDCALL},  // the range reaches past the vertices
        {0, 0, 0, 1, D3DERR_INVALIDCALL},  // an empty range
        {0, 4, 0, 0, D3DERR_INVALIDCALL},
    };
    for (const Indexed& d : indexed)
        EXPECT_EQ(CheckIndexedDraw(b.in, D3DPT_TRIANGLELIST, d.minIndex, d.numVertices, d.startIndex, d.prims), d.want)
            << d.minIndex << "," << d.numVertices << "," << d.startIndex << "," << d.prims;

    // The base vertex index moves the range: with base 1, vertices 1..4 are needed.
    Bound based;
    based.in.baseVertex = 1;
    EXPECT_EQ(CheckIndexedDraw(based.in, D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(CheckIndexedDraw(based.in, D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3D_OK);

    // 32-bit indices are read as such.
    Bound wide;
    const uint32_t idx32[3] = {0, 1, 0x10003};  // as 16-bit pairs: 0 0 1 0 3 1
    wide.in.indices = {true, false, reinterpret_cast<const uint8_t*>(idx32), sizeof idx32};
    wide.in.indices32 = true;
    EXPECT_EQ(CheckIndexedDraw(wide.in, D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3DERR_INVALIDCALL);
    const uint32_t fine32[3] = {3, 1, 2};
    wide.in.indices.bytes = reinterpret_cast<const uint8_t*>(fine32);
    EXPECT_EQ(CheckIndexedDraw(wide.in, D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3D_OK);

    // Contents the device does not know are not checked.
    Bound foreign;
    foreign.in.stream.bytes = nullptr;
    foreign.in.indices.bytes = nullptr;
    EXPECT_EQ(CheckDraw(foreign.in, D3DPT_TRIANGLELIST, 100, 1), D3D_OK);
    EXPECT_EQ(CheckIndexedDraw(foreign.in, D3DPT_TRIANGLELIST, 0, 100, 50, 1), D3D_OK);
}

// The same calls through the device interface. Every result is recorded,
// so that two devices can be compared call by call.
std::vector<HRESULT> DrawSequence(IDirect3DDevice8* dev) {
    std::vector<HRESULT> out;
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    if (FAILED(dev->CreateVertexBuffer(4 * 28, 0, kFvfTL, D3DPOOL_MANAGED, &vb)) ||
        FAILED(dev->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib)))
        return out;
    BYTE* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    std::vector<TLVertex> quad = Quad(0, 0, 8, 8, 0xffffffff);
    std::memcpy(p, quad.data(), 4 * sizeof(TLVertex));
    vb->Unlock();
    ib->Lock(0, 0, &p, 0);
    const uint16_t idx[6] = {0, 1, 2, 1, 2, 3};
    std::memcpy(p, idx, sizeof idx);
    ib->Unlock();

    dev->SetVertexShader(kFvfTL);
    dev->SetStreamSource(0, vb, sizeof(TLVertex));
    dev->SetIndices(ib, 0);
    out.push_back(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));  // outside a scene
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2));
    out.push_back(dev->BeginScene());
    out.push_back(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
    out.push_back(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1));
    out.push_back(dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2));
    out.push_back(dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 3));
    out.push_back(dev->DrawPrimitive(D3DPT_LINESTRIP, 0, 0));
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2));
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 2));  // index 3 outside
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 3, 3, 1));
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2));  // past the indices
    dev->SetStreamSource(0, vb, 20);  // narrower than a vertex
    out.push_back(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
    dev->SetStreamSource(0, vb, sizeof(TLVertex));
    dev->SetIndices(ib, 1);
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2));
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1));
    vb->Lock(0, 0, &p, 0);
    out.push_back(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));  // stream locked
    vb->Unlock();
    ib->Lock(0, 0, &p, 0);
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1));  // indices locked
    ib->Unlock();
    dev->SetIndices(nullptr, 0);
    out.push_back(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1));
    dev->SetStreamSource(0, nullptr, 0);
    out.push_back(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
    out.push_back(dev->EndScene());
    vb->Release();
    ib->Release();
    return out;
}

const std::vector<HRESULT> kExpectedSequence = {
    D3DERR_INVALIDCALL, D3DERR_INVALIDCALL, D3D_OK,
    D3D_OK, D3DERR_INVALIDCALL, D3D_OK, D3DERR_INVALIDCALL, D3DERR_INVALIDCALL,
    D3D_OK, D3DERR_INVALIDCALL, D3D_OK, D3DERR_INVALIDCALL,
    D3DERR_INVALIDCALL,
    D3DERR_INVALIDCALL, D3D_OK,
    D3DERR_INVALIDCALL, D3DERR_INVALIDCALL, D3DERR_INVALIDCALL, D3DERR_INVALIDCALL,
    D3D_OK,
};

TEST(DrawRulesOnDevices, TheRecordingDeviceFollowsTheRules) {
    vt::test::RecordingDevice dev;
    EXPECT_EQ(DrawSequence(&dev), kExpectedSequence);
}

class DrawRulesOnGl : public GlDeviceTest {};

TEST_F(DrawRulesOnGl, TheOpenGLDeviceFollowsTheRules) {
    ASSERT_EQ(dev_->EndScene(), D3D_OK);  // the sequence starts outside a scene
    const uint64_t before = GetStats(dev_).drawCalls;
    EXPECT_EQ(DrawSequence(dev_), kExpectedSequence);
    // Only the accepted draws reached GL.
    EXPECT_EQ(GetStats(dev_).drawCalls - before, 5u);
    ASSERT_EQ(dev_->BeginScene(), D3D_OK);
}

}  // namespace
}  // namespace vt::d3d8::test
