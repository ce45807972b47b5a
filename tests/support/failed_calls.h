// Failed device calls: checks on the results logged, and each of a list of
// calls made to fail in turn.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tests/support/recording_device.h"

namespace vt::test {

// Every call the device logged succeeded (a failed draw would otherwise
// pass silently where the show ignores results).
inline void ExpectNoFailedCalls(const RecordingDevice& dev)
{
    for (const Call& c : dev.Log())
        EXPECT_GE(c.result, 0) << c.method << " failed";
}

// For each method in turn: its next call fails with `hr`, `attempt` runs and
// must return that result, and the device holds no more live resources than
// before (so whatever was made before the failure was released).
template <class Attempt>
void ExpectEachFailurePassedOn(RecordingDevice& dev, std::initializer_list<const char*> methods, HRESULT hr,
                               Attempt attempt)
{
    const int before = dev.LiveResources();
    for (const char* method : methods) {
        SCOPED_TRACE(std::string("failing ") + method);
        dev.FailNext(method, hr);
        EXPECT_EQ(attempt(), hr);
        EXPECT_EQ(dev.LiveResources(), before);
        dev.ClearFailures();
    }
}

}  // namespace vt::test
