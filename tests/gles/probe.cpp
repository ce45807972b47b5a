// Whether this machine gives the device an OpenGL ES 3.0 context: creates
// a device on ES (offscreen, on a hidden window) and prints the GL version.
// Exit 0 when it is ES, 77 (a skip for ctest) when none can be had.
#include <cstdio>
#include <cstring>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_common.h"
#include "platform/d3d8/host.h"
#include "platform/win32/host.h"

int main() {
    constexpr int kSkip = 77;
    vt::d3d8::SetGlApi(vt::d3d8::GlApi::Es);
    vt::d3d8::SetPresentMode(vt::d3d8::PresentMode::Offscreen);
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!d3d) {
        std::puts("no OpenGL library or display for the device");
        return kSkip;
    }
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 48;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice8* dev = nullptr;
    int result = kSkip;
    if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &dev) != D3D_OK) {
        std::puts("no OpenGL ES 3.0 context could be created");
    } else {
        const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        std::printf("%s\n", version ? version : "(no version)");
        const bool es = vt::d3d8::GetGlApi(dev) == vt::d3d8::GlApi::Es && version &&
                        std::strncmp(version, "OpenGL ES 3.", 12) == 0;
        if (!es) std::puts("the context is not OpenGL ES 3");
        result = es ? 0 : kSkip;
        dev->Release();
    }
    d3d->Release();
    vt::win32::Shutdown();
    return result;
}
