// The browser's play position: blocks of music stamped with the time they
// start playing. What is heard must follow the output's clock, never run
// ahead of the music handed over, and skip, not lag, after the program was
// too busy to fill a block in time.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/fmod/block_clock.h"

namespace {

using vt::fmod::BlockClock;

constexpr int kRate = 44100;
constexpr int kBlock = 4096;
constexpr double kBlockSeconds = double(kBlock) / kRate;

TEST(BlockClock, NothingIsHeardBeforeTheFirstBlockPlays) {
    BlockClock clock;
    EXPECT_EQ(clock.Position(5.0, kRate), 0);
    EXPECT_EQ(clock.Next(2.0, kBlock, kRate), 0);
    EXPECT_EQ(clock.Position(1.999, kRate), 0);
    EXPECT_EQ(clock.Position(2.0, kRate), 0);
    EXPECT_EQ(clock.Position(2.0 + 1000.0 / kRate, kRate), 1000);
    EXPECT_EQ(clock.Position(2.0, 0), 0);  // no rate, no position
}

TEST(BlockClock, BackToBackBlocksFollowTheClockAndNeverPassWhatWasHandedOver) {
    BlockClock clock;
    const double origin = 0.25;
    for (int k = 0; k < 40; ++k)  // more blocks than stamps are kept
        EXPECT_EQ(clock.Next(origin + k * kBlockSeconds, kBlock, kRate), int64_t(k) * kBlock) << k;
    EXPECT_EQ(clock.HandedOver(), int64_t(40) * kBlock);
    // Inside the last blocks the position is the clock's, to the frame.
    for (double t : {38.5, 39.0, 39.75}) {
        const double now = origin + t * kBlockSeconds;
        EXPECT_NEAR(double(clock.Position(now, kRate)), t * kBlock, 1.0) << t;
    }
    // Long after the last block: as far as the music went, no further.
    EXPECT_EQ(clock.Position(origin + 100.0, kRate), int64_t(40) * kBlock);
}

TEST(BlockClock, AGapSkipsTheMusicItSwallowed) {
    BlockClock clock;
    EXPECT_EQ(clock.Next(1.0, kBlock, kRate), 0);
    // The next block comes half a second late: silence played meanwhile.
    const double late = 1.0 + kBlockSeconds + 0.5;
    const int64_t first = clock.Next(late, kBlock, kRate);
    EXPECT_EQ(first, int64_t(std::floor((late - 1.0) * kRate + 0.5)));
    // Heard position keeps the clock's pace through and after the gap.
    int64_t before = -1;
    for (double now = 1.0; now < late + kBlockSeconds; now += 0.01) {
        const int64_t heard = clock.Position(now, kRate);
        EXPECT_GE(heard, before) << now;
        EXPECT_NEAR(double(heard), (now - 1.0) * kRate, 1.0) << now;
        before = heard;
    }
}

TEST(BlockClock, AnEarlyStampNeitherRepeatsNorLosesMusic) {
    BlockClock clock;
    clock.Next(3.0, kBlock, kRate);
    // Stamps jitter: a block stamped a little before the previous one ends
    // still starts where that one stopped.
    EXPECT_EQ(clock.Next(3.0 + kBlockSeconds - 0.002, kBlock, kRate), kBlock);
    EXPECT_EQ(clock.Next(3.0 + 2 * kBlockSeconds, kBlock, kRate), 2 * kBlock);
}

TEST(BlockClock, ResetStartsTheMusicAgainFromTheNextBlock) {
    BlockClock clock;
    clock.Next(1.0, kBlock, kRate);
    clock.Next(1.0 + kBlockSeconds, kBlock, kRate);
    clock.Reset();
    EXPECT_EQ(clock.HandedOver(), 0);
    EXPECT_EQ(clock.Position(10.0, kRate), 0);
    // The new origin is the first block after the reset, however late.
    EXPECT_EQ(clock.Next(9.0, kBlock, kRate), 0);
    EXPECT_EQ(clock.Next(9.0 + kBlockSeconds, kBlock, kRate), kBlock);
    EXPECT_NEAR(double(clock.Position(9.0 + 1.5 * kBlockSeconds, kRate)), 1.5 * kBlock, 1.0);
}

}  // namespace
