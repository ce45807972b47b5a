// How many pieces of machine code the GL driver has started to build in this
// process, for drivers that build theirs with LLVM (Mesa's llvmpipe): one for
// each shader or pipeline variant it meets for the first time. A cold first
// run pays tens of milliseconds for each, so a test can ask that a stretch of
// drawing builds none.
#pragma once

#include <cstdint>

namespace vt::d3d8::test {

uint64_t DriverCodeBuilds();

}  // namespace vt::d3d8::test
