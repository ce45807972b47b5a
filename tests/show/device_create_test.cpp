// Device creation: the presentation parameters and behaviour flags asked
// for, each way creation can fail, and a start-up whose device is refused
// ending with one box, nothing loaded and the sound closed.
#include <cstring>

#include "platform/d3d8/host.h"
#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"
#include "tests/show/show_fixture.h"

using namespace vt::test;

namespace {

// An adapter that records what device was asked of it and answers with a
// chosen result. Owned by the test: Release only counts.
class FakeDirect3D final : public IDirect3D8 {
public:
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* pMode) override
    {
        modeAdapter = adapter;
        if (FAILED(modeResult))
            return modeResult;
        *pMode = {1920, 1080, 75, D3DFMT_X8R8G8B8};
        return S_OK;
    }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND hWnd, DWORD behaviour, D3DPRESENT_PARAMETERS* pParams,
                         IDirect3DDevice8** ppDevice) override
    {
        creates++;
        createAdapter = adapter;
        createType = type;
        focus = hWnd;
        flags = behaviour;
        params = *pParams;
        *ppDevice = nullptr;
        return createResult;
    }

    ULONG refs = 1;
    HRESULT modeResult = S_OK;
    HRESULT createResult = D3DERR_NOTAVAILABLE;
    UINT modeAdapter = 99, createAdapter = 99;
    D3DDEVTYPE createType = (D3DDEVTYPE)0;
    HWND focus = nullptr;
    DWORD flags = 0;
    int creates = 0;
    D3DPRESENT_PARAMETERS params = {};
};

class DeviceCreation : public ShowFixture {
protected:
    void SetUp() override
    {
        inScene = false;
        ShowFixture::SetUp();
        SAFE_RELEASE(g_pQuadVB);  // start-up makes its own, or nothing
        g_pd3dDevice = nullptr;
        vt::d3d8::SetDirect3DFactory([this](UINT sdk) -> IDirect3D8* {
            sdkAsked = sdk;
            if (!adapterExists)
                return nullptr;
            d3d.AddRef();
            return &d3d;
        });
    }
    void TearDown() override
    {
        vt::d3d8::SetDirect3DFactory(nullptr);
        if (g_hWnd && IsWindow(g_hWnd))
            DestroyWindow(g_hWnd);
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(g_szAppName, GetModuleHandleA(NULL));
        g_hWnd = NULL;
        g_pD3D = nullptr;  // the fake is not the test's to release twice
        ShowFixture::TearDown();
    }

    FakeDirect3D d3d;
    bool adapterExists = true;
    UINT sdkAsked = 0;
};

TEST_F(DeviceCreation, AsksForAFullScreenHardwarePureDeviceWithTheFixedParameters)
{
    const HWND hWnd = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(InitD3D(hWnd), E_FAIL);
    EXPECT_EQ(sdkAsked, (UINT)D3D_SDK_VERSION);
    EXPECT_EQ(d3d.modeAdapter, 0u);
    ASSERT_EQ(d3d.creates, 1);
    EXPECT_EQ(d3d.createAdapter, 0u);
    EXPECT_EQ(d3d.createType, D3DDEVTYPE_HAL);
    EXPECT_EQ(d3d.focus, hWnd);
    EXPECT_EQ(d3d.flags, 0x50u);
    EXPECT_EQ(d3d.flags, (DWORD)(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE));

    const D3DPRESENT_PARAMETERS& pp = d3d.params;
    EXPECT_EQ(pp.BackBufferWidth, 1024u);
    EXPECT_EQ(pp.BackBufferHeight, 768u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_A8R8G8B8);
    EXPECT_EQ(pp.BackBufferCount, 2u);
    EXPECT_EQ(pp.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(pp.hDeviceWindow, nullptr);
    EXPECT_FALSE(pp.Windowed);
    EXPECT_TRUE(pp.EnableAutoDepthStencil);
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(pp.Flags, 0u);
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 75u);  // the adapter's current mode
    EXPECT_EQ(pp.FullScreen_PresentationInterval, (UINT)D3DPRESENT_INTERVAL_DEFAULT);
}

TEST_F(DeviceCreation, EachFailureEndsWithAtMostOneWarning)
{
    struct Case {
        const char* what;
        bool adapter;
        HRESULT mode, create;
        const char* box;  // nullptr: nothing shown
    };
    const Case cases[] = {
        {"no Direct3D object", false, S_OK, S_OK, nullptr},
        {"no display mode", true, D3DERR_INVALIDCALL, S_OK, nullptr},
        {"device not available", true, S_OK, D3DERR_NOTAVAILABLE, "Error: D3DERR_NOTAVAILABLE"},
        {"invalid call", true, S_OK, D3DERR_INVALIDCALL, "Error: D3DERR_INVALIDCALL"},
        {"out of video memory", true, S_OK, D3DERR_OUTOFVIDEOMEMORY, "Not enough video memory."},
        {"out of memory", true, S_OK, E_OUTOFMEMORY, "Not enough memory."},
        {"unknown result", true, S_OK, (HRESULT)0x88760999, "Error: Unrecognized error: 0x88760999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        d3d.creates = 0;
        adapterExists = c.adapter;
        d3d.modeResult = c.mode;
        d3d.createResult = c.create;
        EXPECT_EQ(InitD3D(nullptr), E_FAIL);
        EXPECT_EQ(g_pd3dDevice, nullptr);
        EXPECT_EQ(d3d.creates, c.mode == S_OK && c.adapter ? 1 : 0);
        if (c.box == nullptr) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, c.box);
            EXPECT_FALSE(boxes[0].hasCaption);
            EXPECT_EQ(boxes[0].type, (UINT)MB_ICONWARNING);
        }
        Cleanup();  // what shutdown does: releases only what exists
        EXPECT_EQ(g_pD3D, nullptr);
        EXPECT_EQ(d3d.refs, 1u);  // every reference the show took is given back
    }
}

TEST_F(DeviceCreation, ARefusedDeviceEndsStartUpAndShutDownStillClosesTheSound)
{
    vt::fmod::SetVirtualTime(true);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    ASSERT_TRUE(vt::fmod::IsInitialised());

    EXPECT_EQ(StartUp(), E_FAIL);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error: D3DERR_NOTAVAILABLE");
    EXPECT_NE(g_hWnd, nullptr);
    EXPECT_EQ(g_pD3D, &d3d);
    // Loading never ran: no quad buffer, no loading image, clock untouched.
    EXPECT_EQ(g_pQuadVB, nullptr);
    EXPECT_EQ(g_pLoadingTexture, nullptr);
    EXPECT_TRUE(g_bRestartClock);

    ShutDown();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(g_pD3D, nullptr);
    EXPECT_EQ(g_pd3dDevice, nullptr);
    EXPECT_EQ(d3d.refs, 1u);
    EXPECT_FALSE(vt::fmod::IsInitialised());
    vt::fmod::SetVirtualTime(false);
}

}  // namespace
