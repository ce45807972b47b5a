// Where the sound layer's music goes: the same short list in each backend
// (output_sdl.cpp on the desktop, output_web.cpp on Web Audio), so decoding,
// the play position's use and the spectrum are one code for both.
//
// The output pulls stereo 16-bit frames from a source as it needs them (on
// SDL's audio thread, or between the browser's animation frames) and keeps
// the play position: the frames heard since the last Rewind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vt::fmod::output {

// Fills `frames` frames from frame `first` (counted from the last Rewind).
using Source = void (*)(void* user, int64_t first, size_t frames, int16_t* stereo);

// Starts the sound system; false without one. `silent`: a device that takes
// the music at the real rate and plays nothing.
bool Start(bool silent);
// Closes the device and the sound system.
void Stop();
// Opens (or reopens) the device at `rate` Hz, paused; false when refused.
bool OpenDevice(int rate, Source source, void* user);
// The open device's rate, 0 when none is open.
int DeviceRate();
// Starts pulling from frame 0 again (the caller holds the lock), and lets
// the device play.
void Rewind();
void Resume();
// The play position in frames since the last Rewind, from the device's own
// clock where it has one; never more than the frames handed over.
int64_t Position();
// Keeps the source from being called (for changing what it reads).
void Lock();
void Unlock();

}  // namespace vt::fmod::output
