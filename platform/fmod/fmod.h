// The FSOUND_ subset the show calls: one MP3 sample, played once, and the
// spectrum analyser. Built on libmpg123 (decoding), SDL2 audio (playback)
// and kissfft (spectrum).
//
//   FSOUND_Init(44100, 32, 0);
//   FSOUND_SAMPLE* s = FSOUND_Sample_Load(FSOUND_FREE, "intro.mp3", FSOUND_LOOP_OFF, 0);
//   FSOUND_PlaySound(FSOUND_FREE, s);
//   FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
//   float* bands = FSOUND_DSP_GetSpectrum();  // 512 magnitudes, 0..1, low to high
//   FSOUND_Close();
// No audio device or no file: everything stays silent, the spectrum flat,
// and no call fails loudly.
#pragma once

#define FSOUND_FREE -1
#define FSOUND_LOOP_OFF 0x00000001
#define FSOUND_SPECTRUM_BANDS 512

struct FSOUND_SAMPLE;
struct FSOUND_DSPUNIT;

signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags);
void FSOUND_Close();
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* nameOrData, unsigned int mode, int memLength);
// Returns the channel number, or -1 when nothing can play.
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample);
FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit();
signed char FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, signed char active);
// Magnitudes of the most recently played samples; never null.
float* FSOUND_DSP_GetSpectrum();
