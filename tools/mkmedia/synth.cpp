#include "synth.h"

#include <algorithm>
#include <cmath>

namespace mk::dsp {

namespace {

constexpr double kTwoPi = 6.283185307179586;

float softClip(float x) { return std::tanh(x); }

}  // namespace

float noteHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

// --- mix -------------------------------------------------------------------

Mix::Mix(double seconds)
    : n_(static_cast<size_t>(seconds * kSr)), mainL_(n_), mainR_(n_), revL_(n_), revR_(n_), dlyL_(n_), dlyR_(n_),
      duck_(n_, 1.0f), cutoff_(n_, 20000.0f), level_(n_, 1.0f)
{
}

size_t Mix::index(double t) const
{
    if (t <= 0) return 0;
    return std::min(n_, static_cast<size_t>(t * kSr + 0.5));
}

void Mix::duckAt(double t, float depth, float release)
{
    const size_t i0 = index(t), i1 = std::min(n_, i0 + static_cast<size_t>(release * 5 * kSr));
    for (size_t i = i0; i < i1; ++i) {
        const float dt = static_cast<float>(i - i0) / kSr;
        duck_[i] = std::min(duck_[i], 1.0f - depth * std::exp(-dt / release));
    }
}

void Mix::masterCutoff(double t0, double t1, float hz0, float hz1)
{
    const size_t i0 = index(t0), i1 = std::max(i0 + 1, index(t1));
    for (size_t i = i0; i < std::min(i1, n_); ++i) {
        const float f = static_cast<float>(i - i0) / (i1 - i0);
        cutoff_[i] = hz0 * std::pow(hz1 / hz0, f);  // exponential sweep sounds even
    }
}

void Mix::masterGain(double t0, double t1, float g0, float g1, bool hold)
{
    const size_t i0 = index(t0), i1 = std::max(i0 + 1, index(t1));
    for (size_t i = i0; i < n_; ++i) {
        if (i >= i1 && !hold) break;
        const float f = std::min(1.0f, static_cast<float>(i - i0) / (i1 - i0));
        level_[i] *= g0 + (g1 - g0) * f;
    }
}

namespace {

// Feedback comb with a one-pole low-pass in the loop (damping).
struct Comb {
    std::vector<float> buf;
    size_t pos = 0;
    float store = 0;
    explicit Comb(size_t n) : buf(n) {}
    float run(float x, float feedback, float damp)
    {
        const float y = buf[pos];
        store = y * (1 - damp) + store * damp;
        buf[pos] = x + store * feedback;
        if (++pos == buf.size()) pos = 0;
        return y;
    }
};

// Schroeder all-pass diffuser.
struct Allpass {
    std::vector<float> buf;
    size_t pos = 0;
    explicit Allpass(size_t n) : buf(n) {}
    float run(float x)
    {
        const float b = buf[pos];
        buf[pos] = x + b * 0.5f;
        if (++pos == buf.size()) pos = 0;
        return b - x;
    }
};

// A plate-like room: eight damped combs in parallel, four all-passes in
// series; the right channel uses slightly longer lines for width.
void reverb(std::vector<float>& l, std::vector<float>& r)
{
    static const size_t combLen[8] = {1123, 1193, 1277, 1361, 1423, 1493, 1559, 1621};
    static const size_t apLen[4] = {563, 439, 347, 227};
    const size_t spread = 27;
    std::vector<Comb> cl, cr;
    std::vector<Allpass> al, ar;
    for (size_t n : combLen) {
        cl.emplace_back(n);
        cr.emplace_back(n + spread);
    }
    for (size_t n : apLen) {
        al.emplace_back(n);
        ar.emplace_back(n + spread);
    }
    const float feedback = 0.86f, damp = 0.3f, input = 0.03f;
    for (size_t i = 0; i < l.size(); ++i) {
        const float x = (l[i] + r[i]) * input;
        float yl = 0, yr = 0;
        for (auto& c : cl) yl += c.run(x, feedback, damp);
        for (auto& c : cr) yr += c.run(x, feedback, damp);
        for (auto& a : al) yl = a.run(yl);
        for (auto& a : ar) yr = a.run(yr);
        l[i] = yl;
        r[i] = yr;
    }
}

// Ping-pong echo: left feeds right and back, the loop low-passed.
void pingPong(std::vector<float>& l, std::vector<float>& r, size_t delay, float feedback)
{
    std::vector<float> bl(delay), br(delay);
    size_t pos = 0;
    float lpL = 0, lpR = 0;
    for (size_t i = 0; i < l.size(); ++i) {
        const float outL = bl[pos], outR = br[pos];
        lpL += 0.35f * (outR - lpL);
        lpR += 0.35f * (outL - lpR);
        bl[pos] = (l[i] + r[i]) * 0.5f + lpL * feedback;
        br[pos] = lpR * feedback;
        if (++pos == delay) pos = 0;
        l[i] = outL;
        r[i] = outR;
    }
}

// Look-ahead peak limiter: per-frame gain min(1, ceiling / |x|), spread by a
// window minimum of +-L frames, a slow recovery, then a 2L+1 moving average,
// so the gain at any frame never exceeds what that frame needs.
void limit(std::vector<float>& l, std::vector<float>& r, float ceiling)
{
    const size_t n = l.size(), L = 96;
    std::vector<float> need(n), g(n);
    for (size_t i = 0; i < n; ++i) {
        const float p = std::max(std::fabs(l[i]), std::fabs(r[i]));
        need[i] = p > ceiling ? ceiling / p : 1.0f;
    }
    // Window minimum via a monotonic deque over [i - L, i + L].
    std::vector<uint32_t> dq(n + 1);  // frame indices; a track is far below 2^32 frames
    size_t head = 0, tail = 0;
    size_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        while (next < n && next <= i + L) {
            while (tail > head && need[dq[tail - 1]] >= need[next]) --tail;
            dq[tail++] = static_cast<uint32_t>(next++);
        }
        while (dq[head] + L < i) ++head;
        g[i] = need[dq[head]];
    }
    const float recover = 1.0f / (0.08f * kSr);
    for (size_t i = 1; i < n; ++i) g[i] = std::min(g[i], g[i - 1] + recover);
    std::vector<float> avg(n);
    double sum = 0;
    size_t lo = 0, hi = 0;  // the window [lo, hi) around frame c
    for (size_t c = 0; c < n; ++c) {
        while (hi < std::min(n, c + L + 1)) sum += g[hi++];
        while (lo + L < c) sum -= g[lo++];
        avg[c] = static_cast<float>(sum / static_cast<double>(hi - lo));
    }
    for (size_t i = 0; i < n; ++i) {
        l[i] *= std::min(avg[i], g[i]);
        r[i] *= std::min(avg[i], g[i]);
    }
}

}  // namespace

std::vector<float> Mix::finish(double delaySeconds, float delayFeedback)
{
    reverb(revL_, revR_);
    pingPong(dlyL_, dlyR_, static_cast<size_t>(delaySeconds * kSr), delayFeedback);
    std::vector<float> l(n_), r(n_);
    Svf fl, fr;
    float dcL = 0, dcR = 0;
    for (size_t i = 0; i < n_; ++i) {
        float a = mainL_[i] + revL_[i] + dlyL_[i];
        float b = mainR_[i] + revR_[i] + dlyR_[i];
        if (cutoff_[i] < 19000.0f) {
            fl.run(a, cutoff_[i], 1.2f);
            fr.run(b, cutoff_[i], 1.2f);
            a = fl.lp;
            b = fr.lp;
        } else {
            fl.run(a, 19000.0f, 1.2f);  // keep the filter state current
            fr.run(b, 19000.0f, 1.2f);
        }
        // DC blocker (one-pole high-pass near 10 Hz).
        dcL += 0.0015f * (a - dcL);
        dcR += 0.0015f * (b - dcR);
        l[i] = (a - dcL) * level_[i];
        r[i] = (b - dcR) * level_[i];
    }
    // Bring the loudest passage to a common level, then limit the peaks.
    float peak = 1e-9f;
    for (size_t i = 0; i < n_; ++i) peak = std::max({peak, std::fabs(l[i]), std::fabs(r[i])});
    const float drive = 1.35f / peak;  // ~2.6 dB of peak reduction at most
    for (size_t i = 0; i < n_; ++i) {
        l[i] *= drive;
        r[i] *= drive;
    }
    const float ceiling = std::pow(10.0f, -2.5f / 20.0f);  // MP3 decoding adds up to ~0.7 dB; stays under -1
    limit(l, r, ceiling);
    std::vector<float> out(2 * n_);
    for (size_t i = 0; i < n_; ++i) {
        out[2 * i] = std::clamp(l[i], -ceiling, ceiling);
        out[2 * i + 1] = std::clamp(r[i], -ceiling, ceiling);
    }
    return out;
}

// --- building blocks -------------------------------------------------------

namespace {

// The polyBLEP residual for a step at phase 0 of a ramp advancing dt per sample.
inline float blep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return static_cast<float>(t + t - t * t - 1.0);
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return static_cast<float>(t * t + t + t + 1.0);
    }
    return 0.0f;
}

}  // namespace

float sawBlep(double phase, double dt) { return static_cast<float>(2.0 * phase - 1.0) - blep(phase, dt); }

float squareBlep(double phase, double dt)
{
    double p2 = phase + 0.5;
    if (p2 >= 1.0) p2 -= 1.0;
    return (phase < 0.5 ? 1.0f : -1.0f) + blep(phase, dt) - blep(p2, dt);
}

void Svf::run(float x, float hz, float k)
{
    hz = std::clamp(hz, 10.0f, kSr * 0.45f);
    if (std::fabs(hz - hz_) > 0.002f * hz_ || k != k_) {
        const float g = std::tan(3.14159265f * hz / kSr);
        a1_ = 1.0f / (1.0f + g * (g + k));
        a2_ = g * a1_;
        a3_ = g * a2_;
        hz_ = hz;
        k_ = k;
    }
    const float v3 = x - ic2;
    const float v1 = a1_ * ic1 + a2_ * v3;
    const float v2 = ic2 + a2_ * ic1 + a3_ * v3;
    ic1 = 2 * v1 - ic1;
    ic2 = 2 * v2 - ic2;
    lp = v2;
    bp = v1;
    hp = x - k * v1 - v2;
}

float adsr(float t, float len, float a, float d, float s, float r)
{
    if (t < 0) return 0;
    float level;
    if (t < a) level = t / a;
    else level = s + (1 - s) * std::exp(-(t - a) / std::max(d, 1e-4f));
    if (t > len) {
        // Release from the level the note had at its end.
        const float atEnd = len < a ? len / a : s + (1 - s) * std::exp(-(len - a) / std::max(d, 1e-4f));
        level = atEnd * std::exp(-(t - len) / std::max(r, 1e-4f));
    }
    return level;
}

// --- percussion ------------------------------------------------------------

void kick(Mix& m, double t, float level, float bodyHz, float decay)
{
    const Send s{level, 0, 0.02f, 0, false};
    const size_t i0 = m.index(t), n = static_cast<size_t>((decay * 4) * kSr);
    double phase = 0;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        // Pitch falls from ~4x the body to the body within ~60 ms.
        const float hz = bodyHz * (1 + 3.2f * std::exp(-tt / 0.03f));
        phase += hz / kSr;
        const float env = std::exp(-tt / decay) * std::min(1.0f, tt * 2000);
        const float click = std::exp(-tt / 0.003f) * 0.4f;
        const float x = softClip(1.6f * static_cast<float>(std::sin(kTwoPi * phase)) * env) + click * env;
        m.put(i0 + k, x, x, s);
    }
    m.duckAt(t, 0.55f, 0.14f);
}

void clap(Mix& m, double t, float level, uint32_t seed)
{
    Noise nz(seed);
    Svf f;
    const Send s{level, 0.05f, 0.25f, 0, false};
    const size_t i0 = m.index(t), n = static_cast<size_t>(0.4f * kSr);
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        // Three quick bursts then the tail: the hands of a clap.
        float env = std::exp(-tt / 0.12f);
        for (int b = 0; b < 3; ++b) {
            const float tb = tt - b * 0.011f;
            if (tb >= 0 && tb < 0.011f) env = std::max(env, std::exp(-tb / 0.004f));
        }
        f.run(nz.next(), 1400, 0.9f);
        m.put(i0 + k, f.bp * env * 2.2f, f.bp * env * 2.2f, s);
    }
}

void snare(Mix& m, double t, float level, uint32_t seed)
{
    Noise nz(seed);
    Svf f;
    const Send s{level, -0.05f, 0.2f, 0, false};
    const size_t i0 = m.index(t), n = static_cast<size_t>(0.3f * kSr);
    double ph = 0;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        ph += (185.0f * (1 + 0.5f * std::exp(-tt / 0.01f))) / kSr;
        f.run(nz.next(), 3200, 1.1f);
        const float tone = static_cast<float>(std::sin(kTwoPi * ph)) * std::exp(-tt / 0.05f);
        const float x = 0.7f * tone + 1.3f * f.bp * std::exp(-tt / 0.09f);
        m.put(i0 + k, x, x, s);
    }
}

void hat(Mix& m, double t, float level, bool open, uint32_t seed)
{
    Noise nz(seed);
    Svf f;
    const float decay = open ? 0.22f : 0.035f;
    const Send s{level, 0.25f, 0.08f, 0, false};
    const size_t i0 = m.index(t), n = static_cast<size_t>(decay * 5 * kSr);
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        f.run(nz.next(), 8000, 0.8f);
        const float x = f.hp * std::exp(-tt / decay);
        m.put(i0 + k, x, x, s);
    }
}

void crash(Mix& m, double t, float level, float length, uint32_t seed)
{
    Noise nz(seed);
    Svf f, g;
    const Send s{level, 0, 0.35f, 0, false};
    const size_t i0 = m.index(t), n = static_cast<size_t>(length * kSr);
    // Metallic partials at inharmonic ratios, added to the noise.
    static const float ratios[6] = {1.0f, 1.483f, 1.932f, 2.546f, 2.63f, 3.897f};
    double ph[6] = {};
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        float metal = 0;
        for (int j = 0; j < 6; ++j) {
            ph[j] += 420.0f * ratios[j] / kSr;
            metal += (ph[j] - std::floor(ph[j]) < 0.5) ? 1.0f : -1.0f;
        }
        const float x0 = nz.next() + 0.12f * metal;
        f.run(x0, 5200, 0.7f);
        g.run(nz.next(), 9000, 0.7f);
        const float env = std::exp(-tt / (length * 0.3f)) * std::min(1.0f, tt * 1500);
        m.put(i0 + k, f.hp * env, g.hp * env * 0.9f + f.hp * env * 0.2f, s);
    }
}

void boom(Mix& m, double t, float level, float length)
{
    const Send s{level, 0, 0.1f, 0, false};
    const size_t i0 = m.index(t), n = static_cast<size_t>(length * kSr);
    double ph = 0;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        ph += (38.0f + 60.0f * std::exp(-tt / 0.08f)) / kSr;
        const float x = softClip(1.4f * static_cast<float>(std::sin(kTwoPi * ph))) * std::exp(-tt / (length * 0.35f)) *
                        std::min(1.0f, tt * 800);
        m.put(i0 + k, x, x, s);
    }
    m.duckAt(t, 0.8f, 0.5f);
}

void drop(Mix& m, double t, float level, float hz, float pan)
{
    const Send s{level, pan, 0.45f, 0.35f, false};
    const size_t i0 = m.index(t), n = static_cast<size_t>(0.35f * kSr);
    double ph = 0;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        ph += hz * (1 + 1.4f * (1 - std::exp(-tt / 0.025f))) / kSr;
        const float x = static_cast<float>(std::sin(kTwoPi * ph)) * std::exp(-tt / 0.06f) * std::min(1.0f, tt * 3000);
        m.put(i0 + k, x, x, s);
    }
}

void swell(Mix& m, double tStart, double tEnd, float level, uint32_t seed)
{
    Noise nz(seed);
    Svf f;
    const Send s{level, 0, 0.3f, 0, false};
    const size_t i0 = m.index(tStart), i1 = m.index(tEnd);
    for (size_t i = i0; i < i1; ++i) {
        const float u = static_cast<float>(i - i0) / std::max<size_t>(1, i1 - i0);
        f.run(nz.next(), 2000 + 9000 * u, 0.8f);
        const float x = f.hp * u * u * u;
        m.put(i, x, x, s);
    }
}

void riser(Mix& m, double t0, double t1, float level, uint32_t seed)
{
    Noise nz(seed);
    Svf f;
    const Send s{level, 0, 0.3f, 0.2f, false};
    const size_t i0 = m.index(t0), i1 = m.index(t1);
    double ph1 = 0, ph2 = 0;
    for (size_t i = i0; i < i1; ++i) {
        const float u = static_cast<float>(i - i0) / std::max<size_t>(1, i1 - i0);
        const float hz = 300 * std::pow(2.0f, 3.5f * u);
        f.run(nz.next(), hz * 3, 0.5f);
        ph1 += hz / kSr;
        ph2 += hz * 1.005f / kSr;
        const float tone = 0.25f * (sawBlep(ph1 - std::floor(ph1), hz / kSr) + sawBlep(ph2 - std::floor(ph2), hz / kSr));
        const float x = (f.bp * 1.2f + tone) * u * u;
        m.put(i, x, x, s);
    }
}

void whoosh(Mix& m, double t, float length, float level, float pan, uint32_t seed)
{
    Noise nz(seed);
    Svf f;
    const Send s{level, pan, 0.4f, 0, false};
    const size_t i0 = m.index(t), n = static_cast<size_t>(length * kSr);
    for (size_t k = 0; k < n; ++k) {
        const float u = static_cast<float>(k) / n;
        const float shape = std::sin(3.14159265f * u);
        f.run(nz.next(), 500 + 5000 * shape, 0.4f);
        const float x = f.bp * shape * shape;
        m.put(i0 + k, x, x, s);
    }
}

// --- tonal instruments -----------------------------------------------------

void bass(Mix& m, double t, float len, float note, float level, const BassTone& tone, const Send& send)
{
    Send s = send;
    s.gain *= level;
    const float hz = noteHz(note);
    const size_t i0 = m.index(t), n = static_cast<size_t>((len + 0.08f) * kSr);
    Svf f;
    double p1 = 0, p2 = 0.37, ps = 0;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        const float env = adsr(tt, len, 0.004f, 0.25f, 0.75f, 0.03f);
        const double dt = hz / kSr;
        p1 += dt;
        p2 += dt * 1.004;
        ps += dt;
        p1 -= std::floor(p1);
        p2 -= std::floor(p2);
        const float saw = 0.5f * (sawBlep(p1, dt) + sawBlep(p2, dt * 1.004));
        f.run(saw, tone.cutoff + tone.envAmount * std::exp(-tt / tone.envDecay), tone.reso);
        const float body = f.lp + tone.sub * static_cast<float>(std::sin(kTwoPi * ps));
        const float x = softClip(tone.drive * body) * env;
        m.put(i0 + k, x, x, s);
    }
}

void pad(Mix& m, double t, float len, const std::vector<float>& notes, float level, float brightness,
         const Send& send, float attack, float release)
{
    Send s = send;
    s.gain *= level / std::sqrt(static_cast<float>(notes.size()));
    static const float detune[5] = {-0.11f, -0.045f, 0.0f, 0.05f, 0.12f};  // semitones
    static const float spread[5] = {-0.8f, 0.4f, 0.0f, -0.4f, 0.8f};
    const size_t i0 = m.index(t), n = static_cast<size_t>((len + release * 4) * kSr);
    std::vector<float> l(n), r(n);
    for (size_t ni = 0; ni < notes.size(); ++ni) {
        for (int v = 0; v < 5; ++v) {
            const double dt = noteHz(notes[ni] + detune[v]) / kSr;
            double ph = (ni * 5 + v) * 0.1378;
            ph -= std::floor(ph);
            const float gl = 0.5f * (1 - spread[v]), gr = 0.5f * (1 + spread[v]);
            for (size_t k = 0; k < n; ++k) {
                ph += dt;
                if (ph >= 1) ph -= 1;
                const float x = sawBlep(ph, dt);
                l[k] += x * gl;
                r[k] += x * gr;
            }
        }
    }
    Svf fl, fr;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        const float env = adsr(tt, len, attack, 1.0f, 1.0f, release);
        // The filter opens with the envelope and breathes slowly.
        const float cut = 300 + brightness * (800 + 2200 * env) * (1 + 0.2f * std::sin(tt * 1.3f));
        fl.run(l[k], cut, 1.0f);
        fr.run(r[k], cut, 1.0f);
        m.put(i0 + k, fl.lp * env * 0.35f, fr.lp * env * 0.35f, s);
    }
}

void pluck(Mix& m, double t, float len, float note, float level, float brightness, const Send& send)
{
    Send s = send;
    s.gain *= level;
    const double dt = noteHz(note) / kSr;
    const size_t i0 = m.index(t), n = static_cast<size_t>((len + 0.3f) * kSr);
    Svf f;
    double ph = 0.25;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        ph += dt;
        if (ph >= 1) ph -= 1;
        const float x = 0.6f * sawBlep(ph, dt) + 0.4f * squareBlep(ph, dt);
        f.run(x, 250 + brightness * 5000 * std::exp(-tt / 0.09f), 0.9f);
        const float env = adsr(tt, len, 0.002f, 0.18f, 0.25f, 0.12f);
        m.put(i0 + k, f.lp * env * 0.6f, f.lp * env * 0.6f, s);
    }
}

void bell(Mix& m, double t, float note, float level, float length, const Send& send)
{
    Send s = send;
    s.gain *= level;
    const float hz = noteHz(note);
    const size_t i0 = m.index(t), n = static_cast<size_t>(length * kSr);
    double pc = 0, pm = 0;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        pm += hz * 3.5 / kSr;
        const float index = 2.2f * std::exp(-tt / 0.35f);
        pc += hz / kSr;
        const float x = static_cast<float>(std::sin(kTwoPi * pc + index * std::sin(kTwoPi * pm)));
        const float env = std::exp(-tt / (length * 0.3f)) * std::min(1.0f, tt * 2000);
        m.put(i0 + k, x * env * 0.5f, x * env * 0.5f, s);
    }
}

void lead(Mix& m, double t, float len, float note, float level, float brightness, const Send& send)
{
    Send s = send;
    s.gain *= level;
    const float hz = noteHz(note);
    const size_t i0 = m.index(t), n = static_cast<size_t>((len + 0.25f) * kSr);
    Svf f;
    double p1 = 0, p2 = 0.5, p3 = 0.2;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        const float vib = 1 + 0.004f * std::sin(kTwoPi * 5.2f * tt) * std::min(1.0f, std::max(0.0f, tt - 0.2f) * 3);
        const double dt = hz * vib / kSr;
        p1 += dt;
        p2 += dt * 1.006;
        p3 += dt * 2;
        p1 -= std::floor(p1);
        p2 -= std::floor(p2);
        p3 -= std::floor(p3);
        const float x = 0.4f * sawBlep(p1, dt) + 0.4f * sawBlep(p2, dt * 1.006) + 0.2f * squareBlep(p3, dt * 2);
        const float env = adsr(tt, len, 0.01f, 0.3f, 0.7f, 0.15f);
        f.run(x, 600 + brightness * (1500 + 2500 * env), 0.8f);
        m.put(i0 + k, f.lp * env * 0.5f, f.lp * env * 0.5f, s);
    }
}

void drone(Mix& m, double t, float len, float note, float level)
{
    const Send s{level, 0, 0.3f, 0, false};
    const float hz = noteHz(note);
    const size_t i0 = m.index(t), n = static_cast<size_t>(len * kSr);
    double p1 = 0, p2 = 0, p3 = 0;
    Svf f;
    for (size_t k = 0; k < n; ++k) {
        const float tt = k / kSr;
        p1 += hz / kSr;
        p2 += hz * 1.003 / kSr;
        p3 += hz * 2.0 / kSr;
        p1 -= std::floor(p1);
        p2 -= std::floor(p2);
        p3 -= std::floor(p3);
        const float x = 0.5f * static_cast<float>(std::sin(kTwoPi * p1) + std::sin(kTwoPi * p2)) +
                        0.3f * sawBlep(p3, hz * 2.0 / kSr);
        f.run(x, 400 + 250 * std::sin(tt * 0.7f), 1.0f);
        const float env = std::min(1.0f, tt / 3.0f) * std::min(1.0f, std::max(0.0f, len - tt) / 2.0f);
        const float l = f.lp * env, r = f.lp * env * (0.9f + 0.1f * std::sin(tt * 0.9f));
        m.put(i0 + k, l, r, s);
    }
}

}  // namespace mk::dsp
