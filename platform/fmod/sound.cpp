// FSOUND_ on the sound output (output.h): samples are checked by one whole
// decode at load time and decoded again as they play, one at a time, as the
// output pulls them; the spectrum is taken from the frames before the play
// position.
//
// Play position: with a device, what the output reports as heard; in
// virtual time, (win32 clock - start clock) * rate, so that offline
// captures hear exactly what their frame times imply.
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"
#include "platform/fmod/internal.h"
#include "platform/fmod/output.h"
#include "platform/win32/host.h"
#include "platform/win32/paths.h"

struct FSOUND_SAMPLE {
    vt::fmod::detail::Music music;
    // What plays and what the spectrum reads, decoded as it goes. With a
    // device, used only with the device locked (the callback decodes).
    std::unique_ptr<vt::fmod::detail::Mp3Stream> stream;
};

struct FSOUND_DSPUNIT {
    bool active = false;
};

namespace vt::fmod {
namespace {

constexpr int kDefaultRate = 44100;

struct Sound {
    bool virtualTime = false;  // the setting for the next FSOUND_Init
    bool silent = false;       // likewise
    bool initialised = false;
    bool virtualNow = false;   // what the current FSOUND_Init chose
    bool output = false;       // the output is started
    int mixRate = kDefaultRate;

    std::vector<std::unique_ptr<FSOUND_SAMPLE>> samples;
    // Read by the output's source; changed only with the output locked.
    const FSOUND_SAMPLE* playing = nullptr;
    double startClock = -1.0;

    FSOUND_DSPUNIT fft;
    float bands[FSOUND_SPECTRUM_BANDS] = {};
    // What `bands` was computed for, to skip work when nothing moved.
    const FSOUND_SAMPLE* bandsSample = nullptr;
    int64_t bandsEnd = -1;
};

Sound& S() {
    static Sound sound;
    return sound;
}

// The output's source: the next stretch of the music, silence after its end.
void Feed(void* userdata, int64_t first, size_t frames, int16_t* out) {
    auto* s = static_cast<Sound*>(userdata);
    std::fill(out, out + 2 * frames, int16_t{0});
    if (!s->playing) return;
    s->playing->stream->Read(first, frames, out);
}

bool IsOurs(const FSOUND_SAMPLE* sample) {
    for (const auto& p : S().samples) {
        if (p.get() == sample) return true;
    }
    return false;
}

// The frame the listener is at; negative before the music starts.
int64_t PlayPosition(const Sound& s) {
    if (!s.playing) return -1;
    if (s.virtualNow) {
        // floor((clock - start) * rate), nudged so that exact frame times
        // are not lost to rounding just below the integer.
        const double frames = (win32::ClockSeconds() - s.startClock) * s.playing->music.rate;
        return static_cast<int64_t>(std::floor(frames + 1e-6));
    }
    return output::Position();
}

}  // namespace

void SetVirtualTime(bool virtualTime) { S().virtualTime = virtualTime; }

void SetSilentOutput(bool silent) { S().silent = silent; }

void AdvanceVirtualPlayback() {
    Sound& s = S();
    if (!s.virtualNow || !s.playing) return;
    const int64_t end = PlayPosition(s);
    if (end <= 0 || static_cast<uint64_t>(end) > s.playing->music.frames) return;
    int16_t last[2];
    s.playing->stream->Read(end - 1, 1, last);
}

double PlayStartClock() { return S().startClock; }

bool IsInitialised() { return S().initialised; }

std::vector<int16_t> DecodedSamples() {
    const Sound& s = S();
    if (s.samples.empty()) return {};
    const detail::Music& music = s.samples.back()->music;
    std::vector<int16_t> out(2 * music.frames);
    detail::Mp3Stream(music).Read(0, music.frames, out.data());
    return out;
}

size_t DecodedFrames() {
    const Sound& s = S();
    return s.samples.empty() ? 0 : s.samples.back()->music.frames;
}

int DecodedRate() {
    const Sound& s = S();
    return s.samples.empty() ? 0 : s.samples.back()->music.rate;
}

}  // namespace vt::fmod

using namespace vt::fmod;

signed char FSOUND_Init(int mixRate, int, unsigned int) {
    Sound& s = S();
    if (s.initialised) return TRUE;
    s.mixRate = mixRate > 0 ? mixRate : kDefaultRate;
    s.virtualNow = s.virtualTime;
    if (!s.virtualNow) {
        // No device is no error to the show: it then runs silent.
        s.output = output::Start(s.silent);
        if (!s.output || !output::OpenDevice(s.mixRate, Feed, &s)) {
            if (s.output) output::Stop();
            s.output = false;
            return FALSE;
        }
    }
    s.initialised = true;
    return TRUE;
}

void FSOUND_Close() {
    Sound& s = S();
    if (s.output) output::Stop();  // waits for the source to return
    s.output = false;
    s.initialised = false;
    s.playing = nullptr;
    s.startClock = -1.0;
    s.samples.clear();
    s.fft.active = false;
    std::fill(std::begin(s.bands), std::end(s.bands), 0.0f);
    s.bandsSample = nullptr;
    s.bandsEnd = -1;
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int, const char* nameOrData, unsigned int, int) {
    if (!nameOrData) return nullptr;
    auto sample = std::make_unique<FSOUND_SAMPLE>();
    if (!detail::LoadMp3(vt::win32::HostPath(nameOrData), &sample->music)) return nullptr;
    sample->stream = std::make_unique<detail::Mp3Stream>(sample->music);
    S().samples.push_back(std::move(sample));
    return S().samples.back().get();
}

int FSOUND_PlaySound(int, FSOUND_SAMPLE* sample) {
    Sound& s = S();
    if (!s.initialised || !sample || !IsOurs(sample)) return -1;
    if (s.virtualNow) {
        s.playing = sample;
    } else {
        if (sample->music.rate != output::DeviceRate() && !output::OpenDevice(sample->music.rate, Feed, &s)) {
            s.playing = nullptr;
            return -1;
        }
        output::Lock();
        s.playing = sample;
        output::Rewind();
        output::Unlock();
        output::Resume();
    }
    s.startClock = vt::win32::ClockSeconds();
    return 0;
}

FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit() { return &S().fft; }

signed char FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, signed char active) {
    if (unit != &S().fft) return FALSE;
    unit->active = active != 0;
    return TRUE;
}

float* FSOUND_DSP_GetSpectrum() {
    Sound& s = S();
    const int64_t end = s.fft.active ? PlayPosition(s) : -1;
    const FSOUND_SAMPLE* sample = end >= 0 ? s.playing : nullptr;
    if (sample == s.bandsSample && end == s.bandsEnd) return s.bands;
    const size_t total = sample ? sample->music.frames : 0;
    if (sample && static_cast<uint64_t>(end) < total + 2 * FSOUND_SPECTRUM_BANDS) {
        // The transform's window: the frames just before the position.
        constexpr size_t kWindow = 2 * FSOUND_SPECTRUM_BANDS;
        int16_t window[2 * kWindow];
        if (s.output) output::Lock();
        sample->stream->Read(end - static_cast<int64_t>(kWindow), kWindow, window);
        if (s.output) output::Unlock();
        ComputeSpectrum(window, kWindow, kWindow, s.bands);
    } else {
        std::fill(std::begin(s.bands), std::end(s.bands), 0.0f);  // nothing, or past the end
    }
    s.bandsSample = sample;
    s.bandsEnd = end;
    return s.bands;
}
