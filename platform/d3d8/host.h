// Host-side controls of the Direct3D 8 layer: for main(), the capture tool
// and tests, never for the show's own code.
//
//   vt::d3d8::SetPresentMode(vt::d3d8::PresentMode::Offscreen);  // before CreateDevice
//   ... render ...
//   std::vector<uint8_t> rgb; UINT w, h;
//   vt::d3d8::ReadBackBuffer(device, rgb, w, h);  // top row first, 3 bytes a pixel
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

// The back buffer as it stands (before gamma), RGB, top row first.
HRESULT ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, UINT& width, UINT& height);

// The picture the window last showed, after gamma (RGB, back-buffer size).
HRESULT ReadPresentedImage(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, UINT& width, UINT& height);

#ifndef NDEBUG
// Debug builds: GL errors the device has found and reported so far.
uint64_t GlErrorsReported();
#endif

}  // namespace vt::d3d8
