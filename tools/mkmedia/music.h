// The show's music: synthesised, arranged against the scene timeline, and
// encoded as MP3.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace mk {

constexpr int kSampleRate = 44100;
constexpr double kMusicSeconds = 297.0;

// The sections the music is arranged in, in order: [start, end) seconds of
// music time each.
std::vector<std::pair<double, double>> musicSections();

// Interleaved stereo, kSampleRate, kMusicSeconds long, peak below -1 dBFS.
std::vector<float> renderMusic();

// 44.1 kHz joint-stereo MP3 with an encoder tag (so decoders trim the
// encoder's delay and padding and the decoded length is the true length).
void writeMp3(const std::string& path, const std::vector<float>& interleaved);

}  // namespace mk
