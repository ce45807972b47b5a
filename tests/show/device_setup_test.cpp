// Error texts, the initial device state, the fixed lights and the gamma ramp.
#include <cstring>

#include "show/device_state.h"
#include "tests/show/show_fixture.h"

using namespace vt::test;

namespace {

TEST(ReportError, TextsForEveryKindOfFailure)
{
    struct Case {
        HRESULT hr;
        HRESULT flag;
        const char* text;
    } cases[] = {
        {MEDIA_NOT_FOUND, 0, "Could not load required media."},
        {MEDIA_NOT_FOUND, MEDIA_NOT_FOUND, "Could not load required media."},
        {E_OUTOFMEMORY, 0, "Not enough memory."},
        {D3DERR_OUTOFVIDEOMEMORY, 0, "Not enough video memory."},
        {D3DERR_OUTOFVIDEOMEMORY, MEDIA_NOT_FOUND, "Not enough video memory."},
        {E_FAIL, MEDIA_NOT_FOUND, "Media not found."},
        {D3DERR_NOTAVAILABLE, 0, "Error: D3DERR_NOTAVAILABLE"},
        {D3DERR_INVALIDCALL, 0, "Error: D3DERR_INVALIDCALL"},
        {E_FAIL, 0, "Error: E_FAIL"},
        {D3DXERR_INVALIDDATA, 0, "Error: D3DXERR_INVALIDDATA"},
        {(HRESULT)0x80001234, 0, "Error: Unrecognized error: 0x80001234"},
    };
    for (const Case& c : cases) {
        char text[512];
        FormatErrorText(c.hr, c.flag, text, sizeof(text));
        EXPECT_STREQ(text, c.text) << std::hex << c.hr;
    }
}

TEST_F(ShowFixture, ReportErrorShowsOneOwnerlessWarningAndReturnsTheResult)
{
    EXPECT_EQ(ReportError(D3DERR_INVALIDDEVICE, 0), D3DERR_INVALIDDEVICE);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error: D3DERR_INVALIDDEVICE");
    EXPECT_FALSE(boxes[0].hasCaption);
    EXPECT_EQ(boxes[0].type, (UINT)MB_ICONWARNING);
}

TEST_F(ShowFixture, InitialDeviceStateInItsOrder)
{
    ApplyInitialDeviceState();
    std::vector<std::pair<uint64_t, uint64_t>> states;
    for (const Call& c : dev.Log()) {
        if (c.method == "SetRenderState")
            states.push_back({c.Arg(0), c.Arg(1)});
    }
    const std::vector<std::pair<uint64_t, uint64_t>> expected = {
        {D3DRS_ZENABLE, TRUE},          {D3DRS_ZWRITEENABLE, TRUE},   {D3DRS_LIGHTING, TRUE},
        {D3DRS_AMBIENT, 0},             {D3DRS_FILLMODE, D3DFILL_SOLID}, {D3DRS_POINTSIZE, 0x41200000},
        {D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRS_CULLMODE, D3DCULL_CCW},
    };
    EXPECT_EQ(states, expected);
    EXPECT_EQ(dev.StageState(0, D3DTSS_MINFILTER), (DWORD)D3DTEXF_LINEAR);
    EXPECT_EQ(dev.StageState(0, D3DTSS_MAGFILTER), (DWORD)D3DTEXF_LINEAR);
    EXPECT_FALSE(dev.CursorVisible());
    EXPECT_EQ(g_dwCullMode, (DWORD)D3DCULL_CCW);
}

TEST(GammaRamp, EachEntryTimes255CappedAt65535)
{
    D3DGAMMARAMP ramp;
    for (int i = 0; i < 256; i++)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = (WORD)(i * 257);
    ramp.red[0] = 0;
    ramp.red[1] = 100;
    ramp.red[2] = 256;
    ramp.red[3] = 257;
    ramp.green[4] = 65535;
    ScaleGammaRamp(&ramp);
    EXPECT_EQ(ramp.red[0], 0);
    EXPECT_EQ(ramp.red[1], 25500);
    EXPECT_EQ(ramp.red[2], 65280);
    EXPECT_EQ(ramp.red[3], 65535);
    EXPECT_EQ(ramp.green[4], 65535);
    EXPECT_EQ(ramp.blue[255], 65535);
}

TEST_F(ShowFixture, FixedLightsAreDefinedButLeftOffAndTheRampIsScaled)
{
    D3DGAMMARAMP identity;
    for (int i = 0; i < 256; i++)
        identity.red[i] = identity.green[i] = identity.blue[i] = (WORD)i;
    dev.SetGammaRamp(D3DSGR_NO_CALIBRATION, &identity);
    dev.ClearLog();

    ApplyFixedLighting();

    const D3DMATERIAL8& m = dev.Material();
    EXPECT_EQ(m.Diffuse.r, 1.0f);
    EXPECT_EQ(m.Ambient.a, 1.0f);
    EXPECT_EQ(m.Specular.r, 0.0f);
    EXPECT_EQ(m.Power, 0.0f);

    ASSERT_TRUE(dev.HasLight(6));
    const D3DLIGHT8 point = dev.Light(6);
    EXPECT_EQ(point.Type, D3DLIGHT_POINT);
    EXPECT_EQ(point.Diffuse.g, 255.0f);
    EXPECT_EQ(point.Range, 200.0f);
    EXPECT_EQ(point.Attenuation0, 0.0f);
    EXPECT_EQ(point.Attenuation1, 1.0f);
    ASSERT_TRUE(dev.HasLight(7));
    const D3DLIGHT8 dir = dev.Light(7);
    EXPECT_EQ(dir.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(dir.Direction.x, 1.0f);
    EXPECT_EQ(dir.Direction.y, -1.0f);
    EXPECT_EQ(dir.Direction.z, -1.0f);
    EXPECT_FALSE(dev.LightEnabled(6));
    EXPECT_FALSE(dev.LightEnabled(7));
    EXPECT_EQ(dev.Count("LightEnable"), 0u);

    const Call* set = dev.Last("SetGammaRamp");
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->Arg(0), (uint64_t)D3DSGR_CALIBRATE);
    const D3DGAMMARAMP* ramp = set->Payload<D3DGAMMARAMP>();
    ASSERT_NE(ramp, nullptr);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(ramp->green[i], i * 255) << i;
}

}  // namespace
