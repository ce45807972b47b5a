#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/d3dx8/d3dx8.h"

namespace {

TEST(VertexSize, FormatsTable) {
    const struct {
        DWORD fvf;
        UINT size;
    } cases[] = {
        {D3DFVF_XYZ, 12},
        {D3DFVF_XYZRHW, 16},
        {D3DFVF_XYZB1, 16},
        {D3DFVF_XYZB5, 32},
        {D3DFVF_XYZ | D3DFVF_NORMAL, 24},
        {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE, 28},           // the water's vertex
        {D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, 28},          // 0x144, screen vertex
        {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1, 36},  // 0x152, tunnel vertex
        {D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_SPECULAR, 20},
        {D3DFVF_XYZ | D3DFVF_TEX2, 28},
        {D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0), 24},
        {D3DFVF_XYZ | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE4(1), 32},
        {D3DFVF_XYZ | D3DFVF_TEXCOORDSIZE3(1), 12},  // size bits beyond the set count are ignored
        {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(D3DXGetFVFVertexSize(c.fvf), c.size) << std::hex << c.fvf;
}

std::string Name(HRESULT hr, UINT len = 256) {
    std::string buf(len, '\xAA');
    EXPECT_EQ(D3DXGetErrorStringA(hr, buf.data(), len), D3D_OK);
    return std::string(buf.c_str());
}

TEST(ErrorString, KnowsTheThirtyNames) {
    const struct {
        uint32_t code;
        const char* name;
    } names[] = {
        {0x00000000, "S_OK"},
        {0x80004005, "E_FAIL"},
        {0x80004001, "E_NOTIMPL"},
        {0x8007000E, "E_OUTOFMEMORY"},
        {0x88760818, "D3DERR_WRONGTEXTUREFORMAT"},
        {0x88760819, "D3DERR_UNSUPPORTEDCOLOROPERATION"},
        {0x8876081A, "D3DERR_UNSUPPORTEDCOLORARG"},
        {0x8876081B, "D3DERR_UNSUPPORTEDALPHAOPERATION"},
        {0x8876081C, "D3DERR_UNSUPPORTEDALPHAARG"},
        {0x8876081D, "D3DERR_TOOMANYOPERATIONS"},
        {0x8876081E, "D3DERR_CONFLICTINGTEXTUREFILTER"},
        {0x8876081F, "D3DERR_UNSUPPORTEDFACTORVALUE"},
        {0x88760821, "D3DERR_CONFLICTINGRENDERSTATE"},
        {0x88760822, "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
        {0x88760826, "D3DERR_CONFLICTINGTEXTUREPALETTE"},
        {0x88760827, "D3DERR_DRIVERINTERNALERROR"},
        {0x88760866, "D3DERR_NOTFOUND"},
        {0x88760867, "D3DERR_MOREDATA"},
        {0x88760868, "D3DERR_DEVICELOST"},
        {0x88760869, "D3DERR_DEVICENOTRESET"},
        {0x8876086A, "D3DERR_NOTAVAILABLE"},
        {0x8876017C, "D3DERR_OUTOFVIDEOMEMORY"},
        {0x8876086B, "D3DERR_INVALIDDEVICE"},
        {0x8876086C, "D3DERR_INVALIDCALL"},
        {0x88760B54, "D3DXERR_CANNOTMODIFYINDEXBUFFER"},
        {0x88760B55, "D3DXERR_INVALIDMESH"},
        {0x88760B56, "D3DXERR_CANNOTATTRSORT"},
        {0x88760B57, "D3DXERR_SKINNINGNOTSUPPORTED"},
        {0x88760B58, "D3DXERR_TOOMANYINFLUENCES"},
        {0x88760B59, "D3DXERR_INVALIDDATA"},
    };
    static_assert(sizeof names / sizeof names[0] == 30);
    for (const auto& n : names) EXPECT_EQ(Name(static_cast<HRESULT>(n.code)), n.name);
}

TEST(ErrorString, OtherCodesAndTruncation) {
    EXPECT_EQ(Name(static_cast<HRESULT>(0x8200000B)), "Unrecognized error: 0x8200000b");
    EXPECT_EQ(Name(1), "Unrecognized error: 0x00000001");                          // S_FALSE is not known
    EXPECT_EQ(Name(static_cast<HRESULT>(0x88760820)), "Unrecognized error: 0x88760820");  // a gap in the run
    EXPECT_EQ(Name(E_FAIL, 4), "E_F");
    EXPECT_EQ(Name(E_FAIL, 7), "E_FAIL");
    EXPECT_EQ(Name(E_FAIL, 1), "");
    char guard[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    D3DXGetErrorStringA(static_cast<HRESULT>(0x12345678), guard, 5);
    EXPECT_STREQ(guard, "Unre");
    EXPECT_EQ(guard[5], 'x');  // nothing written past the buffer
    EXPECT_NE(D3DXGetErrorStringA(E_FAIL, nullptr, 10), D3D_OK);
    char one = 'x';
    EXPECT_NE(D3DXGetErrorStringA(E_FAIL, &one, 0), D3D_OK);
    EXPECT_EQ(one, 'x');
}

TEST(Buffer, ZeroedMemoryOfRequestedSizeWithRefCounting) {
    ID3DXBuffer* b = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(100, &b), D3D_OK);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetBufferSize(), 100u);
    const auto* p = static_cast<const unsigned char*>(b->GetBufferPointer());
    for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0);
    EXPECT_EQ(b->AddRef(), 2u);
    EXPECT_EQ(b->Release(), 1u);
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_NE(D3DXCreateBuffer(4, nullptr), D3D_OK);
}

}  // namespace
