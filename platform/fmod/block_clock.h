// The play position of an output that is handed blocks of music, each
// stamped with the time on the output's clock at which it starts playing
// (Web Audio's script processor). Frames count from the last Reset.
//
//   BlockClock clock;
//   int64_t first = clock.Next(playbackTime, 4096, 44100);  // fill frames from `first`
//   int64_t heard = clock.Position(now, 44100);
//
// A block stamped later than the frames before it can fill (the program was
// busy and the output played silence meanwhile) starts where the music
// should be by then: the music skips the gap rather than falling behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vt::fmod {

class BlockClock {
public:
    void Reset();
    // The first frame of the next block, `frames` long, heard from `time`
    // seconds on at `rate` Hz.
    int64_t Next(double time, int frames, int rate);
    // Frames heard by `now`: from the latest block already playing, never
    // more than handed over; 0 before the first block plays.
    int64_t Position(double now, int rate) const;
    int64_t HandedOver() const { return handedOver_; }

private:
    struct Stamp {
        double time;
        int64_t frame;
    };
    static constexpr size_t kStamps = 16;
    std::vector<Stamp> stamps_;  // oldest first, at most kStamps
    int64_t handedOver_ = 0;
    bool anchored_ = false;
    double origin_ = 0.0;  // time of frame 0
};

}  // namespace vt::fmod
