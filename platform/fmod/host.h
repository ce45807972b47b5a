// Host-side controls of the sound layer: for the programs and tests.
//
//   vt::fmod::SetVirtualTime(true);  // before FSOUND_Init: no audio device;
//                                    // the play position follows the win32
//                                    // layer's clock (vt::win32::ClockSeconds)
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vt::fmod {

void SetVirtualTime(bool virtualTime);

// Silent output, before FSOUND_Init: the music plays to SDL's dummy audio
// driver, which takes it at the real rate and plays nothing, so the play
// position and the spectrum run as with a sound card.
void SetSilentOutput(bool silent);

// Whether FSOUND_Init has run and FSOUND_Close has not since.
bool IsInitialised();

// With virtual time no sound device consumes the music, so nothing decodes it
// as it plays: call this once a frame, after setting the clock, to decode up
// to the play position as a device would have. Otherwise the first spectrum
// read after minutes of music decodes all of them in that one frame.
void AdvanceVirtualPlayback();

// Seconds on the win32 clock at which FSOUND_PlaySound started the music;
// negative while nothing has been started.
double PlayStartClock();

// The music of the last loaded sample decoded whole (interleaved stereo
// 16-bit at the file's rate; the sound layer itself never holds it whole),
// empty when none is loaded; its length in frames, and its rate.
std::vector<int16_t> DecodedSamples();
size_t DecodedFrames();
int DecodedRate();

// Spectrum of interleaved stereo samples ending at frame `endFrame`: the
// same transform FSOUND_DSP_GetSpectrum applies (exposed for tests).
void ComputeSpectrum(const int16_t* stereo, size_t frames, size_t endFrame, float* bands512);

}  // namespace vt::fmod
