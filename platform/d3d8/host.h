// Host-side controls of the Direct3D 8 layer: for main(), the capture tool
// and tests, never for the show's own code.
//
//   vt::d3d8::SetPresentMode(vt::d3d8::PresentMode::Offscreen);  // before CreateDevice
//   ... render ...
//   std::vector<uint8_t> rgb; UINT w, h;
//   vt::d3d8::ReadBackBuffer(device, rgb, w, h);  // top row first, 3 bytes a pixel
//
// Every setter applies to devices created afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"

namespace vt::d3d8 {

enum class PresentMode {
    Window,     // Present shows the back buffer in the window (letterboxed, vsync, gamma)
    Offscreen,  // Present waits until the frame is finished and shows nothing
};
// Applies to devices created afterwards.
void SetPresentMode(PresentMode mode);

// The GL a device draws with: OpenGL 3.3 core, or OpenGL ES 3.0 restricted
// to what WebGL 2 offers (the web build's only choice). Natively the
// default is desktop GL unless the environment has VT_GL_API=es when the
// first device is created; SetGlApi overrides it for devices created
// afterwards. GetGlApi tells what a device really got.
enum class GlApi { Desktop, Es };
void SetGlApi(GlApi api);
GlApi GetGlApi(IDirect3DDevice8* device);

struct DeviceStats {
    uint64_t drawCalls = 0;  // DrawPrimitive + DrawIndexedPrimitive that reached the GPU
    uint64_t presents = 0;
    uint64_t clears = 0;
    uint64_t glDraws = 0;           // OpenGL draw calls, the device's own passes included
    uint64_t fullscreenPasses = 0;  // the device's whole-picture copies and passes (Present)
    uint64_t programsBuilt = 0;     // GL programs compiled and linked for drawing
    uint64_t fullscreenLayers = 0;  // the show's draws of pre-transformed vertices spanning their whole target
    uint64_t variantsBuilt = 0;     // draws of a state combination the device had not drawn before
};
DeviceStats GetStats(IDirect3DDevice8* device);

// Warm-up: right after its first Present (the loading picture), a device
// draws each state combination of the list built into the library once,
// offscreen, so that the GL driver builds its code for them before the
// show's first frame rather than in the middle of a scene. Off unless
// asked for; applies to devices created afterwards.
void SetWarmUp(bool on);
// Tests: the list warm-ups draw from now on, in the recorded form, instead
// of the built-in one (empty: the built-in one again).
void SetWarmUpList(const std::string& text);

// Recording that list: a device created afterwards keeps one line for each
// state combination the show's draws meet (the warm-up's own draws aside).
void SetVariantRecording(bool on);
std::vector<std::string> RecordedVariants(IDirect3DDevice8* device);

// Where a frame's time goes: each OpenGL draw of devices created afterwards
// runs alone (the driver finishes all work before it and then it) and is
// timed, with the samples it passed. Frames get slower; this finds the
// costly draws, it does not time frames. The warm-up's draws are left out.
void SetDrawProfiling(bool on);
struct DrawCost {
    double ms = 0.0;
    uint64_t samples = 0;  // fragments that passed the depth test
    std::string state;     // the draw's state combination, as a warm-up list line
};
// The draws profiled since the last call, in order.
std::vector<DrawCost> TakeDrawCosts(IDirect3DDevice8* device);

// Tests: Direct3DCreate8 returns what `factory` makes instead of the OpenGL
// layer (an empty function restores it), so device creation can be refused.
void SetDirect3DFactory(std::function<IDirect3D8*(UINT sdkVersion)> factory);

// Internal resolution. A device created afterwards stores the back buffer,
// its depth buffer and every render-target texture (cube faces included) at
// k times the width and height the program asked for, and scales what is
// measured in pixels: viewports, clear rectangles, pre-transformed vertex
// positions, the pixel-centre offset, point sizes and line widths (a line
// is drawn round(k) pixels wide). The program still sees the sizes it asked
// for everywhere: surface and level descriptions, viewports, the back
// buffer's description. Textures it fills itself keep their size. A render
// target cannot be locked, scaled or not (D3DERR_INVALIDCALL, as always).
//
//   vt::d3d8::SetRenderScale(2.0f);         // before CreateDevice
//   ... create the device ...
//   float k = vt::d3d8::GetRenderScale(device);  // what it really used
//
// k runs from 1 to 8 (values outside, or not a number, are brought to the
// nearest end; 1 changes nothing). A device lowers it further so that the
// back buffer fits the driver's largest texture and renderbuffer; a
// render-target texture that would not fit is stored at the largest size
// the driver takes.
void SetRenderScale(float k);
// Instead of a fixed k: a device created afterwards takes ChooseAutoScale
// (below) for the desktop size of the display its window is on, its own
// renderer and its back buffer's size (SetRenderScale goes back to a
// fixed k). For a program's "--scale auto".
void SetRenderScaleAuto();
float GetRenderScale(IDirect3DDevice8* device);

// Antialiasing: a device created afterwards draws into multisampled copies
// of the back buffer, its depth buffer and the render-target textures, and
// resolves a copy into the picture when it is sampled, read back or
// presented (once after each change). 0 or 1: off; 2, 4 or 8 samples
// (values between are rounded down, above 8 taken as 8). A driver that
// offers fewer gets the most it offers; none at all leaves it off.
void SetMultisample(int samples);
// The samples a device draws with; 0 when multisampling is off.
int GetMultisample(IDirect3DDevice8* device);

// Whether the device draws with a software rasterizer (Mesa's llvmpipe,
// softpipe or swrast), from the GL renderer's name.
bool IsSoftwareRenderer(IDirect3DDevice8* device);
bool IsSoftwareRendererName(const std::string& glRenderer);

// The scale for "as sharp as the display": the largest k at which a
// picture of pictureWidth x pictureHeight still fits the display (a 4:3
// picture on a wide display fills its height: 2560 x 1440 gives 1.875),
// never below 1 nor above 8; 1 on a software rasterizer, where every extra
// pixel costs the processor. The picture's size defaults to the show's.
float ChooseAutoScale(int displayWidth, int displayHeight, bool softwareRenderer, int pictureWidth = 1024,
                      int pictureHeight = 768);

// The back buffer as it stands (before gamma), RGB, top row first, at the
// size it is stored: k times the program's back buffer (2048 x 1536 for a
// 1024 x 768 one at k = 2), multisampling resolved. A host that wants the
// program's size (a capture at 1024 x 768 rendered at k = 2) filters the
// picture down itself; `width` and `height` are always what was read.
HRESULT ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, UINT& width, UINT& height);

// The picture the window last showed, after gamma (RGB, the stored
// back-buffer size as for ReadBackBuffer).
HRESULT ReadPresentedImage(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, UINT& width, UINT& height);

#ifndef NDEBUG
// Debug builds: GL errors the device has found and reported so far.
uint64_t GlErrorsReported();
#endif

}  // namespace vt::d3d8
