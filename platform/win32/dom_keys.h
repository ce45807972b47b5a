// Browser keyboard events in the window layer's terms: the virtual key of a
// DOM KeyboardEvent, and whether Windows flags that key as extended.
//
//   bool extended = false;
//   WPARAM vk = vt::win32::VirtualKeyFromDom(e.code, e.key, &extended);
#pragma once

#include "platform/win32/win32.h"

namespace vt::win32 {

// `code` names the physical key ("KeyA", "F2", "NumpadEnter"), `key` what it
// types ("a", "Escape"); either may be null. Letters follow `key` when it is
// one, so that they follow the keyboard's layout as on the desktop. 0 for
// keys the layer does not report.
WPARAM VirtualKeyFromDom(const char* code, const char* key, bool* extended);

}  // namespace vt::win32
