// The arrangement: one section per scene (and per key moment inside scene 1
// and scene 5), in D minor, around 135 beats per minute. Each section has its
// own whole number of beats, so every scene change falls on a downbeat.
// Music time is show time minus 5 s (the music starts with scene 1).
#include <cmath>
#include <functional>
#include <vector>

#include "music.h"
#include "base/timeline.h"
#include "synth.h"
#include "texgen.h"

namespace mk {

namespace {

using namespace dsp;

struct Section {
    double start, end;
    int beats;
    double beat() const { return (end - start) / beats; }
    double at(double b) const { return start + b * beat(); }
};

// Music time of a moment of show time, to the millisecond the timeline is
// written in (132.95 - 5 is then the decimal 127.95, not one unit below it).
constexpr double M(double showTime)
{
    return (double)(long long)((showTime - MUSIC_START_S) * 1000.0 + 0.5) / 1000.0;
}

// Moments inside scenes 1 and 5 that the music follows, in music time
// (scene 1's own clock runs with the music).
constexpr double kFadeIn = 10.7;    // the lake fades in from black
constexpr double kSplashes = 42.7;  // the first splash
constexpr double kWhite = 63.75;    // the white flash starts
constexpr double kCard = 65.0;      // the title card
constexpr double kShakeStart = 170.7;  // the tunnel camera shakes with band 3 (175.7 s)

// Scene changes come from the show's timeline.
const Section kNightfall{0.0, kFadeIn, 24};                           // black screen, first lines
const Section kWater{kFadeIn, kSplashes, 72};                         // the lake fades in, fireflies
const Section kCredits{kSplashes, kWhite, 48};                        // splashes at 42.7 and 53.2, rise from 61
const Section kFlash{kWhite, kCard, 3};                               // white
const Section kTitle{kCard, M(SCENE2_START_S), 46};                   // title card
const Section kTunnel{M(SCENE2_START_S), M(SCENE3_START_S), 48};      // scene 2
const Section kLattice{M(SCENE3_START_S), M(SCENE4_START_S), 48};     // scene 3
const Section kBlobs{M(SCENE4_START_S), M(SCENE5_START_S), 48};       // scene 4
const Section kRace{M(SCENE5_START_S), kShakeStart, 48};              // scene 5, first half
const Section kShake{kShakeStart, M(SCENE6_START_S), 48};             // scene 5, camera shakes
const Section kForest{M(SCENE6_START_S), M(SCENE7_START_S), 48};      // scene 6
const Section kPictures{M(SCENE7_START_S), M(SCENE8_START_S), 48};    // scene 7
const Section kStar{M(SCENE8_START_S), M(SCENE9_START_S), 48};        // scene 8
const Section kGreets{M(SCENE9_START_S), M(SCENE10_START_S), 48};     // scene 9
const Section kFinale{M(SCENE10_START_S), M(SHOW_END_S), 32};         // scene 10; silent from the show's end

const Section* const kSections[] = {&kNightfall, &kWater, &kCredits, &kFlash, &kTitle,
                                    &kTunnel,    &kLattice, &kBlobs,  &kRace,  &kShake,
                                    &kForest,    &kPictures, &kStar,  &kGreets, &kFinale};

struct Chord {
    int root;  // MIDI, in the bass octave (A1 .. G#2)
    bool minor;
    int third() const { return root + (minor ? 3 : 4); }
    int fifth() const { return root + 7; }
};
const Chord Dm{38, true}, Bb{34, false}, F{41, false}, C{36, false}, Gm{43, true}, A{33, false}, Am{33, true};

using Prog = std::vector<Chord>;
Chord chordAt(const Prog& p, double beatsPerChord, double beat)
{
    return p[static_cast<size_t>(beat / beatsPerChord) % p.size()];
}

// Open voicing around middle C: root, fifth, octave, tenth.
std::vector<float> voicing(const Chord& c)
{
    const float r = static_cast<float>(c.root + 12);
    return {r, r + 7, r + 12, r + 12 + (c.minor ? 3 : 4)};
}

// The theme: four bars over Dm, Bb, F, C (beat, length, MIDI note).
struct Note {
    float beat, len;
    int note;
};
const Note kTheme[] = {
    {0, 1.5f, 69}, {1.5f, 0.5f, 65}, {2, 1, 74}, {3, 0.5f, 72}, {3.5f, 0.5f, 69},
    {4, 1.5f, 70}, {5.5f, 0.5f, 74}, {6, 1.5f, 77}, {7.5f, 0.5f, 76},
    {8, 1, 77}, {9, 0.5f, 76}, {9.5f, 0.5f, 74}, {10, 1, 72}, {11, 1, 69},
    {12, 1.5f, 67}, {13.5f, 0.5f, 72}, {14, 1, 76}, {15, 1, 74},
};
// The answer: the last bar resolves home.
const Note kThemeEnd[] = {{12, 1, 72}, {13, 1, 76}, {14, 2, 74}};

const Prog kThemeProg{Dm, Bb, F, C};

// Rhythm is scheduled before everything else: the kicks build the side-chain
// curve that ducked voices read when they render.
struct Plan {
    std::vector<std::function<void(Mix&)>> rhythm, rest;
};

struct Drums {
    float kick = 0.9f;       // 0 = none
    int kickEvery = 1;       // beats between kicks (1 = four on the floor)
    bool bouncy = false;     // kick also on the "and" of 3 and the last 16th
    float clap = 0.0f;       // on beats 2 and 4
    float hats = 0.0f;       // closed hats
    int hatDiv = 2;          // per beat: 2 = eighths (off-beats only), 4 = sixteenths
    float open = 0.0f;       // open hat on the off-beats
    float kickHz = 52.0f;
};

void drums(Plan& p, const Section& s, int b0, int b1, const Drums& d, uint32_t seed)
{
    for (int b = b0; b < b1; ++b) {
        const double t = s.at(b);
        if (d.kick > 0 && b % d.kickEvery == 0)
            p.rhythm.push_back([=](Mix& m) { kick(m, t, d.kick, d.kickHz); });
        if (d.kick > 0 && d.bouncy && b % 4 == 2) {
            const double t2 = s.at(b + 0.75);
            p.rhythm.push_back([=](Mix& m) { kick(m, t2, d.kick * 0.7f, d.kickHz); });
        }
        if (d.clap > 0 && b % 2 == 1)
            p.rest.push_back([=](Mix& m) { clap(m, t, d.clap, seed + b); });
        if (d.hats > 0) {
            for (int k = 0; k < d.hatDiv; ++k) {
                if (d.hatDiv == 2 && k == 0) continue;
                const double th = s.at(b + static_cast<double>(k) / d.hatDiv);
                const float lv = d.hats * (k == d.hatDiv / 2 ? 1.0f : 0.55f);
                p.rest.push_back([=](Mix& m) { hat(m, th, lv, false, seed * 7 + b * 4 + k); });
            }
        }
        if (d.open > 0) {
            const double to = s.at(b + 0.5);
            p.rest.push_back([=](Mix& m) { hat(m, to, d.open, true, seed * 11 + b); });
        }
    }
}

// A roll of snares, sixteenths then thirty-seconds, growing louder: the fill
// into a scene change.
void roll(Plan& p, const Section& s, double b0, double b1, float level, uint32_t seed)
{
    const double mid = b0 + (b1 - b0) * 0.5;
    int i = 0;
    for (double b = b0; b < b1 - 1e-9; b += (b < mid ? 0.25 : 0.125), ++i) {
        const float lv = level * static_cast<float>(0.35 + 0.65 * (b - b0) / (b1 - b0));
        const double t = s.at(b);
        p.rest.push_back([=](Mix& m) { snare(m, t, lv, seed + i); });
    }
}

enum class BassStyle { Sustain, Eighths, Octaves, Rolling, Bouncy };

void bassLine(Plan& p, const Section& s, int b0, int b1, const Prog& prog, double perChord, BassStyle style,
              int octave, float level, const BassTone& tone)
{
    const Send send{1.0f, 0, 0.03f, 0, true};
    auto note = [&](double b, double len, int offset) {
        const Chord c = chordAt(prog, perChord, b);
        const double t = s.at(b);
        const float l = static_cast<float>(len * s.beat());
        const float n = static_cast<float>(c.root + 12 * octave + offset);
        p.rest.push_back([=](Mix& m) { bass(m, t, l, n, level, tone, send); });
    };
    for (int b = b0; b < b1; ++b) {
        switch (style) {
            case BassStyle::Sustain:
                if (b % static_cast<int>(perChord) == 0) note(b, perChord * 0.95, 0);
                break;
            case BassStyle::Eighths:
                note(b, 0.4, 0);
                note(b + 0.5, 0.4, 0);
                break;
            case BassStyle::Octaves:
                note(b, 0.4, 0);
                note(b + 0.5, 0.35, 12);
                break;
            case BassStyle::Rolling:
                for (int k = 0; k < 4; ++k) note(b + k * 0.25, 0.2, k == 2 ? 12 : 0);
                break;
            case BassStyle::Bouncy: {
                static const double pos[] = {0, 0.75, 1.5, 2.0, 2.5, 3.25};
                static const int oct[] = {0, 12, 0, 7, 12, 0};
                if (b % 4 == 0)
                    for (int k = 0; k < 6; ++k) note(b + pos[k], 0.3, oct[k]);
                break;
            }
        }
    }
}

void pads(Plan& p, const Section& s, int b0, int b1, const Prog& prog, int perChord, float level, float bright0,
          float bright1, float attack = 0.6f)
{
    const Send send{1.0f, 0, 0.35f, 0, true};
    for (int b = b0; b < b1; b += perChord) {
        const Chord c = chordAt(prog, perChord, b - b0);
        const double t = s.at(b);
        const float len = static_cast<float>(std::min(perChord, b1 - b) * s.beat());
        const float br = bright0 + (bright1 - bright0) * static_cast<float>(b - b0) / std::max(1, b1 - b0);
        const auto notes = voicing(c);
        p.rest.push_back([=](Mix& m) { pad(m, t, len, notes, level, br, send, attack, 1.0f); });
    }
}

enum class ArpVoice { Pluck, Bell };

// Chord tones climbing over two octaves, `step` beats apart.
void arps(Plan& p, const Section& s, int b0, int b1, const Prog& prog, int perChord, double step, ArpVoice voice,
          float level, float bright, int octave, float pan)
{
    static const int shape[8] = {0, 1, 2, 3, 2, 1, 3, 2};
    const Send send{1.0f, pan, 0.2f, 0.3f, voice == ArpVoice::Pluck};
    int i = 0;
    for (double b = b0; b < b1 - 1e-9; b += step, ++i) {
        const Chord c = chordAt(prog, perChord, b - b0);
        const int tones[4] = {c.root, c.third(), c.fifth(), c.root + 12};
        const float n = static_cast<float>(tones[shape[i % 8]] + 12 * octave);
        const double t = s.at(b);
        const float len = static_cast<float>(step * s.beat() * 0.8);
        if (voice == ArpVoice::Pluck) p.rest.push_back([=](Mix& m) { pluck(m, t, len, n, level, bright, send); });
        else p.rest.push_back([=](Mix& m) { bell(m, t, n, level, 1.2f, send); });
    }
}

enum class ThemeVoice { Lead, Bell, Pluck };

// The theme from beat b0, `passes` times (the last pass with the answer).
void theme(Plan& p, const Section& s, int b0, int passes, ThemeVoice voice, float level, int transpose,
           double stretch = 1.0)
{
    const Send send{1.0f, 0.1f, 0.25f, 0.25f, false};
    for (int pass = 0; pass < passes; ++pass) {
        const bool last = pass == passes - 1;
        auto play = [&](const Note& n) {
            const double t = s.at(b0 + (pass * 16 + n.beat) * stretch);
            const float len = static_cast<float>(n.len * s.beat() * stretch * 0.92);
            const float note = static_cast<float>(n.note + transpose);
            if (t >= s.end) return;
            switch (voice) {
                case ThemeVoice::Lead: p.rest.push_back([=](Mix& m) { lead(m, t, len, note, level, 0.7f, send); }); break;
                case ThemeVoice::Bell: p.rest.push_back([=](Mix& m) { bell(m, t, note, level, 1.6f, send); }); break;
                case ThemeVoice::Pluck: p.rest.push_back([=](Mix& m) { pluck(m, t, len, note, level, 0.6f, send); }); break;
            }
        };
        for (const Note& n : kTheme)
            if (!(last && n.beat >= 12)) play(n);
        if (last)
            for (const Note& n : kThemeEnd) play(n);
    }
}

// A scene change with a flash: crash and a low boom on the downbeat.
void accent(Plan& p, double t, float level, uint32_t seed, bool withBoom = true)
{
    p.rest.push_back([=](Mix& m) { crash(m, t, 0.3f * level, 2.8f, seed); });
    if (withBoom) p.rhythm.push_back([=](Mix& m) { boom(m, t, 0.6f * level); });
}

// Water drops at seeded times in [t0, t1).
void drops(Plan& p, double t0, double t1, int n, float level, uint32_t seed)
{
    Rng rng(seed);
    for (int i = 0; i < n; ++i) {
        const double t = t0 + (t1 - t0) * rng.uniform();
        const float hz = rng.range(700, 1500), pan = rng.range(-0.7f, 0.7f);
        p.rest.push_back([=](Mix& m) { drop(m, t, level, hz, pan); });
    }
}

void scoreOpening(Plan& p)
{
    // Nightfall: a drone and a slow chord under the first lines; a bell as
    // each line appears (0, 3.3, 8.5, 10.0 s).
    p.rest.push_back([](Mix& m) { drone(m, 0.0, 13.0f, 38, 0.3f); });
    p.rest.push_back([](Mix& m) { pad(m, 0.0, 10.7f, voicing(Dm), 0.24f, 0.3f, Send{1, 0, 0.5f, 0, false}, 4.0f, 2.0f); });
    const double lineStarts[] = {0.0, 3.3, 8.5, 10.0};
    const int lineNotes[] = {81, 77, 74, 72};
    for (int i = 0; i < 4; ++i) {
        const double t = lineStarts[i] + 0.05;
        const float n = static_cast<float>(lineNotes[i]);
        p.rest.push_back([=](Mix& m) { bell(m, t, n, 0.2f, 2.5f, Send{1, i % 2 ? 0.4f : -0.4f, 0.5f, 0.3f, false}); });
    }
    drops(p, 1.0, 10.0, 6, 0.12f, 31);
    p.rest.push_back([](Mix& m) { swell(m, 7.7, 10.7, 0.25f, 32); });
    accent(p, 10.7, 0.45f, 33, false);

    // The lake: chords, then bass, arps, hats and a soft heartbeat kick.
    const Section& w = kWater;
    const Prog water{Dm, Bb, F, C, Dm, Bb, Gm, A, Dm};
    pads(p, w, 0, 72, water, 8, 0.3f, 0.35f, 0.8f, 1.2f);
    bassLine(p, w, 16, 72, water, 8, BassStyle::Sustain, 0, 0.34f, BassTone{260, 300, 0.3f, 1.0f, 0.8f, 1.2f});
    arps(p, w, 24, 72, water, 8, 0.5, ArpVoice::Pluck, 0.17f, 0.45f, 2, -0.2f);
    drums(p, w, 40, 72, Drums{0, 1, false, 0, 0.05f, 2, 0, 52}, 41);
    drums(p, w, 56, 72, Drums{0.5f, 2, false, 0, 0, 2, 0, 50}, 42);
    drops(p, w.start, w.end, 10, 0.1f, 43);
    p.rest.push_back([](Mix& m) { swell(m, 39.5, 42.7, 0.3f, 44); });

    // The credits: the beat arrives with the first splash (42.7), a second
    // splash at 53.2, the camera rises from 61, black at 62.75, white at 63.75.
    const Section& c = kCredits;
    const Prog credits{Dm, Bb, F, C, Gm, A};
    accent(p, c.start, 0.9f, 51);
    p.rest.push_back([](Mix& m) { drop(m, 42.72, 0.2f, 1100, -0.3f); });
    accent(p, 53.2, 0.7f, 52, false);
    p.rest.push_back([](Mix& m) { drop(m, 53.22, 0.2f, 950, 0.3f); });
    p.rest.push_back([](Mix& m) { drop(m, 53.4, 0.15f, 1400, -0.2f); });
    drums(p, c, 0, 41, Drums{0.85f, 1, false, 0, 0.07f, 4, 0.05f, 52}, 53);
    drums(p, c, 8, 41, Drums{0, 1, false, 0.3f, 0, 2, 0, 52}, 54);
    bassLine(p, c, 0, 41, credits, 8, BassStyle::Octaves, 0, 0.3f, BassTone{450, 1600, 0.1f, 0.6f, 0.6f, 1.5f});
    pads(p, c, 0, 48, credits, 8, 0.17f, 0.5f, 0.8f);
    arps(p, c, 8, 41, credits, 8, 0.25, ArpVoice::Pluck, 0.09f, 0.55f, 2, 0.25f);
    // Bells under "presents" (44.7) and "demo ever" (55.0).
    p.rest.push_back([](Mix& m) { bell(m, 44.7, 74, 0.18f, 2.0f, Send{1, 0.3f, 0.4f, 0.3f, false}); });
    p.rest.push_back([](Mix& m) { bell(m, 55.0, 77, 0.18f, 2.0f, Send{1, -0.3f, 0.4f, 0.3f, false}); });
    roll(p, c, 40, 46.5, 0.35f, 55);
    p.rest.push_back([](Mix& m) { riser(m, 60.6, 62.75, 0.3f, 56); });
    // Black: the riser is cut off and the sound closes down to nothing.
    p.rest.push_back([](Mix& m) { m.masterCutoff(62.75, 63.7, 6000, 500); });

    // White flash and the title card.
    accent(p, kFlash.start, 1.0f, 61);
    p.rest.push_back([](Mix& m) { pad(m, 63.75, 1.25f, {62, 69, 74, 77, 81}, 0.2f, 0.9f, Send{1, 0, 0.6f, 0, false}, 0.02f, 1.5f); });
    p.rest.push_back([](Mix& m) { swell(m, 64.2, 65.0, 0.3f, 62); });

    const Section& t = kTitle;
    accent(p, t.start, 0.9f, 71);
    accent(p, t.at(16), 0.5f, 72, false);  // the logo fades in (72 s)
    drums(p, t, 0, 44, Drums{0.9f, 1, false, 0.32f, 0.08f, 4, 0.06f, 52}, 73);
    bassLine(p, t, 0, 44, kThemeProg, 4, BassStyle::Octaves, 0, 0.3f, BassTone{500, 1800, 0.1f, 0.6f, 0.6f, 1.6f});
    pads(p, t, 0, 46, kThemeProg, 4, 0.15f, 0.6f, 0.8f, 0.3f);
    theme(p, t, 0, 2, ThemeVoice::Lead, 0.22f, 0);
    arps(p, t, 32, 44, kThemeProg, 4, 0.25, ArpVoice::Pluck, 0.1f, 0.6f, 2, 0.3f);
    // The sweeping lines (65, 73, 81 s) get a breath of air each.
    p.rest.push_back([](Mix& m) { whoosh(m, 65.0, 5.0f, 0.1f, -0.4f, 74); });
    p.rest.push_back([](Mix& m) { whoosh(m, 73.0, 5.0f, 0.1f, 0.4f, 75); });
    p.rest.push_back([](Mix& m) { whoosh(m, 81.0, 4.0f, 0.1f, 0.0f, 76); });
    roll(p, t, 44, 46, 0.3f, 77);
    // Dimming at 84.8, white at 85.2.
    p.rest.push_back([](Mix& m) { m.masterCutoff(84.8, 85.3, 12000, 700); });
    p.rest.push_back([](Mix& m) { swell(m, 83.8, 85.3, 0.3f, 78); });
}

void scoreMiddle(Plan& p)
{
    // Scene 2, the tunnel: driving sixteenths.
    const Section& tu = kTunnel;
    const Prog tunnel{Dm, F, C, Bb, Dm, A};
    accent(p, tu.start, 1.0f, 81);
    drums(p, tu, 0, 48, Drums{0.9f, 1, false, 0.3f, 0.07f, 4, 0.06f, 52}, 82);
    bassLine(p, tu, 0, 48, tunnel, 8, BassStyle::Rolling, 0, 0.28f, BassTone{550, 1500, 0.08f, 0.6f, 0.5f, 1.6f});
    pads(p, tu, 0, 48, tunnel, 8, 0.15f, 0.7f, 0.9f);
    arps(p, tu, 0, 48, tunnel, 8, 0.25, ArpVoice::Pluck, 0.08f, 0.7f, 3, -0.3f);
    theme(p, tu, 16, 2, ThemeVoice::Lead, 0.2f, 0);
    p.rest.push_back([](Mix& m) { m.masterCutoff(105.6, 106.6, 15000, 300); });

    // Scene 3, the text lattice: a breakdown of bells and ticking type.
    const Section& la = kLattice;
    const Prog lattice{Bb, F, Gm, Dm, Bb, C};
    pads(p, la, 0, 48, lattice, 8, 0.2f, 0.35f, 0.6f, 1.0f);
    bassLine(p, la, 0, 48, lattice, 8, BassStyle::Sustain, 0, 0.25f, BassTone{220, 200, 0.3f, 1.0f, 0.9f, 1.1f});
    arps(p, la, 0, 48, lattice, 8, 0.5, ArpVoice::Bell, 0.09f, 0, 3, 0.3f);
    {
        Rng rng(91);
        for (double b = 0; b < 40; b += 0.25) {
            if (rng.uniform() > 0.45f) continue;
            const double t = la.at(b);
            const float lv = rng.range(0.03f, 0.07f);
            const uint32_t sd = 900 + static_cast<uint32_t>(b * 4);
            p.rest.push_back([=](Mix& m) { hat(m, t, lv, false, sd); });
        }
    }
    drums(p, la, 32, 48, Drums{0.7f, 2, false, 0, 0.05f, 2, 0, 52}, 92);
    roll(p, la, 40, 48, 0.35f, 93);
    p.rest.push_back([](Mix& m) { riser(m, 124.0, 127.95, 0.25f, 94); });

    // Scene 4, the metaballs: bouncy, resonant, with the white flash up front
    // and the growing outlines (0 s and 4 s into the scene).
    const Section& bl = kBlobs;
    const Prog blobs{Dm, C, Bb, C};
    accent(p, bl.start, 1.0f, 101);
    p.rest.push_back([](Mix& m) { whoosh(m, 127.95, 1.0f, 0.12f, -0.3f, 102); });
    p.rest.push_back([](Mix& m) { whoosh(m, 131.95, 1.5f, 0.12f, 0.3f, 103); });
    drums(p, bl, 0, 48, Drums{0.85f, 2, true, 0.32f, 0.07f, 4, 0, 54}, 104);
    bassLine(p, bl, 0, 48, blobs, 4, BassStyle::Bouncy, 0, 0.32f, BassTone{350, 2600, 0.14f, 0.35f, 0.5f, 1.8f});
    pads(p, bl, 0, 48, blobs, 4, 0.12f, 0.5f, 0.7f, 0.2f);
    theme(p, bl, 32, 1, ThemeVoice::Bell, 0.2f, 12);

    // Scene 5, first half: the race.
    const Section& ra = kRace;
    const Prog race{Dm, Bb, F, C, Dm, A};
    accent(p, ra.start, 1.0f, 111);
    drums(p, ra, 0, 48, Drums{0.95f, 1, false, 0.32f, 0.08f, 4, 0.07f, 52}, 112);
    bassLine(p, ra, 0, 48, race, 8, BassStyle::Octaves, 0, 0.3f, BassTone{600, 1800, 0.08f, 0.6f, 0.6f, 1.7f});
    pads(p, ra, 0, 48, race, 8, 0.14f, 0.7f, 0.9f);
    arps(p, ra, 0, 48, race, 8, 0.25, ArpVoice::Pluck, 0.08f, 0.8f, 3, 0.3f);
    theme(p, ra, 16, 2, ThemeVoice::Lead, 0.2f, 0);
    roll(p, ra, 40, 48, 0.35f, 113);
    p.rest.push_back([](Mix& m) { riser(m, 166.2, 170.7, 0.25f, 114); });

    // Scene 5, second half: the camera shakes with band 3 (~130-170 Hz). The
    // bass moves up an octave (D3 147 Hz, C3 131, B-flat2 117, A2 110) and
    // plays eighths with a strong fundamental; the kick's body sits at 60 Hz.
    const Section& sh = kShake;
    const Prog shake{Dm, Bb, C, A, Dm, Bb};
    accent(p, sh.start, 1.1f, 121);
    drums(p, sh, 0, 46, Drums{1.0f, 1, false, 0.34f, 0.08f, 4, 0.08f, 60}, 122);
    bassLine(p, sh, 0, 46, shake, 8, BassStyle::Eighths, 1, 0.55f, BassTone{700, 1200, 0.06f, 0.7f, 1.3f, 1.4f});
    pads(p, sh, 0, 48, shake, 8, 0.14f, 0.8f, 1.0f);
    arps(p, sh, 0, 46, shake, 8, 0.25, ArpVoice::Pluck, 0.08f, 0.8f, 3, -0.3f);
    theme(p, sh, 0, 2, ThemeVoice::Lead, 0.2f, 12);
    theme(p, sh, 32, 1, ThemeVoice::Bell, 0.15f, 12);
    // The fade to black (190.5 - 192.0).
    p.rest.push_back([](Mix& m) { m.masterCutoff(190.5, 192.0, 8000, 300); });
    p.rest.push_back([](Mix& m) { m.masterGain(190.5, 192.0, 1.0f, 0.4f, false); });
}

void scoreEnding(Plan& p)
{
    // Scene 6, the forest: mellow, fading in from black over two seconds.
    const Section& fo = kForest;
    const Prog forest{F, C, Dm, Bb, F, C};
    p.rest.push_back([](Mix& m) { m.masterGain(192.0, 194.0, 0.3f, 1.0f, false); });
    pads(p, fo, 0, 48, forest, 8, 0.2f, 0.4f, 0.6f, 1.0f);
    bassLine(p, fo, 0, 48, forest, 2, BassStyle::Sustain, 0, 0.26f, BassTone{300, 400, 0.2f, 0.9f, 0.8f, 1.2f});
    drums(p, fo, 0, 48, Drums{0.55f, 2, false, 0, 0.05f, 2, 0, 50}, 131);
    theme(p, fo, 16, 2, ThemeVoice::Pluck, 0.17f, 0);
    drops(p, fo.start, fo.end, 8, 0.08f, 132);
    p.rest.push_back([](Mix& m) { swell(m, 211.5, 213.5, 0.3f, 133); });

    // Scene 7, the credit pictures: flashes at 213.5, 218.8 and 224.0, the
    // greeting picture at 229.3. Each credit gets its own voice.
    const Section& pi = kPictures;
    const Prog pics{Dm, Bb, F, C};
    accent(p, pi.start, 1.0f, 141);
    accent(p, 218.8, 0.6f, 142, false);
    accent(p, 224.0, 0.6f, 143, false);
    p.rest.push_back([](Mix& m) { pad(m, 229.3, 5.4f, {62, 69, 74, 77, 81}, 0.16f, 0.8f, Send{1, 0, 0.5f, 0, true}, 0.3f, 1.5f); });
    drums(p, pi, 0, 48, Drums{0.9f, 1, false, 0.3f, 0.07f, 4, 0.05f, 52}, 144);
    bassLine(p, pi, 0, 48, pics, 4, BassStyle::Octaves, 0, 0.3f, BassTone{500, 1600, 0.1f, 0.6f, 0.6f, 1.6f});
    pads(p, pi, 0, 48, pics, 4, 0.13f, 0.6f, 0.7f, 0.3f);
    arps(p, pi, 0, 12, pics, 4, 0.25, ArpVoice::Pluck, 0.12f, 0.8f, 3, 0.2f);  // code
    arps(p, pi, 12, 24, pics, 4, 0.5, ArpVoice::Bell, 0.14f, 0, 3, -0.2f);     // pictures
    theme(p, pi, 24, 1, ThemeVoice::Lead, 0.22f, 0);                           // sound
    theme(p, pi, 40, 1, ThemeVoice::Bell, 0.16f, 12);                          // hello

    // Scene 8, the chrome star: glassy and bright.
    const Section& st = kStar;
    const Prog star{Bb, C, Dm, Dm, Bb, A};
    accent(p, st.start, 0.8f, 151);
    drums(p, st, 0, 48, Drums{0.9f, 1, false, 0.3f, 0.08f, 4, 0.06f, 52}, 152);
    bassLine(p, st, 0, 48, star, 8, BassStyle::Eighths, 0, 0.3f, BassTone{500, 1500, 0.1f, 0.6f, 0.7f, 1.6f});
    pads(p, st, 0, 48, star, 8, 0.14f, 0.7f, 0.8f);
    arps(p, st, 0, 48, star, 8, 0.25, ArpVoice::Bell, 0.08f, 0, 3, 0.3f);
    theme(p, st, 16, 2, ThemeVoice::Lead, 0.18f, 0);

    // Scene 9, the greetings: the anthem, then the rise to white (274.4-277.4).
    const Section& gr = kGreets;
    accent(p, gr.start, 0.9f, 161);
    drums(p, gr, 0, 44, Drums{0.95f, 1, false, 0.33f, 0.08f, 4, 0.07f, 52}, 162);
    bassLine(p, gr, 0, 44, kThemeProg, 4, BassStyle::Octaves, 0, 0.3f, BassTone{550, 1800, 0.1f, 0.6f, 0.6f, 1.6f});
    pads(p, gr, 0, 48, kThemeProg, 4, 0.15f, 0.7f, 1.0f, 0.3f);
    arps(p, gr, 0, 44, kThemeProg, 4, 0.25, ArpVoice::Pluck, 0.08f, 0.7f, 3, -0.3f);
    theme(p, gr, 0, 3, ThemeVoice::Lead, 0.22f, 0);
    roll(p, gr, 44, 48, 0.35f, 163);
    p.rest.push_back([](Mix& m) { swell(m, 274.4, 277.4, 0.35f, 164); });

    // Scene 10: a last accent, the slow theme on bells, then silence by the
    // show's end (black from 290.0 to 291.9).
    const Section& fi = kFinale;
    const Prog finale{Bb, F, C, Dm};
    accent(p, fi.start, 1.0f, 171);
    pads(p, fi, 0, 32, finale, 8, 0.28f, 0.6f, 0.35f, 0.8f);
    bassLine(p, fi, 0, 32, finale, 8, BassStyle::Sustain, 0, 0.25f, BassTone{250, 300, 0.3f, 1.0f, 0.9f, 1.1f});
    theme(p, fi, 0, 1, ThemeVoice::Bell, 0.26f, 0, 2.0);
    p.rest.push_back([](Mix& m) { drone(m, 284.0, 8.0f, 38, 0.18f); });
    // Applied twice: a squared ramp, silent from 291.0 (show 296.0), before
    // the picture is fully black.
    p.rest.push_back([](Mix& m) { m.masterGain(286.5, 291.0, 1.0f, 0.0f, true); });
    p.rest.push_back([](Mix& m) { m.masterGain(286.5, 291.0, 1.0f, 0.0f, true); });
}

}  // namespace

std::vector<std::pair<double, double>> musicSections()
{
    std::vector<std::pair<double, double>> out;
    for (const Section* s : kSections) out.push_back({s->start, s->end});
    return out;
}

std::vector<float> renderMusic()
{
    Plan plan;
    scoreOpening(plan);
    scoreMiddle(plan);
    scoreEnding(plan);
    Mix mix(kMusicSeconds);
    for (auto& f : plan.rhythm) f(mix);
    for (auto& f : plan.rest) f(mix);
    // A dotted eighth at ~135 beats per minute.
    return mix.finish(0.333, 0.38);
}

}  // namespace mk
