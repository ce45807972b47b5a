// The sound output on SDL2 audio: a device callback on SDL's audio thread
// pulls the music; the play position is the frames it has handed over.
#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/fmod/output.h"

namespace vt::fmod::output {
namespace {

constexpr Uint16 kDeviceFrames = 1024;  // about 23 ms per callback at 44.1 kHz

struct Device {
    bool driverForced = false;  // the audio driver hint is ours
    bool subsystem = false;
    SDL_AudioDeviceID id = 0;
    int rate = 0;
    Source source = nullptr;
    void* user = nullptr;
    std::atomic<int64_t> handedOver{0};
};

Device& D() {
    static Device device;
    return device;
}

void Callback(void* userdata, Uint8* stream, int len) {
    auto* d = static_cast<Device*>(userdata);
    const size_t frames = static_cast<size_t>(len) / (2 * sizeof(int16_t));
    d->source(d->user, d->handedOver.load(), frames, reinterpret_cast<int16_t*>(stream));
    d->handedOver += static_cast<int64_t>(frames);
}

void CloseDevice(Device& d) {
    if (d.id) SDL_CloseAudioDevice(d.id);  // waits for the callback to finish
    d.id = 0;
    d.rate = 0;
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

}  // namespace

bool Start(bool silent) {
    Device& d = D();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // as the window layer does
    // Over SDL_AUDIODRIVER too: silence was asked for on the command line.
    if (silent)
        d.driverForced = SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    else if (d.driverForced)
        d.driverForced = !SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    QuietStderr quiet;
    d.subsystem = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return d.subsystem;
}

void Stop() {
    Device& d = D();
    CloseDevice(d);
    if (d.subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    d.subsystem = false;
    d.handedOver = 0;
}

// Stereo 16-bit at `rate`; SDL converts to whatever the hardware wants.
bool OpenDevice(int rate, Source source, void* user) {
    Device& d = D();
    CloseDevice(d);
    d.source = source;
    d.user = user;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kDeviceFrames;
    want.callback = Callback;
    want.userdata = &d;
    SDL_AudioSpec have{};
    QuietStderr quiet;
    d.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!d.id) return false;
    d.rate = rate;
    return true;
}

int DeviceRate() { return D().rate; }

void Rewind() { D().handedOver = 0; }

void Resume() {
    if (D().id) SDL_PauseAudioDevice(D().id, 0);
}

int64_t Position() { return D().handedOver.load(); }

void Lock() {
    if (D().id) SDL_LockAudioDevice(D().id);
}

void Unlock() {
    if (D().id) SDL_UnlockAudioDevice(D().id);
}

}  // namespace vt::fmod::output
