// Windows-style paths for the layers that open files.
//
//   std::string p = vt::win32::HostPath("data\\meshes\\star.x");  // "data/meshes/star.x"
//   FILE* f = std::fopen(p.c_str(), "rb");
#pragma once

#include <string>

namespace vt::win32 {

// The path with every backslash turned into a slash; "" for null.
std::string HostPath(const char* windowsPath);

}  // namespace vt::win32
