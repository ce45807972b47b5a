// Any bytes as an image file into a texture, through the loader the show
// calls, on a device that keeps textures in memory.
#include <cstddef>
#include <cstdint>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/image_decode.h"
#include "tests/fuzz/fuzz_device.h"
#include "tests/fuzz/mem_file.h"

using vt::fuzz::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vt::fuzz::MemFile file("image");
    vt::test::RecordingDevice dev(vt::fuzz::SmallDevice());

    IDirect3DTexture8* tex = nullptr;
    const HRESULT hr = D3DXCreateTextureFromFileA(&dev, file.Write(data, size), &tex);
    if (FAILED(hr)) {
        if (tex) Fail("texture set on failure");
        if (hr != D3DXERR_INVALIDDATA && hr != E_OUTOFMEMORY) Fail("unexpected error code");
    } else {
        if (!tex) Fail("no texture on success");
        D3DSURFACE_DESC d{};
        if (tex->GetLevelDesc(0, &d) != D3D_OK) Fail("no top level");
        const auto pow2 = [](UINT v) { return v && !(v & (v - 1)); };
        if (!pow2(d.Width) || !pow2(d.Height) || d.Width > vt::d3dx8::kMaxImageSide ||
            d.Height > vt::d3dx8::kMaxImageSide)
            Fail("texture size");
        UINT levels = 1;
        for (UINT s = d.Width > d.Height ? d.Width : d.Height; s > 1; s /= 2) ++levels;
        if (tex->GetLevelCount() != levels) Fail("mip chain");
        if (tex->Release() != 0) Fail("texture still referenced");
    }
    if (dev.LiveResources() != 0) Fail("resources left behind");
    return 0;
}
