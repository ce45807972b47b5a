// A backend for the window layer driven by the test: events it is handed
// come out of PollEvents, and what the layer asks of it is recorded. The
// layer's shared files run on it as they run on SDL or in the browser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/backend.h"

namespace vt::test::backend {

struct Box {
    UINT type;
    std::string caption, text;
    bool hadOwner;
};

struct Record {
    int videoStarts = 0, videoStops = 0;
    int created = 0, destroyed = 0;
    bool cursorShown = true;
    std::vector<Box> boxes;
};

// Back to a fresh backend: no events, nothing recorded, boxes shown.
void Reset();
void Push(const vt::win32::backend::Event& e);
Record& Recorded();
// The native id of the window behind a handle, as events name it.
uint32_t IdOf(HWND hWnd);
bool IsShown(HWND hWnd);
void SetBoxesShown(bool shown);  // false: the backend cannot show boxes
void SetClockNanoseconds(int64_t ns);

}  // namespace vt::test::backend
