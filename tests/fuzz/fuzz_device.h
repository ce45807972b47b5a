// The device the fuzz targets load into: the recording device, as small as
// it goes (4 x 4 back buffer, no depth buffer), since only the loaders run.
#pragma once

#include "tests/support/recording_device.h"

namespace vt::fuzz {

inline vt::test::RecordingDevice::Options SmallDevice()
{
    vt::test::RecordingDevice::Options small;
    small.width = small.height = 4;
    small.depthBuffer = false;
    return small;
}

}  // namespace vt::fuzz
