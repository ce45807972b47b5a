// FSOUND_ on SDL2 audio: samples are checked by one whole decode at load
// time and decoded again as they play, one at a time, through the device
// callback; the spectrum is taken from the frames before the play position.
//
// Play position: with a device, the frames the callback has handed over;
// in virtual time, (win32 clock - start clock) * rate, so that offline
// captures hear exactly what their frame times imply.
#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"
#include "platform/fmod/internal.h"
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
constexpr Uint16 kDeviceFrames = 1024;  // about 23 ms per callback at 44.1 kHz

struct Sound {
    bool virtualTime = false;  // the setting for the next FSOUND_Init
    bool silent = false;       // likewise
    bool driverForced = false;  // the audio driver hint is ours
    bool initialised = false;
    bool virtualNow = false;   // what the current FSOUND_Init chose
    bool audioSubsystem = false;
    SDL_AudioDeviceID device = 0;
    int deviceRate = 0;
    int mixRate = kDefaultRate;

    std::vector<std::unique_ptr<FSOUND_SAMPLE>> samples;
    // Read by the device callback; changed only with the device locked.
    const FSOUND_SAMPLE* playing = nullptr;
    std::atomic<int64_t> consumed{0};
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

// Device callback: the next stretch of the music, silence after its end.
void Feed(void* userdata, Uint8* stream, int len) {
    auto* s = static_cast<Sound*>(userdata);
    auto* out = reinterpret_cast<int16_t*>(stream);
    const size_t frames = static_cast<size_t>(len) / (2 * sizeof(int16_t));
    std::fill(out, out + 2 * frames, int16_t{0});
    if (!s->playing) return;
    s->playing->stream->Read(s->consumed.load(), frames, out);
    s->consumed += static_cast<int64_t>(frames);
}

void CloseDevice(Sound& s) {
    if (s.device) SDL_CloseAudioDevice(s.device);  // waits for the callback to finish
    s.device = 0;
    s.deviceRate = 0;
}

// Opens the output at `rate` Hz, stereo 16-bit; SDL converts to whatever
// the hardware wants. Paused until something plays.
bool OpenDevice(Sound& s, int rate) {
    CloseDevice(s);
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kDeviceFrames;
    want.callback = Feed;
    want.userdata = &s;
    SDL_AudioSpec have{};
    s.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!s.device) return false;
    s.deviceRate = rate;
    return true;
}

// Silences stderr for its lifetime. Audio back ends (ALSA above all) print
// pages of errors when a machine has no sound card, and a machine without
// one is supposed to run silent and say nothing.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, 2);
        if (null >= 0) ::close(null);
    }
    ~QuietStderr() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

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
    return s.consumed.load();
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
        // No device is no error: the show then runs silent.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // as the window layer does
        // Over SDL_AUDIODRIVER too: silence was asked for on the command line.
        if (s.silent)
            s.driverForced = SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        else if (s.driverForced)
            s.driverForced = !SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        QuietStderr quiet;
        s.audioSubsystem = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!s.audioSubsystem || !OpenDevice(s, s.mixRate)) {
            if (s.audioSubsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
            s.audioSubsystem = false;
            return FALSE;
        }
    }
    s.initialised = true;
    return TRUE;
}

void FSOUND_Close() {
    Sound& s = S();
    CloseDevice(s);
    if (s.audioSubsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s.audioSubsystem = false;
    s.initialised = false;
    s.playing = nullptr;
    s.consumed = 0;
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
        if (sample->music.rate != s.deviceRate && !OpenDevice(s, sample->music.rate)) {
            s.playing = nullptr;
            return -1;
        }
        SDL_LockAudioDevice(s.device);
        s.playing = sample;
        s.consumed = 0;
        SDL_UnlockAudioDevice(s.device);
        SDL_PauseAudioDevice(s.device, 0);
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
        if (s.device) SDL_LockAudioDevice(s.device);
        sample->stream->Read(end - static_cast<int64_t>(kWindow), kWindow, window);
        if (s.device) SDL_UnlockAudioDevice(s.device);
        ComputeSpectrum(window, kWindow, kWindow, s.bands);
    } else {
        std::fill(std::begin(s.bands), std::end(s.bands), 0.0f);  // nothing, or past the end
    }
    s.bandsSample = sample;
    s.bandsEnd = end;
    return s.bands;
}
