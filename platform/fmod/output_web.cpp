// The sound output on Web Audio: a script processor pulls the music between
// the page's animation frames, on the program's one thread, into an audio
// context running at the music's own rate (the browser resamples for the
// hardware). The play position comes from the context's clock: each block
// handed over is stamped with the context time it will be heard at, and the
// position is read off the latest block that has started, so the pictures
// follow what is heard rather than what was decoded ahead of it.
//
// The processor runs between the page's frames; a frame longer than a block
// leaves the browser a gap it fills with silence. The music then skips what
// the gap should have played instead of falling behind, so it stays in step
// with the clock the pictures follow, as a sound card's would.
//
// Browsers start sound only after a click on the page: the page creates its
// first audio context in its click handler, and contexts made afterwards may
// play.
#include <emscripten/emscripten.h>

#include <vector>

#include "platform/fmod/block_clock.h"
#include "platform/fmod/output.h"

namespace vt::fmod::output {
namespace {

constexpr int kBlockFrames = 4096;  // about 93 ms at 44.1 kHz

struct Device {
    bool started = false;
    bool silent = false;
    int rate = 0;
    Source source = nullptr;
    void* user = nullptr;
    BlockClock clock;  // in context seconds
    std::vector<int16_t> block;
};

Device& D() {
    static Device device;
    return device;
}

}  // namespace
}  // namespace vt::fmod::output

// Called by the processor for each block: fills `frames` stereo frames at
// `stereo` and notes when they will be heard.
extern "C" EMSCRIPTEN_KEEPALIVE int16_t* vt_audio_fill(int frames, double playbackTime) {
    using namespace vt::fmod::output;
    Device& d = D();
    const int64_t first = d.clock.Next(playbackTime, frames, d.rate);
    d.block.assign(2 * static_cast<size_t>(frames), 0);
    if (d.source) d.source(d.user, first, static_cast<size_t>(frames), d.block.data());
    return d.block.data();
}

namespace vt::fmod::output {
namespace {

// clang-format off
EM_JS(int, OpenContext, (int rate, int blockFrames, int silent), {
    var AC = window.AudioContext || window.webkitAudioContext;
    if (!AC) return 0;
    var ctx;
    try { ctx = new AC({ sampleRate: rate, latencyHint: "playback" }); } catch (e) { return 0; }
    var node = ctx.createScriptProcessor(blockFrames, 0, 2);
    node.onaudioprocess = function(ev) {
        var out = ev.outputBuffer;
        var n = out.length;
        var ptr = Module._vt_audio_fill(n, ev.playbackTime) >> 1;
        var left = out.getChannelData(0), right = out.getChannelData(1);
        var heap = Module.HEAP16;
        var gain = silent ? 0 : 1 / 32768;
        for (var i = 0; i < n; i++) {
            left[i] = heap[ptr + 2 * i] * gain;
            right[i] = heap[ptr + 2 * i + 1] * gain;
        }
    };
    node.connect(ctx.destination);
    ctx.suspend();
    Module.vtAudio = { ctx: ctx, node: node };
    return 1;
});

EM_JS(void, CloseContext, (), {
    if (!Module.vtAudio) return;
    try { Module.vtAudio.node.disconnect(); Module.vtAudio.ctx.close(); } catch (e) {}
    Module.vtAudio = null;
});

EM_JS(void, ResumeContext, (), {
    if (Module.vtAudio) Module.vtAudio.ctx.resume();
});

// The context time being heard now: the output's own timestamp where the
// browser gives one (it allows for the hardware's latency), else its clock.
EM_JS(double, HeardContextTime, (), {
    if (!Module.vtAudio) return -1;
    var ctx = Module.vtAudio.ctx;
    if (ctx.getOutputTimestamp) {
        var t = ctx.getOutputTimestamp().contextTime;
        if (t > 0) return t;
    }
    return ctx.currentTime;
});
// clang-format on

}  // namespace

bool Start(bool silent) {
    Device& d = D();
    d.started = true;
    d.silent = silent;
    return true;
}

void Stop() {
    Device& d = D();
    CloseContext();
    d.started = false;
    d.rate = 0;
    d.source = nullptr;
    d.clock.Reset();
}

bool OpenDevice(int rate, Source source, void* user) {
    Device& d = D();
    d.rate = 0;
    CloseContext();  // a context of an earlier open
    if (!OpenContext(rate, kBlockFrames, d.silent ? 1 : 0)) return false;
    d.rate = rate;
    d.source = source;
    d.user = user;
    d.clock.Reset();
    return true;
}

int DeviceRate() { return D().rate; }

void Rewind() {
    Device& d = D();
    d.clock.Reset();
}

void Resume() { ResumeContext(); }

int64_t Position() {
    const Device& d = D();
    if (d.clock.HandedOver() == 0) return 0;
    return d.clock.Position(HeardContextTime(), d.rate);
}

// One thread: the processor never runs while the program does.
void Lock() {}
void Unlock() {}

}  // namespace vt::fmod::output
