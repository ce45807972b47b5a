// Helpers for the scene 1 tests: a quad buffer that keeps every rectangle
// written into it, and readers for the water grid and the firefly quads.
#pragma once

#include <cstring>
#include <vector>

#include "effects/water.h"
#include "gfx/texture_display.h"
#include "tests/show/show_fixture.h"

namespace vt::test {

// Stands in for g_pQuadVB: each Unlock keeps a copy of the four vertices,
// so a test sees every rectangle drawn, not only the last.
class QuadTap final : public IDirect3DVertexBuffer8 {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return --refs_; }  // owned by the test
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override
    {
        *ppDevice = nullptr;
        return D3DERR_INVALIDCALL;
    }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT, UINT, BYTE** ppData, DWORD) override
    {
        *ppData = reinterpret_cast<BYTE*>(current_);
        return S_OK;
    }
    HRESULT Unlock() override
    {
        quads.push_back(std::vector<SCREENVERTEX>(current_, current_ + 4));
        return S_OK;
    }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override
    {
        *pDesc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, 0, D3DPOOL_MANAGED, sizeof(current_), 0};
        return S_OK;
    }

    std::vector<std::vector<SCREENVERTEX>> quads;

private:
    SCREENVERTEX current_[4] = {};
    ULONG refs_ = 1;
};

// A fixture whose quad buffer is a QuadTap.
class QuadTapFixture : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        SAFE_RELEASE(g_pQuadVB);
        g_pQuadVB = &tap;
    }
    void TearDown() override
    {
        dev.SetStreamSource(0, nullptr, 0);  // the tap goes before the device
        g_pQuadVB = nullptr;
        ShowFixture::TearDown();
    }
    QuadTap tap;
};

// The y of each vertex of a buffer of 28-byte water vertices.
inline std::vector<float> WaterHeights(IDirect3DVertexBuffer8* vb)
{
    std::vector<float> y(WATER_VERTS);
    BYTE* p = nullptr;
    if (SUCCEEDED(vb->Lock(0, 0, &p, D3DLOCK_READONLY))) {
        for (int i = 0; i < WATER_VERTS; i++)
            memcpy(&y[i], p + (size_t)WATER_STRIDE * i + 4, 4);
        vb->Unlock();
    }
    return y;
}

}  // namespace vt::test
