// A small offline synthesiser: a mix of buses, note-level instruments that
// render straight into it, and the whole-track effects (reverb, delay,
// limiter). Times are in seconds of music, levels linear (1.0 = full scale).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mk::dsp {

constexpr float kSr = 44100.0f;

// 440 * 2^((note - 69) / 12): MIDI note number to Hz.
float noteHz(float note);

// Where a voice goes: level, pan (-1 left .. 1 right), effect sends and
// whether the kick's side-chain ducks it.
struct Send {
    float gain = 1.0f;
    float pan = 0.0f;
    float reverb = 0.0f;
    float delay = 0.0f;
    bool duck = false;
};

class Mix {
public:
    explicit Mix(double seconds);
    size_t frames() const { return n_; }
    size_t index(double t) const;

    // Adds one stereo sample at frame i through a send.
    void put(size_t i, float l, float r, const Send& s)
    {
        if (i >= n_) return;
        const float g = s.gain * (s.duck ? duck_[i] : 1.0f);
        const float pl = s.pan > 0 ? 1 - s.pan : 1.0f, pr = s.pan < 0 ? 1 + s.pan : 1.0f;
        const float L = l * g * pl, R = r * g * pr;
        mainL_[i] += L;
        mainR_[i] += R;
        if (s.reverb > 0) {
            revL_[i] += L * s.reverb;
            revR_[i] += R * s.reverb;
        }
        if (s.delay > 0) {
            dlyL_[i] += L * s.delay;
            dlyR_[i] += R * s.delay;
        }
    }

    // Side-chain: each kick pulls ducked voices down by depth, recovering over
    // release seconds (1 - depth * exp(-dt / release)); the deepest kick wins.
    void duckAt(double t, float depth, float release);

    // Renders the effects and returns the interleaved stereo result, with
    // `automation` applied to the master level (gain per frame).
    std::vector<float> finish(double delaySeconds, float delayFeedback);

    // Master low-pass automation: cut-off in Hz per frame (set via ramp).
    void masterCutoff(double t0, double t1, float hz0, float hz1);
    // Master level automation: multiplies the level between t0 and t1 by a
    // ramp from g0 to g1 (and by g1 after t1 when hold is true).
    void masterGain(double t0, double t1, float g0, float g1, bool hold);

private:
    size_t n_;
    std::vector<float> mainL_, mainR_, revL_, revR_, dlyL_, dlyR_, duck_, cutoff_, level_;
};

// --- building blocks -------------------------------------------------------

// Band-limited sawtooth by polyBLEP: 2 phase - 1 with the step smoothed over
// one sample; phase in [0, 1), dt = Hz / sample rate.
float sawBlep(double phase, double dt);
// Band-limited square (duty 0.5) from two polyBLEP steps.
float squareBlep(double phase, double dt);

// Topology-preserving state-variable filter (Zavalishin); one sample in,
// low/band/high outputs. Cut-off in Hz, resonance k = 1/Q (2 = no peak).
struct Svf {
    float ic1 = 0, ic2 = 0;
    float lp = 0, bp = 0, hp = 0;
    void run(float x, float hz, float k);

private:
    // Coefficients are recomputed only when the cut-off or k moves by more
    // than a fraction of a percent: the tangent is the costly part.
    float hz_ = -1, k_ = -1, a1_ = 0, a2_ = 0, a3_ = 0;
};

// White noise from a 32-bit xorshift, in [-1, 1].
struct Noise {
    uint32_t s;
    explicit Noise(uint32_t seed) : s(seed ? seed : 1) {}
    float next()
    {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return static_cast<float>(s) / 2147483648.0f - 1.0f;
    }
};

// Linear attack a, exponential-ish decay to sustain level s over d, release r
// after the note's length len; t is time since the note started.
float adsr(float t, float len, float a, float d, float s, float r);

// --- instruments: each renders one event into the mix ---------------------

void kick(Mix& m, double t, float level, float bodyHz = 52.0f, float decay = 0.38f);
void clap(Mix& m, double t, float level, uint32_t seed);
void snare(Mix& m, double t, float level, uint32_t seed);
void hat(Mix& m, double t, float level, bool open, uint32_t seed);
void crash(Mix& m, double t, float level, float length, uint32_t seed);
// Low sine drop with a click: the "boom" under a big accent.
void boom(Mix& m, double t, float level, float length = 2.5f);
// A water drop: a short sine whose pitch rises quickly, with an echo tail.
void drop(Mix& m, double t, float level, float hz, float pan);
// Noise swell rising to an accent at tEnd (like a cymbal played backwards).
void swell(Mix& m, double tStart, double tEnd, float level, uint32_t seed);
// Rising noise and pitch sweep from t0 to t1.
void riser(Mix& m, double t0, double t1, float level, uint32_t seed);
// Band-passed noise sweeping up and back down over its length.
void whoosh(Mix& m, double t, float length, float level, float pan, uint32_t seed);

struct BassTone {
    float cutoff = 600;      // filter base, Hz
    float envAmount = 1800;  // extra cut-off at the attack, Hz
    float envDecay = 0.12f;  // seconds
    float reso = 0.6f;       // k of the SVF (lower = more resonant)
    float sub = 0.6f;        // level of the sine an octave down... (at the note)
    float drive = 1.5f;      // soft saturation
};
void bass(Mix& m, double t, float len, float note, float level, const BassTone& tone, const Send& send);

// Supersaw pad: voices detuned around each note, stereo-spread, slow envelope.
void pad(Mix& m, double t, float len, const std::vector<float>& notes, float level, float brightness,
         const Send& send, float attack = 0.8f, float release = 1.5f);
// Plucked saw/square through a decaying low-pass: arps.
void pluck(Mix& m, double t, float len, float note, float level, float brightness, const Send& send);
// Two-operator FM bell: carrier at the note, modulator at 3.5x, index decaying.
void bell(Mix& m, double t, float note, float level, float length, const Send& send);
// Lead: two detuned saws and a square an octave up, vibrato after onset.
void lead(Mix& m, double t, float len, float note, float level, float brightness, const Send& send);
// Sustained low drone with slow beating, for the opening.
void drone(Mix& m, double t, float len, float note, float level);

}  // namespace mk::dsp
