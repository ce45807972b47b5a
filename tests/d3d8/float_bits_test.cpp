// Float render states carry the float's bit pattern: FtoDW and DWtoF.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/d3d8/d3d8.h"

namespace {

#ifdef D3D_FLOAT_BITS_CONSTEXPR
// Usable where constants are needed (tables of default states).
static_assert(FtoDW(1.0f) == 0x3F800000u, "bits, not a value conversion");
static_assert(DWtoF(0x41200000u) == 10.0f, "bits, not a value conversion");
#endif

TEST(FloatRenderStates, KnownValuesHaveTheirIeeeBits)
{
    const struct {
        float f;
        DWORD bits;
    } cases[] = {
        {0.0f, 0x00000000u},   {-0.0f, 0x80000000u},  {1.0f, 0x3F800000u},
        {10.0f, 0x41200000u},  {150.0f, 0x43160000u}, {0.005f, 0x3BA3D70Au},
        {-2.5f, 0xC0200000u},  {std::numeric_limits<float>::infinity(), 0x7F800000u},
        {std::numeric_limits<float>::denorm_min(), 0x00000001u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.f);
        EXPECT_EQ(FtoDW(c.f), c.bits);
        EXPECT_EQ(DWtoF(c.bits), c.f);
        EXPECT_EQ(std::signbit(DWtoF(c.bits)), std::signbit(c.f));
    }
}

TEST(FloatRenderStates, NaNPayloadsSurviveTheRoundTrip)
{
    for (const DWORD bits : {0x7FC00000u, 0x7FC12345u, 0xFFC00001u, 0x7FFFFFFFu}) {
        SCOPED_TRACE(bits);
        EXPECT_TRUE(std::isnan(DWtoF(bits)));
        EXPECT_EQ(FtoDW(DWtoF(bits)), bits);
    }
}

}  // namespace
