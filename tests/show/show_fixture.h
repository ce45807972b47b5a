// A recording device installed as the show's device, with the shared quad
// buffer and the screen metrics in place, and message boxes captured.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/shared.h"
#include "gfx/texture_display.h"
#include "platform/win32/host.h"
#include "shell/app.h"
#include "shell/d3d_setup.h"
#include "show/media.h"
#include "show/show_clock.h"
#include "tests/support/recording_device.h"

namespace vt::test {

struct MessageBoxRecord {
    std::string text;
    bool hasCaption;
    UINT type;
};

class ShowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGlobals();
        g_pd3dDevice = &dev;
        ASSERT_EQ(dev.CreateVertexBuffer(112, 0, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, &g_pQuadVB), S_OK);
        g_fScreenWidth = 1024.0f;
        g_fScreenHeight = 768.0f;
        g_rcScreen = {0, 0, 1024, 768};
        vt::win32::SetHeadless(true);
        vt::win32::SetMessageBoxHook([this](const char* text, const char* caption, UINT type) {
            boxes.push_back({text ? text : "", caption != nullptr, type});
            return true;
        });
        // Toolkit calls draw between BeginScene and EndScene, as in a frame.
        if (inScene)
            dev.BeginScene();
        dev.ClearLog();
    }
    void TearDown() override
    {
        if (dev.InScene())
            dev.EndScene();
        vt::win32::SetMessageBoxHook(nullptr);
        SAFE_RELEASE(g_pQuadVB);
        g_pd3dDevice = nullptr;
    }

    // A managed A8R8G8B8 texture of the given size (one level).
    IDirect3DTexture8* MakeTexture(UINT w, UINT h)
    {
        IDirect3DTexture8* tex = nullptr;
        EXPECT_EQ(dev.CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), S_OK);
        return tex;
    }

    // The four vertices last copied into the quad buffer.
    std::vector<SCREENVERTEX> QuadVertices()
    {
        BYTE* p = nullptr;
        std::vector<SCREENVERTEX> v(4);
        if (SUCCEEDED(g_pQuadVB->Lock(0, 112, &p, D3DLOCK_READONLY))) {
            memcpy(v.data(), p, 112);
            g_pQuadVB->Unlock();
        }
        return v;
    }

    RecordingDevice dev;
    std::vector<MessageBoxRecord> boxes;
    bool inScene = true;  // fixtures that run whole frames clear it
};

}  // namespace vt::test
